#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QHash>
#include <QList>
#include <QPair>
#include <QPointer>

#include <memory>

struct z_stream_s;

class QNetworkCookieJar;
class QTcpSocket;
class SocketPool;
struct HttpRequest;

// One plain-http exchange over a pooled QTcpSocket, presented as a QNetworkReply so that HttpReply
// handles it like any other hop (status, headers, body, redirects, caps, timeouts). It reads in
// large chunks on the calling thread, where Qt's own HTTP stack hops threads and reads header
// lines a byte at a time: several times the requests per second on a fast site.
class Http11Reply : public QNetworkReply
{
    Q_OBJECT
public:
    Http11Reply(const HttpRequest& request, SocketPool& pool, QNetworkCookieJar* cookies, QObject* parent = nullptr);
    ~Http11Reply() override;

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    enum class State { Connecting, StatusLine, Headers, Body, Done };
    enum class Framing { Length, Chunked, UntilClose, None };

    void connectSocket(bool fresh);
    void sendRequest();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    bool parseStatusLine();
    bool parseHeaders();
    void startBody();
    void parseBody();
    bool parseChunks();
    void deliver(const QByteArray& bytes);
    void complete(bool reusable);
    void failWith(NetworkError code, const QString& text);
    void releaseSocket(bool reusable);

    QByteArray requestBytes_;
    QString host_;
    quint16 port_ = 80;
    SocketPool& pool_;
    QPointer<QNetworkCookieJar> cookies_;
    QTcpSocket* socket_ = nullptr;
    bool reused_ = false;
    bool anyResponseBytes_ = false;

    State state_ = State::Connecting;
    Framing framing_ = Framing::None;
    QByteArray in_;        // received and not yet parsed
    QByteArray body_;      // parsed body bytes not yet read by the consumer
    qint64 remaining_ = 0; // body bytes still to come (Length), or in the current chunk (Chunked)
    bool chunkTrailer_ = false;
    bool chunkEnd_ = false;
    bool keepAlive_ = true;
    qint64 headerBytes_ = 0;
    int headerLines_ = 0;
    int status_ = 0;
    bool headersDone_ = false; // the final response's head was handed on
    QList<QPair<QByteArray, QByteArray>> headers_; // as received, repeated names joined
    QHash<QByteArray, qsizetype> headerIndex_;     // lower-cased name -> position in headers_
    std::unique_ptr<z_stream_s> inflater_;          // for a gzip or deflate body
    bool headRequest_ = false;
};
