#pragma once

#include <QString>
#include <QStringView>

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

// The text between the first `start` and the next `end` after it; empty when either is missing.
QString GetBetween(QStringView text, QStringView start, QStringView end);

// Removes leading and trailing space characters only (tabs and line breaks stay).
QString TrimSpaces(QStringView text);

// True when `text` is a whole decimal integer (optionally signed, surrounding spaces allowed)
// that fits 32 bits; `value` receives it.
bool ParseInt(QStringView text, int* value);
