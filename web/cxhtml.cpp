#include "cxhtml.h"

#include "charset.h"
#include "httpclient.h"
#include "httpurl.h"
#include "textops.h"

using namespace Qt::StringLiterals;

const QString CXHtml::kDefaultAgent = QString::fromLatin1(kDefaultUserAgent);

CXHtml::CXHtml(HttpClient* client) : client_(client ? client : HttpClient::shared()) {}

HttpResult CXHtml::fetch(const QByteArray& method, const QByteArray& body)
{
    HttpRequest request;
    request.method = method;
    request.url = url_;
    request.tryTime = tryTime_;
    if (!refer_.isEmpty()) {
        request.headers.append({QByteArray("Referer"), refer_.toUtf8()});
    }
    request.headers.append({QByteArray("User-Agent"), (agent_.isEmpty() ? kDefaultAgent : agent_).toUtf8()});
    if (method == "POST") {
        request.headers.append({QByteArray("Content-Type"), QByteArray("application/x-www-form-urlencoded")});
        request.body = body;
    }
    return client_->fetch(request);
}

QString CXHtml::GetHttpPage(const QString& charset)
{
    const HttpResult r = fetch("GET", {});
    return r.isSuccess() ? BytesToBstr(r.body, charset) : QString();
}

QString CXHtml::PostHttpPage(const QString& strRequest, const QString& charset)
{
    const HttpResult r = fetch("POST", strRequest.toUtf8());
    return r.isSuccess() ? BytesToBstr(r.body, charset) : QString();
}

QString CXHtml::GetChar()
{
    const HttpResult r = fetch("GET", {});
    return r.isSuccess() ? SniffCharset(r.contentType, r.body) : kDefaultCharset.toString();
}

// Puts "http://" in front of a `url` without scheme; false when there is no `url`.
bool CXHtml::prepareUrl()
{
    if (url_.isEmpty()) {
        return false;
    }
    url_ = WithHttpScheme(url_);
    return true;
}

QString CXHtml::GetSrc()
{
    if (!prepareUrl()) {
        return {};
    }
    if (char_value_.isEmpty()) {
        char_value_ = GetChar();
    }
    return GetHttpPage(char_value_);
}

QString CXHtml::PostSrc(const QString& strRequest)
{
    if (!prepareUrl()) {
        return {};
    }
    if (char_value_.isEmpty()) {
        char_value_ = GetChar();
    }
    return PostHttpPage(strRequest, char_value_);
}

QString CXHtml::BytesToBstr(const QByteArray& body, const QString& charset)
{
    return DecodeBytes(body, charset);
}

QString CXHtml::GetMemo(const QString& temp, const QString& firststr, const QString& endstr)
{
    return GetBetween(temp, firststr, endstr);
}

bool CXHtml::CheckNull(const QString& u)
{
    return TrimSpaces(u).isEmpty();
}

QString CXHtml::GetSqlStr(const QString& u)
{
    QString s = u;
    return s.replace(u'\'', u'"');
}
