#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

// Bodies beyond this size (after decompression) are cut, so that a hostile server cannot exhaust memory.
inline constexpr qint64 kMaxBodyBytes = 20 * 1024 * 1024;
// Bodies being read at the same time hold at most this much in all; a body that would go beyond is cut.
inline constexpr qint64 kMaxBodyBytesInFlight = 128 * 1024 * 1024;
// Redirects followed before a request ends as failed (a redirect loop ends there).
inline constexpr int kMaxRedirects = 10;
// Sent as the User-Agent of every request that names none: many servers refuse requests without one.
inline constexpr char kDefaultUserAgent[] = "Mozilla/5.0 (Windows; U; Windows NT 6.0; zh-CN; rv:1.9.0.3) "
                                            "Gecko/2008092417 Firefox/3.0.3 (.NET CLR 3.5.30729)";

struct HttpRequest
{
    QByteArray method = "GET";
    QString url; // http or https; other schemes fail as transport errors
    // Sent in addition to the transport's defaults (User-Agent, Accept-Encoding), replacing a default of the
    // same name.
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Timed out when the elapsed seconds, rounded half to even, exceed this (see timeoutrule.h).
    qint32 tryTime = 10;
    // Without the body the request stops reading as soon as the final status is known. With it, only an
    // HTML page is read: any other Content-Type (or, without one, bytes that sniff as binary) ends the
    // request at its status.
    bool wantBody = true;
    // With wantBody: read the body whatever its type (the JSON answer of a web API), not only a page.
    bool anyType = false;
    qint64 maxBodyBytes = kMaxBodyBytes;
};

enum class HttpError {
    None,             // a final response was read (whatever its status)
    Timeout,          // no complete answer within tryTime
    Transport,        // no answer: refused, unresolved host, TLS failure, malformed URL, connection lost ...
    Redirect,         // more than kMaxRedirects (a loop), or a redirect to a scheme other than http(s)
    Aborted,          // cancelled by the caller
};

struct HttpResult
{
    bool completed = false; // a final status line was read
    int status = 0;
    QString statusText;    // the reason phrase, or the standard phrase of the status when the server sent none
    QByteArray body;       // empty unless the request wanted it
    QByteArray contentType; // the Content-Type header of the final response
    QByteArray retryAfter;  // its Retry-After header (seconds or an HTTP date), empty when none
    QUrl finalUrl;         // after redirects
    bool truncated = false; // the body was cut at maxBodyBytes, by the client's bound, or by the timeout
    bool cutByTimeout = false; // the status came in time and the timeout cut the page after it
    bool notPage = false;      // the body was wanted but is no HTML page (by Content-Type or sniffed): not read
    HttpError error = HttpError::None;
    QString errorText;     // the transport's description, for logs and details
    // Why there was no answer: libcurl's code (0 when there was one) and what refines it, the system's
    // error number of a failed connection or OpenSSL's verdict on a certificate (see FailureText).
    int curlCode = 0;
    long curlDetail = 0;
    QString refusedRedirect; // the address of a redirect that was not followed (another scheme)
    // A transport failure that a busy server or a full network causes as well as a dead one: the
    // connection refused, reset or closed before the answer. Worth asking again before it counts.
    bool transient = false;
    qint64 elapsedNs = 0;  // from the start of the request to its end
    // From the final hop's request sent to its first byte (libcurl's start-transfer time less its
    // pre-transfer time): how long the server took to answer, without the connection's setup and the
    // time its body took to arrive. 0 when no status came.
    qint64 firstByteNs = 0;
    // Not asked: its server has never answered this run, and this is what the requests that were asked
    // got (a timeout, a refused connection, a name that does not resolve).
    bool hostSilent = false;

    bool timedOut() const { return error == HttpError::Timeout; }
    bool isSuccess() const { return completed && status >= 200 && status <= 299; }
};
