#include "http11reply.h"

#include "httptypes.h"
#include "socketpool.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QTcpSocket>

#include <zlib.h>

namespace {

// Limits on what a server may send before its body, so that endless or huge headers end the exchange.
constexpr qint64 kMaxHeaderBytes = 2 * 1024 * 1024;
constexpr qint64 kMaxLineBytes = 64 * 1024;
constexpr int kMaxHeaderLines = 20000;
// Inflated bytes handed on at a time: a small compressed chunk may inflate to a great deal, and the
// consumer must get the chance to stop it at its body cap in between.
constexpr int kInflateBlock = 256 * 1024;


// The line that starts at `pos` (without its CR LF), moving `pos` past it; false when it is incomplete.
bool lineAt(const QByteArray& buffer, qsizetype& pos, QByteArray* line)
{
    const qsizetype end = buffer.indexOf('\n', pos);
    if (end < 0) {
        return false;
    }
    *line = buffer.mid(pos, end - pos);
    if (line->endsWith('\r')) {
        line->chop(1);
    }
    pos = end + 1;
    return true;
}

// The first line of `buffer`, removed from it; `found` is false (and nothing removed) when incomplete.
QByteArray takeLine(QByteArray& buffer, bool* found)
{
    qsizetype pos = 0;
    QByteArray line;
    *found = lineAt(buffer, pos, &line);
    if (*found) {
        buffer.remove(0, pos);
    }
    return line;
}

} // namespace

Http11Reply::Http11Reply(const HttpRequest& request, SocketPool& pool, QNetworkCookieJar* cookies, QObject* parent)
    : QNetworkReply(parent), pool_(pool), cookies_(cookies)
{
    const QUrl url(request.url, QUrl::TolerantMode);
    setUrl(url);
    setOperation(QNetworkAccessManager::CustomOperation);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    host_ = url.host();
    port_ = static_cast<quint16>(url.port(80));
    headRequest_ = request.method.compare("HEAD", Qt::CaseInsensitive) == 0;

    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty()) {
        target = "/";
    }
    if (url.hasQuery()) {
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    }
    QByteArray hostHeader = url.host(QUrl::FullyEncoded).toLatin1();
    if (host_.contains(u':')) {
        hostHeader = '[' + hostHeader + ']'; // an IPv6 literal
    }
    if (url.port() > 0 && url.port() != 80) {
        hostHeader += ':' + QByteArray::number(url.port());
    }
    requestBytes_ = request.method + ' ' + target + " HTTP/1.1\r\nHost: " + hostHeader + "\r\n";
    for (const auto& [name, value] : request.headers) {
        requestBytes_ += name + ": " + value + "\r\n";
    }
    if (cookies_) {
        const QList<QNetworkCookie> list = cookies_->cookiesForUrl(url);
        if (!list.isEmpty()) {
            QByteArray cookie;
            for (const QNetworkCookie& c : list) {
                cookie += (cookie.isEmpty() ? "" : "; ") + c.toRawForm(QNetworkCookie::NameAndValueOnly);
            }
            requestBytes_ += "Cookie: " + cookie + "\r\n";
        }
    }
    if (!request.body.isEmpty() || request.method.compare("POST", Qt::CaseInsensitive) == 0) {
        requestBytes_ += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    }
    // As Qt's stack does: compressed pages travel faster, and the body cap counts inflated bytes.
    requestBytes_ += "Accept-Encoding: gzip, deflate\r\n";
    requestBytes_ += "\r\n" + request.body;

    connectSocket(false);
}

Http11Reply::~Http11Reply()
{
    releaseSocket(false);
    if (inflater_) {
        inflateEnd(inflater_.get());
    }
}

