#include "wordscan.h"

#include <QChar>

#include <algorithm>
#include <array>

namespace {

// ASCII in lower case, by look-up: the scan asks it for nearly every character of a page.
constexpr auto kLowerAscii = [] {
    std::array<quint8, 128> lower{};
    for (int c = 0; c < 128; ++c) {
        lower[c] = static_cast<quint8>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return lower;
}();

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

WordScan::WordScan(std::initializer_list<QStringView> words) : WordScan(std::span(words.begin(), words.size())) {}

WordScan::WordScan(std::span<const QStringView> words)
{
    for (const QStringView w : words) {
        add(w, 1);
    }
    index();
}

WordScan::WordScan(std::initializer_list<Group> groups)
{
    for (const Group& g : groups) {
        for (const QStringView w : g.words) {
            add(w, g.bit);
        }
    }
    index();
}

void WordScan::add(QStringView word, quint32 bit)
{
    words_.push_back({word, bit});
}

void WordScan::index()
{
    // By first character, so that a place in the text is held against the few words that can start there.
    std::stable_sort(words_.begin(), words_.end(),
                     [](const Word& a, const Word& b) { return a.text.front() < b.text.front(); });
    for (const Word& w : words_) {
        const char16_t c = w.text.front().unicode();
        first_[c] = true;
        if (c >= 128) {
            continue;
        }
        asciiFirst_[c] = true;
        asciiFirst_[c >= u'a' && c <= u'z' ? c - 32 : c] = true;
        if (w.text.size() == 1) {
            for (int second = 0; second < 128; ++second) {
                pairs_[c * 128 + second] = true;
            }
        } else if (w.text[1].unicode() < 128) {
            pairs_[c * 128 + w.text[1].unicode()] = true;
        }
        // A second character beyond ASCII cannot follow in ASCII: the look-up by pairs passes over it.
    }
}

quint32 WordScan::find(QStringView text, quint32 wanted) const
{
    const char16_t* const chars = text.utf16();
    const qsizetype n = text.size();
    quint32 found = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = chars[i];
        if (u < 128) {
            if (!asciiFirst_[u]) {
                continue;
            }
            // Most of a page is ASCII: where the next character is too, the pair says whether a word starts.
            const char16_t next = i + 1 < n ? chars[i + 1] : u'\0';
            if (next < 128 && !pairs_[kLowerAscii[u] * 128 + kLowerAscii[next]]) {
                continue;
            }
        } else if (!first_[folded(u)]) {
            continue;
        }
        found |= startingAt(text, i, folded(u));
        if (found != 0 && (found & wanted) == wanted) {
            break;
        }
    }
    return found;
}

// The bits of the words that start at `at`.
quint32 WordScan::startingAt(QStringView text, qsizetype at, char16_t first) const
{
    auto w = std::lower_bound(words_.begin(), words_.end(), first,
                              [](const Word& word, char16_t c) { return word.text.front().unicode() < c; });
    quint32 bits = 0;
    for (; w != words_.end() && w->text.front().unicode() == first; ++w) {
        qsizetype j = 1;
        while (j < w->text.size() && at + j < text.size() && folded(text[at + j].unicode()) == w->text[j].unicode()) {
            ++j;
        }
        if (j == w->text.size()) {
            bits |= w->bit;
        }
    }
    return bits;
}
