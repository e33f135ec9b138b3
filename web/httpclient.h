#pragma once

#include "castore.h"
#include "httpreply.h"
#include "httptypes.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>

#include <memory>
#include <vector>

class CurlMulti;

// The one place that talks HTTP, over libcurl. Requests run side by side on the thread that owns the
// client, driven by its event loop (see CurlMulti). http and https (HTTP/2 where the server offers it),
// connections and TLS sessions reused per host, the system's CA store or the one SSL_CERT_FILE /
// SSL_CERT_DIR name, proxies from the environment and from the system's settings, every content coding
// libcurl knows, one User-Agent on every request, and cookies shared by all requests as in one browser.
class HttpClient : public QObject
{
    Q_OBJECT

public:
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

    // Forgets every cookie: what a site set in one run must not be sent in the next.
    void clearCookies();

    // Reads the proxy variables of the environment again. They are read when the client is made and when
    // a run starts, not for every request: reading eight variables costs more than a request on loopback.
    void readProxyEnvironment();

    // Requests started and not yet finished.
    int inFlight() const { return int(live_.size()); }
    // Body bytes held by the requests that are still reading.
    qint64 bodyBytesInFlight() const { return bodyBytes_; }

private:
    friend class HttpReply;
    void adopt(HttpReply* reply) { live_.insert(reply); }
    void release(HttpReply* reply) { live_.remove(reply); }
    // A handle for a new transfer: one a finished transfer left, reset, when there is one. Making one
    // anew and freeing it again costs about as much as a request on loopback.
    CURL* takeHandle();
    void giveBack(CURL* easy);
    bool run(CURL* easy);
    void stop(CURL* easy);
    void applyProxy(CURL* easy, const QUrl& url);
    // Takes `n` more body bytes into the bound of all bodies in flight; false when they do not fit.
    bool holdBody(qint64 n);
    void releaseBody(qint64 n) { bodyBytes_ -= n; }

    std::unique_ptr<CurlMulti> multi_;
    QSet<HttpReply*> live_;
    qint64 bodyBytes_ = 0;
    static constexpr qint64 kProxyCacheMs = 5000;
    QHash<QString, QByteArray> proxies_; // by scheme and host: the proxy URL, empty for libcurl's own choice
    QByteArray proxyEnvironment_;        // the proxy variables the entries were asked under
    QElapsedTimer proxyAge_;
    CaStore ca_;
    std::vector<CURL*> spare_; // reset handles; they keep the client's shared caches
};
