#include "httpclient.h"
#include "silentserver.h"
#include "testserver.h"
#include "timeoutrule.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kMs = 1'000'000;

HttpRequest get(const QString& url, qint32 tryTime = 5)
{
    HttpRequest r;
    r.url = url;
    r.tryTime = tryTime;
    return r;
}

} // namespace

class HttpClientTest : public QObject
{
    Q_OBJECT

    TestServer server_;
    ClosedPort closed_;
    HttpClient client_;

private slots:
    void initTestCase()
    {
        QVERIFY(server_.port() != 0);
        server_.setPage(u"/ok"_s, "<p>fine</p>");
        server_.setStatus(u"/broken"_s, 500);
        server_.setRedirect(u"/moved"_s, u"/ok"_s, 301);
        server_.setRedirect(u"/found"_s, server_.url(u"/ok"_s));
        server_.setRedirect(u"/gone"_s, u"/nothing-here"_s);
        server_.setRedirect(u"/loop"_s, u"/loop"_s);
        server_.setRedirect(u"/ping"_s, u"/pong"_s, 307);
        server_.setRedirect(u"/pong"_s, u"/ping"_s, 308);
        server_.setRedirect(u"/to-closed"_s, closed_.url(u"/x"_s));
        server_.setRedirect(u"/to-mail"_s, u"mailto:someone@site.test"_s);
        server_.setStatus(u"/no-location"_s, 302);
        for (int i = 1; i <= 11; ++i) { // /hop1 -> /hop2 -> ... -> /hop11 -> /hop12 (the page)
            server_.setRedirect(u"/hop"_s + QString::number(i), u"/hop"_s + QString::number(i + 1));
        }
        server_.setPage(u"/hop12"_s, "end");
    }

    // The final status counts; redirects are followed up to ten hops, and what cannot be followed ends
    // without a status.
    void statuses_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("completed");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("finalPath");
        QTest::addColumn<int>("error");