void Http11Reply::connectSocket(bool fresh)
{
    socket_ = fresh ? nullptr : pool_.take(host_, port_);
    reused_ = socket_ != nullptr;
    if (!socket_) {
        socket_ = new QTcpSocket(this);
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    } else {
        socket_->setParent(this);
    }
    connect(socket_, &QTcpSocket::readyRead, this, &Http11Reply::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &Http11Reply::onDisconnected);
    connect(socket_, &QTcpSocket::errorOccurred, this, &Http11Reply::onSocketError);
    if (reused_) {
        sendRequest();
    } else {
        connect(socket_, &QTcpSocket::connected, this, &Http11Reply::sendRequest);
        socket_->connectToHost(host_, port_);
    }
}

void Http11Reply::sendRequest()
{
    state_ = State::StatusLine;
    socket_->write(requestBytes_);
}

void Http11Reply::abort()
{
    if (isFinished()) {
        return;
    }
    failWith(OperationCanceledError, QStringLiteral("Operation canceled"));
}

qint64 Http11Reply::bytesAvailable() const
{
    return body_.size() + QNetworkReply::bytesAvailable();
}

qint64 Http11Reply::readData(char* data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, body_.size());
    if (n <= 0) {
        return isFinished() ? -1 : 0;
    }
    memcpy(data, body_.constData(), static_cast<size_t>(n));
    body_.remove(0, n);
    return n;
}

void Http11Reply::onReadyRead()
{
    if (!socket_ || isFinished()) {
        return;
    }
    const QByteArray chunk = socket_->readAll();
    anyResponseBytes_ = anyResponseBytes_ || !chunk.isEmpty();
    in_ += chunk;
    const QPointer<Http11Reply> self(this);
    bool progress = true;
    while (progress && self && !isFinished()) {
        switch (state_) {
        case State::StatusLine:
            progress = parseStatusLine();
            break;
        case State::Headers:
            progress = parseHeaders();
            break;
        case State::Body:
            parseBody();
            progress = false;
            break;
        default:
            progress = false;
            break;
        }
    }
}

bool Http11Reply::parseStatusLine()
{
    bool found = false;
    const QByteArray line = takeLine(in_, &found);
    if (!found) {
        if (in_.size() > kMaxLineBytes) {
            failWith(ProtocolFailure, QStringLiteral("Status line too long"));
        }
        return false;
    }
    // "HTTP/1.1 200 OK"; the reason phrase may be missing.
    const QList<QByteArray> parts = line.split(' ');
    bool ok = false;
    const int code = parts.size() >= 2 ? parts[1].toInt(&ok) : 0;
    if (!line.startsWith("HTTP/1.") || !ok || code < 100 || code > 999) {
        failWith(ProtocolUnknownError, QStringLiteral("Malformed status line"));
        return false;
    }
    status_ = code;
    const qsizetype reasonAt = line.indexOf(' ', line.indexOf(' ') + 1);
    const QByteArray reason = reasonAt > 0 ? line.mid(reasonAt + 1) : QByteArray();
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, code);
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, QString::fromLatin1(reason));
    keepAlive_ = line.startsWith("HTTP/1.1");
    headerBytes_ = line.size();
    headerLines_ = 0;
    state_ = State::Headers;
    return true;
}

