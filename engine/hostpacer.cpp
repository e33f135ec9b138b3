#include "hostpacer.h"

#include "link.h"
#include "urlops.h"

#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <ctime>

namespace {

constexpr qint64 kNsPerMs = 1'000'000;
constexpr qint64 kNsPerSecond = 1'000'000'000;
// An answer counts as slowed by load when it took this many times its baseline, and this much more.
constexpr qint64 kSlowFactor = 3;
constexpr qint64 kSlowMarginNs = 150 * kNsPerMs;
// The shortest pause of a server that refuses, whatever it asks for: a Retry-After date in the past (it
// has a resolution of a second) must not make us ask again at once.
constexpr qint64 kMinBackoffNs = 100 * kNsPerMs;
// A learned rate is kept this far below what the server took, so that the jitter of our timers does not
// put one request too many in its window.
constexpr double kRateMargin = 0.98;
// A learned rate holds this long after the last refusal, then rises by this share a second.
constexpr qint64 kRateQuietNs = 20 * kNsPerSecond;
constexpr double kRateRisePerSecond = 0.05;
// A server's limit of requests at once, found when it refused one more, holds this long after its last
// refusal.
constexpr qint64 kCeilingQuietNs = 10 * kNsPerSecond;
// Requests a server must have taken in the second before it refused for a rate to be learned.
constexpr qint64 kLeastTaken = 2;
// Issue times kept for learning a rate: beyond the longest timeout, since a refusal may come late.
constexpr qint64 kIssueHistoryNs = 32 * kNsPerSecond;
constexpr size_t kMaxIssueHistory = 8192;

void remember(std::deque<qint64>& times, qint64 at, qint64 nowNs)
{
    times.push_back(at);
    while (!times.empty() && (times.front() < nowNs - kIssueHistoryNs || times.size() > kMaxIssueHistory)) {
        times.pop_front();
    }
}

// Failures that tell nothing came from the server: no connection, no name, or not a byte of an answer.
bool isSilent(const HttpResult& r)
{
    return !r.completed && (r.timedOut() || (r.error == HttpError::Transport &&
                                             (r.transient || r.curlCode == CURLE_COULDNT_RESOLVE_HOST)));
}

bool isRefusal(const HttpResult& r)
{
    return r.completed && (r.status == 429 || r.status == 503);
}

int classOf(const HttpResult& r)
{
    return r.completed ? std::clamp(r.status / 100, 1, 5) : 0;
}

} // namespace

QString HostPacer::HostKey(const QString& url)
{
    return ServerKey(url);
}

bool HostPacer::IsLoadError(const HttpResult& r)
{
    if (r.timedOut() || (r.error == HttpError::Transport && r.transient)) {
        return true;
    }
    return r.completed && (r.status == 403 || r.status == 429 || r.status == 500 || r.status == 502 ||
                           r.status == 503 || r.status == 504);
}

bool HostPacer::mayIssue(const QString& host, qint64 nowNs, bool confirmation) const
{
    const auto it = hosts_.constFind(host);
    if (it == hosts_.constEnd()) {
        return true;
    }
    const Host& h = *it;
    if (h.confirming || h.unreachable || nowNs < h.pausedUntilNs || (h.rate > 0 && nowNs < h.nextSendNs)) {
        return false;
    }
    // A server that never answered and has failed: the requests under way tell whether it is unreachable.
    if (h.silentFailures > 0 && h.inFlight > 0) {
        return false;
    }
    if (confirmation) {
        return h.inFlight == 0;
    }
    return h.inFlight < std::min<int>(parallel_, std::max(1, int(h.limit)));
}

HostPacer::Ticket HostPacer::issued(const QString& host, qint64 nowNs, bool confirmation)
{
    Host& h = hosts_[host];
    Ticket t{host, nowNs, 0, h.inFlight};
    ++h.inFlight;
    t.issuedSeq = ++h.seq;
    h.confirming = h.confirming || confirmation;
    if (h.rateDueNs >= 0) {
        LearnRate(h);
    }
    if (h.rate > 0) {
        h.nextSendNs = nowNs + qint64(double(kNsPerSecond) / h.rate);
        latestReadyNs_ = std::max(latestReadyNs_, h.nextSendNs);
    }
    return t;
}

