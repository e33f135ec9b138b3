#include "reportfixtures.h"
#include "textreport.h"
#include "tst_reports.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kCrLf = u"\r\n"_s;

QString Txt(const QStringList& rows)
{
    QString text =
        u"@@@@@@@@@@@@   txt格式的数据导出显示效果较差，如需较好的效果请导出为Excel或Html格式  @@@@@@@@@@@@ "_s +
        kCrLf + kCrLf + u"检测链接        链接状态    状态描述    链接深度    查询耗时    上级链接（导入链接）"_s;
    for (const QString& row : rows) {
        text += kCrLf + row;
    }
    return text + kCrLf;
}

QString Html(const QStringList& rows)
{
    return u"<html><title>网页死链接检测报告</title><meta http-equiv=\"Content-Type\" "
           u"content=\"text/html; charset=gb2312\" /><body><table width='100%' border='0' "
           u"style='font-size:12px'><tr align=center style='font-weight:bold'><td width='32%' height='25'>"
           u"检测链接</td><td width='11%'>链接状态</td><td width='12%'>状态描述</td><td width='8%'>链接深度</td>"
           u"<td width='11%'>查询耗时</td><td width='26%'>上级链接（导入链接）</td></tr>"_s +
           rows.join(QString()) + u"</table></body></html>\r\n"_s;
}

// One table row; `statusCell` whole, the other cells by their contents.
QString HtmlRow(const QString& url, const QString& statusCell, const QString& description, const QString& depth,
                const QString& time, const QString& parent)
{
    return u"<tr align='center'><td><a href=\""_s + url + u"\" target='_blank'>" + url + u"</a></td>" + statusCell +
           u"<td>" + description + u"</td><td>" + depth + u"</td><td>" + time + u"</td><td>" + parent + u"</td></tr>";
}

