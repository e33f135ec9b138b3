#include "reportfixtures.h"
#include "textreport.h"
#include "tst_reports.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kCrLf = u"\r\n"_s;

QString ExpectedTxt(const QStringList& rows)
{
    QString text = u"@@@@@@@@@@@@   txt格式的数据导出显示效果较差，如需较好的效果请导出为Excel或Html格式  @@@@@@@@@@@@ "_s +
                   kCrLf + kCrLf + u"检测链接        链接状态    状态描述    链接深度    查询耗时    上级链接（导入链接）"_s;
    for (const QString& row : rows) {
        text += kCrLf + row;
    }
    return text + kCrLf;
}

QString ExpectedHtml(const QStringList& rows)
{
    return u"<html><title>网页死链接检测报告</title><meta http-equiv=\"Content-Type\" "
           u"content=\"text/html; charset=gb2312\" /><body><table width='100%' border='0' "
           u"style='font-size:12px'><tr align=center style='font-weight:bold'><td width='32%' height='25'>"
           u"检测链接</td><td width='11%'>链接状态</td><td width='12%'>状态描述</td><td width='8%'>链接深度</td>"
           u"<td width='11%'>查询耗时</td><td width='26%'>上级链接（导入链接）</td></tr>"_s +
           rows.join(QString()) + u"</table></body></html>\r\n"_s;
}

QByteArray Gb18030(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QString kHostileUrl = u"http://www.example.com/a?x=1&y=<script>alert(\"x\")</script>'"_s;
const QString kHostileUrlEscaped =
    u"http://www.example.com/a?x=1&amp;y=&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&#39;"_s;

TreeSpec HostileSite()
{
    const QString home = u"http://www.example.com/?a=1&b=2"_s;
    return {
        {0, home, StatusValid, Probed(0, home, 50, u"OK"_s)},
        {1, u"x"_s, StatusDead, Probed(1, kHostileUrl, 20, u"Bad \"Request\" <b>"_s)},
        {2, u"y"_s, NoStatus, Unprobed(2, u"http://www.example.com/y"_s)},
    };
}

} // namespace

