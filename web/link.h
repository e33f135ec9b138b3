#pragma once

#include "cxhtml.h"
#include "httptypes.h"

#include <QString>

class HttpClient;

// Probes one link at a time: a GET whose verdict is valid (final status 200-399, or 0) or not, with the
// status text (the server's phrase; for an HTTP error its code and meaning too; why nothing answered, in
// a few words; or kTimedOutText) and the time taken; and, for pages to be scanned, reads the page source. Probes send
// no headers of their own; page reads go through the owned CXHtml with its headers. While a request waits the thread's
// events are processed.
class Link
{
public:
    static constexpr qint32 kDefaultTryTime = 20;
    // The status text of a probe that timed out; the one sign that tells a timeout from a dead link.
    static const QString kTimedOutText;
    // The status text of a link not asked because its server timed out every request before it.
    static const QString kHostSilentText;

    explicit Link(HttpClient* client = nullptr);

    // The pieces of a probe, for callers that issue probes ahead of time.
    struct Verdict
    {
        bool valid = false;
        QString statusText;
        qint32 querytimes = 0;
        int httpStatus = 0; // the final status; 0 when nothing answered
        // The server refused to be checked (429, or 503 with Retry-After): the link is not known to be
        // dead, and counts with the timed-out ones.
        bool refused = false;
    };
    // The status text of a link whose server refused to answer, as in "服务器限流，未能确认（429 Too Many Requests）".
    static QString RefusedText(int status, const QString& reason);
    // Whether an answer is a refusal to be checked rather than a verdict on the link.
    static bool IsRefusal(const HttpResult& response);
    static QString NormalizeCheckUrl(const QString& u);
    static HttpRequest ProbeRequest(const QString& checkUrl, qint32 tryTime, bool wantBody);
    static Verdict Classify(const HttpResult& response);
    // The page of a response that kept its body, decoded in its sniffed character set; empty unless 2xx.
    static QString PageText(const HttpResult& response);
    // The character set PageText decodes that page in; empty when the response kept no page.
    static QString PageCharset(const HttpResult& response);

    QString Check_url() const { return checkUrl_; }
    // Host and scheme lower-cased, path and query as given; "http://" in front when `u` names no scheme.
    void Check_url(const QString& u);
    qint32 TryTime() const { return tryTime_; }
    void sTime(qint32 seconds);

    // Probes Check_url: true for a valid link. Sets statusText and querytimes.
    bool CheckUrl();
    // Reads the page at Check_url into websource (sniffed, then decoded); empty when it cannot be read.
    // When the last probe was of the same URL and kept its page, the page is decoded from that response
    // instead of being downloaded again.
    void CheckLinks();
    // Whether the next probes keep the page they download (for links whose pages will be scanned).
    void keepPage(bool keep) { keepPage_ = keep; }
    // The character set of the page at Check_url (see SniffCharset).
    QString GetChar();
    // The bare form of `u`: trimmed, without its scheme, host lower-cased, one trailing "/" removed.
    static QString TrimUrl(const QString& u);

    // The status text of the last probe, as the class comment says.
    QString statusText() const { return statusText_; }
    // The final HTTP status of the last probe; 0 when nothing answered.
    int httpStatus() const { return httpStatus_; }
    // Milliseconds when the probe was answered, whole seconds (rounded half to even) when it timed out.
    qint32 querytimes() const { return querytimes_; }
    QString websource() const { return websource_; }
    // The last probe's response as received: status, Content-Type, final URL, timing.
    const HttpResult& lastResponse() const { return last_; }

private:
    HttpClient* client_;
    CXHtml html_;
    QString checkUrl_;
    qint32 tryTime_ = kDefaultTryTime;
    QString statusText_;
    qint32 querytimes_ = 0;
    int httpStatus_ = 0;
    QString websource_;
    HttpResult last_;
    bool keepPage_ = false;
    QString lastProbedUrl_; // the Check_url of the response in last_, when it kept its page
};
