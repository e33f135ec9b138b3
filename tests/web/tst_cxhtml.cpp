#include "cxhtml.h"
#include "httpclient.h"
#include "testserver.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

TestServer::Response page(const QByteArray& body, const QByteArray& contentType = "text/html")
{
    TestServer::Response r;
    r.body = body;
    r.contentType = contentType;
    return r;
}

} // namespace

class CXHtmlTest : public QObject
{
    Q_OBJECT

    TestServer server_;
    HttpClient client_;

    CXHtml fetcher(const QString& path)
    {
        CXHtml html(&client_);
        html.sUrl(server_.url(path));
        html.sTime(5);
        return html;
    }

private slots:
    void initTestCase()
    {
        server_.setRoute(u"/gb.html"_s, page("<meta charset=gb2312><p>\xD6\xD0\xCE\xC4</p>"));
        server_.setRoute(u"/utf8.html"_s, page("<meta charset=\"UTF-8\"><p>\xE4\xB8\xAD\xE6\x96\x87</p>"));
        server_.setRoute(u"/big5.html"_s, page("<meta http-equiv=Content-Type content=\"text/html; charset=big5\">"
                                               "<p>\xA4\xA4\xA4\xE5</p>"));
        server_.setRoute(u"/header.html"_s,
                         page("<p>\xE4\xB8\xAD\xE6\x96\x87</p>", "text/html; charset=utf-8"));
        server_.setRoute(u"/bom.html"_s, page("\xEF\xBB\xBF<meta charset=gb2312><p>\xE4\xB8\xAD\xE6\x96\x87</p>"));
        server_.setRoute(u"/plain.html"_s, page("<p>\xD6\xD0\xCE\xC4</p>"));
        server_.setRoute(u"/selfclose.html"_s, page("<meta charset=utf-8 /><p>\xE4\xB8\xAD</p>"));
        server_.setRedirect(u"/moved"_s, u"/utf8.html"_s);
        server_.setStatus(u"/error"_s, 500);
    }