void TestTextReport::writesReportBytes_data()
{
    QTest::addColumn<TreeSpec>("tree");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("expected");

    // The home page alone, before its probe: dashes for the probe fields, node 1's text as parent.
    QTest::newRow("txt home page alone")
        << HomePageAlone() << int(ReportTxt)
        << ExpectedTxt({u"http://www.example.com    未检测        -        0        -         http://www.example.com"_s});
    QTest::newRow("html home page alone")
        << HomePageAlone() << int(ReportHtml)
        << ExpectedHtml({u"<tr align='center'><td><a href=\"http://www.example.com\" target='_blank'>"
                         u"http://www.example.com</a></td><td>未检测</td><td></td><td>0</td><td></td>"
                         u"<td>http://www.example.com</td></tr>"_s});

    // Probed nodes: every status word, parents found by the tree and not by position.
    QTest::newRow("txt probed site")
        << ProbedSite() << int(ReportTxt)
        << ExpectedTxt({
               u"http://www.example.com    有效链接        OK        0        120毫秒        http://www.example.com"_s,
               u"http://www.example.com/a.html    有效链接        OK        1        35毫秒        http://www.example.com"_s,
               u"http://www.example.com/gone.html    死链接        Not Found        2        235毫秒        "
               u"http://www.example.com/a.html"_s,
               u"http://other.example.org/    未检测        -        1        -         http://www.example.com"_s,
               u"http://www.example.com/b.html    未检测                2        40毫秒        "
               u"http://www.example.com/a.html"_s,
           });
    QTest::newRow("html probed site")
        << ProbedSite() << int(ReportHtml)
        << ExpectedHtml({
               u"<tr align='center'><td><a href=\"http://www.example.com\" target='_blank'>http://www.example.com"
               u"</a></td><td style='color:#0000FF'>有效链接</td><td>OK</td><td>0</td><td>120毫秒</td>"
               u"<td>http://www.example.com</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://www.example.com/a.html\" target='_blank'>"
               u"http://www.example.com/a.html</a></td><td style='color:#0000FF'>有效链接</td><td>OK</td>"
               u"<td>1</td><td>35毫秒</td><td> http://www.example.com</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://www.example.com/gone.html\" target='_blank'>"
               u"http://www.example.com/gone.html</a></td><td style='color:#FF0000'>死链接</td><td>Not Found</td>"
               u"<td>2</td><td>235毫秒</td><td> http://www.example.com/a.html</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://other.example.org/\" target='_blank'>"
               u"http://other.example.org/</a></td><td>未检测</td><td></td><td>1</td><td></td>"
               u"<td> http://www.example.com</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://www.example.com/b.html\" target='_blank'>"
               u"http://www.example.com/b.html</a></td><td>未检测</td><td></td><td>2</td><td>40毫秒</td>"
               u"<td> http://www.example.com/a.html</td></tr>"_s,
           });

    // A one-character query time reads as seconds, longer ones as milliseconds.
    const auto unitRow = [](const QString& cell) {
        return ExpectedTxt({u"http://www.example.com    有效链接        OK        0        "_s + cell +
                            u"        http://www.example.com"_s});
    };
    QTest::newRow("txt 0 ms") << HomePageProbedIn(0) << int(ReportTxt) << unitRow(u"0秒"_s);
    QTest::newRow("txt 7 ms") << HomePageProbedIn(7) << int(ReportTxt) << unitRow(u"7秒"_s);
    QTest::newRow("txt 12 ms") << HomePageProbedIn(12) << int(ReportTxt) << unitRow(u"12毫秒"_s);
    QTest::newRow("txt 11000 ms") << HomePageProbedIn(11000) << int(ReportTxt) << unitRow(u"11000毫秒"_s);
    const auto htmlUnitRow = [](const QString& cell) {
        return ExpectedHtml({u"<tr align='center'><td><a href=\"http://www.example.com\" target='_blank'>"
                             u"http://www.example.com</a></td><td style='color:#0000FF'>有效链接</td><td>OK</td>"
                             u"<td>0</td><td>"_s +
                             cell + u"</td><td>http://www.example.com</td></tr>"_s});
    };
    QTest::newRow("html 0 ms") << HomePageProbedIn(0) << int(ReportHtml) << htmlUnitRow(u"0秒"_s);
    QTest::newRow("html 12 ms") << HomePageProbedIn(12) << int(ReportHtml) << htmlUnitRow(u"12毫秒"_s);

    // A timed-out probe has a word of its own in each format.
    QTest::newRow("txt timed out")
        << TimedOutLink() << int(ReportTxt)
        << ExpectedTxt({
               u"http://www.example.com    有效链接        OK        0        88毫秒        http://www.example.com"_s,
               u"http://www.example.com/slow.php    超时检测        查询超时        1        11000毫秒        "
               u"http://www.example.com"_s,
           });
    QTest::newRow("html timed out")
        << TimedOutLink() << int(ReportHtml)
        << ExpectedHtml({
               u"<tr align='center'><td><a href=\"http://www.example.com\" target='_blank'>http://www.example.com"
               u"</a></td><td style='color:#0000FF'>有效链接</td><td>OK</td><td>0</td><td>88毫秒</td>"
               u"<td>http://www.example.com</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://www.example.com/slow.php\" target='_blank'>"
               u"http://www.example.com/slow.php</a></td><td style='color:#990000'>超时链接</td><td>查询超时</td>"
               u"<td>1</td><td>11000毫秒</td><td> http://www.example.com</td></tr>"_s,
           });

    // Dead-link list: node 1 shows its own text, a later top-level page its own URL.
    QTest::newRow("txt dead-link list")
        << DeadLinkList() << int(7)
        << ExpectedTxt({
               u"http://www.example.com/news.html    有效链接        OK        1        60毫秒        "
               u"/news.html(新闻中心)"_s,
               u"http://www.example.com/old.html    死链接        Not Found        2        12毫秒        "
               u"http://www.example.com/news.html"_s,
               u"http://www.example.com/about.html    有效链接        OK        1        70毫秒        "
               u"http://www.example.com/about.html"_s,
               u"http://gone.example.net/    死链接                2        3000毫秒        "
               u"http://www.example.com/about.html"_s,
           });
    QTest::newRow("html dead-link list")
        << DeadLinkList() << int(ReportHtml)
        << ExpectedHtml({
               u"<tr align='center'><td><a href=\"http://www.example.com/news.html\" target='_blank'>"
               u"http://www.example.com/news.html</a></td><td style='color:#0000FF'>有效链接</td><td>OK</td>"
               u"<td>1</td><td>60毫秒</td><td>/news.html(新闻中心)</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://www.example.com/old.html\" target='_blank'>"
               u"http://www.example.com/old.html</a></td><td style='color:#FF0000'>死链接</td><td>Not Found</td>"
               u"<td>2</td><td>12毫秒</td><td> http://www.example.com/news.html</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://www.example.com/about.html\" target='_blank'>"
               u"http://www.example.com/about.html</a></td><td style='color:#0000FF'>有效链接</td><td>OK</td>"
               u"<td>1</td><td>70毫秒</td><td> http://www.example.com/about.html</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://gone.example.net/\" target='_blank'>"
               u"http://gone.example.net/</a></td><td style='color:#FF0000'>死链接</td><td></td>"
               u"<td>2</td><td>3000毫秒</td><td> http://www.example.com/about.html</td></tr>"_s,
           });

    // Crawled text cannot open tags or leave an attribute in Html; plain text keeps it as it is.
    QTest::newRow("html hostile text")
        << HostileSite() << int(ReportHtml)
        << ExpectedHtml({
               u"<tr align='center'><td><a href=\"http://www.example.com/?a=1&amp;b=2\" target='_blank'>"
               u"http://www.example.com/?a=1&amp;b=2</a></td><td style='color:#0000FF'>有效链接</td><td>OK</td>"
               u"<td>0</td><td>50毫秒</td><td>http://www.example.com/?a=1&amp;b=2</td></tr>"_s,
               u"<tr align='center'><td><a href=\""_s + kHostileUrlEscaped + u"\" target='_blank'>"_s +
                   kHostileUrlEscaped +
                   u"</a></td><td style='color:#FF0000'>死链接</td><td>Bad &quot;Request&quot; &lt;b&gt;</td>"
                   u"<td>1</td><td>20毫秒</td><td> http://www.example.com/?a=1&amp;b=2</td></tr>"_s,
               u"<tr align='center'><td><a href=\"http://www.example.com/y\" target='_blank'>"
               u"http://www.example.com/y</a></td><td>未检测</td><td></td><td>2</td><td></td><td> "_s +
                   kHostileUrlEscaped + u"</td></tr>"_s,
           });
    QTest::newRow("txt hostile text")
        << HostileSite() << int(ReportTxt)
        << ExpectedTxt({
               u"http://www.example.com/?a=1&b=2    有效链接        OK        0        50毫秒        "
               u"http://www.example.com/?a=1&b=2"_s,
               kHostileUrl + u"    死链接        Bad \"Request\" <b>        1        20毫秒        "
                             u"http://www.example.com/?a=1&b=2"_s,
               u"http://www.example.com/y    未检测        -        2        -         "_s + kHostileUrl,
           });
}