bool Http11Reply::parseHeaders()
{
    qsizetype pos = 0;
    QByteArray line;
    bool ended = false;
    while (lineAt(in_, pos, &line)) {
        headerBytes_ += line.size() + 2;
        if (headerBytes_ > kMaxHeaderBytes || ++headerLines_ > kMaxHeaderLines) {
            failWith(ProtocolFailure, QStringLiteral("Response headers too large"));
            return false;
        }
        if (line.isEmpty()) {
            ended = true;
            break;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            continue; // not a header; browsers skip such lines too
        }
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        const QByteArray key = name.toLower();
        const auto known = headerIndex_.constFind(key);
        if (known == headerIndex_.cend()) {
            headerIndex_.insert(key, headers_.size());
            headers_.append({name, value});
        } else {
            // Repeated headers are joined as one list, as Qt does; Set-Cookie lines stay separate.
            QByteArray& joined = headers_[known.value()].second;
            joined += (key == "set-cookie" ? "\n" : ", ") + value;
        }
    }
    in_.remove(0, pos);
    if (!ended) {
        if (in_.size() > kMaxLineBytes) {
            failWith(ProtocolFailure, QStringLiteral("Header line too long"));
        }
        return false;
    }
    if (status_ >= 100 && status_ < 200) {
        state_ = State::StatusLine; // an interim response: the real one follows
        headers_.clear();
        headerIndex_.clear();
        return true;
    }
    for (const auto& [name, value] : std::as_const(headers_)) {
        setRawHeader(name, value);
    }
    if (cookies_ && hasRawHeader("Set-Cookie")) {
        cookies_->setCookiesFromUrl(QNetworkCookie::parseCookies(rawHeader("Set-Cookie")), url());
    }
    startBody();
    headersDone_ = true;
    const QPointer<Http11Reply> self(this);
    emit metaDataChanged();
    if (!self || isFinished()) {
        return false;
    }
    if (framing_ == Framing::None) {
        complete(keepAlive_);
        return false;
    }
    return true;
}

void Http11Reply::startBody()
{
    state_ = State::Body;
    const QByteArray connection = rawHeader("Connection").toLower();
    if (connection.contains("close")) {
        keepAlive_ = false;
    } else if (connection.contains("keep-alive")) {
        keepAlive_ = true;
    }
    bool ok = false;
    const qint64 length = rawHeader("Content-Length").trimmed().toLongLong(&ok);
    if (headRequest_ || status_ == 204 || status_ == 304) {
        framing_ = Framing::None;
    } else if (rawHeader("Transfer-Encoding").toLower().contains("chunked")) {
        framing_ = Framing::Chunked;
        remaining_ = -1;
    } else if (ok && length >= 0) {
        framing_ = length == 0 ? Framing::None : Framing::Length;
        remaining_ = length;
    } else {
        framing_ = Framing::UntilClose;
        keepAlive_ = false;
    }
    if (ok && length >= 0) {
        setHeader(QNetworkRequest::ContentLengthHeader, length);
    }
    const QByteArray encoding = rawHeader("Content-Encoding").trimmed().toLower();
    if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate") {
        inflater_ = std::make_unique<z_stream>();
        // 15 + 32: a gzip or zlib header, whichever the server sent.
        if (inflateInit2(inflater_.get(), 15 + 32) != Z_OK) {
            inflater_.reset();
        }
    }
}

void Http11Reply::parseBody()
{
    if (framing_ == Framing::UntilClose) {
        deliver(std::exchange(in_, QByteArray()));
        return;
    }
    if (framing_ == Framing::Length) {
        const QByteArray part = in_.left(remaining_);
        in_.remove(0, part.size());
        remaining_ -= part.size();
        const QPointer<Http11Reply> self(this);
        deliver(part);
        if (self && !isFinished() && remaining_ == 0) {
            complete(keepAlive_ && in_.isEmpty());
        }
        return;
    }
    parseChunks();
}

// Chunked bodies: a size line, that many bytes, CRLF, ... a zero size line, trailers, an empty line.
bool Http11Reply::parseChunks()
{
    const QPointer<Http11Reply> self(this);
    while (self && !isFinished()) {
        bool found = false;
        if (chunkTrailer_ || chunkEnd_) {
            const QByteArray line = takeLine(in_, &found);
            if (!found) {
                return false;
            }
            if (chunkEnd_) {
                chunkEnd_ = false; // the CRLF after a chunk's data
                continue;
            }
            if (line.isEmpty()) {
                complete(keepAlive_ && in_.isEmpty());
                return true;
            }
            continue; // a trailer header
        }
        if (remaining_ < 0) {
            const QByteArray line = takeLine(in_, &found);
            if (!found) {
                if (in_.size() > kMaxLineBytes) {
                    failWith(ProtocolFailure, QStringLiteral("Chunk size line too long"));
                }
                return false;
            }
            bool ok = false;
            const qint64 size = line.split(';').first().trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0) {
                failWith(ProtocolFailure, QStringLiteral("Malformed chunk size"));
                return false;
            }
            chunkTrailer_ = size == 0;
            remaining_ = size == 0 ? -1 : size;
            continue;
        }
        if (in_.isEmpty()) {
            return false;
        }
        const qint64 take = qMin<qint64>(remaining_, in_.size());
        const QByteArray part = in_.left(take);
        in_.remove(0, take);
        remaining_ -= take;
        if (remaining_ == 0) {
            remaining_ = -1;
            chunkEnd_ = true;
        }
        deliver(part);
    }
    return false;
}

