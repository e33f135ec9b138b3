#include "wordscan.h"

#include <QChar>

#include <algorithm>

namespace {

char16_t folded(char16_t u)
{
    if (u < 128) {
        return u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u;
    }
    // The dotted and the dotless i of Turkish: a caseless pattern may take them for i.
    if (u == 0x130 || u == 0x131) {
        return u'i';
    }
    return static_cast<char16_t>(QChar::toCaseFolded(char32_t(u)));
}

} // namespace

WordScan::WordScan(std::initializer_list<QStringView> words) : words_(words)
{
    // By first character, so that a place in the text is held against the few words that can start there.
    std::sort(words_.begin(), words_.end(), [](QStringView a, QStringView b) { return a.front() < b.front(); });
    for (const QStringView w : words_) {
        const char16_t c = w.front().unicode();
        first_[c] = true;
        if (c >= 128) {
            continue;
        }
        asciiFirst_[c] = true;
        asciiFirst_[c >= u'a' && c <= u'z' ? c - 32 : c] = true;
        const char16_t second = w.size() > 1 ? w[1].unicode() : char16_t(0x10000 - 1);
        if (second < 128) {
            pairs_[c * 128 + second] = true;
        } else {
            anySecond_[c] = true;
        }
    }
}

bool WordScan::in(QStringView text) const
{
    const char16_t* const chars = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = chars[i];
        if (u < 128 ? !asciiFirst_[u] : !first_[folded(u)]) {
            continue;
        }
        const char16_t first = folded(u);
        if (first < 128 && !anySecond_[first] && i + 1 < n) {
            const char16_t second = folded(chars[i + 1]);
            if (second >= 128 || !pairs_[first * 128 + second]) {
                continue;
            }
        }
        if (startsAt(text, i, first)) {
            return true;
        }
    }
    return false;
}

bool WordScan::startsAt(QStringView text, qsizetype at, char16_t first) const
{
    auto w = std::lower_bound(words_.begin(), words_.end(), first,
                              [](QStringView word, char16_t c) { return word.front().unicode() < c; });
    for (; w != words_.end() && w->front().unicode() == first; ++w) {
        qsizetype j = 1;
        while (j < w->size() && at + j < text.size() && folded(text[at + j].unicode()) == (*w)[j].unicode()) {
            ++j;
        }
        if (j == w->size()) {
            return true;
        }
    }
    return false;
}
