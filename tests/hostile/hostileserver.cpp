#include "hostileserver.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <zlib.h>

#include <functional>

namespace {

constexpr qint64 kChunk = 64 * 1024;
// The socket's own buffer is kept this full while a body is being made, so that only what the
// client takes is ever produced.
constexpr qint64 kQueueBytes = 4 * kChunk;
constexpr qint64 kBigBytes = 100LL * 1000 * 1000;
constexpr qint64 kDripBytes = 100'000;
constexpr qint64 kResetLength = 1'000'000;
// About 236 KB of head: under the 256 KB browsers accept, so the page is valid.
constexpr int kHeaderLines = 2000;
constexpr qint64 kGzipInflatedMiB = 16 * 1024;

QByteArray head(const QByteArray& statusLine, const QByteArray& headers)
{
    return statusLine + "\r\n" + headers + "\r\n";
}

QByteArray page(const QByteArray& html, const QByteArray& headers = {})
{
    return head("HTTP/1.1 200 OK", headers + "Content-Type: text/html\r\nContent-Length: " +
                                       QByteArray::number(html.size()) + "\r\nConnection: close\r\n") +
           html;
}

// Gzip-encoded zeros, deflated a MiB at a time as the client reads.
class GzipZeros
{
public:
    GzipZeros() { deflateInit2(&z_, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY); }
    ~GzipZeros() { deflateEnd(&z_); }
    GzipZeros(const GzipZeros&) = delete;
    GzipZeros& operator=(const GzipZeros&) = delete;

    bool done() const { return fed_ > kGzipInflatedMiB; }
    QByteArray next()
    {
        static const QByteArray zeros(1024 * 1024, '\0');
        const int flush = ++fed_ > kGzipInflatedMiB ? Z_FINISH : Z_NO_FLUSH;
        QByteArray out;
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
        z_.avail_in = static_cast<uInt>(zeros.size());
        do {
            char buffer[16384];
            z_.next_out = reinterpret_cast<Bytef*>(buffer);
            z_.avail_out = sizeof buffer;
            deflate(&z_, flush);
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - z_.avail_out));
        } while (z_.avail_out == 0);
        return out;
    }

private:
    z_stream z_{};
    qint64 fed_ = 0;
};

} // namespace

