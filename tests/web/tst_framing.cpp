#include "httpclient.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A server on 127.0.0.1 served from the test's event loop that answers the n-th request head it reads
// (on whatever connection) with the n-th canned response, keeping connections open unless told to drop
// each one after its answer without saying so (as servers with a short keep-alive timeout do). The
// canned bytes are sent as they stand, however they break the protocol.
class CannedSequenceServer
{
public:
    CannedSequenceServer(QList<QByteArray> responses, bool dropAfterAnswer)
        : responses_(std::move(responses)), drop_(dropAfterAnswer)
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                ++connections;
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
            }
        });
    }
    QString url(const QString& path) const
    {
        return u"http://127.0.0.1:"_s + QString::number(server_.serverPort()) + path;
    }
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
            s->write(responses_.isEmpty() ? QByteArray("HTTP/1.1 500 Nothing Left\r\nContent-Length: 0\r\n\r\n")
                                          : responses_.takeFirst());
            if (drop_) {
                s->disconnectFromHost();
                return;
            }
        }
    }

    QTcpServer server_;
    QList<QByteArray> responses_;
    bool drop_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

// "hello world" as raw deflate (no zlib header or checksum), as some servers send Content-Encoding: deflate.
QByteArray rawDeflate(const QByteArray& text)
{
    const QByteArray zlib = qCompress(text).mid(4); // Qt puts the length in front of a zlib stream
    return zlib.mid(2, zlib.size() - 6);
}

const QByteArray kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

} // namespace

// What the transport makes of the way real servers frame their answers, well or badly: each request
// gets the verdict a browser would give it, in bounded memory, and a broken answer never spoils the
// next request on the same connection.
class TstFraming : public QObject
{
    Q_OBJECT

private slots:
    void framing_data()
    {
        QTest::addColumn<QList<QByteArray>>("responses");
        QTest::addColumn<bool>("drop");
        // One request per expected answer: "status body" of a complete answer, "failed" for none.
        QTest::addColumn<QStringList>("expected");

        const auto one = [](const QByteArray& response) { return QList<QByteArray>{response, kOk}; };
        QTest::newRow("content length") << one("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello") << false
                                        << QStringList{u"200 hello"_s, u"200 ok"_s};
        QTest::newRow("chunked, extension and trailer")
            << one("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;x=1\r\n world\r\n"
                   "0\r\nX-Trailer: 1\r\n\r\n")
            << false << QStringList{u"200 hello world"_s, u"200 ok"_s};
        QTest::newRow("chunked with a content length too")
            << one("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n")
            << false << QStringList{u"200 hello"_s, u"200 ok"_s};
        QTest::newRow("content length twice")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\nhello",
                                 "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\nagain"}
            << false << QStringList{u"200 hello"_s, u"200 again"_s};
        QTest::newRow("raw deflate")
            << one("HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: " +
                   QByteArray::number(rawDeflate("hello world").size()) + "\r\n\r\n" + rawDeflate("hello world"))
            << false << QStringList{u"200 hello world"_s, u"200 ok"_s};
        QTest::newRow("204 with a stray body")
            << one("HTTP/1.1 204 No Content\r\n\r\nstray bytes") << false << QStringList{u"204 "_s, u"200 ok"_s};
        QTest::newRow("interim response first")
            << one("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok") << false
            << QStringList{u"201 ok"_s, u"200 ok"_s};
        QTest::newRow("folded Location")
            << QList<QByteArray>{"HTTP/1.1 302 Found\r\nLocation:\r\n /next\r\nContent-Length: 0\r\n\r\n", kOk}
            << false << QStringList{u"200 ok"_s};
        QTest::newRow("UTF-8 reason phrase")
            << one("HTTP/1.1 404 \xe6\x9c\xaa\xe6\x89\xbe\xe5\x88\xb0\r\nContent-Length: 1\r\n\r\nx") << false
            << QStringList{u"404 x 未找到"_s, u"200 ok"_s};
        QTest::newRow("Latin-1 reason phrase")
            << one("HTTP/1.1 404 Introuvable \xe9t\xe9\r\nContent-Length: 1\r\n\r\nx") << false
            << QStringList{u"404 x Introuvable été"_s, u"200 ok"_s};
        QTest::newRow("until the connection closes")
            << QList<QByteArray>{"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<p>gone</p>"} << true
            << QStringList{u"404 <p>gone</p> Not Found"_s};
        QTest::newRow("kept connection dropped by the server") << QList<QByteArray>{kOk, kOk} << true
                                                               << QStringList{u"200 ok"_s, u"200 ok"_s};
        QTest::newRow("chunk without its CRLF, then megabytes")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello" +
                                 QByteArray(8 * 1024 * 1024, 'x')}
            << true << QStringList{u"failed"_s};
        QTest::newRow("not HTTP") << QList<QByteArray>{"SSH-2.0-OpenSSH\r\n\r\n"} << true << QStringList{u"failed"_s};
        QTest::newRow("status not a number") << QList<QByteArray>{"HTTP/1.1 abc OK\r\nContent-Length: 0\r\n\r\n"}
                                             << true << QStringList{u"failed"_s};
        QTest::newRow("head cut short") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Le"} << true
                                        << QStringList{u"failed"_s};
        QTest::newRow("bad chunk size") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"}
                                        << true << QStringList{u"failed"_s};
        QByteArray endless = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 40000; ++i) {
            endless += "X-Filler-" + QByteArray::number(i) + ": some value to make it long\r\n";
        }
        QTest::newRow("endless headers") << QList<QByteArray>{endless} << true << QStringList{u"failed"_s};
    }

    void framing()
    {
        QFETCH(QList<QByteArray>, responses);
        QFETCH(bool, drop);
        QFETCH(QStringList, expected);
        CannedSequenceServer server(responses, drop);
        HttpClient client;
        for (int i = 0; i < expected.size(); ++i) {
            HttpRequest request;
            request.url = server.url(u"/r"_s + QString::number(i));
            request.tryTime = 3;
            const HttpResult r = client.fetch(request);
            QString got = u"failed"_s;
            if (r.completed) {
                got = QString::number(r.status) + u' ' + QString::fromUtf8(r.body);
                if (r.status == 404) {
                    got += u' ' + r.statusText;
                }
            }
            QVERIFY2(!r.timedOut(), qPrintable(QString::number(i)));
            QCOMPARE(got, expected[i]);
        }
    }

    // Requests to one host share a connection and carry the one User-Agent of the program.
    void keepAliveAndAgent()
    {
        CannedSequenceServer server({kOk, kOk, kOk}, false);
        HttpClient client;
        for (const QString& path : {u"/A/B?q=1"_s, u"/two"_s, u"/three"_s}) {
            HttpRequest request;
            request.url = server.url(path);
            request.wantBody = path != u"/two"_s;
            QCOMPARE(client.fetch(request).status, 200);
        }
        QCOMPARE(server.connections, 1);
        QVERIFY(server.heads[0].startsWith("GET /A/B?q=1 HTTP/1.1\r\nHost: 127.0.0.1:"));
        for (const QByteArray& head : std::as_const(server.heads)) {
            QVERIFY(head.contains(QByteArray(QByteArray("\r\nUser-Agent: ") + kDefaultUserAgent)));
        }
    }
};

QTEST_GUILESS_MAIN(TstFraming)
#include "tst_framing.moc"
