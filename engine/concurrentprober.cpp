#include "concurrentprober.h"

#include "httpclient.h"
#include "httpreply.h"

#include <QEventLoop>

#include <algorithm>

ConcurrentProber::ConcurrentProber(int parallel, HttpClient* client)
    : client_(client ? client : HttpClient::shared()), parallel_(std::clamp(parallel, 1, 64)), fallback_(client_)
{
}

ConcurrentProber::~ConcurrentProber() = default;

void ConcurrentProber::setParallel(int requests)
{
    parallel_ = std::clamp(requests, 1, 64);
}

void ConcurrentProber::setPlan(ProbePlan plan)
{
    queue_.clear(); // a new plan: what was issued for the old one is abandoned
    plan_ = std::move(plan);
    fill();
}

void ConcurrentProber::fill()
{
    while (plan_ && static_cast<int>(queue_.size()) < parallel_) {
        PlannedProbe next;
        if (!plan_(next)) {
            plan_ = nullptr;
            break;
        }
        Entry e;
        e.url = Link::NormalizeCheckUrl(next.url);
        e.pageWanted = next.pageWanted;
        e.tryTime = next.tryTime;
        e.reply = client_->start(Link::ProbeRequest(e.url, e.tryTime, e.pageWanted));
        queue_.push_back(std::move(e));
    }
}

HttpResult ConcurrentProber::waitFor(HttpReply& reply)
{
    if (!reply.isFinished()) {
        QEventLoop loop;
        connect(&reply, &HttpReply::finished, &loop, &QEventLoop::quit);
        loop.exec(); // the reply's own timer ends it at the latest when its timeout is reached
    }
    return reply.result();
}

HttpResult ConcurrentProber::take(const QString& checkUrl, int tryTime, bool pageWanted)
{
    const auto matches = [&](const Entry& e) {
        return e.url == checkUrl && e.tryTime == tryTime && (e.pageWanted || !pageWanted);
    };
    const auto it = std::find_if(queue_.begin(), queue_.end(), matches);
    if (it == queue_.end()) {
        // Not planned: ask now. The planned requests stay for the probes that follow.
        return client_->fetch(Link::ProbeRequest(checkUrl, tryTime, pageWanted));
    }
    // Planned probes the run passed over (their nodes went away) are abandoned.
    std::unique_ptr<HttpReply> reply = std::move(it->reply);
    queue_.erase(queue_.begin(), it + 1);
    fill();
    return waitFor(*reply);
}

ProbeResult ConcurrentProber::CheckUrl(const QString& url, int tryTime, bool pageWanted)
{
    const QString checkUrl = Link::NormalizeCheckUrl(url);
    last_ = take(checkUrl, tryTime, pageWanted);
    if (!pageWanted) {
        last_.body.clear();
    }
    lastUrl_ = checkUrl;
    lastKept_ = pageWanted;
    const Link::Verdict v = Link::Classify(last_);
    return {v.valid, v.statusText, v.querytimes};
}

QString ConcurrentProber::CheckLinks(const QString& url, int tryTime)
{
    if (lastKept_ && lastUrl_ == Link::NormalizeCheckUrl(url)) {
        return Link::PageText(last_);
    }
    fallback_.keepPage(false);
    fallback_.Check_url(url);
    fallback_.sTime(tryTime);
    fallback_.CheckLinks();
    return fallback_.websource();
}
