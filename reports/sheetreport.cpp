#include "sheetreport.h"

#include "reportfile.h"
#include "reportrows.h"
#include "sheetcolumns.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace {

// Texts of the workbook and of its failure message.
const std::array<QString, 6> kHeaders = {u"检测链接"_s, u"链接状态"_s, u"状态描述"_s,
                                         u"链接深度"_s, u"查询耗时"_s, u"上级链接（导入链接）"_s};
const QString kValid = u"有效链接"_s;
const QString kDead = u"死链接"_s;
const QString kTimedOut = u"超时链接"_s;
const QString kUnchecked = u"尚未检测"_s;
const QString kExcluded = u"已排除"_s; // only kelvara-check excludes links
// Query times are numbers, so that a reader can sort by them, shown as the other reports show them.
const char* const kMillisecondsFormat = "0\"毫秒\"";
// The most characters a cell holds; a longer text is cut, ending in kCut.
constexpr qsizetype kCellLimit = 32767;
const QString kCut = u"…"_s;
const QString kFailureLead = u"导出失败，原因如下："_s;
const QString kFailureNumberEnd = u":   "_s;
const QString kFailureTitle = u"导出失败"_s;

// Font colours of the status column, as RGB.
constexpr lxw_color_t kBlue = 0x0000FF;
constexpr lxw_color_t kRed = 0xFF0000;
constexpr lxw_color_t kMagenta = 0xFF00FF;

constexpr double kHeaderFontSize = 12;
constexpr double kHeaderRowHeight = 15.75; // what spreadsheet programs give a row of 12-point text

enum Column
{
    ColUrl,
    ColStatus,
    ColDescription,
    ColDepth,
    ColTime,
    ColParent,
    ColumnCount
};

lxw_format* FontFormat(lxw_workbook* book, lxw_color_t colour)
{
    lxw_format* format = workbook_add_format(book);
    format_set_font_color(format, colour);
    return format;
}

// Fills one worksheet; after the first failing write it writes nothing more and keeps that error.
class SheetBuilder
{
public:
    SheetBuilder(lxw_workbook* book, lxw_worksheet* sheet) : sheet_(sheet)
    {
        header_ = workbook_add_format(book);
        format_set_bold(header_);
        format_set_font_size(header_, kHeaderFontSize);
        valid_ = FontFormat(book, kBlue);
        dead_ = FontFormat(book, kRed);
        timedOut_ = FontFormat(book, kMagenta);
        milliseconds_ = workbook_add_format(book);
        format_set_num_format(milliseconds_, kMillisecondsFormat);
    }

    lxw_error error() const { return error_; }

    void writeHeader()
    {
        keep(worksheet_set_row(sheet_, 0, kHeaderRowHeight, header_));
        for (int c = 0; c < ColumnCount; ++c) {
            put(0, c, kHeaders[static_cast<size_t>(c)], header_);
        }
    }

    void writeNode(const ResultTree& list, int index)
    {
        const ResultNode& node = *list.node(index);
        const NodeRecord& record = node.record;
        const auto row = static_cast<lxw_row_t>(index);
        put(row, ColUrl, record.field(1));
        writeStatus(row, node.status);
        putNumber(row, ColDepth, record.depth, record.field(0));
        put(row, ColParent, ParentLink(list, index));
        // Only a record with both probe fields has a description and a time to show.
        const bool probed = record.fieldCount() > 4;
        put(row, ColDescription, ReportDescription(record, probed ? record.field(4) : QString()));
        if (probed) {
            const QString shown = record.field(3) + u"毫秒";
            putNumber(row, ColTime, static_cast<double>(record.queryTime), shown, milliseconds_);
        }
    }

    void sizeColumns()
    {
        for (int c = 0; c < ColumnCount; ++c) {
            if (fit_.width(c) > 0) {
                const auto col = static_cast<lxw_col_t>(c);
                keep(worksheet_set_column(sheet_, col, col, fit_.width(c), nullptr));
            }
        }
    }

private:
    void writeStatus(lxw_row_t row, int status)
    {
        switch (status) {
        case StatusValid:
            return put(row, ColStatus, kValid, valid_);
        case StatusDead:
            return put(row, ColStatus, kDead, dead_);
        case StatusTimedOut:
            return put(row, ColStatus, kTimedOut, timedOut_);
        case StatusExcluded:
            return put(row, ColStatus, kExcluded);
        default:
            return put(row, ColStatus, kUnchecked);
        }
    }

