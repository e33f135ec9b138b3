#include "reportfixtures.h"
#include "sheetcolumns.h"
#include "sheetreport.h"
#include "tst_reports.h"
#include "workbookreader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kHome = u"http://www.example.com"_s;
const QString kBlue = u"FF0000FF"_s;
const QString kRed = u"FFFF0000"_s;
const QString kMagenta = u"FFFF00FF"_s;

// Writes `tree` into a fresh folder and reads the workbook back.
struct WrittenSheet
{
    QTemporaryDir dir;
    SheetReportResult result;
    QString path;

    explicit WrittenSheet(const TreeSpec& tree)
    {
        ResultTree list;
        Fill(list, tree);
        path = dir.filePath(u"report.xlsx"_s);
        result = WriteSheetReport(list, path);
    }
};

} // namespace

// Row 1 carries the six captions in bold 12-point type; the rows below it do not.
void TestSheetReport::headerRowIsBold()
{
    WrittenSheet sheet(HomePageAlone());
    QVERIFY2(sheet.result.ok, qPrintable(sheet.result.description));
    const WorkbookReader book(sheet.path);
    QVERIFY2(book.error().isEmpty(), qPrintable(book.error()));

    const QStringList captions = {u"检测链接"_s, u"链接状态"_s, u"状态描述"_s,
                                  u"链接深度"_s, u"查询耗时"_s, u"上级链接（导入链接）"_s};
    for (int c = 1; c <= 6; ++c) {
        const WorkbookReader::Cell cell = book.cell(1, c);
        QCOMPARE(cell.text, captions[c - 1]);
        QVERIFY(cell.font.bold);
        QCOMPARE(cell.font.size, 12.0);
    }
    QVERIFY(!book.cell(2, 1).font.bold);
    QCOMPARE(book.cell(2, 1).font.size, 11.0);
}

void TestSheetReport::writesNodeRows_data()
{
    QTest::addColumn<TreeSpec>("tree");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QStringList>("statusColours");

    const QString aPage = kHome + u"/a.html";
    QTest::newRow("home page alone") << HomePageAlone()
                                     << QList<QStringList>{{kHome, u"尚未检测"_s, u""_s, u"0"_s, u""_s, kHome}}
                                     << QStringList{u""_s};
    QTest::newRow("probed site")
        << ProbedSite()
        << QList<QStringList>{
               {kHome, u"有效链接"_s, u"OK"_s, u"0"_s, u"120毫秒"_s, kHome},
               {aPage, u"有效链接"_s, u"OK"_s, u"1"_s, u"35毫秒"_s, kHome},
               {kHome + u"/gone.html", u"死链接"_s, u"Not Found"_s, u"2"_s, u"235毫秒"_s, aPage},
               {u"http://other.example.org/"_s, u"尚未检测"_s, u""_s, u"1"_s, u""_s, kHome},
               {kHome + u"/b.html", u"尚未检测"_s, u""_s, u"2"_s, u"40毫秒"_s, aPage},
           }
        << QStringList{kBlue, kBlue, kRed, u""_s, u""_s};
    QTest::newRow("timed out")
        << TimedOutLink()
        << QList<QStringList>{
               {kHome, u"有效链接"_s, u"OK"_s, u"0"_s, u"88毫秒"_s, kHome},
               {kHome + u"/slow.php", u"超时链接"_s, u"查询超时"_s, u"1"_s, u"11000毫秒"_s, kHome},
           }
        << QStringList{kBlue, kMagenta};
    QTest::newRow("resources")
        << ResourceLinks()
        << QList<QStringList>{
               {kHome, u"有效链接"_s, u"OK"_s, u"0"_s, u"88毫秒"_s, kHome},
               {kHome + u"/a.png", u"死链接"_s, u"【图片】Not Found"_s, u"1"_s, u"12毫秒"_s, kHome},
               {kHome + u"/a.js", u"尚未检测"_s, u"【脚本】"_s, u"1"_s, u""_s, kHome},
           }
        << QStringList{kBlue, kRed, u""_s};
    // Node 1 shows its own text; a later top-level page its own URL.
    QTest::newRow("dead-link list")
        << DeadLinkList()
        << QList<QStringList>{
               {kHome + u"/news.html", u"有效链接"_s, u"OK"_s, u"1"_s, u"60毫秒"_s, u"/news.html(新闻中心)"_s},
               {kHome + u"/old.html", u"死链接"_s, u"Not Found"_s, u"2"_s, u"12毫秒"_s, kHome + u"/news.html"},
               {kHome + u"/about.html", u"有效链接"_s, u"OK"_s, u"1"_s, u"70毫秒"_s, kHome + u"/about.html"},
               {u"http://gone.example.net/"_s, u"死链接"_s, u""_s, u"2"_s, u"3000毫秒"_s, kHome + u"/about.html"},
           }
        << QStringList{kBlue, kRed, kBlue, kRed};
}

