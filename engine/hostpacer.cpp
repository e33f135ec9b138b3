#include "hostpacer.h"

#include <QDateTime>
#include <QUrl>

#include <algorithm>

namespace {

constexpr qint64 kNsPerMs = 1'000'000;
constexpr qint64 kNsPerSecond = 1'000'000'000;
// An answer counts as slowed by load when it took this many times the host's best, and this much more.
constexpr qint64 kSlowFactor = 3;
constexpr qint64 kSlowMarginNs = 150 * kNsPerMs;
// The shortest first pause of a host that refuses without saying for how long.
constexpr qint64 kMinBackoffNs = 100 * kNsPerMs;

bool isRefusal(const HttpResult& r)
{
    return r.completed && (r.status == 429 || r.status == 503);
}

} // namespace

QString HostPacer::HostKey(const QString& url)
{
    const QUrl u(url, QUrl::TolerantMode);
    return u.scheme().toLower() + QLatin1StringView("://") + u.host().toLower() + u':' +
           QString::number(u.port(u.scheme().compare(QLatin1StringView("https"), Qt::CaseInsensitive) == 0 ? 443 : 80));
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
    if (h.confirming || nowNs < h.pausedUntilNs) {
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

void HostPacer::grow(Host& h)
{
    // Only a limit in use grows: one more per answer below the threshold (doubling every round trip),
    // one more per round above it.
    if (h.inFlight + 1 >= int(h.limit)) {
        h.limit = std::min<double>(parallel_, h.limit + (h.limit < h.threshold ? 1.0 : 1.0 / h.limit));
    }
}

HostPacer::Verdict HostPacer::answered(const Ticket& t, const HttpResult& r, qint64 nowNs, int retries,
                                       bool confirmation, qint32 tryTime)
{
    Host& h = hosts_[t.host];
    h.inFlight = std::max(0, h.inFlight - 1);
    if (confirmation) {
        h.confirming = false;
    }
    const qint64 latency = nowNs - t.issuedNs;
    const bool hadCompany = t.inFlightAtIssue > 0 || h.seq > t.issuedSeq;

    if (isRefusal(r)) {
        shrink(h, t);
        const qint64 asked = RetryAfterNs(r.retryAfter, tryTime);
        const qint64 first = std::max(kMinBackoffNs, 2 * h.bestNs);
        const qint64 backoff = std::min<qint64>(first << std::min(h.backoffStep, 16), tryTime * kNsPerSecond);
        ++h.backoffStep;
        h.pausedUntilNs = std::max(h.pausedUntilNs, nowNs + (asked >= 0 ? asked : backoff));
        ++h.errorRun;
        if (retries < kMaxRetries) {
            return Verdict::Retry;
        }
        return Verdict::Accept;
    }
    if (IsLoadError(r)) {
        if (r.timedOut() || !r.completed) {
            shrink(h, t); // a reset, refusal or timeout: the host may be overwhelmed
        }
        ++h.errorRun;
        // Only a host that has answered well before, and only when other requests to it were under way,
        // may have failed this one for our pace; a request that was alone already had its quiet try.
        if (confirmation || !h.answeredWell || !hadCompany) {
            return Verdict::Accept;
        }
        if (r.completed && h.errorRun == kBurst) {
            // A run of error answers, as from a firewall that bans a busy client for a while: the host
            // gets a rest (a second, doubling with each burst) and less at once before the second looks.
            shrink(h, t);
            const qint64 rest = std::min<qint64>(kNsPerSecond << std::min(h.burstStep, 16), tryTime * kNsPerSecond);
            ++h.burstStep;
            h.pausedUntilNs = std::max(h.pausedUntilNs, nowNs + rest);
        }
        return !r.completed || h.errorRun >= kBurst ? Verdict::Confirm : Verdict::Accept;
    }

    if (r.completed) {
        h.answeredWell = h.answeredWell || r.status < 400 || r.status == 404 || r.status == 410;
        h.errorRun = 0;
        h.backoffStep = 0;
        h.burstStep = 0;
        if (h.bestNs < 0 || latency < h.bestNs) {
            h.bestNs = latency;
        }
        if (latency > kSlowFactor * h.bestNs + kSlowMarginNs) {
            shrink(h, t);
        } else {
            grow(h);
        }
    }
    return Verdict::Accept;
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

// Retry-After in seconds or as an HTTP date, capped at the request timeout; -1 when absent or unreadable.
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
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(v), Qt::RFC2822Date);
    if (!when.isValid()) {
        return -1;
    }
    const qint64 ms = QDateTime::currentDateTimeUtc().msecsTo(when);
    return std::clamp<qint64>(ms * kNsPerMs, 0, cap);
}