    // Only a final status of 200-299 gives text; error pages, even with a body, give nothing.
    void getHttpPage_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QString>("expected");
        QTest::newRow("gb2312") << u"/gb.html"_s << u"gb2312"_s << u"<meta charset=gb2312><p>中文</p>"_s;
        QTest::newRow("utf-8") << u"/utf8.html"_s << u"utf-8"_s << u"<meta charset=\"UTF-8\"><p>中文</p>"_s;
        QTest::newRow("redirect followed") << u"/moved"_s << u"utf-8"_s
                                           << u"<meta charset=\"UTF-8\"><p>中文</p>"_s;
        QTest::newRow("404 error page") << u"/missing"_s << u"gb2312"_s << QString();
        QTest::newRow("500") << u"/error"_s << u"gb2312"_s << QString();
    }

    void getHttpPage()
    {
        QFETCH(QString, path);
        QFETCH(QString, charset);
        QFETCH(QString, expected);
        QCOMPARE(fetcher(path).GetHttpPage(charset), expected);
    }

    // The set named by the header, a byte-order mark or the page itself; gb2312 when nothing is said.
    void getChar_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("meta gb2312") << u"/gb.html"_s << u"gb2312"_s;
        QTest::newRow("html5 quoted") << u"/utf8.html"_s << u"utf-8"_s;
        QTest::newRow("content attribute") << u"/big5.html"_s << u"big5"_s;
        QTest::newRow("header only") << u"/header.html"_s << u"utf-8"_s;
        QTest::newRow("bom over meta") << u"/bom.html"_s << u"utf-8"_s;
        QTest::newRow("self-closing") << u"/selfclose.html"_s << u"utf-8"_s;
        QTest::newRow("none") << u"/plain.html"_s << u"gb2312"_s;
        QTest::newRow("unreachable page") << u"/missing"_s << u"gb2312"_s;
    }

    void getChar()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(fetcher(path).GetChar(), expected);
    }

    // GetSrc puts "http://" in front of a bare host, sniffs the set once (two downloads in all) and keeps
    // it; with the set known it downloads once.
    void getSrc()
    {
        CXHtml html(&client_);
        html.sUrl(u"127.0.0.1:"_s + QString::number(server_.port()) + u"/big5.html"_s);
        html.sTime(5);
        const int before = server_.hits(u"/big5.html"_s);
        QVERIFY(html.GetSrc().endsWith(u"<p>中文</p>"_s));
        QCOMPARE(html.url(), server_.url(u"/big5.html"_s));
        QCOMPARE(html.char_(), u"big5"_s);
        QCOMPARE(server_.hits(u"/big5.html"_s) - before, 2);
        QVERIFY(html.GetSrc().endsWith(u"<p>中文</p>"_s));
        QCOMPARE(server_.hits(u"/big5.html"_s) - before, 3);

        CXHtml empty(&client_);
        const int total = server_.requests().size();
        QCOMPARE(empty.GetSrc(), QString());
        QCOMPARE(empty.PostSrc(u"a=1"_s), QString());
        QCOMPARE(server_.requests().size(), total);
        QCOMPARE(empty.url(), QString());
    }

    // Page fetches send the default User-Agent, or the one set; Referer only when set.
    void requestHeaders()
    {
        CXHtml html = fetcher(u"/plain.html"_s);
        html.GetHttpPage(u"gb2312"_s);
        TestServer::Request sent = server_.requests().constLast();
        QCOMPARE(QString::fromUtf8(sent.headers.value("user-agent")), CXHtml::kDefaultAgent);
        QCOMPARE(CXHtml::kDefaultAgent, u"Mozilla/5.0 (Windows; U; Windows NT 6.0; zh-CN; rv:1.9.0.3) "
                                        "Gecko/2008092417 Firefox/3.0.3 (.NET CLR 3.5.30729)"_s);
        QVERIFY(!sent.headers.contains("referer"));

        html.sAgent(u"KelvaraTest/1.0"_s);
        html.sRefer(u"http://site.test/from"_s);
        html.GetHttpPage(u"gb2312"_s);
        sent = server_.requests().constLast();
        QCOMPARE(sent.headers.value("user-agent"), QByteArray("KelvaraTest/1.0"));
        QCOMPARE(sent.headers.value("referer"), QByteArray("http://site.test/from"));
    }

    // A POST sends the form body as UTF-8 with the form content type and decodes the answer.
    void post()
    {
        server_.setRoute(u"/form"_s, page("<p>\xE4\xB8\xAD</p>", "text/html; charset=utf-8"));
        CXHtml html = fetcher(u"/form"_s);
        QCOMPARE(html.PostHttpPage(u"q=中&x='1'"_s, u"utf-8"_s), u"<p>中</p>"_s);
        const TestServer::Request sent = server_.requests().constLast();
        QCOMPARE(sent.method, u"POST"_s);
        QCOMPARE(sent.body, u"q=中&x='1'"_s.toUtf8());
        QCOMPARE(sent.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(QString::fromUtf8(sent.headers.value("user-agent")), CXHtml::kDefaultAgent);

        html.sChar(QString());
        QCOMPARE(html.PostSrc(u"a=1"_s), u"<p>中</p>"_s); // the set is sniffed with a GET
        QCOMPARE(html.char_(), u"utf-8"_s);
        QCOMPARE(server_.requests().constLast().method, u"POST"_s);
    }

    void silentPageTimesOut()
    {
        server_.setSilent(u"/silent"_s);
        CXHtml html = fetcher(u"/silent"_s);
        html.sTime(1);
        QElapsedTimer wall;
        wall.start();
        QCOMPARE(html.GetHttpPage(u"gb2312"_s), QString());
        QVERIFY(wall.elapsed() >= 1'500);
        QVERIFY(wall.elapsed() < 2'400);
    }

    void textHelpers()
    {
        QCOMPARE(CXHtml::GetSqlStr(u"it's 'ok'"_s), u"it\"s \"ok\""_s);
        QCOMPARE(CXHtml::GetSqlStr(QString()), QString());
        QVERIFY(CXHtml::CheckNull(u"   "_s));
        QVERIFY(CXHtml::CheckNull(QString()));
        QVERIFY(!CXHtml::CheckNull(u" a "_s));
        QVERIFY(!CXHtml::CheckNull(u"\t"_s)); // only spaces are trimmed
        QCOMPARE(CXHtml::GetMemo(u"abc[x]def[y]"_s, u"["_s, u"]"_s), u"x"_s);
        QCOMPARE(CXHtml::GetMemo(u"abc[x]def"_s, u"{"_s, u"]"_s), QString());
        QCOMPARE(CXHtml::GetMemo(u"abc]x[def"_s, u"["_s, u"]"_s), QString());
        QCOMPARE(CXHtml::BytesToBstr("\xD6\xD0", u"gb2312"_s), u"中"_s);
    }

    void defaults()
    {
        CXHtml html(&client_);
        QCOMPARE(html.TryTime(), 10);
        QVERIFY(html.url().isEmpty() && html.char_().isEmpty() && html.refer().isEmpty() && html.agent().isEmpty());
    }
};

QTEST_GUILESS_MAIN(CXHtmlTest)
#include "tst_cxhtml.moc"