QByteArray Gb18030(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
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

    const QString home = u"http://www.example.com"_s;
    const QString valid = u"<td style='color:#0000FF'>有效链接</td>"_s;
    const QString dead = u"<td style='color:#FF0000'>死链接</td>"_s;
    const QString unchecked = u"<td>未检测</td>"_s;

    // The home page alone, before its probe: dashes for the probe fields, node 1's text as parent.
    QTest::newRow("txt home page alone") << HomePageAlone() << int(ReportTxt)
                                         << Txt({home + u"    未检测        -        0        -         " + home});
    QTest::newRow("html home page alone")
        << HomePageAlone() << int(ReportHtml) << Html({HtmlRow(home, unchecked, {}, u"0"_s, {}, home)});

    // Probed nodes: every status word, parents found by the tree and not by position.
    const QString a = home + u"/a.html";
    QTest::newRow("txt probed site")
        << ProbedSite() << int(ReportTxt)
        << Txt({home + u"    有效链接        OK        0        120毫秒        " + home,
                a + u"    有效链接        OK        1        35毫秒        " + home,
                home + u"/gone.html    死链接        Not Found        2        235毫秒        " + a,
                u"http://other.example.org/    未检测        -        1        -         "_s + home,
                home + u"/b.html    未检测                2        40毫秒        " + a});
    QTest::newRow("html probed site")
        << ProbedSite() << int(ReportHtml)
        << Html({HtmlRow(home, valid, u"OK"_s, u"0"_s, u"120毫秒"_s, home),
                 HtmlRow(a, valid, u"OK"_s, u"1"_s, u"35毫秒"_s, u' ' + home),
                 HtmlRow(home + u"/gone.html", dead, u"Not Found"_s, u"2"_s, u"235毫秒"_s, u' ' + a),
                 HtmlRow(u"http://other.example.org/"_s, unchecked, {}, u"1"_s, {}, u' ' + home),
                 HtmlRow(home + u"/b.html", unchecked, {}, u"2"_s, u"40毫秒"_s, u' ' + a)});

    // Lone surrogates (a page's address may hold them) come out as one pass of the encoder writes them.
    const QString lone = home + u"/" + QChar(0xD83D) + u"ab" + QChar(0xDE00) + u"c秒" + QChar(0xD83D) + u"d";
    QTest::newRow("txt lone surrogates")
        << TreeSpec{{0, lone, NoStatus, Unprobed(0, lone)}} << int(ReportTxt)
        << Txt({lone + u"    未检测        -        0        -         " + lone});

    // Every query time is in milliseconds, however short.
    const auto txtTime = [&](const QString& time) {
        return Txt({home + u"    有效链接        OK        0        " + time + u"        " + home});
    };
    QTest::newRow("txt 0 ms") << HomePageProbedIn(0) << int(ReportTxt) << txtTime(u"0毫秒"_s);
    QTest::newRow("txt 5 ms") << HomePageProbedIn(5) << int(ReportTxt) << txtTime(u"5毫秒"_s);
    QTest::newRow("txt 11000 ms") << HomePageProbedIn(11000) << int(ReportTxt) << txtTime(u"11000毫秒"_s);
    QTest::newRow("html 5 ms") << HomePageProbedIn(5) << int(ReportHtml)
                               << Html({HtmlRow(home, valid, u"OK"_s, u"0"_s, u"5毫秒"_s, home)});

    // A timed-out probe has a word of its own in each format.
    const QString slow = home + u"/slow.php";
    QTest::newRow("txt timed out") << TimedOutLink() << int(ReportTxt)
                                   << Txt({home + u"    有效链接        OK        0        88毫秒        " + home,
                                           slow + u"    超时检测        查询超时        1        11000毫秒        " +
                                               home});
    QTest::newRow("html timed out") << TimedOutLink() << int(ReportHtml)
                                    << Html({HtmlRow(home, valid, u"OK"_s, u"0"_s, u"88毫秒"_s, home),
                                             HtmlRow(slow, u"<td style='color:#990000'>超时链接</td>"_s, u"查询超时"_s,
                                                     u"1"_s, u"11000毫秒"_s, u' ' + home)});

    // A resource keeps the columns: its kind stands in front of its status description.
    QTest::newRow("txt resources")
        << ResourceLinks() << int(ReportTxt)
        << Txt({home + u"    有效链接        OK        0        88毫秒        " + home,
                home + u"/a.png    死链接        【图片】Not Found        1        12毫秒        " + home,
                home + u"/a.js    未检测        【脚本】-        1        -         " + home});
    QTest::newRow("html resources")
        << ResourceLinks() << int(ReportHtml)
        << Html({HtmlRow(home, valid, u"OK"_s, u"0"_s, u"88毫秒"_s, home),
                 HtmlRow(home + u"/a.png", dead, u"【图片】Not Found"_s, u"1"_s, u"12毫秒"_s, u' ' + home),
                 HtmlRow(home + u"/a.js", unchecked, u"【脚本】"_s, u"1"_s, {}, u' ' + home)});

    // Dead-link list: node 1 shows its own text, a later top-level page its own URL.
    const QString news = home + u"/news.html";
    const QString about = home + u"/about.html";
    QTest::newRow("txt dead-link list")
        << DeadLinkList() << int(7)
        << Txt({news + u"    有效链接        OK        1        60毫秒        /news.html(新闻中心)",
                home + u"/old.html    死链接        Not Found        2        12毫秒        " + news,
                about + u"    有效链接        OK        1        70毫秒        " + about,
                u"http://gone.example.net/    死链接                2        3000毫秒        "_s + about});
    QTest::newRow("html dead-link list")
        << DeadLinkList() << int(ReportHtml)
        << Html({HtmlRow(news, valid, u"OK"_s, u"1"_s, u"60毫秒"_s, u"/news.html(新闻中心)"_s),
                 HtmlRow(home + u"/old.html", dead, u"Not Found"_s, u"2"_s, u"12毫秒"_s, u' ' + news),
                 HtmlRow(about, valid, u"OK"_s, u"1"_s, u"70毫秒"_s, u' ' + about),
                 HtmlRow(u"http://gone.example.net/"_s, dead, {}, u"2"_s, u"3000毫秒"_s, u' ' + about)});

    // Crawled text cannot open tags or leave an attribute in Html; plain text keeps it as it is.
    const QString query = u"http://www.example.com/?a=1&amp;b=2"_s;
    QTest::newRow("html hostile text")
        << HostileSite() << int(ReportHtml)
        << Html({HtmlRow(query, valid, u"OK"_s, u"0"_s, u"50毫秒"_s, query),
                 HtmlRow(kHostileUrlEscaped, dead, u"Bad &quot;Request&quot; &lt;b&gt;"_s, u"1"_s, u"20毫秒"_s,
                         u' ' + query),
                 HtmlRow(home + u"/y", unchecked, {}, u"2"_s, {}, u' ' + kHostileUrlEscaped)});
    const QString rawQuery = u"http://www.example.com/?a=1&b=2"_s;
    QTest::newRow("txt hostile text")
        << HostileSite() << int(ReportTxt)
        << Txt({rawQuery + u"    有效链接        OK        0        50毫秒        " + rawQuery,
                kHostileUrl + u"    死链接        Bad \"Request\" <b>        1        20毫秒        " + rawQuery,
                home + u"/y    未检测        -        2        -         " + kHostileUrl});
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
    QVERIFY(WriteBytes(path, QByteArray(64 * 1024, 'x')));

    const WriteResult result = WriteTextReport(list, path, format);
    QVERIFY2(result.ok, qPrintable(result.error));
    const QByteArray bytes = ReadAll(path);
    if (bytes != Gb18030(expected)) {
        QStringDecoder decoder("GB18030");
        const QString written = decoder.decode(bytes);
        QCOMPARE(written, expected); // shows where the texts part
    }
    QCOMPARE(bytes, Gb18030(expected));
    QCOMPARE(FilesIn(dir.path()), QStringList{u"report.txt"_s});
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
    QVERIFY(bytes.contains(QByteArray::fromHex("0d0a0d0abcecb2e2c1b4bdd3202020"))); // CR LF CR LF 检测链接
    QVERIFY(bytes.contains(QByteArray::fromHex("0d0a687474703a2f2f7777772e6578616d706c652e636f6d2fc3eb")));
    QVERIFY(bytes.endsWith(QByteArray::fromHex("2f9439fc360d0a"))); // /😀 CR LF
    QVERIFY(!bytes.contains(QByteArray("\xe7\xa7\x92")));           // no UTF-8 秒
}

