#include "httpreply.h"

#include "reasonphrase.h"
#include "timeoutrule.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr qint64 kNsPerMs = 1'000'000;
// A timer interval must fit an int; longer waits re-arm when this has passed.
constexpr qint64 kMaxTimerMs = 24LL * 3600 * 1000;

// The connection failed (refused, reset, closed early, TLS, proxy), as opposed to an HTTP error status,
// which Qt reports through the same code.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return (error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) ||
           error == QNetworkReply::ProtocolFailure;
}

bool isWebScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1StringView("http") || scheme == QLatin1StringView("https");
}

} // namespace

bool IsFollowedRedirect(int status, const QByteArray& location)
{
    const bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    return redirect && !location.isEmpty();
}

// Redirects are followed here rather than by Qt: Qt 6.4 loses count in a redirect loop and reports a
// made-up final response, and following them here keeps the hop count and the final status exact.
HttpReply::HttpReply(const HttpRequest& request, Sender sender)
    : request_(request), send_(std::move(sender))
{
    request_.maxBodyBytes = qMax<qint64>(request_.maxBodyBytes, 0);
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &HttpReply::onTimer);
    armTimer();
    send(request_);
}

HttpReply::~HttpReply()
{
    detach();
}

void HttpReply::send(const HttpRequest& hop)
{
    result_.finalUrl = QUrl(hop.url, QUrl::TolerantMode);
    QNetworkReply* reply = send_ ? send_(hop) : nullptr;
    if (!reply) {
        fail(HttpError::Transport);
        return;
    }
    reply_ = reply;
    redirectStatus_ = 0;
    connect(reply, &QNetworkReply::metaDataChanged, this, &HttpReply::onMetaDataChanged);
    connect(reply, &QNetworkReply::readyRead, this, &HttpReply::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &HttpReply::onNetworkFinished);
    // The manager that owns the reply may go away first (the client is destroyed).
    connect(reply, &QObject::destroyed, this, [this] {
        if (!finished_) {
            fail(HttpError::Transport);
        }
    });
    if (reply->isFinished()) {
        onNetworkFinished();
    }
}

// Lets go of the network reply; a transfer still running ends when the reply is deleted. (Aborting one
// that has reported an error status already makes Qt 6.4 complain about a second error.)
void HttpReply::detach()
{
    if (!reply_) {
        return;
    }
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    if (!reply->isFinished() && reply->error() == QNetworkReply::NoError) {
        reply->abort();
    }
    reply->deleteLater();
}

void HttpReply::abort()
{
    if (!finished_) {
        stopWith(Stop::Aborted);
    }
}

void HttpReply::armTimer()
{
    const qint64 remainingNs = FirstTimeoutNs(request_.tryTime) - clock_.nsecsElapsed();
    const qint64 ms = qBound<qint64>(0, (remainingNs + kNsPerMs - 1) / kNsPerMs, kMaxTimerMs);
    timer_.start(static_cast<int>(ms));
}

void HttpReply::onTimer()
{
    if (finished_) {
        return;
    }
    if (IsTimedOut(clock_.nsecsElapsed(), request_.tryTime)) {
        stopWith(Stop::Timeout);
        return;
    }
    armTimer();
}

void HttpReply::onMetaDataChanged()
{
    if (finished_ || stop_ != Stop::None || !reply_) {
        return;
    }
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray location = reply_->rawHeader("Location");
    if (IsFollowedRedirect(status, location)) {
        redirectStatus_ = status;
        redirectTarget_ = reply_->url().resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
        return;
    }
    readStatus();
    if (!request_.wantBody && result_.completed) {
        stopWith(Stop::HaveStatus); // nothing of the body is needed
    }
}

void HttpReply::onReadyRead()
{
    if (!reply_ || finished_ || stop_ != Stop::None) {
        return;
    }
    if (redirectStatus_ != 0 || !request_.wantBody) {
        reply_->skip(reply_->bytesAvailable()); // a redirect's own page is of no use
        return;
    }
    // One byte more than the cap tells a body that is exactly the cap from one that goes on.
    const qint64 room = request_.maxBodyBytes + 1 - result_.body.size();
    result_.body += reply_->read(qMin(reply_->bytesAvailable(), room));
    if (result_.body.size() > request_.maxBodyBytes) {
        result_.body.truncate(request_.maxBodyBytes);
        result_.truncated = true;
        stopWith(Stop::BodyFull);
    }
}

