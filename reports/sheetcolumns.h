#pragma once

#include <QStringView>

#include <vector>

// Columns of a written sheet sized to their widest text. The sheet format has no width of its own
// for a column and the writer no layout engine, so a text's width is estimated in character cells of
// the default font: East Asian wide characters take two cells, everything else one.
class ColumnFit
{
public:
    static constexpr double kMaxWidth = 100; // a very long URL should not push the rest off screen

    explicit ColumnFit(int columns);

    // Notes a text written in `column` (0-based).
    void fit(int column, QStringView text);
    // Width for `column` in the sheet's character units, padding included; 0 when nothing was noted.
    double width(int column) const;

private:
    std::vector<int> widest_;
};

// Character cells that `text` takes in a fixed-width rendering.
int DisplayCells(QStringView text);
