#include "httpclient.h"
#include "silentserver.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A keep-alive server on 127.0.0.1 served from the test's event loop: every request on a connection
// gets the next canned response; it counts connections, and can close each one after its first answer
// without saying so (as servers with a short keep-alive timeout do).
class KeepAliveServer
{
public:
    explicit KeepAliveServer(QList<QByteArray> responses, bool closeSilently = false)
        : responses_(std::move(responses)), closeSilently_(closeSilently)
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                ++connections;
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
            }
        });
    }
    QString url(const QString& path) const { return u"http://127.0.0.1:"_s + QString::number(server_.serverPort()) + path; }
    int connections = 0;
    QList<QByteArray> heads;

private:
    void serve(QTcpSocket* s)
    {
        QByteArray& buffer = pending_[s];
        buffer += s->readAll();
        qsizetype end = 0;
        while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
            heads << buffer.left(end);
            buffer.remove(0, end + 4);
            s->write(responses_.isEmpty() ? QByteArray("HTTP/1.1 500 Gone\r\nContent-Length: 0\r\n\r\n")
                                          : responses_.takeFirst());
            if (closeSilently_) {
                s->flush();
                s->disconnectFromHost();
                return;
            }
        }
    }

    QTcpServer server_;
    QList<QByteArray> responses_;
    bool closeSilently_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

HttpResult get(const QString& url, bool wantBody = true)
{
    HttpRequest r;
    r.url = url;
    r.tryTime = 3;
    r.wantBody = wantBody;
    return HttpClient::shared()->fetch(r);
}

} // namespace

// The plain-http transport: framing of bodies, connection reuse, and what it makes of broken answers.
class TestHttp11 : public QObject
{
    Q_OBJECT

private slots:
    void framing_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("content length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello") << 200
                                        << QByteArray("hello");
        QTest::newRow("chunked, extension and trailer")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;x=1\r\n world\r\n"
                          "0\r\nX-Trailer: 1\r\n\r\n")
            << 200 << QByteArray("hello world");
        QTest::newRow("until the connection closes")
            << QByteArray("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<p>gone</p>") << 404
            << QByteArray("<p>gone</p>");
        QTest::newRow("interim response first")
            << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok") << 201
            << QByteArray("ok");
        QTest::newRow("no body for 204") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << 204 << QByteArray();
    }
    void framing()
    {
        QFETCH(QByteArray, response);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        CannedTcpServer server(response);
        const HttpResult r = get(server.url(u"/x"_s));
        QVERIFY2(r.completed, qPrintable(r.errorText));
        QCOMPARE(r.status, status);
        QCOMPARE(r.body, body);
    }

    // Answers without a proper response head end as failures without a status.
    void brokenHeads_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n");
        QTest::newRow("status not a number") << QByteArray("HTTP/1.1 abc OK\r\nContent-Length: 0\r\n\r\n");
        QTest::newRow("head cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Le");
    }
    void brokenHeads()
    {
        QFETCH(QByteArray, response);
        CannedTcpServer server(response);
        const HttpResult r = get(server.url(u"/x"_s));
        QVERIFY(!r.completed);
        QCOMPARE(r.error, HttpError::Transport);
        QCOMPARE(r.status, 0);
    }

    // A body that breaks off keeps the status that was read, and the break is reported.
    void brokenBodies_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::newRow("bad chunk size") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n");
        QTest::newRow("cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    }
    void brokenBodies()
    {
        QFETCH(QByteArray, response);
        CannedTcpServer server(response);
        const HttpResult r = get(server.url(u"/x"_s));
        QCOMPARE(r.status, 200);
        QVERIFY(!r.errorText.isEmpty());
    }

    // Endless headers are cut off rather than buffered without end.
    void endlessHeaders()
    {
        QByteArray response = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 40000; ++i) {
            response += "X-Filler-" + QByteArray::number(i) + ": some value to make it long\r\n";
        }
        CannedTcpServer server(response);
        const HttpResult r = get(server.url(u"/x"_s));
        QVERIFY(!r.completed);
        QCOMPARE(r.status, 0);
    }

    // Requests to one host share a connection; the request is sent as written, with no headers of ours.
    void keepAlive()
    {
        const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
        KeepAliveServer server({ok, ok, ok});
        for (const QString& path : {u"/A/B?q=1"_s, u"/two"_s, u"/three"_s}) {
            QCOMPARE(get(server.url(path)).status, 200);
        }
        QCOMPARE(server.connections, 1);
        QVERIFY(server.heads[0].startsWith("GET /A/B?q=1 HTTP/1.1\r\nHost: 127.0.0.1:"));
        QVERIFY(!server.heads[0].contains("User-Agent"));
    }

    // A kept connection the server has dropped meanwhile is replaced, and the request still succeeds.
    void droppedConnectionIsRetried()
    {
        const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
        KeepAliveServer server({ok, ok}, true);
        QCOMPARE(get(server.url(u"/1"_s)).status, 200);
        QCOMPARE(get(server.url(u"/2"_s)).body, QByteArray("ok"));
        QCOMPARE(server.connections, 2);
    }
};

QTEST_GUILESS_MAIN(TestHttp11)
#include "tst_http11.moc"
