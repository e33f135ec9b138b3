#include "httpclient.h"

#include "curlmulti.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QPointer>

namespace {

// The proxy the system's settings give for `url` (Qt asks the desktop's settings on Windows and macOS,
// the environment elsewhere), as a libcurl proxy URL; empty when there is none.
QByteArray systemProxy(const QUrl& url)
{
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    if (proxies.isEmpty()) {
        return {};
    }
    const QNetworkProxy& p = proxies.first();
    QUrl proxy;
    switch (p.type()) {
    case QNetworkProxy::HttpProxy:
    case QNetworkProxy::HttpCachingProxy:
        proxy.setScheme(QStringLiteral("http"));
        break;
    case QNetworkProxy::Socks5Proxy:
        proxy.setScheme(QStringLiteral("socks5h")); // names resolved by the proxy, as Qt does
        break;
    default:
        return {};
    }
    proxy.setHost(p.hostName());
    proxy.setPort(p.port());
    proxy.setUserName(p.user());
    proxy.setPassword(p.password());
    return proxy.toEncoded();
}

} // namespace

HttpClient::HttpClient(QObject* parent)
    : QObject(parent), multi_(std::make_unique<CurlMulti>())
{
    multi_->setDoneHandler([](CURL* easy, CURLcode code) {
        HttpReply* reply = nullptr;
        curl_easy_getinfo(easy, CURLINFO_PRIVATE, &reply);
        if (reply) {
            reply->onDone(code);
        }
    });
    readProxyEnvironment();
}

HttpClient::~HttpClient()
{
    // Replies that outlive the client end as failed requests; their transfers stop with the multi handle.
    const QSet<HttpReply*> live = live_;
    for (HttpReply* reply : live) {
        multi_->remove(reply->easy_);
        reply->clientGone(); // ends it, which frees its handle
    }
    live_.clear();
    for (CURL* easy : spare_) {
        curl_easy_cleanup(easy);
    }
}

CURL* HttpClient::takeHandle()
{
    if (spare_.empty()) {
        return curl_easy_init();
    }
    CURL* easy = spare_.back();
    spare_.pop_back();
    return easy;
}

void HttpClient::giveBack(CURL* easy)
{
    // As many as are ever in flight at once come back; beyond that they are freed.
    constexpr size_t kSpareHandles = 256;
    if (spare_.size() >= kSpareHandles) {
        curl_easy_cleanup(easy);
        return;
    }
    // The list of cookie files outlives a reset: emptied first, or every use would leave one behind. The
    // cookies themselves are the share's.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, nullptr);
    curl_easy_reset(easy); // every option goes; each transfer sets all it needs
    spare_.push_back(easy);
}

HttpClient* HttpClient::shared()
{
    static QPointer<HttpClient> instance;
    if (!instance) {
        instance = new HttpClient(QCoreApplication::instance());
    }
    return instance;
}

std::unique_ptr<HttpReply> HttpClient::start(const HttpRequest& request)
{
    return std::make_unique<HttpReply>(request, this);
}

HttpResult HttpClient::fetch(const HttpRequest& request)
{
    std::unique_ptr<HttpReply> reply = start(request);
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply.get(), &HttpReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return reply->result();
}

// The options every transfer shares, then the transfer itself.
bool HttpClient::run(CURL* easy)
{
    multi_->share(easy);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");      // cookies on, kept in memory, shared
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    ca_.apply(easy);
    return multi_->add(easy);
}

bool HttpClient::holdBody(qint64 n)
{
    if (bodyBytes_ + n > kMaxBodyBytesInFlight) {
        return false;
    }
    bodyBytes_ += n;
    return true;
}

void HttpClient::clearCookies()
{
    multi_->clearCookies();
}

void HttpClient::stop(CURL* easy)
{
    multi_->remove(easy);
}

// A proxy from the system's settings is set explicitly; without one, libcurl applies the environment's
// http_proxy / https_proxy / no_proxy itself. The system's answer costs more than a small request on
// loopback, so it is kept per scheme and host for a few seconds, and asked again at once when the proxy
// variables of the environment are found changed.
void HttpClient::applyProxy(CURL* easy, const QUrl& url)
{
    if (!proxyAge_.isValid() || proxyAge_.hasExpired(kProxyCacheMs)) {
        proxies_.clear();
        proxyAge_.start();
    }
    const QString key = url.scheme().toLower() + u' ' + url.host().toLower() + u':' + QString::number(url.port());
    auto it = proxies_.find(key);
    if (it == proxies_.end()) {
        it = proxies_.insert(key, systemProxy(url));
    }
    curl_easy_setopt(easy, CURLOPT_PROXY, it->isEmpty() ? nullptr : it->constData());
}

void HttpClient::readProxyEnvironment()
{
    QByteArray environment;
    for (const char* name :
         {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY"}) {
        environment += qgetenv(name) + '\n';
    }
    if (environment != proxyEnvironment_) {
        proxies_.clear();
        proxyEnvironment_ = environment;
    }
}
