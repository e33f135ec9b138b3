#include "workbookreader.h"

#include <QProcess>
#include <QXmlStreamReader>

using namespace Qt::Literals::StringLiterals;

QString CellName(int row, int column)
{
    return QChar(u'A' + column - 1) + QString::number(row);
}

WorkbookReader::WorkbookReader(const QString& path) : path_(path)
{
    readStrings(part(u"xl/sharedStrings.xml"_s));
    readStyles(part(u"xl/styles.xml"_s));
    readSheet(part(u"xl/worksheets/sheet1.xml"_s));
}

QByteArray WorkbookReader::part(const QString& member)
{
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, path_, member});
    if (!unzip.waitForFinished(30000) || unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0) {
        error_ += u"cannot unpack "_s + member + u": "_s + unzip.errorString() + u' ' +
                  QString::fromLocal8Bit(unzip.readAllStandardError()) + u'\n';
        return {};
    }
    return unzip.readAllStandardOutput();
}

void WorkbookReader::readStrings(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (reader.name() == u"si") {
            strings_.append(QString());
        } else if (reader.name() == u"t" && !strings_.isEmpty()) {
            strings_.last() += reader.readElementText();
        }
    }
}

void WorkbookReader::readStyles(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    bool inFonts = false;
    bool inCellXfs = false;
    while (!reader.atEnd()) {
        reader.readNext();
        const QStringView name = reader.name();
        if (reader.isEndElement()) {
            inFonts = inFonts && name != u"fonts";
            inCellXfs = inCellXfs && name != u"cellXfs";
            continue;
        }
        if (!reader.isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes a = reader.attributes();
        if (name == u"fonts" || name == u"cellXfs") {
            inFonts = name == u"fonts";
            inCellXfs = name == u"cellXfs";
        } else if (inFonts && name == u"font") {
            fonts_.append(Font());
        } else if (inFonts && name == u"b" && !fonts_.isEmpty()) {
            fonts_.last().bold = true;
        } else if (inFonts && name == u"sz" && !fonts_.isEmpty()) {
            fonts_.last().size = a.value(u"val"_s).toDouble();
        } else if (inFonts && name == u"color" && !fonts_.isEmpty()) {
            fonts_.last().colour = a.value(u"rgb"_s).toString();
        } else if (name == u"numFmt") {
            formatCodes_.insert(a.value(u"numFmtId"_s).toInt(), a.value(u"formatCode"_s).toString());
        } else if (inCellXfs && name == u"xf") {
            cellFonts_.append(a.value(u"fontId"_s).toInt());
            const QString code = formatCodes_.value(a.value(u"numFmtId"_s).toInt());
            cellSuffixes_.append(code.startsWith(u"0\""_s) ? code.mid(2).chopped(1) : QString());
        }
    }
}

void WorkbookReader::readSheet(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.name() == u"col") {
            for (int c = a.value(u"min"_s).toInt(); c <= a.value(u"max"_s).toInt(); ++c) {
                widths_.insert(c, a.value(u"width"_s).toDouble());
            }
        } else if (reader.name() == u"row") {
            lastRow_ = std::max(lastRow_, a.value(u"r"_s).toInt());
        } else if (reader.name() == u"c") {
            Cell cell;
            cell.present = true;
            const int format = a.value(u"s"_s).toInt();
            const int font = format < cellFonts_.size() ? cellFonts_[format] : 0;
            cell.font = font < fonts_.size() ? fonts_[font] : Font();
            const bool shared = a.value(u"t"_s) == u"s";
            const QString ref = a.value(u"r"_s).toString();
            cell.number = !a.hasAttribute(u"t"_s);
            while (reader.readNextStartElement()) {
                const QString value = reader.readElementText();
                cell.text = shared ? strings_.value(value.toInt(), u"<missing string>"_s) : value;
            }
            if (cell.number) {
                cell.text += cellSuffixes_.value(format);
            }
            cells_.insert(ref, cell);
        }
    }
    if (reader.hasError()) {
        error_ += u"sheet: "_s + reader.errorString();
    }
}

WorkbookReader::Cell WorkbookReader::cell(int row, int column) const
{
    return cells_.value(CellName(row, column));
}

double WorkbookReader::columnWidth(int column) const
{
    return widths_.value(column, 0);
}
