#include "httpclient.h"
#include "link.h"
#include "silentserver.h"
#include "testserver.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

class LinkTest : public QObject
{
    Q_OBJECT

    TestServer server_;
    HttpClient client_;

    Link probe(const QString& url, qint32 tryTime = 5)
    {
        Link link(&client_);
        link.Check_url(url);
        link.sTime(tryTime);
        return link;
    }

private slots:
    void initTestCase()
    {
        server_.setPage(u"/ok"_s, "<p>ok</p>");
        server_.setRedirect(u"/moved"_s, u"/ok"_s, 301);
        server_.setRedirect(u"/gone"_s, u"/nowhere"_s);
        server_.setRedirect(u"/loop"_s, u"/loop"_s);
        server_.setStatus(u"/error"_s, 500);
        server_.setStatus(u"/forbidden"_s, 403);
        TestServer::Response slow;
        slow.delayMs = 150;
        slow.body = "slow";
        server_.setRoute(u"/slow"_s, slow);
    }

    // Final statuses 200-399 are valid with the server's status text, others dead with their code and
    // meaning too; no status at all is dead with the reason.
    void checkUrl_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("statusText");
        QTest::newRow("200") << u"/ok"_s << true << u"OK"_s;
        QTest::newRow("301 to 200") << u"/moved"_s << true << u"OK"_s;
        QTest::newRow("302 to 404") << u"/gone"_s << false << u"404 Not Found（页面不存在）"_s;
        QTest::newRow("404 page") << u"/missing"_s << false << u"404 Not Found（页面不存在）"_s;
        QTest::newRow("403") << u"/forbidden"_s << false << u"403 Forbidden（禁止访问）"_s;
        QTest::newRow("500") << u"/error"_s << false << u"500 Internal Server Error（服务器内部错误）"_s;
        QTest::newRow("redirect loop") << u"/loop"_s << false << u"重定向次数过多"_s;
    }

    void checkUrl()
    {
        QFETCH(QString, path);
        QFETCH(bool, valid);
        QFETCH(QString, statusText);
        Link link = probe(server_.url(path));
        QCOMPARE(link.CheckUrl(), valid);
        QCOMPARE(link.statusText(), statusText);
        QVERIFY(link.querytimes() < 2'000); // milliseconds, not a timeout's seconds
    }

    void queryTimeInMilliseconds()
    {
        Link link = probe(server_.url(u"/slow"_s));
        QVERIFY(link.CheckUrl());
        QVERIFY2(link.querytimes() >= 150 && link.querytimes() < 1'000, QByteArray::number(link.querytimes()).constData());
    }

    void closedPortIsDead()
    {
        ClosedPort closed;
        Link link = probe(closed.url(u"/"_s));
        QVERIFY(!link.CheckUrl());
        QCOMPARE(link.statusText(), u"连接被拒绝"_s);
        QVERIFY(link.querytimes() < 2'000);
    }

    // A server that accepts and never answers: dead, "查询超时", and the rounded seconds (tryTime + 1) as
    // the query time, after tryTime + 0.5 s and a little.
    void timeout()
    {
        SilentTcpServer silent;
        Link link = probe(silent.url(u"/"_s), 2);
        QElapsedTimer wall;
        wall.start();
        QVERIFY(!link.CheckUrl());
        QCOMPARE(link.statusText(), u"查询超时"_s);
        QCOMPARE(link.querytimes(), 3);
        QVERIFY(wall.elapsed() >= 2'500);
        QVERIFY(wall.elapsed() < 3'000);
    }

    // The probe stops at the status line and sends no headers of its own.
    void probeSendsTheProgramsAgent()
    {
        TestServer big;
        TestServer::Response r;
        r.contentType = "text/html; charset=utf-8";
        r.generatedSize = qint64(100) * 1024 * 1024;
        big.setRoute(u"/big"_s, r);
        Link link = probe(big.url(u"/big"_s));
        QVERIFY(link.CheckUrl());
        QVERIFY(big.generatedBytes() < 32 * 1024 * 1024);
        QCOMPARE(link.lastResponse().contentType, QByteArray("text/html; charset=utf-8"));
        const TestServer::Request sent = big.requests().constFirst();
        QVERIFY(!sent.headers.contains("referer"));
        // Many servers refuse a request without an agent, so a probe sends the program's own.
        QCOMPARE(sent.headers.value("user-agent"), CXHtml::kDefaultAgent.toUtf8());
    }

    // Check_url keeps the letter case of path and query, adds "http://" only when there is no scheme,
    // and an https link stays https.
    void checkUrlText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("bare host") << u"WWW.Site.Test/Docs/A.html?Q=X"_s << u"http://www.site.test/Docs/A.html?Q=X"_s;
        QTest::newRow("http") << u"HTTP://Site.Test/Path"_s << u"http://site.test/Path"_s;
        QTest::newRow("https") << u"https://Site.Test/Path"_s << u"https://site.test/Path"_s;
        QTest::newRow("host and port") << u"site.test:8080/A"_s << u"http://site.test:8080/A"_s;
        QTest::newRow("surrounding spaces") << u"  site.test/A  "_s << u"http://site.test/A"_s;
    }

    void checkUrlText()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        Link link(&client_);
        link.Check_url(text);
        QCOMPARE(link.Check_url(), stored);
    }

    void mixedCasePathIsRequestedAsWritten()
    {
        server_.setPage(u"/Docs/Page.HTML"_s, "<p>case</p>");
        Link link = probe(u"127.0.0.1:"_s + QString::number(server_.port()) + u"/Docs/Page.HTML?Id=AbC"_s);
        QVERIFY(link.CheckUrl());
        const TestServer::Request sent = server_.requests().constLast();
        QCOMPARE(sent.path, u"/Docs/Page.HTML"_s);
        QCOMPARE(sent.query, u"Id=AbC"_s);
    }

    // https is probed as https: a plain HTTP server cannot answer a TLS handshake, so the probe fails
    // instead of silently being sent as http.
    void httpsStaysHttps()
    {
        Link link = probe(u"https://127.0.0.1:"_s + QString::number(server_.port()) + u"/ok"_s, 2);
        const int before = server_.hits(u"/ok"_s);
        QVERIFY(!link.CheckUrl());
        QCOMPARE(server_.hits(u"/ok"_s), before);
        QCOMPARE(link.lastResponse().finalUrl.scheme(), u"https"_s);
        QCOMPARE(link.lastResponse().finalUrl.port(), int(server_.port()));
        QCOMPARE(link.lastResponse().error, HttpError::Transport);
    }

    // The source is sniffed, then decoded in the declared set.
    void checkLinks_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("expected");
        QTest::newRow("utf-8 meta") << QByteArray("<meta charset=utf-8><a href=x>\xE4\xB8\xAD</a>")
                                    << QByteArray("text/html") << u"<meta charset=utf-8><a href=x>中</a>"_s;
        QTest::newRow("default gb2312") << QByteArray("<a href=x>\xD6\xD0</a>") << QByteArray("text/html")
                                        << u"<a href=x>中</a>"_s;
        QTest::newRow("big5 by header") << QByteArray("<a>\xA4\xA4</a>") << QByteArray("text/html; charset=big5")
                                        << u"<a>中</a>"_s;
    }

    void checkLinks()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, expected);
        TestServer::Response r;
        r.body = body;
        r.contentType = contentType;
        server_.setRoute(u"/scan"_s, r);
        Link link = probe(server_.url(u"/scan"_s));
        link.CheckLinks();
        QCOMPARE(link.websource(), expected);
        QCOMPARE(link.GetChar(), QString::fromLatin1(contentType.contains("big5") ? "big5"
                                                     : body.contains("utf-8")   ? "utf-8"
                                                                                : "gb2312"));
    }

    void checkLinksOfDeadPageIsEmpty()
    {
        Link link = probe(server_.url(u"/ok"_s));
        link.CheckLinks();
        QCOMPARE(link.websource(), u"<p>ok</p>"_s);
        link.Check_url(server_.url(u"/missing"_s));
        link.CheckLinks();
        QCOMPARE(link.websource(), QString());
    }

    void trimUrl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("scheme and slash") << u" HTTP://WWW.Site.Test/ "_s << u"www.site.test"_s;
        QTest::newRow("path case kept") << u"http://site.test/Docs/"_s << u"site.test/Docs"_s;
        QTest::newRow("second http cut") << u"http://site.test/?u=http://b.test"_s << u"site.test/?u="_s;
        QTest::newRow("no scheme") << u"site.test/"_s << u"site.test"_s;
    }

    void trimUrl()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Link::TrimUrl(text), expected);
    }

    void defaults()
    {
        Link link(&client_);
        QCOMPARE(link.TryTime(), 20);
        QCOMPARE(link.querytimes(), 0);
        QVERIFY(link.Check_url().isEmpty() && link.statusText().isEmpty() && link.websource().isEmpty());
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
