#include "httpclient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
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

HttpClient::HttpClient(QObject* parent) : QObject(parent), cookies_(std::make_unique<QNetworkCookieJar>())
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

QNetworkReply* HttpClient::send(size_t index, const HttpRequest& hop)
{
    QNetworkReply* reply = managers_[index]->sendCustomRequest(makeRequest(hop), hop.method, hop.body);
    // Qt's network thread reads ahead into an unbounded buffer by default; a fast server of a huge or
    // endless body would fill memory long before the body cap is reached here. A bounded buffer makes
    // Qt stop reading the socket until this thread has taken what is there.
    reply->setReadBufferSize(kReadBufferBytes);
    ++load_[index];
    connect(reply, &QNetworkReply::finished, this, [this, index] { --load_[index]; });
    return reply;
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
    for (int n : load_) {
        total += n;
    }
    return total;
}
