#include "sheetcolumns.h"

#include <QList>

#include <algorithm>

namespace {

// Room around a fitted text; it also covers the header row, whose 12-point captions are at most
// two cells wider than in the default 11 points.
constexpr double kPadding = 2;

bool IsWide(char32_t c)
{
    struct Range
    {
        char32_t first;
        char32_t last;
    };
    // East Asian wide and fullwidth blocks: Hangul Jamo, CJK punctuation, kana, CJK ideographs,
    // Yi, Hangul syllables, compatibility ideographs, fullwidth forms, pictographs.
    static constexpr Range kWide[] = {
        {0x1100, 0x115F}, {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},
        {0xA000, 0xA4CF}, {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},
        {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
    };
    return std::any_of(std::begin(kWide), std::end(kWide), [c](const Range& r) { return c >= r.first && c <= r.last; });
}

} // namespace

int DisplayCells(QStringView text)
{
    int cells = 0;
    for (char32_t c : text.toUcs4()) {
        cells += IsWide(c) ? 2 : 1;
    }
    return cells;
}

ColumnFit::ColumnFit(int columns) : widest_(static_cast<size_t>(columns), 0) {}

void ColumnFit::fit(int column, QStringView text)
{
    if (column < 0 || column >= static_cast<int>(widest_.size())) {
        return;
    }
    int& widest = widest_[static_cast<size_t>(column)];
    widest = std::max(widest, DisplayCells(text));
}

double ColumnFit::width(int column) const
{
    if (column < 0 || column >= static_cast<int>(widest_.size())) {
        return 0;
    }
    const int widest = widest_[static_cast<size_t>(column)];
    return widest > 0 ? std::min(kMaxWidth, widest + kPadding) : 0;
}
