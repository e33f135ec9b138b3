#include "httpclient.h"

#include "http11reply.h"
#include "socketpool.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <algorithm>

namespace {

constexpr qint64 kReadBufferBytes = 1024 * 1024;

QNetworkRequest makeRequest(const HttpRequest& request)
{
    QNetworkRequest r(QUrl(request.url, QUrl::TolerantMode));
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // HttpReply's body cap bounds memory after decompression; Qt's own ratio check would instead fail
    // highly compressible pages that are perfectly fine.
    r.setDecompressedSafetyCheckThreshold(-1);
    for (const auto& [name, value] : request.headers) {
        r.setRawHeader(name, value);
    }
    return r;
}

} // namespace

HttpClient::HttpClient(QObject* parent)
    : QObject(parent), cookies_(std::make_unique<QNetworkCookieJar>()), sockets_(std::make_unique<SocketPool>())
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

HttpClient::~HttpClient() = default;

HttpClient* HttpClient::shared()
{
    static QPointer<HttpClient> instance;
    if (!instance) {
        instance = new HttpClient(QCoreApplication::instance());
    }
    return instance;
}

size_t HttpClient::pickManager()
{
    const auto least = std::min_element(load_.begin(), load_.end());
    if (least != load_.end() && (*least < kConnectionsPerManager || managers_.size() >= kMaxManagers)) {
        return size_t(least - load_.begin());
    }
    auto manager = std::make_unique<QNetworkAccessManager>();
    manager->setCookieJar(cookies_.get());
    cookies_->setParent(nullptr); // shared by every manager, owned here
    managers_.push_back(std::move(manager));
    load_.push_back(0);
    return managers_.size() - 1;
}

// Every hop of one request goes through the same manager.
std::unique_ptr<HttpReply> HttpClient::start(const HttpRequest& request)
{
    const size_t index = pickManager();
    const QPointer<HttpClient> self(this);
    return std::make_unique<HttpReply>(request, [self, index](const HttpRequest& hop) -> QNetworkReply* {
        return self ? self->send(index, hop) : nullptr;
    });
}

// Plain http without a proxy goes over our own HTTP/1.1 connections; https and proxied requests go
// through Qt's stack, which brings TLS with the system's CA store and every kind of proxy.
bool HttpClient::direct(const HttpRequest& hop)
{
    const QUrl url(hop.url, QUrl::TolerantMode);
    if (url.scheme().compare(u"http", Qt::CaseInsensitive) != 0 || url.host().isEmpty()) {
        return false;
    }
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    return proxies.isEmpty() || proxies.first().type() == QNetworkProxy::NoProxy;
}

QNetworkReply* HttpClient::send(size_t index, const HttpRequest& hop)
{
    if (direct(hop)) {
        auto* reply = new Http11Reply(hop, *sockets_, cookies_.get(), this);
        if (direct_.size() > 256) {
            pruneDirect();
        }
        direct_.push_back(reply);
        return reply;
    }
    QNetworkReply* reply = managers_[index]->sendCustomRequest(makeRequest(hop), hop.method, hop.body);
    // Qt's network thread reads ahead into an unbounded buffer by default; a fast server of a huge or
    // endless body would fill memory long before the body cap is reached here. A bounded buffer makes
    // Qt stop reading the socket until this thread has taken what is there.
    reply->setReadBufferSize(kReadBufferBytes);
    ++load_[index];
    connect(reply, &QNetworkReply::finished, this, [this, index] { --load_[index]; });
    return reply;
}

void HttpClient::pruneDirect()
{
    direct_.erase(std::remove_if(direct_.begin(), direct_.end(),
                                 [](const QPointer<QNetworkReply>& r) { return !r || r->isFinished(); }),
                  direct_.end());
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

int HttpClient::inFlight() const
{
    int total = 0;
    for (const QPointer<QNetworkReply>& reply : direct_) {
        total += reply && !reply->isFinished();
    }
    for (int n : load_) {
        total += n;
    }
    return total;
}
