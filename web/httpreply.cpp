#include "httpreply.h"

#include "httpclient.h"
#include "reasonphrase.h"
#include "timeoutrule.h"

#include <QStringDecoder>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#endif

#include <algorithm>

namespace {

constexpr qint64 kNsPerMs = 1'000'000;
// A timer interval must fit an int; longer waits re-arm when this has passed.
constexpr qint64 kMaxTimerMs = 24LL * 3600 * 1000;
// A body nobody needs (a redirect's page, the page of a status-only probe) is read to its end when it
// is small, so that the connection stays open for the next request; a larger one is cut off.
constexpr qint64 kMaxSkippedBytes = 64 * 1024;
// A response head larger than this is refused, as browsers refuse it (libcurl's own bound is 300 KB).
constexpr qint64 kMaxHeadBytes = 256 * 1024;
// The socket layer's error number of a connection attempt that timed out.
#ifdef _WIN32
constexpr long kConnectTimedOut = WSAETIMEDOUT;
#else
constexpr long kConnectTimedOut = ETIMEDOUT;
#endif

bool isWebScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1StringView("http") || scheme == QLatin1StringView("https");
}

bool isHead(const HttpRequest& r)
{
    return r.method.compare("HEAD", Qt::CaseInsensitive) == 0;
}

// What a Content-Type says of a body: a page to read, something else, or nothing (the body tells).
enum class BodyKind { Page, Other, Unknown };

BodyKind bodyKindOf(const QByteArray& contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    const QByteArray mime = (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
    if (mime.isEmpty()) {
        return BodyKind::Unknown;
    }
    return mime == "text/html" || mime == "application/xhtml+xml" ? BodyKind::Page : BodyKind::Other;
}

// Bytes enough to tell a document from binary data.
constexpr qsizetype kSniffBytes = 512;

// Binary data as browsers sniff it: control bytes that no text holds, or the signature of a document
// format that starts as text.
bool looksBinary(QByteArrayView head)
{
    if (head.startsWith("%PDF-") || head.startsWith("%!PS")) {
        return true;
    }
    return std::any_of(head.begin(), head.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x08 || b == 0x0B || (b >= 0x0E && b <= 0x1A) || (b >= 0x1C && b <= 0x1F);
    });
}

// Failures that a busy or overloaded server causes as well as a dead one.
bool isTransient(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_SSL_CONNECT_ERROR:
        return true;
    default:
        return false;
    }
}

// Whether libcurl can decode every coding `contentEncoding` names. A name nobody knows ("utf-8" is a
// common misconfiguration) is no coding at all to a browser, which shows the bytes as sent.
bool isKnownCoding(const QByteArray& contentEncoding)
{
    for (const QByteArray& name : contentEncoding.split(',')) {
        const QByteArray coding = name.trimmed().toLower();
        if (!coding.isEmpty() && coding != "gzip" && coding != "x-gzip" && coding != "deflate" && coding != "br" &&
            coding != "zstd" && coding != "identity") {
            return false;
        }
    }
    return true;
}

// Location bytes are read as UTF-8. Bytes that are not (a server on a Chinese code page sends its GBK path
// raw) are percent-encoded one by one, as browsers do, so the server gets back exactly the bytes it sent.
QString locationText(const QByteArray& location)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(location);
    if (!utf8.hasError()) {
        return text;
    }
    QByteArray encoded;
    for (const char c : location) {
        const auto byte = static_cast<uchar>(c);
        if (byte < 0x80) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += QByteArray::number(byte, 16).toUpper();
        }
    }
    return QString::fromLatin1(encoded);
}

const char* AgentHeader()
{
    static const QByteArray line = QByteArray("User-Agent: ") + kDefaultUserAgent;
    return line.constData();
}

// Made once; libcurl only reads the list.
curl_slist* AgentOnly()
{
    static curl_slist* const list = curl_slist_append(nullptr, AgentHeader());
    return list;
}

} // namespace

bool IsFollowedRedirect(int status, const QByteArray& location)
{
    const bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    return redirect && !location.isEmpty();
}

