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
    std::bitset<0x10000> firstFolded;
    std::array<bool, 128 * 128> foldedPairs = {};
    for (const Word& w : words_) {
        const char16_t c = w.text.front().unicode();
        firstFolded[c] = true;
        if (c >= 128) {
            continue;
        }
        if (w.text.size() == 1) {
            std::fill_n(foldedPairs.begin() + c * 128, 128, true);
        } else if (w.text[1].unicode() < 128) {
            foldedPairs[c * 128 + w.text[1].unicode()] = true;
        }
        // A second character beyond ASCII cannot follow in ASCII: the look-up by pairs passes over it.
    }
    for (char32_t c = 0; c < 0x10000; ++c) {
        first_[c] = firstFolded[folded(char16_t(c))];
    }
    for (int c = 0; c < 128; ++c) {
        for (int next = 0; next < 128; ++next) {
            pairs_[c * 128 + next] = first_[c] && foldedPairs[kLowerAscii[c] * 128 + kLowerAscii[next]];
        }
    }
}

quint32 WordScan::find(QStringView text, quint32 wanted) const
{
    const char16_t* const chars = text.utf16();
    const qsizetype n = text.size();
    quint32 found = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = chars[i];
        const char16_t next = i + 1 < n ? chars[i + 1] : u'\0';
        if ((u | next) < 128 ? !pairs_[u * 128 + next] : !first_[u]) {
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
