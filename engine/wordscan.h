#pragma once

#include <QStringView>

#include <bitset>
#include <initializer_list>
#include <vector>

// Whether a text holds any of a few words, letter case aside, in one pass that costs little per character.
// It stands in front of a caseless pattern that every page of a run is read with: when none of the words,
// one of which every match of the pattern holds, is in a page, the pattern need not run. It folds letter
// case at least as widely as such a pattern does, so it never passes over a page the pattern would match.
class WordScan
{
public:
    // `words` in lower case, kept by reference: literals.
    WordScan(std::initializer_list<QStringView> words);
    bool in(QStringView text) const;

private:
    bool startsAt(QStringView text, qsizetype at, char16_t first) const;

    std::vector<QStringView> words_;
    std::bitset<0x10000> first_; // the first characters of the words
    bool asciiFirst_[128] = {};  // and those in ASCII in either case: most of a page is ASCII
    // The first two characters of the words, where both are ASCII: in a page most places where a word's
    // first letter stands go on otherwise. A first character with a word of one character, or with a second
    // one beyond ASCII, is held against the words themselves.
    std::bitset<128 * 128> pairs_;
    std::bitset<128> anySecond_;
};