// Redirects are followed here rather than by libcurl, one transfer per hop on the same handle: the hop
// count, the final status, the final address and the switch from POST to GET stay exact and ours.
HttpReply::HttpReply(const HttpRequest& request, HttpClient* client) : request_(request), client_(client)
{
    request_.maxBodyBytes = qMax<qint64>(request_.maxBodyBytes, 0);
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &HttpReply::onTimer);
    armTimer();
    easy_ = client_ ? client_->takeHandle() : nullptr;
    if (client_) {
        client_->adopt(this);
    }
    send(request_);
}

HttpReply::~HttpReply()
{
    releaseBody();
    detach();
    curl_slist_free_all(headers_);
    dropHandle();
    if (client_) {
        client_->release(this);
    }
}

void HttpReply::dropHandle()
{
    if (!easy_) {
        return;
    }
    if (client_) {
        client_->giveBack(easy_);
    } else {
        curl_easy_cleanup(easy_);
    }
    easy_ = nullptr;
}

void HttpReply::send(const HttpRequest& hop)
{
    result_.finalUrl = QUrl(hop.url, QUrl::TolerantMode);
    inHead_ = false;
    redirecting_ = false;
    skipped_ = 0;
    stop_ = Stop::None;
    if (!client_ || !easy_) {
        result_.curlCode = CURLE_FAILED_INIT;
        fail(HttpError::Transport);
        return;
    }
    configure(hop);
    running_ = client_->run(easy_);
    if (!running_) {
        result_.curlCode = CURLE_FAILED_INIT;
        fail(HttpError::Transport);
    }
}

void HttpReply::configure(const HttpRequest& hop)
{
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, error_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &HttpReply::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HttpReply::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    error_[0] = '\0';

    const QByteArray url = result_.finalUrl.toEncoded(); // the host in ASCII (punycode), the rest %-encoded
    curl_easy_setopt(easy_, CURLOPT_URL, url.constData());
    client_->applyProxy(easy_, result_.finalUrl);
    // A connection must open within the time the request has left, so that a host that drops packets is
    // timed out rather than failed by the system's own connect retries; libcurl also shares that time
    // between a host's addresses, so a dead address does not take the live one's turn.
    const qint64 leftMs = (FirstTimeoutNs(request_.tryTime) - clock_.nsecsElapsed()) / kNsPerMs;
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, long(qBound<qint64>(1, leftMs, kMaxTimerMs)));
    // "" offers every coding libcurl decodes; a page read again raw asks for none and keeps what is sent.
    curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, raw_ ? nullptr : "");
    curl_easy_setopt(easy_, CURLOPT_HTTP_CONTENT_DECODING, raw_ ? 0L : 1L);

    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, nullptr);
    if (isHead(hop)) {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else if (hop.method.compare("GET", Qt::CaseInsensitive) == 0) {
        curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body.size()));
        curl_easy_setopt(easy_, CURLOPT_COPYPOSTFIELDS, hop.body.constData());
        if (hop.method.compare("POST", Qt::CaseInsensitive) != 0) {
            curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, hop.method.constData());
        }
    }

    curl_slist_free_all(headers_);
    headers_ = curl_slist_append(nullptr, "Expect:"); // no 100-continue round trip before a body
    bool agent = false;
    for (const auto& [name, value] : hop.headers) {
        agent = agent || name.compare("User-Agent", Qt::CaseInsensitive) == 0;
        // "Name;" is libcurl's way to send a header with an empty value.
        const QByteArray line = value.isEmpty() ? QByteArray(name + ';') : QByteArray(name + ": " + value);
        headers_ = curl_slist_append(headers_, line.constData());
    }
    // The program's agent goes with the other headers rather than by CURLOPT_USERAGENT, which libcurl
    // prints into a header line again for every transfer, a character at a time. The CONNECT that opens
    // an https tunnel through a proxy carries it too, as it carries that option's agent; a plain http
    // request through a proxy is sent these headers alone.
    if (!agent) {
        headers_ = curl_slist_append(headers_, AgentHeader());
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    const bool agentForTunnel = !agent && result_.finalUrl.scheme() == u"https";
    curl_easy_setopt(easy_, CURLOPT_PROXYHEADER, agentForTunnel ? AgentOnly() : nullptr);
}

