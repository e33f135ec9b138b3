#pragma once

#include "httpreply.h"
#include "httptypes.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkCookieJar;
class SocketPool;

// The one place that talks HTTP. Requests run asynchronously over a small pool of network managers:
// Qt opens at most six connections per host and manager, so a request goes to the least busy manager and
// a new manager is added while all are full, up to kMaxManagers (enough for 64 requests to one host).
// Redirects are followed (at most kMaxRedirects, to http or https only); https uses the system's CA
// store; the system's proxy settings apply; cookies are shared by all managers, as in one browser.
// Lives in one thread (the one that created it), like the managers it owns.
class HttpClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int kConnectionsPerManager = 6;
    static constexpr size_t kMaxManagers = 11;

    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    // The client of the application, created on first use and destroyed with the application object.
    static HttpClient* shared();

    // Starts `request`; the reply reports its end with finished(). Never null.
    std::unique_ptr<HttpReply> start(const HttpRequest& request);

    // Starts `request` and waits for its end in a local event loop, so the thread keeps handling its
    // events (window input, timers, other replies) without spinning; the request's own timeout bounds
    // the wait. Handlers that run during the wait must not destroy this client.
    HttpResult fetch(const HttpRequest& request);

    // Requests started and not yet finished.
    int inFlight() const;

private:
    size_t pickManager(); // index into managers_
    static bool direct(const HttpRequest& hop);
    void pruneDirect();
    QNetworkReply* send(size_t index, const HttpRequest& hop);

    std::unique_ptr<QNetworkCookieJar> cookies_;
    std::unique_ptr<SocketPool> sockets_; // plain-http connections kept open between requests
    std::vector<QPointer<QNetworkReply>> direct_; // our own HTTP/1.1 exchanges, for inFlight()
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers_; // destroyed before the cookie jar
    std::vector<int> load_; // running requests per manager
};