// One connection: reads the request head, then answers the way its path asks for.
class HostileConnection : public QObject
{
public:
    HostileConnection(QTcpSocket* socket, HostileServer& server, const QByteArray& home, const QByteArray& base)
        : QObject(socket), socket_(socket), server_(server), home_(home), base_(base)
    {
        connect(socket, &QTcpSocket::readyRead, this, &HostileConnection::onReadyRead);
        connect(socket, &QTcpSocket::bytesWritten, this, &HostileConnection::feed);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void onReadyRead()
    {
        request_ += socket_->readAll();
        if (answered_ || !request_.contains("\r\n\r\n")) {
            return;
        }
        answered_ = true;
        const QList<QByteArray> words = request_.left(request_.indexOf("\r\n")).split(' ');
        path_ = QString::fromLatin1(words.value(1));
        answer();
    }

    void send(const QByteArray& bytes) { socket_->write(bytes); }
    void sendAndClose(const QByteArray& bytes)
    {
        send(bytes);
        socket_->disconnectFromHost();
    }
    void body(const QByteArray& bytes)
    {
        send(bytes);
        bodyBytes_ += bytes.size();
        server_.countBody(path_, bodyBytes_);
    }

    void answer()
    {
        if (path_ == u"/") {
            sendAndClose(page(home_));
        } else if (path_ == u"/ok.html") {
            sendAndClose(page("<html><body>A page that behaves.</body></html>"));
        } else if (path_ == u"/endless") {
            send(head("HTTP/1.1 200 OK", "Content-Type: text/html\r\nTransfer-Encoding: chunked\r\n"));
            more_ = [this] { body(QByteArray::number(kChunk, 16) + "\r\n" + QByteArray(kChunk, 'e') + "\r\n"); };
        } else if (path_ == u"/drip") {
            send(head("HTTP/1.1 200 OK", "Content-Type: text/html\r\nContent-Length: " + QByteArray::number(kDripBytes) + "\r\n"));
            drip();
        } else if (path_ == u"/gzip") {
            send(head("HTTP/1.1 200 OK", "Content-Type: text/html\r\nContent-Encoding: gzip\r\nConnection: close\r\n"));
            gzip_ = std::make_unique<GzipZeros>();
            more_ = [this] { gzip_->done() ? socket_->disconnectFromHost() : body(gzip_->next()); };
        } else if (path_ == u"/big") {
            send(head("HTTP/1.1 200 OK", "Content-Type: text/html\r\nContent-Length: " + QByteArray::number(kBigBytes) + "\r\n"));
            more_ = [this] { sized(kBigBytes, 'b'); };
        } else if (path_ == u"/loop" || path_ == u"/loop-b") {
            const QByteArray next = path_ == u"/loop" ? "/loop-b" : "/loop";
            sendAndClose(head("HTTP/1.1 302 Found", "Location: " + next + "\r\nContent-Length: 0\r\n"));
        } else if (path_ == u"/ftp") {
            sendAndClose(head("HTTP/1.1 302 Found", "Location: ftp://" + base_ + "/file.zip\r\nContent-Length: 0\r\n"));
        } else if (path_ == u"/weixin") {
            sendAndClose(head("HTTP/1.1 302 Found", "Location: weixin://dl/chat\r\nContent-Length: 0\r\n"));
        } else if (path_ == u"/gbk") {
            sendAndClose(head("HTTP/1.1 302 Found", "Location: /\xB2\xE2\xCA\xD4.html\r\nContent-Length: 0\r\n"));
        } else if (path_ == u"/%B2%E2%CA%D4.html") {
            sendAndClose(page("<a href=/found-in-gbk.html>x</a>"));
        } else if (path_ == u"/badcoding") {
            sendAndClose(page("<a href=/found-in-coding.html>x</a>", "Content-Encoding: utf-8\r\n"));
        } else if (path_ == u"/badstatus") {
            sendAndClose("SMTP/2.0 is-not-http\r\nContent-Length: 2\r\n\r\nok");
        } else if (path_ == u"/headers" || path_ == u"/bigheaders") {
            QByteArray lines;
            for (int i = 0; i < (path_ == u"/headers" ? kHeaderLines : 2 * kHeaderLines); ++i) {
                lines += "X-Filler-" + QByteArray::number(i) + ": " + QByteArray(100, 'h') + "\r\n";
            }
            sendAndClose(head("HTTP/1.1 200 OK", lines + "Content-Type: text/html\r\nContent-Length: 2\r\n") + "ok");
        } else if (path_ == u"/reset") {
            send(head("HTTP/1.1 200 OK", "Content-Type: text/html\r\nContent-Length: " + QByteArray::number(kResetLength) + "\r\n"));
            body(QByteArray(kChunk, 'r'));
            connect(socket_, &QTcpSocket::bytesWritten, this, &HostileConnection::reset);
        } else {
            sendAndClose(head("HTTP/1.1 404 Not Found", "Content-Length: 0\r\n"));
        }
        feed();
    }

    // Keeps the socket's queue topped up while the body goes on.
    void feed()
    {
        // A KiB of gzip is a MiB of zeros to deflate: a small queue keeps this thread free for the others.
        const qint64 queue = gzip_ ? kChunk / 8 : kQueueBytes;
        while (more_ && socket_->state() == QAbstractSocket::ConnectedState && socket_->bytesToWrite() < queue) {
            more_();
        }
    }

    void sized(qint64 total, char fill)
    {
        const qint64 n = qMin(kChunk, total - sent_);
        body(QByteArray(n, fill));
        sent_ += n;
        if (sent_ >= total) {
            more_ = nullptr;
            socket_->disconnectFromHost();
        }
    }

    void drip()
    {
        if (socket_->state() != QAbstractSocket::ConnectedState || sent_ >= kDripBytes) {
            return;
        }
        body("d");
        ++sent_;
        QTimer::singleShot(1000, this, &HostileConnection::drip);
    }

    // Once all of the first 64 KiB has left: a linger time of zero makes the close a reset.
    void reset()
    {
        if (socket_->bytesToWrite() > 0) {
            return;
        }
        const linger hard{1, 0};
        ::setsockopt(static_cast<int>(socket_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        socket_->abort();
    }

    QTcpSocket* socket_;
    HostileServer& server_;
    QByteArray home_;
    QByteArray base_;
    QByteArray request_;
    QString path_;
    bool answered_ = false;
    qint64 sent_ = 0;
    qint64 bodyBytes_ = 0;
    std::function<void()> more_;
    std::unique_ptr<GzipZeros> gzip_;
};

class HostileWorker : public QObject
{
public:
    HostileWorker(HostileServer& server, QStringList homeLinks) : server_(server), homeLinks_(std::move(homeLinks)) {}

    // Runs in the server thread.
    void listen(const QString& certFile, const QString& keyFile, quint16* port, quint16* tlsPort)
    {
        plain_ = new QTcpServer(this);
        plain_->listen(QHostAddress::LocalHost, 0);
        *port = plain_->serverPort();
        accept(plain_);
        if (!certFile.isEmpty()) {
            tls_ = new QSslServer(this);
            tls_->setSslConfiguration(tlsConfiguration(certFile, keyFile));
            tls_->listen(QHostAddress::LocalHost, 0);
            *tlsPort = tls_->serverPort();
            tlsBase_ = "127.0.0.1:" + QByteArray::number(*tlsPort);
            accept(tls_);
        }
        base_ = "127.0.0.1:" + QByteArray::number(*port);
    }

    void close()
    {
        delete plain_;
        delete tls_;
        plain_ = nullptr;
        tls_ = nullptr;
    }

private:
    static QSslConfiguration tlsConfiguration(const QString& certFile, const QString& keyFile)
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        QFile cert(certFile);
        QFile key(keyFile);
        if (cert.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly)) {
            config.setLocalCertificate(QSslCertificate(cert.readAll(), QSsl::Pem));
            config.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa, QSsl::Pem));
        }
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        return config;
    }

    QByteArray homePage(const QStringList& links) const
    {
        QByteArray html = "<html><body><a href=\"/ok.html\">ok</a>\n";
        for (const QString& link : links) {
            QByteArray href = link.toUtf8();
            href.replace("{tls}", QByteArray("https://" + tlsBase_));
            html += "<a href=\"" + href + "\">" + href + "</a>\n";
        }
        return html + "</body></html>";
    }

    void accept(QTcpServer* server)
    {
        connect(server, &QTcpServer::pendingConnectionAvailable, this, [this, server] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                new HostileConnection(socket, server_, homePage(homeLinks_), base_);
            }
        });
    }

    HostileServer& server_;
    QStringList homeLinks_;
    QByteArray base_;
    QByteArray tlsBase_;
    QTcpServer* plain_ = nullptr;
    QSslServer* tls_ = nullptr;
};