// Lets go of the transfer; one still running stops here (its connection is closed, not reused).
void HttpReply::detach()
{
    if (running_ && client_) {
        client_->stop(easy_);
    }
    running_ = false;
}

void HttpReply::clientGone()
{
    running_ = false;
    client_ = nullptr;
    if (!finished_) {
        result_.errorText = QStringLiteral("The HTTP client was closed");
        result_.curlCode = CURLE_FAILED_INIT;
        fail(HttpError::Transport);
    }
}

void HttpReply::abort()
{
    if (!finished_) {
        fail(HttpError::Aborted);
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
        // A status that came in time is the answer; a page the timeout cuts is what came of it so far.
        if (result_.completed) {
            result_.cutByTimeout = request_.wantBody && !result_.notPage;
            result_.truncated = result_.truncated || result_.cutByTimeout;
            endSniffing();
            finish();
            return;
        }
        fail(HttpError::Timeout);
        return;
    }
    armTimer();
}

size_t HttpReply::onHeader(char* data, size_t size, size_t count, void* self)
{
    return static_cast<HttpReply*>(self)->header(QByteArrayView(data, qsizetype(size * count)));
}

size_t HttpReply::onBody(char* data, size_t size, size_t count, void* self)
{
    return static_cast<HttpReply*>(self)->body(data, size * count);
}

// libcurl hands over the head line by line, the status line of every response first (interim ones and
// redirects included) and an empty line at its end; trailers of a chunked body come after the body.
size_t HttpReply::header(QByteArrayView raw)
{
    const size_t taken = size_t(raw.size());
    QByteArrayView line = raw;
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    if (line.startsWith("HTTP/")) {
        // "HTTP/1.1 404 Not Found", "HTTP/2 200": the phrase follows the code (which libcurl reports).
        inHead_ = true;
        folding_ = nullptr;
        headBytes_ = qint64(taken);
        location_.clear();
        contentType_.clear();
        contentEncoding_.clear();
        retryAfter_.clear();
        const qsizetype codeAt = line.indexOf(' ');
        const QByteArrayView rest = codeAt < 0 ? QByteArrayView() : line.sliced(codeAt + 1);
        reason_ = rest.size() > 4 ? rest.sliced(4).trimmed().toByteArray() : QByteArray();
        return taken;
    }
    if (!inHead_) {
        return taken; // a trailer
    }
    headBytes_ += qint64(taken);
    if (headBytes_ > kMaxHeadBytes) {
        return 0; // reported as CURLE_WRITE_ERROR
    }
    if (line.isEmpty()) {
        inHead_ = false;
        return headDone() ? taken : 0;
    }
    if (line.startsWith(' ') || line.startsWith('\t')) {
        // An obsolete folded line continues the header before it, joined by one space.
        if (folding_) {
            *folding_ += ' ' + line.trimmed().toByteArray();
        }
        return taken;
    }
    folding_ = nullptr;
    const qsizetype colon = line.indexOf(':');
    if (colon > 0) {
        const QByteArrayView name = line.first(colon).trimmed();
        QByteArray* field = name.compare("Location", Qt::CaseInsensitive) == 0           ? &location_
                            : name.compare("Content-Type", Qt::CaseInsensitive) == 0     ? &contentType_
                            : name.compare("Retry-After", Qt::CaseInsensitive) == 0      ? &retryAfter_
                            : name.compare("Content-Encoding", Qt::CaseInsensitive) == 0 ? &contentEncoding_
                                                                                         : nullptr;
        if (field) {
            *field = line.sliced(colon + 1).trimmed().toByteArray();
            folding_ = field;
        }
    }
    return taken;
}