void Http11Reply::deliver(const QByteArray& bytes)
{
    if (bytes.isEmpty()) {
        return;
    }
    if (!inflater_) {
        body_ += bytes;
        emit readyRead();
        return;
    }
    z_stream& z = *inflater_;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    z.avail_in = static_cast<uInt>(bytes.size());
    const QPointer<Http11Reply> self(this);
    QByteArray block(kInflateBlock, Qt::Uninitialized);
    while (z.avail_in > 0 || z.avail_out == 0) {
        z.next_out = reinterpret_cast<Bytef*>(block.data());
        z.avail_out = static_cast<uInt>(block.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        const qsizetype produced = block.size() - z.avail_out;
        if (produced > 0) {
            body_ += QByteArrayView(block.constData(), produced);
            emit readyRead();
            if (!self || isFinished()) {
                return; // the consumer has all it wants
            }
        }
        if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR)) {
            if (rc != Z_STREAM_END) {
                failWith(ProtocolFailure, QStringLiteral("Corrupt compressed body"));
            }
            return;
        }
        if (rc == Z_BUF_ERROR && z.avail_in == 0) {
            return;
        }
    }
}

void Http11Reply::onDisconnected()
{
    if (isFinished()) {
        return;
    }
    if (state_ == State::Body && framing_ == Framing::UntilClose) {
        onReadyRead();
        if (!isFinished()) {
            complete(false);
        }
        return;
    }
    onSocketError();
}

void Http11Reply::onSocketError()
{
    if (isFinished() || !socket_) {
        return;
    }
    // A kept-alive connection the server had already closed: try once more on a new one.
    if (reused_ && !anyResponseBytes_) {
        releaseSocket(false);
        connectSocket(true);
        return;
    }
    if (state_ == State::Body && framing_ == Framing::UntilClose &&
        socket_->error() == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    NetworkError code = UnknownNetworkError;
    switch (socket_->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        code = ConnectionRefusedError;
        break;
    case QAbstractSocket::RemoteHostClosedError:
        code = RemoteHostClosedError;
        break;
    case QAbstractSocket::HostNotFoundError:
        code = HostNotFoundError;
        break;
    case QAbstractSocket::SocketTimeoutError:
        code = TimeoutError;
        break;
    default:
        break;
    }
    failWith(code, socket_->errorString());
}

void Http11Reply::complete(bool reusable)
{
    state_ = State::Done;
    releaseSocket(reusable);
    setFinished(true);
    emit finished();
}

void Http11Reply::failWith(NetworkError code, const QString& text)
{
    if (!headersDone_) {
        // No complete response head arrived: there is no status to report.
        setAttribute(QNetworkRequest::HttpStatusCodeAttribute, QVariant());
        setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, QVariant());
    }
    state_ = State::Done;
    releaseSocket(false);
    setError(code, text);
    setFinished(true);
    const QPointer<Http11Reply> self(this);
    emit errorOccurred(code);
    if (self) {
        emit finished();
    }
}

void Http11Reply::releaseSocket(bool reusable)
{
    if (!socket_) {
        return;
    }
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    if (reusable) {
        pool_.give(host_, port_, socket);
    } else {
        socket->abort();
        socket->deleteLater();
    }
}
