#pragma once

#include <QHash>
#include <QList>
#include <QString>

// Reads back the first sheet of an .xlsx workbook: cell texts, their fonts and the column widths.
// The archive is unpacked with the unzip tool; the parts are parsed as XML.
class WorkbookReader
{
public:
    struct Font
    {
        bool bold = false;
        double size = 0;
        QString colour; // ARGB hex as stored, empty for the theme colour
    };
    struct Cell
    {
        bool present = false;
        QString text; // a number as its format shows it (General, or digits followed by a quoted text)
        bool number = false;
        Font font;
    };

    explicit WorkbookReader(const QString& path);

    QString error() const { return error_; } // empty when every part was read
    Cell cell(int row, int column) const;    // 1-based
    int lastRow() const { return lastRow_; }
    double columnWidth(int column) const; // 1-based; 0 when the sheet sets none

private:
    QByteArray part(const QString& member);
    void readStrings(const QByteArray& xml);
    void readStyles(const QByteArray& xml);
    void readSheet(const QByteArray& xml);

    QString path_;
    QString error_;
    QStringList strings_;
    QList<Font> fonts_;
    QList<int> cellFonts_;            // font of each cell format
    QList<QString> cellSuffixes_;     // the quoted text that the number format of each cell format adds
    QHash<int, QString> formatCodes_; // number formats of the workbook by id
    QHash<QString, Cell> cells_;
    QHash<int, double> widths_;
    int lastRow_ = 0;
};

// "A1" style reference of a 1-based row and column (columns A to Z are enough here).
QString CellName(int row, int column);