// The file holds exactly the report and one CR LF in GB18030, replacing what was there.
void TestTextReport::writesReportBytes()
{
    QFETCH(TreeSpec, tree);
    QFETCH(int, format);
    QFETCH(QString, expected);

    ResultTree list;
    Fill(list, tree);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"report.txt"_s);
    WriteBytes(path, QByteArray(64 * 1024, 'x'));

    const WriteResult result = WriteTextReport(list, path, format);
    QVERIFY2(result.ok, qPrintable(result.error));
    const QByteArray bytes = ReadAll(path);
    if (bytes != Gb18030(expected)) {
        QStringDecoder decoder("GB18030");
        const QString written = decoder.decode(bytes);
        QCOMPARE(written, expected); // shows where the texts part
    }
    QCOMPARE(bytes, Gb18030(expected));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"report.txt"_s});
}

// Chinese texts come out as GBK bytes; a character GBK lacks still survives as GB18030.
void TestTextReport::encodesInGb18030()
{
    ResultTree list;
    Fill(list, {{0, u"http://www.example.com/😀"_s, NoStatus, Unprobed(0, u"http://www.example.com/秒"_s)}});
    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.txt"_s);
    QVERIFY(WriteTextReport(list, path, ReportTxt).ok);

    const QByteArray bytes = ReadAll(path);
    QVERIFY(bytes.contains(QByteArray::fromHex("0d0a0d0abcecb2e2c1b4bdd3202020")));         // CR LF CR LF 检测链接
    QVERIFY(bytes.contains(QByteArray::fromHex("0d0a687474703a2f2f7777772e6578616d706c652e636f6d2fc3eb")));
    QVERIFY(bytes.endsWith(QByteArray::fromHex("2f9439fc360d0a")));                           // /😀 CR LF
    QVERIFY(!bytes.contains(QByteArray("\xe7\xa7\x92")));                                    // no UTF-8 秒
}

void TestTextReport::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<int>("nameLength");

    QTest::newRow("read-only folder") << true << 10;
    QTest::newRow("no room beside the name for a temporary file") << false << 255;
}

// A write that cannot complete leaves the old report byte for byte and nothing beside it.
void TestTextReport::failedWriteKeepsOldFile()
{
    QFETCH(bool, readOnlyFolder);
    QFETCH(int, nameLength);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = QString(nameLength - 4, u'r') + u".txt";
    const QString path = dir.filePath(name);
    const QByteArray old = "an older report that must survive\r\n";
    WriteBytes(path, old);
    QFile folder(dir.path());
    if (readOnlyFolder) {
        QVERIFY(folder.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (WritesIgnorePermissions(dir.path())) {
            folder.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QSKIP("this user can write into read-only folders");
        }
    }

    ResultTree list;
    Fill(list, ProbedSite());
    const WriteResult txt = WriteTextReport(list, path, ReportTxt);
    const WriteResult html = WriteTextReport(list, path, ReportHtml);
    folder.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QVERIFY(!txt.ok);
    QVERIFY(!txt.error.isEmpty());
    QVERIFY(!html.ok);
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}
