#include "silentserver.h"
#include "testserver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

// Raw sockets, so that the server is tested without the client code that it is meant to test.
class RawRequest
{
public:
    RawRequest(quint16 port, const QByteArray& request)
    {
        QObject::connect(&socket_, &QTcpSocket::connected, [this, request] { socket_.write(request); });
        QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { reply_ += socket_.readAll(); });
        socket_.connectToHost(u"127.0.0.1"_s, port);
    }
    QTcpSocket& socket() { return socket_; }
    const QByteArray& reply() const { return reply_; }
    bool waitClosed(int ms)
    {
        return socket_.state() == QAbstractSocket::UnconnectedState ||
               QSignalSpy(&socket_, &QTcpSocket::disconnected).wait(ms);
    }

private:
    QTcpSocket socket_;
    QByteArray reply_;
};

QByteArray get(const QByteArray& target, const QByteArray& extra = {})
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

class TestServerTest : public QObject
{
    Q_OBJECT

private slots:
    void routesAndLog()
    {
        TestServer server;
        QVERIFY(server.port() != 0);
        QCOMPARE(server.baseUrl(), u"http://127.0.0.1:"_s + QString::number(server.port()));
        server.setPage(u"/Page.html"_s, "<p>hello</p>");
        server.setRedirect(u"/old"_s, u"/Page.html"_s, 301);

        RawRequest page(server.port(), get("/Page.html?a=B", "X-Test: yes\r\n"));
        QVERIFY(page.waitClosed(5000));
        QVERIFY(page.reply().startsWith("HTTP/1.1 200 OK\r\n"));
        QVERIFY(page.reply().endsWith("<p>hello</p>"));

        RawRequest moved(server.port(), get("/old"));
        QVERIFY(moved.waitClosed(5000));
        QVERIFY(moved.reply().startsWith("HTTP/1.1 301 Moved Permanently\r\n"));
        QVERIFY(moved.reply().contains("Location: /Page.html\r\n"));

        RawRequest missing(server.port(), get("/page.html"));
        QVERIFY(missing.waitClosed(5000));
        QVERIFY(missing.reply().startsWith("HTTP/1.1 404 Not Found\r\n"));
        QVERIFY(missing.reply().contains("Not Found</h1>"));

        const QList<TestServer::Request> log = server.requests();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0].method, u"GET"_s);
        QCOMPARE(log[0].path, u"/Page.html"_s);
        QCOMPARE(log[0].query, u"a=B"_s);
        QCOMPARE(log[0].headers.value("x-test"), QByteArray("yes"));
        QCOMPARE(server.hits(u"/Page.html"_s), 1);
        QCOMPARE(server.hits(u"/page.html"_s), 1);
    }

    // Slow handlers run side by side: 70 requests that each wait 500 ms are all answered in about
    // that time, not one after another.
    void manyConcurrentRequests()
    {
        TestServer server;
        TestServer::Response slow;
        slow.body = "done";
        slow.delayMs = 500;
        server.setRoute(u"/slow"_s, slow);

        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<RawRequest>> clients;
        for (int i = 0; i < 70; ++i) {
            clients.push_back(std::make_unique<RawRequest>(server.port(), get("/slow")));
        }
        for (auto& c : clients) {
            QVERIFY(c->waitClosed(5000));
            QVERIFY(c->reply().endsWith("done"));
        }
        QVERIFY2(clock.elapsed() < 2500, QByteArray::number(clock.elapsed()).constData());
        QCOMPARE(server.hits(u"/slow"_s), 70);
    }

    // Stopping wakes silent and long-delayed handlers instead of waiting for them.
    void stopEndsWaitingHandlers()
    {
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<RawRequest> silent;
        std::unique_ptr<RawRequest> delayed;
        {
            TestServer server;
            server.setSilent(u"/never"_s);
            TestServer::Response slow;
            slow.delayMs = TestServer::kMaxDelayMs;
            server.setRoute(u"/slow"_s, slow);
            silent = std::make_unique<RawRequest>(server.port(), get("/never"));
            delayed = std::make_unique<RawRequest>(server.port(), get("/slow"));
            QTRY_COMPARE_WITH_TIMEOUT(server.pending(), 2, 5000);
        }
        QVERIFY2(clock.elapsed() < 4000, QByteArray::number(clock.elapsed()).constData());
        QVERIFY(silent->waitClosed(5000));
        QVERIFY(delayed->waitClosed(5000));
    }

    // A generated body has the announced size and repeats its pattern.
    void generatedBody()
    {
        TestServer server;
        TestServer::Response big;
        big.contentType = "application/octet-stream";
        big.body = "0123456789";
        big.generatedSize = 300'000;
        server.setRoute(u"/big"_s, big);
        RawRequest client(server.port(), get("/big"));
        QVERIFY(client.waitClosed(5000));
        const qsizetype split = client.reply().indexOf("\r\n\r\n");
        QVERIFY(client.reply().contains("Content-Length: 300000\r\n"));
        const QByteArray body = client.reply().mid(split + 4);
        QCOMPARE(body.size(), 300'000);
        QCOMPARE(body.mid(299'990), QByteArray("0123456789"));
    }

    void silentAndClosedPorts()
    {
        SilentTcpServer silent;
        QTcpSocket toSilent;
        toSilent.connectToHost(u"127.0.0.1"_s, silent.port());
        QVERIFY(toSilent.waitForConnected(5000));
        toSilent.write(get("/"));
        QVERIFY(!toSilent.waitForReadyRead(300));
        QTRY_COMPARE_WITH_TIMEOUT(silent.connections(), 1, 5000);

        ClosedPort closed;
        QVERIFY(closed.port() != 0);
        QTcpSocket toClosed;
        toClosed.connectToHost(u"127.0.0.1"_s, closed.port());
        QVERIFY(!toClosed.waitForConnected(5000));
        QCOMPARE(toClosed.error(), QAbstractSocket::ConnectionRefusedError);
    }
};

QTEST_GUILESS_MAIN(TestServerTest)
#include "tst_testserver.moc"