    void put(lxw_row_t row, int column, const QString& text, lxw_format* format = nullptr)
    {
        if (error_ != LXW_NO_ERROR || (text.isEmpty() && !format)) {
            return;
        }
        const QString cell = FitCell(text);
        const QByteArray utf8 = cell.toUtf8();
        keep(worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(column), utf8.constData(), format));
        fit_.fit(column, cell);
    }

    // `shown` is the text the cell displays, for the column's width.
    void putNumber(lxw_row_t row, int column, double value, const QString& shown, lxw_format* format = nullptr)
    {
        if (error_ != LXW_NO_ERROR) {
            return;
        }
        keep(worksheet_write_number(sheet_, row, static_cast<lxw_col_t>(column), value, format));
        fit_.fit(column, shown);
    }

    // A text longer than a cell holds would lose the whole workbook; the cell shows its start instead.
    static QString FitCell(const QString& text)
    {
        if (text.size() <= kCellLimit) {
            return text;
        }
        qsizetype keep = kCellLimit - kCut.size();
        if (text.at(keep - 1).isHighSurrogate()) {
            --keep; // never half a character
        }
        return text.left(keep) + kCut;
    }

    void keep(lxw_error error)
    {
        if (error_ == LXW_NO_ERROR) {
            error_ = error;
        }
    }

    lxw_worksheet* sheet_;
    lxw_format* header_ = nullptr;
    lxw_format* valid_ = nullptr;
    lxw_format* dead_ = nullptr;
    lxw_format* timedOut_ = nullptr;
    lxw_format* milliseconds_ = nullptr;
    ColumnFit fit_{ColumnCount};
    lxw_error error_ = LXW_NO_ERROR;
};

// A second sheet: when the check it is compared with ran, then the new dead links and the mended ones,
// one column each.
lxw_error WriteChangeSheet(lxw_workbook* book, const RunChange& change)
{
    lxw_worksheet* sheet = workbook_add_worksheet(book, u"与上次检测相比"_s.toUtf8().constData());
    if (!sheet) {
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    }
    lxw_error error = LXW_NO_ERROR;
    const auto put = [&](lxw_row_t row, lxw_col_t col, const QString& text) {
        if (error == LXW_NO_ERROR) {
            error = worksheet_write_string(sheet, row, col, text.toUtf8().constData(), nullptr);
        }
    };
    put(0, 0, u"上次检测时间："_s + change.previousShown());
    put(1, 0, u"新增死链接："_s + QString::number(change.newDead.size()) + u'个');
    put(1, 1, u"已修复链接："_s + QString::number(change.fixed.size()) + u'个');
    for (int col = 0; col < 2; ++col) {
        const QStringList& urls = col == 0 ? change.newDead : change.fixed;
        for (qsizetype i = 0; i < urls.size(); ++i) {
            put(static_cast<lxw_row_t>(i + 2), static_cast<lxw_col_t>(col), urls[i]);
        }
        if (error == LXW_NO_ERROR) {
            error = worksheet_set_column(sheet, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col), 60, nullptr);
        }
    }
    return error;
}

// Builds the whole workbook into `path`. The library writes the file only when the workbook is
// closed, and closing also frees it, so a failed build still closes.
lxw_error BuildWorkbook(const ResultTree& list, const QString& path, const RunChange& change)
{
    lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
    if (!book) {
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    if (!sheet) {
        workbook_close(book);
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    }
    SheetBuilder builder(book, sheet);
    builder.writeHeader();
    for (int i = 1; i <= list.count() && builder.error() == LXW_NO_ERROR; ++i) {
        builder.writeNode(list, i);
    }
    builder.sizeColumns();
    lxw_error error = builder.error();
    if (error == LXW_NO_ERROR && !change.isEmpty()) {
        error = WriteChangeSheet(book, change);
    }
    const lxw_error closed = workbook_close(book);
    return error != LXW_NO_ERROR ? error : closed;
}

SheetReportResult LibraryFailure(lxw_error error)
{
    return {false, static_cast<int>(error), QString::fromUtf8(lxw_strerror(error))};
}

} // namespace

SheetReportResult WriteSheetReport(const ResultTree& list, const QString& fileName, const RunChange& change)
{
    // The workbook is built where a file can always be made and then written as the other reports
    // are: a failure leaves an old file as it was, and a name or folder that leaves no room for a
    // copy beside the target is still written.
    QTemporaryDir work;
    if (!work.isValid()) {
        return {false, static_cast<int>(QFileDevice::OpenError), work.errorString(), true};
    }
    const QString built = work.filePath(u"report.xlsx"_s);
    if (const lxw_error error = BuildWorkbook(list, built, change); error != LXW_NO_ERROR) {
        return LibraryFailure(error);
    }
    QFile workbook(built);
    if (!workbook.open(QIODevice::ReadOnly)) {
        return {false, static_cast<int>(workbook.error()), workbook.errorString(), true};
    }
    const WriteResult written = WriteReportFile(fileName, workbook.readAll());
    return {written.ok, written.errorNumber, written.error, !written.ok};
}

QString SheetFailureMessage(const SheetReportResult& result)
{
    // A file's error number says nothing to the user; the library's numbers are its own documentation's.
    if (result.fileFailure) {
        return kFailureLead + u"\r\n\r\n" + WriteFailureReason(result.description);
    }
    return kFailureLead + u"\r\n\r\n" + QString::number(result.errorNumber) + kFailureNumberEnd + result.description;
}

QString SheetFailureTitle()
{
    return kFailureTitle;
}