bool HttpReply::headDone()
{
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 100 && code < 200) {
        return true; // an interim response: the real one follows
    }
    if (IsFollowedRedirect(int(code), location_)) {
        redirecting_ = true;
        return true;
    }
    result_.completed = true;
    result_.status = int(code);
    result_.statusText = reason_.isEmpty() ? StandardReasonPhrase(result_.status) : DecodeReasonPhrase(reason_);
    result_.contentType = contentType_;
    result_.retryAfter = retryAfter_;
    // From the request sent to its first byte: the connection's own setup (a TLS handshake among many
    // at once) tells of our side, not of the server's load.
    curl_off_t firstByteUs = 0;
    curl_off_t sentUs = 0;
    curl_easy_getinfo(easy_, CURLINFO_STARTTRANSFER_TIME_T, &firstByteUs);
    curl_easy_getinfo(easy_, CURLINFO_PRETRANSFER_TIME_T, &sentUs);
    result_.firstByteNs = qMax<qint64>(1, qint64(firstByteUs - sentUs)) * 1000;
    if (!request_.wantBody) {
        // The status is the answer. A short body of known length is still read, so that the connection
        // stays open for the next request; a long one, or one whose end is not known (a stream), is not.
        curl_off_t length = -1;
        curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length < 0 || length > kMaxSkippedBytes) {
            stop_ = Stop::HaveStatus;
            return false;
        }
        return true;
    }
    if (isHead(request_) || request_.anyType) {
        return true;
    }
    switch (bodyKindOf(contentType_)) {
    case BodyKind::Page:
        return true;
    case BodyKind::Unknown:
        sniffing_ = true;
        return true;
    case BodyKind::Other:
        break;
    }
    // A file, an image, a download: only its status matters, and its bytes may be many.
    result_.notPage = true;
    stop_ = Stop::HaveStatus;
    return false;
}

size_t HttpReply::body(const char* data, size_t n)
{
    if (redirecting_ || !request_.wantBody) {
        skipped_ += qint64(n);
        if (skipped_ > kMaxSkippedBytes) {
            stop_ = redirecting_ ? Stop::FollowNow : Stop::HaveStatus;
            return 0;
        }
        return n;
    }
    // One byte more than the cap tells a body that is exactly the cap from one that goes on.
    const qint64 room = request_.maxBodyBytes + 1 - result_.body.size();
    const qint64 take = qMin<qint64>(qint64(n), room);
    if (client_ && !client_->holdBody(take)) {
        // The bodies in flight together are at their bound: this page is read as far as it came.
        result_.truncated = true;
        stop_ = Stop::BodyFull;
        endSniffing();
        return 0;
    }
    held_ += take;
    result_.body.append(data, qsizetype(take));
    if (result_.body.size() > request_.maxBodyBytes) {
        result_.body.truncate(request_.maxBodyBytes);
        result_.truncated = true;
        stop_ = Stop::BodyFull;
        endSniffing();
        return 0;
    }
    if (sniffing_ && result_.body.size() >= kSniffBytes) {
        endSniffing();
        if (result_.notPage) {
            stop_ = Stop::HaveStatus;
            return 0;
        }
    }
    return n;
}

void HttpReply::onDone(CURLcode code)
{
    running_ = false;
    if (finished_) {
        return;
    }
    switch (stop_) {
    case Stop::HaveStatus:
    case Stop::BodyFull:
        finish();
        return;
    case Stop::FollowNow:
        followRedirect();
        return;
    case Stop::None:
        break;
    }
    if (redirecting_) {
        followRedirect(); // the head was complete; what became of the redirect's own page does not matter
        return;
    }
    if (code == CURLE_OK && result_.completed) {
        endSniffing();
        finish();
        return;
    }
    // A status-only probe has its answer once the status is read, whatever became of the page after it.
    if (result_.completed && !request_.wantBody) {
        finish();
        return;
    }
    if (retry(code)) {
        return;
    }
    // A connection that never opened in time is a timeout, whoever's clock said so.
    long osError = 0;
    curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osError);
    if (code == CURLE_OPERATION_TIMEDOUT || (code == CURLE_COULDNT_CONNECT && osError == kConnectTimedOut)) {
        fail(HttpError::Timeout);
        return;
    }
    // A body that was wanted and broke off (reset, or closed before its length) is no answer: its status
    // line alone must not make a page that cannot be read count as valid.
    result_.errorText = QString::fromUtf8(error_[0] ? error_ : curl_easy_strerror(code));
    result_.transient = isTransient(code);
    result_.curlCode = int(code);
    result_.curlDetail = osError;
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        curl_easy_getinfo(easy_, CURLINFO_SSL_VERIFYRESULT, &result_.curlDetail);
    }
    fail(HttpError::Transport);
}