HostileServer::HostileServer(const QStringList& homeLinks, const QString& certFile, const QString& keyFile)
{
    worker_ = new HostileWorker(*this, homeLinks);
    worker_->moveToThread(&thread_);
    thread_.start();
    QMetaObject::invokeMethod(
        worker_, [&] { worker_->listen(certFile, keyFile, &port_, &tlsPort_); }, Qt::BlockingQueuedConnection);
}

HostileServer::~HostileServer()
{
    // Sockets and listeners are children of the worker and go with it, in their own thread.
    QMetaObject::invokeMethod(worker_, [this] {
        worker_->close();
        delete worker_;
    }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

QString HostileServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(port_) + path;
}

QString HostileServer::tlsUrl(const QString& path) const
{
    return QStringLiteral("https://127.0.0.1:") + QString::number(tlsPort_) + path;
}

qint64 HostileServer::bodyBytesSent(const QString& path) const
{
    QMutexLocker lock(&mutex_);
    return sent_.value(path);
}

void HostileServer::countBody(const QString& path, qint64 connectionBytes)
{
    QMutexLocker lock(&mutex_);
    sent_[path] = qMax(sent_.value(path), connectionBytes);
}

bool MakeSelfSignedCertificate(const QString& folder, QString* certFile, QString* keyFile, QString* error)
{
    *certFile = folder + QStringLiteral("/cert.pem");
    *keyFile = folder + QStringLiteral("/key.pem");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), *keyFile, QStringLiteral("-out"), *certFile});
    const bool ok = openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
    *error = QString::fromLocal8Bit(openssl.readAll());
    return ok;
}