void HostPacer::dropped(const Ticket& ticket, bool confirmation)
{
    Host& h = hosts_[ticket.host];
    h.inFlight = std::max(0, h.inFlight - 1);
    if (confirmation) {
        h.confirming = false;
    }
}

// Halves the limit, once per round: answers to requests sent before the last cut tell of the load as it
// was before it.
void HostPacer::shrink(Host& h, const Ticket& t)
{
    if (t.issuedNs <= h.lastShrinkNs) {
        return;
    }
    h.limit = std::max(1.0, h.limit / 2);
    h.threshold = h.limit;
    h.lastShrinkNs = t.issuedNs;
}

void HostPacer::grow(Host& h, qint64 nowNs)
{
    // A server that refused beyond so many at once is asked no more than that until it has refused
    // nothing for a while: its limit may have been met at a busy moment, or have risen.
    if (h.ceiling > 0 && nowNs - h.lastRefusalNs > kCeilingQuietNs) {
        h.ceiling = 0;
    }
    // Only a limit in use grows: one more per answer below the threshold (doubling every round trip),
    // one more per round above it.
    if (h.inFlight + 1 >= int(h.limit)) {
        const double most = h.ceiling > 0 ? std::min(h.ceiling, parallel_) : parallel_;
        h.limit = std::min<double>(most, h.limit + (h.limit < h.threshold ? 1.0 : 1.0 / h.limit));
    }
}

// The least baseline the server has shown, for pauses that scale with how fast it answers.
qint64 HostPacer::BaselineOf(const Host& h)
{
    qint64 least = -1;
    for (const qint64 base : h.baseNs) {
        if (base >= 0 && (least < 0 || base < least)) {
            least = base;
        }
    }
    return std::max<qint64>(least, 0);
}

HostPacer::Verdict HostPacer::refused(Host& h, const Ticket& t, const HttpResult& r, qint64 nowNs, int retries,
                                      qint32 tryTime)
{
    if (r.retryAfter.isEmpty() && t.inFlightAtIssue > 0) {
        // Refused with others under way and no pause asked for: the server takes that many at a time (no
        // fewer: it counts only those that reached it). Halving and growing back would only find its limit
        // again with another refusal every few rounds.
        h.ceiling = h.ceiling > 0 ? std::min(h.ceiling, t.inFlightAtIssue) : t.inFlightAtIssue;
        h.limit = std::min<double>(h.limit, h.ceiling);
        h.threshold = std::min(h.threshold, h.limit);
    } else {
        shrink(h, t);
    }
    h.lastLoadNs = nowNs;
    ++h.errorRun;
    // A round is a refusal of a request sent after the previous refusal came, so a pause obeyed. The
    // refusals of one burst are one round: each lengthens the pause no more than the first did.
    const bool newRound = t.issuedNs > h.lastRefusalNs;
    if (newRound) {
        ++h.refusalRounds;
        ++h.backoffStep;
    }
    h.lastRefusalNs = nowNs;
    if (h.refusing || h.refusalRounds >= kRefusalRounds) {
        // Waiting longer changes nothing: its links go out one at a time and its refusal is the answer.
        h.refusing = true;
        h.limit = 1;
        h.threshold = 1;
        h.rate = 0;
        h.rateDueNs = -1;
        return Verdict::Accept;
    }
    // The rate is learned once the pause is over: by then the answers of the requests sent with this one
    // are in, and tell how many of them the server took. Refusals of requests sent before the last cut
    // tell of the pace before it. Requests sent together reach the server in any order, so the second
    // that counts ends at the last refused request of the round, and takes in the ones sent with it that
    // the server took first.
    if (Link::IsRefusal(r)) {
        if (h.rateDueNs < 0 && t.issuedNs > h.lastRateCutNs) {
            h.rateDueNs = t.issuedNs;
            h.lastRateCutNs = nowNs;
        } else if (h.rateDueNs >= 0) {
            h.rateDueNs = std::max(h.rateDueNs, t.issuedNs);
        }
    }
    const qint64 asked = RetryAfterNs(r.retryAfter, tryTime);
    const qint64 first = std::max(kMinBackoffNs, 2 * BaselineOf(h));
    const qint64 backoff = std::min<qint64>(first << std::clamp(h.backoffStep - 1, 0, 16), tryTime * kNsPerSecond);
    h.pausedUntilNs = std::max(h.pausedUntilNs, nowNs + (asked >= 0 ? std::max(asked, kMinBackoffNs) : backoff));
    latestReadyNs_ = std::max(latestReadyNs_, h.pausedUntilNs);
    return retries < kMaxRetries ? Verdict::Retry : Verdict::Accept;
}