void HttpReply::readStatus()
{
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        return;
    }
    result_.completed = true;
    result_.status = status.toInt();
    result_.statusText = reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    if (result_.statusText.isEmpty()) {
        result_.statusText = StandardReasonPhrase(result_.status);
    }
    result_.contentType = reply_->rawHeader("Content-Type");
}

void HttpReply::followRedirect()
{
    if (++redirects_ > kMaxRedirects) {
        result_.errorText = QLatin1StringView("More than %1 redirects").arg(QString::number(kMaxRedirects));
        fail(HttpError::Redirect);
        return;
    }
    if (!isWebScheme(redirectTarget_)) {
        result_.errorText = QLatin1StringView("Redirect to a non-web address: ") + redirectTarget_.toString();
        fail(HttpError::Redirect);
        return;
    }
    HttpRequest hop = request_;
    hop.url = redirectTarget_.toString(QUrl::FullyEncoded);
    // As browsers do: a 303 always, and a 301 or 302 after a POST, continue as a GET without a body.
    const bool toGet = redirectStatus_ == 303 || ((redirectStatus_ == 301 || redirectStatus_ == 302) &&
                                                  request_.method.compare("POST", Qt::CaseInsensitive) == 0);
    if (toGet && request_.method.compare("HEAD", Qt::CaseInsensitive) != 0) {
        hop.method = "GET";
        hop.body.clear();
        hop.headers.removeIf([](const auto& h) { return h.first.compare("Content-Type", Qt::CaseInsensitive) == 0; });
    }
    detach();
    request_ = hop;
    send(request_);
}

// Ends the reply now; finish() lets go of the network reply, which stops the transfer.
void HttpReply::stopWith(Stop why)
{
    stop_ = why;
    onNetworkFinished();
}

void HttpReply::onNetworkFinished()
{
    if (finished_) {
        return;
    }
    switch (stop_) {
    case Stop::Timeout:
        fail(HttpError::Timeout);
        return;
    case Stop::Aborted:
        fail(HttpError::Aborted);
        return;
    case Stop::HaveStatus:
    case Stop::BodyFull:
        finish();
        return;
    case Stop::None:
        break;
    }
    if (redirectStatus_ != 0) {
        followRedirect();
        return;
    }
    onReadyRead(); // what is left of the body
    if (finished_ || !reply_) {
        return;
    }
    if (!result_.completed) {
        readStatus();
    }
    if (reply_->error() != QNetworkReply::NoError) {
        result_.errorText = reply_->errorString();
    }
    // A body that was wanted and broke off (the connection reset or closed before its length) is no
    // answer: its status line alone must not make a page that cannot be read count as valid.
    if (!result_.completed || (request_.wantBody && (isTransportError(reply_->error()) || bodyCutShort()))) {
        fail(HttpError::Transport);
        return;
    }
    finish();
}

// True when fewer bytes arrived than the response's Content-Length announced. Qt 6.4 reports some
// connections reset in the middle of a body as finished without an error, so the length is checked
// here. A compressed body is announced by its compressed length and is not compared.
bool HttpReply::bodyCutShort() const
{
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray encoding = reply_->rawHeader("Content-Encoding").trimmed().toLower();
    const bool noBody = request_.method.compare("HEAD", Qt::CaseInsensitive) == 0 || result_.status == 204 ||
                        result_.status == 304 || (result_.status >= 100 && result_.status < 200);
    if (noBody || !length.isValid() || result_.truncated || !(encoding.isEmpty() || encoding == "identity")) {
        return false;
    }
    return result_.body.size() < length.toLongLong();
}

// Ends without a final response; whatever was read of one does not count.
void HttpReply::fail(HttpError error)
{
    if (reply_ && result_.errorText.isEmpty() && reply_->error() != QNetworkReply::NoError) {
        result_.errorText = reply_->errorString();
    }
    result_.completed = false;
    result_.error = error;
    result_.body.clear();
    finish();
}

void HttpReply::finish()
{
    finished_ = true;
    result_.elapsedNs = clock_.nsecsElapsed();
    timer_.stop();
    detach();
    // Queued, so that no caller is inside this object's code when a slot deletes it.
    QMetaObject::invokeMethod(this, &HttpReply::finished, Qt::QueuedConnection);
}
