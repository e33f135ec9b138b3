#pragma once

#include <QString>
#include <QStringView>

#include <array>

// Plain text helpers shared by every layer.

// Where `c` first stands in `text` at or after `from` (not negative), or -1. QStringView's own look-up of
// one character goes through the general string search, whose call and dispatch cost more than the
// search itself over the few characters between two marks of a page; the page readers ask this for
// nearly every tag.
inline qsizetype IndexOfChar(QStringView text, char16_t c, qsizetype from = 0)
{
    const char16_t* const chars = text.utf16();
    for (qsizetype i = from; i < text.size(); ++i) {
        if (chars[i] == c) {
            return i;
        }
    }
    return -1;
}

inline bool ContainsChar(QStringView text, char16_t c)
{
    return IndexOfChar(text, c) >= 0;
}

// One UTF-16 unit without letter case, as Qt's caseless comparisons fold it: ASCII without a call into
// the library, the rest (among them the long s and the Kelvin sign, which fold into ASCII) by Qt.
inline char16_t FoldedUnit(char16_t c)
{
    return c < 128 ? (c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c) : char16_t(QChar::toCaseFolded(char32_t(c)));
}

// A word (ASCII, in lower case) looked for in any letter case, as Qt's caseless search finds it: every
// character is folded as Qt folds it, so the few beyond ASCII that fold into it (the long s, the Kelvin
// sign) match too. Qt's own search folds every character through a call into the library; this one
// passes over most of a text (Horspool's rule) with a table made once, for a word asked of many texts.
class CaselessWord
{
public:
    explicit CaselessWord(QLatin1StringView word); // kept by reference: a literal
    bool in(QStringView text) const;

private:
    QLatin1StringView word_;
    std::array<qsizetype, 128> skip_ = {};
};

// The text between the first `start` and the next `end` after it; empty when either is missing.
QString GetBetween(QStringView text, QStringView start, QStringView end);

// Removes leading and trailing space characters only (tabs and line breaks stay).
QString TrimSpaces(QStringView text);

// True when `text` is a whole decimal integer (optionally signed, surrounding spaces allowed)
// that fits 32 bits; `value` receives it.
bool ParseInt(QStringView text, int* value);