// Sends the hop once more where a browser would: a name lookup also fails when the resolver is swamped
// by a run's many lookups at once, and a page in a coding nobody knows is read again undecoded.
bool HttpReply::retry(CURLcode code)
{
    if (code == CURLE_COULDNT_RESOLVE_HOST && !lookupRetried_) {
        lookupRetried_ = true;
    } else if (code == CURLE_BAD_CONTENT_ENCODING && !raw_ && !isKnownCoding(contentEncoding_)) {
        raw_ = true;
    } else {
        return false;
    }
    result_.completed = false;
    result_.body.clear();
    result_.truncated = false;
    result_.notPage = false;
    sniffing_ = false;
    releaseBody();
    send(request_);
    return true;
}

void HttpReply::followRedirect()
{
    // Spaces and other stray characters are percent-encoded, as browsers do.
    const QUrl next = result_.finalUrl.resolved(QUrl(locationText(location_), QUrl::TolerantMode));
    if (++redirects_ > kMaxRedirects) {
        result_.errorText = QLatin1StringView("More than %1 redirects").arg(QString::number(kMaxRedirects));
        result_.curlCode = CURLE_TOO_MANY_REDIRECTS;
        fail(HttpError::Redirect);
        return;
    }
    if (!isWebScheme(next) || next.host().isEmpty()) {
        result_.errorText = QLatin1StringView("Redirect to a non-web address: ") + next.toString();
        result_.curlCode = isWebScheme(next) ? CURLE_URL_MALFORMAT : CURLE_UNSUPPORTED_PROTOCOL;
        result_.refusedRedirect = next.toString();
        fail(HttpError::Redirect);
        return;
    }
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    HttpRequest hop = request_;
    hop.url = next.toString(QUrl::FullyEncoded);
    // As browsers do: a 303 always, and a 301 or 302 after a POST, continue as a GET without a body.
    const bool toGet = code == 303 || ((code == 301 || code == 302) && request_.method.compare("POST", Qt::CaseInsensitive) == 0);
    if (toGet && !isHead(request_)) {
        hop.method = "GET";
        hop.body.clear();
        hop.headers.removeIf([](const auto& h) { return h.first.compare("Content-Type", Qt::CaseInsensitive) == 0; });
    }
    request_ = hop;
    send(request_);
}

// Ends without a final response; whatever was read of one does not count.
void HttpReply::fail(HttpError error)
{
    result_.completed = false;
    result_.error = error;
    result_.body.clear();
    finish();
}

// Decides whether a body without Content-Type is a page, from its first bytes; one that is not is dropped.
void HttpReply::endSniffing()
{
    if (!sniffing_) {
        return;
    }
    sniffing_ = false;
    if (looksBinary(QByteArrayView(result_.body).first(qMin(result_.body.size(), kSniffBytes)))) {
        result_.notPage = true;
        result_.body.clear();
    }
}

void HttpReply::releaseBody()
{
    if (client_ && held_ > 0) {
        client_->releaseBody(held_);
    }
    held_ = 0;
}

void HttpReply::finish()
{
    finished_ = true;
    releaseBody();
    result_.elapsedNs = clock_.nsecsElapsed();
    timer_.stop();
    detach();
    // The handle goes now rather than with the reply, which callers keep for its result: it must not
    // outlive the client whose shared caches it points to.
    dropHandle();
    if (client_) {
        client_->release(this);
    }
    // Queued, so that no caller is inside this object's code when a slot deletes it.
    QMetaObject::invokeMethod(this, &HttpReply::finished, Qt::QueuedConnection);
}
