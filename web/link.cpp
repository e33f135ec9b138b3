#include "link.h"

#include "charset.h"

#include "httpclient.h"
#include "httpurl.h"
#include "textops.h"
#include "timeoutrule.h"
#include "urlops.h"

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

const QString Link::kTimedOutText = u"查询超时"_s;

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
    checkUrl_ = NormalizeHostCase(WithHttpScheme(TrimSpaces(u)));
}

void Link::sTime(qint32 seconds)
{
    tryTime_ = seconds;
}

bool Link::CheckUrl()
{
    HttpRequest request;
    request.url = checkUrl_;
    request.tryTime = tryTime_;
    request.wantBody = keepPage_;
    last_ = client_->fetch(request);
    lastProbedUrl_ = keepPage_ ? checkUrl_ : QString();
    if (last_.timedOut()) {
        statusText_ = kTimedOutText;
        querytimes_ = clampToInt32(RoundedSeconds(last_.elapsedNs));
        return false;
    }
    querytimes_ = clampToInt32(RoundHalfEven(last_.elapsedNs, 1'000'000));
    if (!last_.completed) {
        statusText_.clear();
        return false;
    }
    statusText_ = last_.statusText;
    return isValidStatus(last_.status);
}

void Link::CheckLinks()
{
    if (!lastProbedUrl_.isEmpty() && lastProbedUrl_ == checkUrl_) {
        // The probe already read this page: the same bytes give the same text as reading it twice more.
        websource_ = last_.isSuccess() ? DecodeBytes(last_.body, SniffCharset(last_.contentType, last_.body)) : QString();
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
