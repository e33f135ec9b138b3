#pragma once

#include "httptypes.h"

#include <QString>

class HttpClient;

// Downloads one web page and returns its text decoded in a given character set. Every failure
// (timeout, status outside 200-299, network error) shows only as an empty text. While a fetch waits,
// the thread's events are processed, so the caller's own handlers may run inside any fetch.
class CXHtml
{
public:
    // Sent whenever `agent` is empty.
    static const QString kDefaultAgent;
    static constexpr qint32 kDefaultTryTime = 10;

    // Requests go through `client`, or the application's shared client when null.
    explicit CXHtml(HttpClient* client = nullptr);

    QString url() const { return url_; }
    void sUrl(const QString& url) { url_ = url; }
    // The character set used by GetSrc and PostSrc; filled by them on first use. (`char` in C++ is taken.)
    QString char_() const { return char_value_; }
    void sChar(const QString& charset) { char_value_ = charset; }
    // The Referer header; not sent when empty.
    QString refer() const { return refer_; }
    void sRefer(const QString& refer) { refer_ = refer; }
    // The User-Agent header; kDefaultAgent when empty.
    QString agent() const { return agent_; }
    void sAgent(const QString& agent) { agent_ = agent; }
    // Timeout of one request in seconds.
    qint32 TryTime() const { return tryTime_; }
    void sTime(qint32 seconds) { tryTime_ = seconds; }

    // GET `url`: the body decoded as `charset` when the final status is 200-299, else empty.
    QString GetHttpPage(const QString& charset);
    // POST `strRequest` (sent as UTF-8, as a form) to `url`: the response decoded as `charset`, or empty.
    QString PostHttpPage(const QString& strRequest, const QString& charset);
    // The page at `url` ("http://" put in front when it names no scheme), in `char`, which is sniffed
    // first when empty. Empty `url`: empty text and no request.
    QString GetSrc();
    QString PostSrc(const QString& strRequest);
    // The character set of the page at `url` (see SniffCharset); "gb2312" when it cannot be fetched.
    QString GetChar();

    static QString BytesToBstr(const QByteArray& body, const QString& charset);
    // The text between the first `firststr` and the next `endstr` after it; empty when either is missing.
    static QString GetMemo(const QString& temp, const QString& firststr, const QString& endstr);
    // True when `u` is empty or only spaces.
    static bool CheckNull(const QString& u);
    // `u` with every "'" replaced by a double quote character, for building SQL text.
    static QString GetSqlStr(const QString& u);

private:
    HttpResult fetch(const QByteArray& method, const QByteArray& body);
    bool prepareUrl();

    HttpClient* client_;
    QString url_;
    QString char_value_;
    QString refer_;
    QString agent_;
    qint32 tryTime_ = kDefaultTryTime;
};