// The server refused requests sent up to `rateDueNs`: the requests it took in the second up to then are
// its rate. A server that took next to nothing before it refused showed no rate (a challenge, an
// outage): its pauses hold it as before.
void HostPacer::LearnRate(Host& h)
{
    const qint64 due = h.rateDueNs;
    const auto taken = std::count_if(h.acceptedNs.begin(), h.acceptedNs.end(),
                                     [due](qint64 at) { return at >= due - kNsPerSecond && at <= due; });
    if (taken >= kLeastTaken) {
        h.rate = kRateMargin * (h.rate > 0 ? std::min(h.rate, double(taken)) : double(taken));
    }
    h.rateDueNs = -1;
    h.lastRaiseNs = h.lastRateCutNs;
}

// After a long spell without refusals a learned rate rises slowly: the server's limit may have been
// measured low, or have risen.
void HostPacer::RaiseRate(Host& h, qint64 nowNs)
{
    if (h.rate <= 0) {
        return;
    }
    if (nowNs - h.lastRateCutNs > kRateQuietNs) {
        h.rate += h.rate * kRateRisePerSecond * double(nowNs - h.lastRaiseNs) / double(kNsPerSecond);
    }
    h.lastRaiseNs = nowNs;
}

// A server that has never answered failed a request: after a few in a row, once the requests under way
// have told their end too, it is unreachable. A name that does not resolve was looked up twice already.
void HostPacer::SilentFailure(Host& h, const HttpResult& r)
{
    if (h.silentFailures++ == 0) {
        h.firstFailure = r;
    }
    const bool unresolved = r.curlCode == CURLE_COULDNT_RESOLVE_HOST;
    h.unreachable = h.unreachable || unresolved || (h.silentFailures >= kSilentFailures && h.inFlight == 0);
}

// An answer that is no error: the server's baseline for its class of answer, and the limit.
void HostPacer::onGoodAnswer(Host& h, const Ticket& t, const HttpResult& r, qint64 nowNs)
{
    RaiseRate(h, nowNs);
    h.answeredWell = h.answeredWell || r.status < 400 || r.status == 404 || r.status == 410;
    h.errorRun = 0;
    h.backoffStep = 0;
    h.burstStep = 0;
    h.refusalRounds = 0;
    h.refusing = false;
    const qint64 sample = r.firstByteNs > 0 ? r.firstByteNs : nowNs - t.issuedNs;
    qint64& base = h.baseNs[classOf(r)];
    // Only an answer that had company can have been slowed by our pace.
    const bool slow = base >= 0 && t.inFlightAtIssue > 0 && sample > kSlowFactor * base + kSlowMarginNs;
    if (slow) {
        h.lastLoadNs = nowNs;
        shrink(h, t);
    } else {
        grow(h, nowNs);
    }
    // The baseline follows faster answers at once and slower ones only when they were asked nearly alone:
    // answers slowed by a queue of our own requests must not raise the bar they are judged by.
    if (base < 0) {
        base = sample;
    } else if (sample < base) {
        base += (sample - base) / 2;
    } else if (t.inFlightAtIssue <= 1) {
        base += (sample - base) / 4;
    }
}

