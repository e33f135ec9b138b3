#include "concurrentprober.h"

#include "httpclient.h"
#include "httpreply.h"

#include <QEventLoop>

#include <algorithm>

namespace {

// Answers fetched ahead and not handed out yet are bounded in number and in page bytes, so that a run
// far ahead of its consumer, or a site of huge pages, cannot fill memory.
constexpr int kBufferedPerRequest = 2;
constexpr qint64 kMaxBufferedBodyBytes = 64 * 1024 * 1024;
constexpr qint64 kMaxKeptBodyBytes = 64 * 1024 * 1024;

} // namespace

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
    // What was issued for the old plan is kept a while: the run often asks for those links again soon
    // (a crawl pass broken off for a check sweep resumes where it stood). Oldest first out.
    for (Entry& e : queue_) {
        leftovers_.push_back(std::move(e));
    }
    queue_.clear();
    while (static_cast<int>(leftovers_.size()) > parallel_) {
        leftovers_.pop_front();
    }
    plan_ = std::move(plan);
    fill();
}

int ConcurrentProber::inFlight() const
{
    int n = 0;
    for (const auto* list : {&queue_, &leftovers_}) {
        for (const Entry& e : *list) {
            n += !e.reply->isFinished();
        }
    }
    return n;
}

qint64 ConcurrentProber::bufferedBytes() const
{
    qint64 bytes = 0;
    for (const auto* list : {&queue_, &leftovers_}) {
        for (const Entry& e : *list) {
            bytes += e.reply->result().body.size();
        }
    }
    return bytes;
}

void ConcurrentProber::fill()
{
    if (filling_) {
        return;
    }
    filling_ = true;
    while (plan_ && inFlight() < parallel_ &&
           static_cast<int>(queue_.size()) < parallel_ * kBufferedPerRequest &&
           bufferedBytes() < kMaxBufferedBodyBytes) {
        PlannedProbe next;
        if (!plan_(next)) {
            plan_ = nullptr;
            break;
        }
        if (kept_.contains(Link::NormalizeCheckUrl(next.url))) {
            continue; // answered already
        }
        Entry e;
        e.url = Link::NormalizeCheckUrl(next.url);
        e.pageWanted = next.pageWanted;
        e.tryTime = next.tryTime;
        e.reply = client_->start(Link::ProbeRequest(e.url, e.tryTime, e.pageWanted));
        // A finished request frees a place in flight for the next expected one.
        connect(e.reply.get(), &HttpReply::finished, this, &ConcurrentProber::fill);
        queue_.push_back(std::move(e));
    }
    filling_ = false;
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

std::unique_ptr<HttpReply> ConcurrentProber::takePlanned(const QString& checkUrl, int tryTime, bool pageWanted)
{
    const auto matches = [&](const Entry& e) {
        return e.url == checkUrl && e.tryTime == tryTime && (e.pageWanted || !pageWanted);
    };
    const auto it = std::find_if(queue_.begin(), queue_.end(), matches);
    if (it != queue_.end()) {
        std::unique_ptr<HttpReply> reply = std::move(it->reply);
        // Planned probes the run passed over (their nodes went away) are abandoned.
        queue_.erase(queue_.begin(), it + 1);
        return reply;
    }
    const auto left = std::find_if(leftovers_.begin(), leftovers_.end(), matches);
    if (left != leftovers_.end()) {
        std::unique_ptr<HttpReply> reply = std::move(left->reply);
        leftovers_.erase(left);
        return reply;
    }
    return nullptr;
}

HttpResult ConcurrentProber::take(const QString& checkUrl, int tryTime, bool pageWanted)
{
    const auto kept = kept_.find(checkUrl);
    if (kept != kept_.end()) {
        HttpResult r = kept.value();
        keptBytes_ -= r.body.size();
        kept_.erase(kept);
        return r;
    }
    std::unique_ptr<HttpReply> reply = takePlanned(checkUrl, tryTime, pageWanted);
    if (!reply) {
        // Not planned: ask now. The planned requests stay for the probes that follow.
        return client_->fetch(Link::ProbeRequest(checkUrl, tryTime, pageWanted));
    }
    reply->disconnect(this);
    fill();
    return waitFor(*reply);
}

ProbeResult ConcurrentProber::CheckUrl(const QString& url, int tryTime, bool pageWanted)
{
    const QString checkUrl = Link::NormalizeCheckUrl(url);
    last_ = take(checkUrl, tryTime, pageWanted);
    if (!pageWanted) {
        last_.body.clear();
    } else if (!kept_.contains(checkUrl) && keptBytes_ + last_.body.size() <= kMaxKeptBodyBytes) {
        kept_.insert(checkUrl, last_);
        keptBytes_ += last_.body.size();
    }
    lastUrl_ = checkUrl;
    lastKept_ = pageWanted;
    const Link::Verdict v = Link::Classify(last_);
    return {v.valid, v.statusText, v.querytimes, last_.finalUrl, Link::PageCharset(last_)};
}

QString ConcurrentProber::CheckLinks(const QString& url, int tryTime)
{
    if (lastKept_ && lastUrl_ == Link::NormalizeCheckUrl(url)) {
        // Read now: no later pass needs this page kept any more.
        const auto kept = kept_.find(lastUrl_);
        if (kept != kept_.end()) {
            keptBytes_ -= kept->body.size();
            kept_.erase(kept);
        }
        return Link::PageText(last_);
    }
    fallback_.keepPage(false);
    fallback_.Check_url(url);
    fallback_.sTime(tryTime);
    fallback_.CheckLinks();
    return fallback_.websource();
}