        const int none = int(HttpError::None);
        const int redirect = int(HttpError::Redirect);
        const int transport = int(HttpError::Transport);
        QTest::newRow("200") << u"/ok"_s << true << 200 << u"OK"_s << u"/ok"_s << none;
        QTest::newRow("404 page") << u"/missing"_s << true << 404 << u"Not Found"_s << u"/missing"_s << none;
        QTest::newRow("500") << u"/broken"_s << true << 500 << u"Internal Server Error"_s << u"/broken"_s
                             << none;
        QTest::newRow("301 to 200") << u"/moved"_s << true << 200 << u"OK"_s << u"/ok"_s << none;
        QTest::newRow("302 absolute to 200") << u"/found"_s << true << 200 << u"OK"_s << u"/ok"_s << none;
        QTest::newRow("302 to 404") << u"/gone"_s << true << 404 << u"Not Found"_s << u"/nothing-here"_s
                                    << none;
        QTest::newRow("302 without Location") << u"/no-location"_s << true << 302 << u"Found"_s
                                              << u"/no-location"_s << none;
        QTest::newRow("ten hops") << u"/hop2"_s << true << 200 << u"OK"_s << u"/hop12"_s << none;
        QTest::newRow("eleven hops") << u"/hop1"_s << false << 0 << QString() << u"/hop11"_s << redirect;
        QTest::newRow("loop to itself") << u"/loop"_s << false << 0 << QString() << u"/loop"_s << redirect;
        QTest::newRow("loop of two") << u"/ping"_s << false << 0 << QString() << u"/ping"_s << redirect;
        QTest::newRow("to a closed port") << u"/to-closed"_s << false << 0 << QString() << u"/x"_s << transport;
        QTest::newRow("to mail") << u"/to-mail"_s << false << 0 << QString() << u"/to-mail"_s << redirect;
    }

    void statuses()
    {
        QFETCH(QString, path);
        QFETCH(bool, completed);
        QFETCH(int, status);
        QFETCH(QString, statusText);
        QFETCH(QString, finalPath);
        QFETCH(int, error);

        for (const bool wantBody : {true, false}) {
            HttpRequest request = get(server_.url(path));
            request.wantBody = wantBody;
            const HttpResult r = client_.fetch(request);
            QCOMPARE(r.completed, completed);
            QCOMPARE(r.status, status);
            QCOMPARE(r.statusText, statusText);
            QCOMPARE(r.finalUrl.path(), finalPath);
            QCOMPARE(int(r.error), error);
        }
    }

    // Error pages come with their body; a loop stops after the tenth redirect.
    void bodiesAndHops()
    {
        const HttpResult missing = client_.fetch(get(server_.url(u"/missing"_s)));
        QVERIFY(missing.body.contains("Not Found</h1>"));
        QCOMPARE(missing.contentType, QByteArray("text/html"));
        const int before = server_.hits(u"/loop"_s);
        client_.fetch(get(server_.url(u"/loop"_s)));
        QCOMPARE(server_.hits(u"/loop"_s) - before, 1 + kMaxRedirects);
    }

    void closedPort()
    {
        const HttpResult r = client_.fetch(get(closed_.url(u"/"_s)));
        QVERIFY(!r.completed);
        QCOMPARE(r.error, HttpError::Transport);
        QVERIFY(!r.errorText.isEmpty());
        QVERIFY(r.elapsedNs < 2'000 * kMs);
    }

    void malformedUrl()
    {
        const HttpResult r = client_.fetch(get(u"http://"_s));
        QVERIFY(!r.completed);
        QCOMPARE(r.error, HttpError::Transport);
    }

    // A response without a reason phrase (as over HTTP/2) gets the standard phrase of its code.
    void reasonPhrase_data()
    {
        QTest::addColumn<QByteArray>("statusLine");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("statusText");
        QTest::newRow("missing") << QByteArray("HTTP/1.1 404 ") << 404 << u"Not Found"_s;
        QTest::newRow("missing, no space") << QByteArray("HTTP/1.1 503") << 503 << u"Service Unavailable"_s;
        QTest::newRow("server's own") << QByteArray("HTTP/1.1 200 Fine Thanks") << 200 << u"Fine Thanks"_s;
        QTest::newRow("unregistered code") << QByteArray("HTTP/1.1 299 ") << 299 << QString();
    }

    void reasonPhrase()
    {
        QFETCH(QByteArray, statusLine);
        QFETCH(int, status);
        QFETCH(QString, statusText);
        CannedTcpServer canned(statusLine + "\r\nContent-Length: 2\r\nConnection: close\r\n\r\nhi");
        const HttpResult r = client_.fetch(get(canned.url(u"/"_s)));
        QVERIFY(r.completed);
        QCOMPARE(r.status, status);
        QCOMPARE(r.statusText, statusText);
    }

    // Timed out once the elapsed seconds, rounded half to even, exceed tryTime: for a tryTime of 1 at
    // 1.5 s exactly, so that the rounded time is 2.
    void timeout()
    {
        server_.setSilent(u"/silent"_s);
        QElapsedTimer wall;
        wall.start();
        const HttpResult r = client_.fetch(get(server_.url(u"/silent"_s), 1));
        const qint64 wallNs = wall.nsecsElapsed();
        QVERIFY(r.timedOut());
        QVERIFY(!r.completed);
        QCOMPARE(RoundedSeconds(r.elapsedNs), qint64(2));
        QVERIFY2(r.elapsedNs >= 1'500 * kMs, QByteArray::number(r.elapsedNs).constData());
        QVERIFY2(wallNs < 2'000 * kMs, QByteArray::number(wallNs).constData());
    }

    // 1.3 s rounds to 1 s, which does not exceed a tryTime of 1: the answer is taken.
    void lateAnswerWithinRoundedTime()
    {
        TestServer::Response slow;
        slow.body = "late";
        slow.delayMs = 1'300;
        server_.setRoute(u"/late"_s, slow);
        const HttpResult r = client_.fetch(get(server_.url(u"/late"_s), 1));
        QVERIFY(!r.timedOut());
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body, QByteArray("late"));
    }

    // Bodies are cut at the cap (after decompression) and reading stops there.
    void bodyCap_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("generated");
        QTest::addColumn<qint64>("cap");
        QTest::newRow("exactly the cap") << QByteArray("text/html") << qint64(1000) << false << qint64(1000);
        QTest::newRow("one byte over") << QByteArray("text/html") << qint64(1001) << false << qint64(1000);
        QTest::newRow("200 MiB raw") << QByteArray("text/html; charset=utf-8") << qint64(200) * 1024 * 1024
                                     << true << kMaxBodyBytes;
        QTest::newRow("21 MiB compressed") << QByteArray("text/html") << qint64(21) * 1024 * 1024 << false
                                           << kMaxBodyBytes;
    }

    void bodyCap()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(qint64, size);
        QFETCH(bool, generated);
        QFETCH(qint64, cap);
        TestServer big;
        TestServer::Response r;
        r.contentType = contentType;
        if (generated) {
            r.body = "0123456789";
            r.generatedSize = size;
        } else {
            r.body = QByteArray("0123456789").repeated(size / 10) + QByteArray(size % 10, '#');
        }
        big.setRoute(u"/big"_s, r);

        HttpRequest request = get(big.url(u"/big"_s), 20);
        request.maxBodyBytes = cap;
        const HttpResult result = client_.fetch(request);
        QVERIFY(result.completed);
        QCOMPARE(result.body.size(), qMin(size, cap));
        QCOMPARE(result.truncated, size > cap);
        QVERIFY(result.body.startsWith("0123456789"));
        if (generated) {
            QVERIFY2(big.generatedBytes() < 2 * cap, QByteArray::number(big.generatedBytes()).constData());
        }
    }

    // Only pages are read: anything else ends at its status, by its Content-Type or, without one, by
    // its first bytes.
    void onlyPagesAreRead_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<bool>("page");
        QTest::newRow("a 30 MB PDF") << QByteArray("application/pdf") << QByteArray("%PDF-1.4 ") << false;
        QTest::newRow("XHTML") << QByteArray("Application/XHTML+XML") << QByteArray("<html>") << true;
        QTest::newRow("binary without Content-Type") << QByteArray() << QByteArray("GIF89a\x01\0") << false;
        QTest::newRow("PDF without Content-Type") << QByteArray() << QByteArray("%PDF-1.7 ") << false;
        QTest::newRow("HTML without Content-Type") << QByteArray() << QByteArray("<p>") << true;
    }

    void onlyPagesAreRead()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, start);
        QFETCH(bool, page);
        TestServer site;
        TestServer::Response r;
        r.contentType = contentType;
        r.body = start;
        r.generatedSize = page ? 65'536 : 30'000'000;
        site.setRoute(u"/file"_s, r);
        const HttpResult result = client_.fetch(get(site.url(u"/file"_s)));
        QCOMPARE(result.status, 200);
        QCOMPARE(result.notPage, !page);
        QCOMPARE(result.body.isEmpty(), !page);
        if (!page) {
            QVERIFY2(site.generatedBytes() < 4 * 1024 * 1024, QByteArray::number(site.generatedBytes()).constData());
        }
    }

    // A body that breaks off before its length is no answer when the body was wanted; the status alone
    // still answers a request that needs no body.
    void bodyBrokenOff_data()
    {
        QTest::addColumn<bool>("wantBody");
        QTest::newRow("body wanted") << true;
        QTest::newRow("status only") << false;
    }

    void bodyBrokenOff()
    {
        QFETCH(bool, wantBody);
        CannedTcpServer canned("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nonly the start");
        HttpRequest request = get(canned.url(u"/"_s));
        request.wantBody = wantBody;
        const HttpResult r = client_.fetch(request);
        QCOMPARE(r.completed, !wantBody);
        QCOMPARE(r.error, wantBody ? HttpError::Transport : HttpError::None);
        QVERIFY(r.body.isEmpty());
    }

    // Without the body a request stops at the status line, however large the page.
    void statusOnly()
    {
        TestServer big;
        TestServer::Response r;
        r.contentType = "application/octet-stream";
        r.generatedSize = qint64(500) * 1024 * 1024;
        big.setRoute(u"/huge"_s, r);
        HttpRequest request = get(big.url(u"/huge"_s));
        request.wantBody = false;
        const HttpResult result = client_.fetch(request);
        QCOMPARE(result.status, 200);
        QCOMPARE(result.contentType, QByteArray("application/octet-stream"));
        QVERIFY(result.body.isEmpty());
        QVERIFY2(big.generatedBytes() < 64 * 1024 * 1024, QByteArray::number(big.generatedBytes()).constData());
    }

    // Headers are sent as given; a 303 after a POST continues as a GET without body.
    void postAndHeaders()
    {
        TestServer echo;
        echo.setPage(u"/form"_s, "posted");
        echo.setRedirect(u"/submit"_s, u"/form"_s, 303);
        HttpRequest request = get(echo.url(u"/submit"_s));
        request.method = "POST";
        request.body = "a=1&b=%E4%B8%AD";
        request.headers = {{"Content-Type", "application/x-www-form-urlencoded"}, {"X-Extra", "yes"}};
        const HttpResult r = client_.fetch(request);
        QCOMPARE(r.body, QByteArray("posted"));

        const QList<TestServer::Request> log = echo.requests();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].method, u"POST"_s);
        QCOMPARE(log[0].body, QByteArray("a=1&b=%E4%B8%AD"));
        QCOMPARE(log[0].headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(log[0].headers.value("x-extra"), QByteArray("yes"));
        QCOMPARE(log[1].method, u"GET"_s);
        QVERIFY(log[1].body.isEmpty());
        QVERIFY(!log[1].headers.contains("content-type"));
        QCOMPARE(log[1].headers.value("x-extra"), QByteArray("yes"));
    }

    // Cookies a server sets are sent back by every later request, as one browser does; a redirect's own
    // cookie counts for its next hop.
    void cookiesShared()
    {
        TestServer site;
        TestServer::Response login;
        login.status = 302;
        login.headers = {{"Set-Cookie", "session=abc; Path=/"}, {"Location", "/home"}};
        site.setRoute(u"/login"_s, login);
        site.setPage(u"/home"_s, "home");
        site.setPage(u"/other"_s, "other");
        QCOMPARE(client_.fetch(get(site.url(u"/login"_s))).body, QByteArray("home"));
        QCOMPARE(client_.fetch(get(site.url(u"/other"_s))).status, 200);
        const QList<TestServer::Request> log = site.requests();
        QCOMPARE(log.size(), 3);
        QVERIFY(!log[0].headers.contains("cookie"));
        QCOMPARE(log[1].headers.value("cookie"), QByteArray("session=abc"));
        QCOMPARE(log[2].headers.value("cookie"), QByteArray("session=abc"));
    }

    // 64 slow requests run side by side rather than six at a time.
    void manyInFlight()
    {
        TestServer slow;
        TestServer::Response r;
        r.body = "slow";
        r.delayMs = 600;
        slow.setRoute(u"/slow"_s, r);

        QElapsedTimer wall;
        wall.start();
        std::vector<std::unique_ptr<HttpReply>> replies;
        int done = 0;
        for (int i = 0; i < 64; ++i) {
            replies.push_back(client_.start(get(slow.url(u"/slow"_s))));
            connect(replies.back().get(), &HttpReply::finished, this, [&done] { ++done; });
        }
        QCOMPARE(client_.inFlight(), 64);
        QTRY_COMPARE_WITH_TIMEOUT(done, 64, 10'000);
        QVERIFY2(wall.elapsed() < 2'500, QByteArray::number(wall.elapsed()).constData());
        for (const auto& reply : replies) {
            QCOMPARE(reply->result().body, QByteArray("slow"));
        }
        QCOMPARE(client_.inFlight(), 0);
    }

    // Other events run while a request waits; an aborted or deleted request ends at once.
    void waitKeepsEventsAndAbortEnds()
    {
        TestServer::Response slow;
        slow.delayMs = 400;
        server_.setRoute(u"/slow"_s, slow);
        bool timerRan = false;
        QTimer::singleShot(50, this, [&timerRan] { timerRan = true; });
        client_.fetch(get(server_.url(u"/slow"_s)));
        QVERIFY(timerRan);

        server_.setSilent(u"/hang"_s);
        std::unique_ptr<HttpReply> reply = client_.start(get(server_.url(u"/hang"_s)));
        QSignalSpy finished(reply.get(), &HttpReply::finished);
        QTimer::singleShot(100, reply.get(), [&reply] { reply->abort(); });
        QVERIFY(finished.wait(5'000));
        QCOMPARE(reply->result().error, HttpError::Aborted);
        QCOMPARE(finished.size(), 1);

        std::unique_ptr<HttpReply> dropped = client_.start(get(server_.url(u"/hang"_s)));
        QTRY_VERIFY_WITH_TIMEOUT(client_.inFlight() == 1, 5'000);
        dropped.reset();
        QTRY_COMPARE_WITH_TIMEOUT(client_.inFlight(), 0, 5'000);
    }
};

QTEST_GUILESS_MAIN(HttpClientTest)
#include "tst_httpclient.moc"
