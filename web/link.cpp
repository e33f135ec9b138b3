#include "link.h"

#include "charset.h"
#include "failuretext.h"
#include "reasonphrase.h"

#include "httpclient.h"
#include "httpurl.h"
#include "textops.h"
#include "timeoutrule.h"
#include "urlops.h"

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

const QString Link::kTimedOutText = u"查询超时"_s;
const QString Link::kHostSilentText = u"查询超时（主机无应答）"_s;

namespace {

bool isValidStatus(int status)
{
    return status == 0 || (status >= 200 && status <= 399);
}

qint32 clampToInt32(qint64 value)
{
    return static_cast<qint32>(std::clamp<qint64>(value, 0, std::numeric_limits<qint32>::max()));
}

} // namespace

Link::Link(HttpClient* client) : client_(client ? client : HttpClient::shared()), html_(client_) {}

void Link::Check_url(const QString& u)
{
    checkUrl_ = NormalizeCheckUrl(u);
}

void Link::sTime(qint32 seconds)
{
    tryTime_ = seconds;
}

HttpRequest Link::ProbeRequest(const QString& checkUrl, qint32 tryTime, bool wantBody)
{
    HttpRequest request;
    request.url = checkUrl;
    request.tryTime = tryTime;
    request.wantBody = wantBody;
    return request;
}

Link::Verdict Link::Classify(const HttpResult& r)
{
    Verdict v;
    if (r.timedOut()) {
        v.statusText = r.hostSilent ? kHostSilentText : kTimedOutText;
        v.querytimes = clampToInt32(RoundedSeconds(r.elapsedNs));
        return v;
    }
    v.querytimes = clampToInt32(RoundHalfEven(r.elapsedNs, 1'000'000));
    if (!r.completed) {
        v.statusText = FailureText(r);
        return v;
    }
    v.httpStatus = r.status;
    if (IsRefusal(r)) {
        v.refused = true;
        v.statusText = RefusedText(r.status, r.statusText);
        return v;
    }
    v.valid = isValidStatus(r.status);
    v.statusText = v.valid ? r.statusText : HttpErrorText(r.status, r.statusText);
    if (r.cutByTimeout) {
        v.statusText += u"（超时，页面未读完）"_s;
    }
    return v;
}

bool Link::IsRefusal(const HttpResult& r)
{
    return r.completed && (r.status == 429 || (r.status == 503 && !r.retryAfter.trimmed().isEmpty()));
}

QString Link::RefusedText(int status, const QString& reason)
{
    return u"服务器限流，未能确认（"_s + QString::number(status) + u' ' + reason + u"）"_s;
}

QString Link::PageText(const HttpResult& r)
{
    return r.isSuccess() ? DecodeBytes(r.body, SniffCharset(r.contentType, r.body)) : QString();
}

QString Link::PageCharset(const HttpResult& r)
{
    return r.isSuccess() && !r.body.isEmpty() ? SniffCharset(r.contentType, r.body) : QString();
}

namespace {

// An http(s) address with a host in lower-case ASCII and no spaces around it: as normal as it gets. Most
// addresses a run asks for are, and each is normalised on every look-up of its answer.
bool isNormalCheckUrl(QStringView u)
{
    const qsizetype after = u.startsWith(u"http://") ? 7 : u.startsWith(u"https://") ? 8 : 0;
    if (after == 0 || u.back() == u' ') {
        return false;
    }
    for (qsizetype i = after; i < u.size(); ++i) {
        const char16_t c = u[i].unicode();
        if (c == u'/' || c == u'?' || c == u'#') {
            break;
        }
        if (c >= 128 || (c >= u'A' && c <= u'Z')) {
            return false;
        }
    }
    return true;
}

} // namespace

QString Link::NormalizeCheckUrl(const QString& u)
{
    return isNormalCheckUrl(u) ? u : NormalizeHostCase(WithHttpScheme(TrimSpaces(u)));
}

bool Link::CheckUrl()
{
    last_ = client_->fetch(ProbeRequest(checkUrl_, tryTime_, keepPage_));
    lastProbedUrl_ = keepPage_ ? checkUrl_ : QString();
    const Verdict v = Classify(last_);
    statusText_ = v.statusText;
    querytimes_ = v.querytimes;
    httpStatus_ = v.httpStatus;
    return v.valid;
}

void Link::CheckLinks()
{
    if (!lastProbedUrl_.isEmpty() && lastProbedUrl_ == checkUrl_) {
        // The probe already read this page: the same bytes give the same text as reading it twice more.
        websource_ = PageText(last_);
        return;
    }
    const QString name = GetChar();
    websource_ = html_.GetHttpPage(name);
}

QString Link::GetChar()
{
    html_.sUrl(checkUrl_);
    html_.sTime(tryTime_);
    return html_.GetChar();
}

QString Link::TrimUrl(const QString& u)
{
    return StripHttp(u);
}