// One row per node below the header, status words in their colours, depth and time as numbers that
// sort, and the workbook replaces an old file without leaving anything beside it.
void TestSheetReport::writesNodeRows()
{
    QFETCH(TreeSpec, tree);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QStringList, statusColours);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.xlsx"_s);
    QVERIFY(WriteBytes(path, "not a workbook"));
    ResultTree list;
    Fill(list, tree);
    const SheetReportResult result = WriteSheetReport(list, path);
    QVERIFY2(result.ok, qPrintable(result.description));
    QCOMPARE(FilesIn(dir.path()), QStringList{u"report.xlsx"_s});

    const WorkbookReader book(path);
    QVERIFY2(book.error().isEmpty(), qPrintable(book.error()));
    QCOMPARE(book.lastRow(), rows.size() + 1);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(book.cell(r + 2, c + 1).text, rows[r][c]);
        }
        QVERIFY(book.cell(r + 2, 4).number);
        QCOMPARE(book.cell(r + 2, 5).number, !rows[r][4].isEmpty());
        QCOMPARE(book.cell(r + 2, 2).font.colour, statusColours[r]);
    }
}

// Widths follow the texts: wide characters count double, captions in 12-point type are not cut,
// and a very long URL stops at the cap.
void TestSheetReport::columnsFitTheirTexts()
{
    const QString description = u"服务器内部错误"_s.repeated(3); // 21 wide characters
    const QString longUrl = kHome + u'/' + QString(500, u'x');
    WrittenSheet sheet({
        {0, kHome, StatusValid, Probed(0, kHome, 10, u"OK"_s)},
        {1, u"x"_s, StatusDead, Probed(1, longUrl, 10, description)},
    });
    QVERIFY2(sheet.result.ok, qPrintable(sheet.result.description));
    const WorkbookReader book(sheet.path);
    QVERIFY2(book.error().isEmpty(), qPrintable(book.error()));

    QVERIFY(book.columnWidth(3) >= 42);
    QVERIFY(book.columnWidth(3) <= 47);
    QVERIFY(book.columnWidth(1) >= ColumnFit::kMaxWidth - 1);
    QVERIFY(book.columnWidth(1) <= ColumnFit::kMaxWidth + 1);
    QVERIFY(book.columnWidth(4) >= 8 * 12.0 / 11); // the caption "链接深度" in 12 points, not the digits
    QVERIFY(book.columnWidth(4) <= 14);
}

void TestSheetReport::failureLeavesNoFile_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<int>("urlLength");

    QTest::newRow("missing folder") << u"no-such-folder"_s << false << 20;
    QTest::newRow("read-only file in a read-only folder") << QString() << true << 20;
}

// A workbook that cannot be completed is not saved: an old file keeps its bytes, no part is left
// behind, and the caller learns the number and the reason.
void TestSheetReport::failureLeavesNoFile()
{
    QFETCH(QString, folder);
    QFETCH(bool, readOnly);
    QFETCH(int, urlLength);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = QDir(dir.filePath(folder)).filePath(u"report.xlsx"_s);
    const QByteArray old = "an older workbook";
    if (folder.isEmpty()) {
        QVERIFY(WriteBytes(target, old));
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner));
    }
    std::optional<ReadOnlyFolder> locked;
    if (readOnly && !locked.emplace(dir.path()).holds()) {
        QSKIP("this user can write into read-only folders");
    }

    ResultTree list;
    Fill(list, {{0, kHome, StatusDead, Probed(0, kHome + u'/' + QString(urlLength, u'u'), 235, u"Not Found"_s)}});
    const SheetReportResult result = WriteSheetReport(list, target);
    locked.reset();

    QVERIFY(!result.ok);
    QVERIFY(result.errorNumber != 0);
    QVERIFY(!result.description.isEmpty());
    if (folder.isEmpty()) {
        QCOMPARE(ReadAll(target), old);
        QCOMPARE(FilesIn(dir.path()), QStringList{u"report.xlsx"_s});
    } else {
        QVERIFY(!QFile::exists(target));
        QCOMPARE(FilesIn(dir.path()), QStringList());
    }
}

// A text longer than a cell holds is cut to the limit, ending in an ellipsis; the rest is written.
void TestSheetReport::cutsTextLongerThanACell()
{
    const QString longUrl = kHome + u'/' + QString(40000, u'u');
    WrittenSheet sheet({{0, kHome, StatusDead, Probed(0, longUrl, 5, u"Not Found"_s)}});
    QVERIFY2(sheet.result.ok, qPrintable(sheet.result.description));
    const WorkbookReader book(sheet.path);
    QCOMPARE(book.cell(2, 1).text, longUrl.left(32766) + u"…");
    QCOMPARE(book.cell(2, 5).text, u"5毫秒"_s);
}

// The text the export command shows: lead, blank line, number, colon and three spaces, reason.
void TestSheetReport::failureMessage()
{
    const SheetReportResult failed{false, 3, u"Error creating output xlsx file."_s};
    QCOMPARE(SheetFailureMessage(failed), u"导出失败，原因如下：\r\n\r\n3:   Error creating output xlsx file."_s);
    // A file the system refused is told in words, without Qt's error number.
    const SheetReportResult refused{false, 5, qt_error_string(EROFS), true};
    QCOMPARE(SheetFailureMessage(refused), u"导出失败，原因如下：\r\n\r\n无法写入文件：只读文件系统"_s);
    QCOMPARE(SheetFailureTitle(), u"导出失败"_s);
}