void TestTextReport::writesInPlaceWhereNoCopyFits_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<bool>("readOnlyFile");
    QTest::addColumn<int>("nameLength");

    QTest::newRow("read-only folder") << true << false << 10;
    QTest::newRow("no room beside the name for a temporary file") << false << false << 255;
    QTest::newRow("read-only file in a read-only folder: not written") << true << true << 10;
}

// Where no temporary copy fits beside the report, a file the user may write is written in place; one
// that cannot be written keeps its old bytes. Nothing is left beside it either way.
void TestTextReport::writesInPlaceWhereNoCopyFits()
{
    QFETCH(bool, readOnlyFolder);
    QFETCH(bool, readOnlyFile);
    QFETCH(int, nameLength);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = QString(nameLength - 4, u'r') + u".txt";
    const QString path = dir.filePath(name);
    const QByteArray old = "an older report that must survive\r\n";
    QVERIFY(WriteBytes(path, old));
    if (readOnlyFile) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    }
    std::optional<ReadOnlyFolder> locked;
    if (readOnlyFolder && !locked.emplace(dir.path()).holds()) {
        QSKIP("this user can write into read-only folders");
    }

    ResultTree list;
    Fill(list, ProbedSite());
    const WriteResult html = WriteTextReport(list, path, ReportHtml);
    locked.reset();

    QCOMPARE(html.ok, !readOnlyFile);
    QCOMPARE(html.error.isEmpty(), !readOnlyFile);
    QCOMPARE(ReadAll(path), readOnlyFile ? old : Gb18030(TextReportText(list, ReportHtml) + kCrLf));
    QCOMPARE(FilesIn(dir.path()), QStringList{name});
}