HostPacer::Verdict HostPacer::answered(const Ticket& t, const HttpResult& r, qint64 nowNs, int retries,
                                       bool confirmation, qint32 tryTime)
{
    bool hadCompany = t.inFlightAtIssue > 0;
    {
        Host& asked = hosts_[t.host];
        asked.inFlight = std::max(0, asked.inFlight - 1);
        if (confirmation) {
            asked.confirming = false;
        }
        hadCompany = hadCompany || asked.seq > t.issuedSeq;
    }
    Host& h = hosts_[ServerOf(t, r)];
    const qint64 lastAnswerNs = h.lastAnswerNs;
    if (r.completed) {
        h.lastAnswerNs = nowNs;
        h.silentFailures = 0;
        if (!isRefusal(r)) {
            remember(h.acceptedNs, t.issuedNs, nowNs);
        }
    } else if (lastAnswerNs < 0 && isSilent(r)) {
        // Nothing ever came from this server: unreachable is not loaded, and no pace of ours changes it.
        SilentFailure(h, r);
        return Verdict::Accept;
    }

    if (isRefusal(r)) {
        return refused(h, t, r, nowNs, retries, tryTime);
    }
    if (!IsLoadError(r)) {
        if (r.completed) {
            onGoodAnswer(h, t, r, nowNs);
        }
        return Verdict::Accept;
    }
    ++h.errorRun;
    if (!r.completed) {
        shrink(h, t); // a reset, refusal or timeout: the server may be overwhelmed
    }
    // Only a server that has answered well before, and only when other requests to it were under way,
    // may have failed this one for our pace; a request that was alone already had its quiet try.
    if (confirmation || !h.answeredWell || !hadCompany) {
        return Verdict::Accept;
    }
    if (r.timedOut()) {
        // A timeout is asked again alone only when the server showed load while it waited: it slowed
        // down, refused or reset, or answered nothing at all. One slow page of a server that kept
        // answering the rest at its pace is simply slow.
        const bool loadSeen = h.lastLoadNs > t.issuedNs || lastAnswerNs <= t.issuedNs;
        return loadSeen ? Verdict::Confirm : Verdict::Accept;
    }
    if (!r.completed) {
        h.lastLoadNs = nowNs;
        return Verdict::Confirm;
    }
    if (h.errorRun == kBurst) {
        // A run of error answers, as from a firewall that bans a busy client for a while: the server gets
        // a rest (a second, doubling with each burst) and less at once before the second looks.
        shrink(h, t);
        const qint64 rest = std::min<qint64>(kNsPerSecond << std::min(h.burstStep, 16), tryTime * kNsPerSecond);
        ++h.burstStep;
        h.pausedUntilNs = std::max(h.pausedUntilNs, nowNs + rest);
        latestReadyNs_ = std::max(latestReadyNs_, h.pausedUntilNs);
    }
    return h.errorRun >= kBurst ? Verdict::Confirm : Verdict::Accept;
}

QString HostPacer::ServerOf(const Ticket& t, const HttpResult& r)
{
    if (r.finalUrl.host().isEmpty()) {
        return t.host;
    }
    // An invalid address prints as nothing, which names no server.
    return r.finalUrl.isValid() ? ServerKeyOf(r.finalUrl) : QString();
}

bool HostPacer::inErrorBurst(const QString& host) const
{
    const auto it = hosts_.constFind(host);
    return it != hosts_.constEnd() && it->answeredWell && it->errorRun >= kBurst;
}

qint64 HostPacer::pausedUntilNs(const QString& host) const
{
    const auto it = hosts_.constFind(host);
    return it == hosts_.constEnd() ? 0 : it->pausedUntilNs;
}

qint64 HostPacer::readyAtNs(const QString& host) const
{
    const auto it = hosts_.constFind(host);
    if (it == hosts_.constEnd()) {
        return 0;
    }
    return std::max(it->pausedUntilNs, it->rate > 0 ? it->nextSendNs : 0);
}

const HttpResult* HostPacer::silentVerdict(const QString& host) const
{
    const auto it = hosts_.constFind(host);
    return it != hosts_.constEnd() && it->unreachable ? &it->firstFailure : nullptr;
}

// Retry-After in seconds or as an HTTP date in any of its three forms (IMF-fixdate, RFC 850, asctime),
// capped at the request timeout; -1 when absent or unreadable.
qint64 HostPacer::RetryAfterNs(const QByteArray& value, qint32 tryTime)
{
    const QByteArray v = value.trimmed();
    if (v.isEmpty()) {
        return -1;
    }
    const qint64 cap = qint64(std::max(1, tryTime)) * kNsPerSecond;
    bool ok = false;
    const qint64 seconds = v.toLongLong(&ok);
    if (ok) {
        return std::clamp<qint64>(seconds, 0, cap / kNsPerSecond) * kNsPerSecond;
    }
    const time_t when = curl_getdate(v.constData(), nullptr);
    if (when == time_t(-1)) {
        return -1;
    }
    const qint64 left = qint64(when) - qint64(std::time(nullptr));
    return std::clamp<qint64>(left, 0, cap / kNsPerSecond) * kNsPerSecond;
}
