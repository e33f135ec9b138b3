#pragma once

#include <QStringView>
#include <QtGlobal>

#include <array>
#include <bitset>
#include <initializer_list>
#include <span>
#include <vector>

// Whether a text holds any of a few words, letter case aside, in one pass that costs little per character.
// It stands in front of a caseless pattern that every page of a run is read with: when none of the words,
// one of which every match of the pattern holds, is in a page, the pattern need not run. It folds letter
// case at least as widely as such a pattern does, so it never passes over a page the pattern would match.
// Words may come in groups, one for each pattern: one pass then tells which of the patterns may match.
class WordScan
{
public:
    struct Group
    {
        std::span<const QStringView> words;
        quint32 bit;
    };
    // `words` in lower case, kept by reference: literals.
    WordScan(std::initializer_list<QStringView> words);
    explicit WordScan(std::span<const QStringView> words);
    explicit WordScan(std::initializer_list<Group> groups);
    bool in(QStringView text) const { return find(text, 0) != 0; }
    // The bits of the groups with a word in `text`; the pass ends at the first word found once every group
    // of `wanted` has one.
    quint32 find(QStringView text, quint32 wanted) const;

private:
    struct Word
    {
        QStringView text;
        quint32 bit;
    };
    void add(QStringView word, quint32 bit);
    void index();
    quint32 startingAt(QStringView text, qsizetype at, char16_t first) const;

    std::vector<Word> words_;
    std::bitset<0x10000> first_; // the first characters of the words
    bool asciiFirst_[128] = {};  // and those in ASCII in either case: most of a page is ASCII
    // The first two characters of the words, where both are ASCII (a word of one character pairs with every
    // character): in a page most places where a word's first letter stands go on otherwise.
    std::array<bool, 128 * 128> pairs_ = {};
};
