#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <memory>

// An HTTP server for tests: cpp-httplib on 127.0.0.1 with an ephemeral port, answering from its own
// worker threads so that a test may block its own thread (a local event loop) while requests are served.
// Routes match the exact path (no query) for every method, or path and raw query as "/p?id=1"; unknown
// paths answer 404 with a small page, or the route "/folder/*" for a name in that folder, or "*" ("{path}" in
// such a body is the path, "{n}" a letter that changes from request to request).
// Used as the proxy of a test (http_proxy), it answers for every host name by the path alone.
// Stopping (the destructor) wakes every delayed or silent handler first, so it never hangs.
class TestServer
{
public:
    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/html"; // sent as Content-Type unless empty
        QByteArray body;
        int delayMs = 0;                                // wait before answering (at most kMaxDelayMs)
        QList<QPair<QByteArray, QByteArray>> headers;   // extra response headers
        qint64 generatedSize = -1; // when >= 0: a body of that many bytes made on the fly from `body`
                                   // repeated (or 'x'), sent without holding it in memory
        bool silent = false;       // accept the request, never answer until the server stops
        QByteArray onlyQuery;      // when set, a request with another raw query answers 404
    };

    struct Request
    {
        QString method;
        QString path;  // percent-decoded, as routes match it
        QString query; // the raw text after '?', empty when none
        QMap<QByteArray, QByteArray> headers; // names lower-cased
        QByteArray body;
    };

    // How a small or guarded server limits its clients, for the whole server (0: no such limit).
    struct Limits
    {
        int perSecond = 0;  // more requests within a second are answered 429 with Retry-After: 1
        int concurrent = 0; // more requests at once are answered 503 at once
        int serialMs = 0;   // one request at a time, each taking this long; the others queue
        bool retryAfterDate = false; // the 429's Retry-After is an HTTP date a second ahead
    };

    static constexpr int kMaxDelayMs = 60'000;
    // Requests that may be in handlers at the same time; more wait in the queue.
    static constexpr int kMaxWorkers = 128;

    TestServer();
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>"
    QString url(const QString& path) const { return baseUrl() + path; }

    // All setters are thread-safe and take effect for the next request.
    void setRoute(const QString& path, const Response& r);
    void setPage(const QString& path, const QByteArray& html); // 200 text/html
    void setRedirect(const QString& path, const QString& location, int status = 302);
    void setSilent(const QString& path);
    // Answers with `status` and no Content-Type or body.
    void setStatus(const QString& path, int status);
    void setLimits(const Limits& limits);

    QList<Request> requests() const; // everything received, in order
    int hits(const QString& path) const;
    // Requests that are inside a handler right now (delayed or silent ones waiting).
    int pending() const;
    // Bytes of generated bodies handed to the network so far: shows how far a client read a huge body.
    qint64 generatedBytes() const;
    // The most requests that were inside a handler at the same time.
    int maxConcurrent() const;
    // Requests refused for a limit.
    int refusals() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
