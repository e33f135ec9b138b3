#include "concurrentprober.h"

#include "httpclient.h"
#include "httpreply.h"
#include "link.h"

#include <QEventLoop>
#include <QSet>

#include <algorithm>
#include <utility>

namespace {

// Answers fetched ahead and not handed out yet are bounded in number and in page bytes, so that a run
// far ahead of its consumer, or a site of huge pages, cannot fill memory.
constexpr int kBufferedPerRequest = 2;
constexpr qint64 kMaxBufferedBodyBytes = 64 * 1024 * 1024;
constexpr qint64 kMaxKeptBodyBytes = 64 * 1024 * 1024;
constexpr int kMaxKept = 4096;
constexpr size_t kMaxAskedEarly = 256;
// A wait longer than this is a page or a server that holds the run up: the probes behind it, and those
// that the pages read meanwhile lead to, go out rather than wait with it.
constexpr int kLookAheadAfterMs = 500;
constexpr int kMaxAheadWhileWaiting = 1024;
// Pages read ahead kept decoded for the run: as many as may be read ahead, and no more text than the
// run's read-ahead keeps of their links.
constexpr size_t kMaxDecodedAhead = kMaxAheadWhileWaiting;
constexpr qsizetype kMaxDecodedAheadChars = 8 * 1024 * 1024;
constexpr size_t kMaxHinted = 2048;
// A wait for an answer longer than this is a wait for the network, not for the server's next turn.
constexpr qint64 kReadAheadAfterNs = 10'000'000;
constexpr qint64 kNsPerMs = 1'000'000;
constexpr qint64 kNsPerSecond = 1'000'000'000;

} // namespace

ConcurrentProber::ConcurrentProber(int parallel, HttpClient* client, ProbeStats* stats)
    : client_(client ? client : HttpClient::shared()), stats_(stats),
      parallel_(std::clamp(parallel, 1, kMaxParallel)), pacer_(parallel_)
{
    client_->readProxyEnvironment(); // a prober serves one run
    clock_.start();
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer); // the turns of a host at its rate are tens of milliseconds apart
    connect(&wake_, &QTimer::timeout, this, [this] {
        notifyWait();
        fill();
    });
    longWait_.setSingleShot(true);
    connect(&longWait_, &QTimer::timeout, this, [this] {
        lookingAhead_ = true;
        fill();
        notifyWait();
    });
}

ConcurrentProber::~ConcurrentProber()
{
    if (notify_ && notifiedSeconds_ > 0) {
        notify_(0);
    }
    if (notifyAhead_ && notifiedAhead_ > 0) {
        notifyAhead_(0);
    }
}

void ConcurrentProber::setParallel(int requests)
{
    parallel_ = std::clamp(requests, 1, kMaxParallel);
    pacer_.setParallel(parallel_);
}

std::unique_ptr<ConcurrentProber::Entry> ConcurrentProber::makeEntry(const QString& url, int tryTime, bool pageWanted)
{
    auto e = std::make_unique<Entry>();
    e->url = Link::NormalizeCheckUrl(url);
    setHost(*e, HostPacer::HostKey(e->url));
    e->pageWanted = pageWanted;
    e->tryTime = tryTime;
    return e;
}

void ConcurrentProber::setHost(Entry& e, const QString& host)
{
    e.host = host;
    e.marks = &hostMarks_[host];
}

// Whether `have`'s request answers a probe of `url` as well: the same timeout, and the page read when
// that probe reads it.
bool ConcurrentProber::Serves(const Entry& have, const QString& url, int tryTime, bool pageWanted)
{
    return have.url == url && have.tryTime == tryTime && (have.pageWanted || !pageWanted);
}

// Gives up an entry's request. One still in flight is not cut off but left to end, and counts in flight
// until it does: the server is still working on it, and the parallel setting is a bound on what the
// server sees, not only on what we wait for.
void ConcurrentProber::abandon(Entry& e)
{
    if (!e.reply) {
        return;
    }
    if (!e.inFlightNow) {
        e.reply.reset();
        return;
    }
    e.inFlightNow = false;
    e.reply->disconnect(this);
    HttpReply* reply = e.reply.get();
    const HostPacer::Ticket ticket = e.ticket;
    const bool confirming = e.confirming;
    draining_.push_back(std::move(e.reply));
    connect(reply, &HttpReply::finished, this, [this, reply, ticket, confirming] {
        pacer_.dropped(ticket, confirming);
        --inFlight_;
        const auto it = std::find_if(draining_.begin(), draining_.end(), [reply](const auto& r) { return r.get() == reply; });
        if (it != draining_.end()) {
            draining_.erase(it); // a reply may be deleted by a slot of its finished()
        }
        fill();
    });
}

void ConcurrentProber::setPlan(ProbePlan plan)
{
    // What was issued for the old plan is kept a while: the run often asks for those links again soon
    // (a crawl pass broken off for a check sweep resumes where it stood). Oldest first out. What was not
    // issued yet is simply forgotten.
    for (std::unique_ptr<Entry>& e : queue_) {
        if (e->settled) {
            keep(e->url, e->result);
        } else if (e->inFlightNow) {
            leftovers_.push_back(std::move(e));
        }
    }
    queue_.clear();
    askedEarly_.clear();
    while (static_cast<int>(leftovers_.size()) > parallel_) {
        abandon(*leftovers_.front());
        leftovers_.pop_front();
    }
    plan_ = std::move(plan);
    fill();
}

// Keeps an answer for one later probe of its URL; the bytes only of a good page.
void ConcurrentProber::keep(const QString& url, const HttpResult& result)
{
    if (kept_.contains(url) || kept_.size() >= kMaxKept) {
        return;
    }
    HttpResult r = result;
    if (!r.isSuccess() || keptBytes_ + r.body.size() > kMaxKeptBodyBytes) {
        r.body.clear();
    }
    keptBytes_ += r.body.size();
    if (!r.body.isEmpty() && lookAhead_) {
        keptUnseen_.push_back(url);
    }
    kept_.insert(url, r);
}

qint64 ConcurrentProber::bufferedBytes() const
{
    // A hint holds bytes only while its request is out: answered, it is kept or asked again. What the
    // requests out hold is the client's count, which no walk over the hints has to add up.
    qint64 bytes = client_->bodyBytesInFlight();
    for (const Entries* list : {&queue_, &leftovers_}) {
        for (const std::unique_ptr<Entry>& e : *list) {
            bytes += e->settled ? e->result.body.size() : 0;
        }
    }
    return bytes;
}

bool ConcurrentProber::issue(Entry& e, qint64 now)
{
    if (e.settled || e.inFlightNow || inFlight_ >= parallel_ || !pacer_.mayIssue(e.host, now, e.confirming)) {
        return false;
    }
    e.ticket = pacer_.issued(e.host, now, e.confirming);
    e.reply = client_->start(Link::ProbeRequest(e.url, e.tryTime, e.pageWanted));
    e.inFlightNow = true;
    ++inFlight_;
    Entry* entry = &e;
    connect(e.reply.get(), &HttpReply::finished, this, [this, entry] { onAnswer(entry); });
    return true;
}

// issue() within a walk: a host the pacer refused once in this walk is not asked again for it. What it
// refuses stays refused until an answer or a timer, each of which starts a new walk: its count in flight
// only grows within one, and its pause only nears.
bool ConcurrentProber::issueInWalk(Entry& e, qint64 now)
{
    if (e.marks->shut == walk_) {
        return false;
    }
    if (issue(e, now)) {
        return true;
    }
    // A confirmation waits for the host to be quiet, which a plain probe does not: its refusal says less.
    if (!e.settled && !e.inFlightNow && !e.confirming && inFlight_ < parallel_) {
        e.marks->shut = walk_;
    }
    return false;
}

// Sends what may go out now: first the probes the run waits for, then those known ahead in the run's
// order, then new ones from the plan while there is room.
void ConcurrentProber::fill()
{
    if (filling_) {
        return;
    }
    filling_ = true;
    ++walk_;
    const qint64 now = clock_.nsecsElapsed();
    // A confirmation goes before everything else queued for its server: nothing else goes out to it until
    // the server is quiet and the confirmation has been sent.
    QSet<QString> confirming;
    if (mayConfirm_) {
        mayConfirm_ = false;
        for (const Entries* list : {&urgent_, &queue_, &leftovers_, &hinted_}) {
            for (const std::unique_ptr<Entry>& e : *list) {
                mayConfirm_ = mayConfirm_ || e->confirming;
                if (e->confirming && !e->inFlightNow && !e->settled) {
                    confirming.insert(e->host);
                }
            }
        }
    }
    for (Entries* list : {&urgent_, &queue_, &leftovers_}) {
        for (std::unique_ptr<Entry>& e : *list) {
            // Most of the queue is answered, on its way, or waits for a host that refused already: such a
            // probe costs a look at its flags.
            const bool idle = e->settled || e->inFlightNow || e->marks->shut == walk_;
            if (!idle && settleSilentInWalk(*e)) {
                continue;
            }
            if (inFlight_ >= parallel_) {
                break;
            }
            if (!idle && (e->confirming || !confirming.contains(e->host))) {
                issueInWalk(*e, now);
            }
        }
    }
    // Probes answered already are skipped, but count against one call's look-ahead: the run starts a new
    // plan at every batch, and a plan may begin with a long stretch of pages a sweep kept for the pass
    // that reads them; walking all of it every time would make a large site quadratic.
    int pulled = 0;
    const int ahead = aheadLimit();
    // What is pulled here holds no bytes yet: the sum is taken once, not once a probe, and only when it
    // is asked: most calls find every request slot taken.
    std::optional<qint64> sum;
    const auto buffered = [this, &sum] {
        if (!sum) {
            sum = bufferedBytes();
        }
        return *sum;
    };
    while (plan_ && inFlight_ < parallel_ && static_cast<int>(queue_.size()) < ahead && pulled < ahead &&
           buffered() < kMaxBufferedBodyBytes) {
        PlannedProbe next;
        if (!plan_(next)) {
            plan_ = nullptr;
            break;
        }
        ++pulled;
        const QString url = Link::NormalizeCheckUrl(next.url);
        if (kept_.contains(url)) {
            continue; // answered already
        }
        const auto servesThis = [&](const std::unique_ptr<Entry>& have) {
            return Serves(*have, url, next.tryTime, next.pageWanted);
        };
        // The run asked for it before the plan came to it: that request was its probe.
        const auto early = std::find_if(askedEarly_.begin(), askedEarly_.end(), servesThis);
        if (early != askedEarly_.end()) {
            askedEarly_.erase(early);
            continue;
        }
        // Asked already for an earlier plan, or on a look-ahead's word: that request serves this one.
        std::unique_ptr<Entry> e = takeFrom(leftovers_, url, next.tryTime, next.pageWanted);
        if (!e && hintedUrls_.contains(url)) {
            e = takeFrom(hinted_, url, next.tryTime, next.pageWanted);
        }
        queue_.push_back(e ? std::move(e) : makeEntry(url, next.tryTime, next.pageWanted));
        if (!settleSilentInWalk(*queue_.back()) && !confirming.contains(queue_.back()->host)) {
            issueInWalk(*queue_.back(), now);
        }
    }
    // The plan's last probes are out: what the run makes next goes out in the room their answers leave.
    // The pages answered ahead of the run are read for them first: the run reads them one by one.
    const bool tail = !plan_ && (nextPlan_ || lookAhead_) && roomToKeep(buffered());
    if (tail) {
        // Reading pages twice costs time that a run whose answers come at once has not to spare.
        if (awaited_ && !awaited_->settled && now - waitStartNs_ > kReadAheadAfterNs) {
            lookAhead(true);
        }
        if (nextPlan_) {
            pullNext(confirming, now, buffered());
        }
    }
    if ((lookingAhead_ || tail) && buffered() < kMaxBufferedBodyBytes) {
        if (lookingAhead_) {
            lookAhead(false);
        }
        for (std::unique_ptr<Entry>& e : hinted_) {
            if (inFlight_ >= parallel_) {
                break;
            }
            if (e->confirming || !confirming.contains(e->host)) {
                issueInWalk(*e, now);
            }
        }
    }
    filling_ = false;
    armWake(now);
    if (awaited_ && awaited_->settled && waitLoop_) {
        waitLoop_->quit();
    }
}

// A probe of a server that has never answered and failed every request asked so far takes what they got
// without being asked itself.
bool ConcurrentProber::settleSilent(Entry& e)
{
    if (e.settled || e.inFlightNow) {
        return false;
    }
    const HttpResult* verdict = pacer_.silentVerdict(e.host);
    if (!verdict) {
        return false;
    }
    e.reply.reset();
    e.result = *verdict;
    e.result.hostSilent = true;
    e.result.elapsedNs = 0; // nothing was waited for
    e.result.finalUrl = QUrl(e.url, QUrl::TolerantMode);
    e.settled = true;
    return true;
}

// settleSilent() within a walk: a host found reachable is not looked up again in it (nothing in a walk
// makes a host unreachable; only an answer does).
bool ConcurrentProber::settleSilentInWalk(Entry& e)
{
    if (e.settled || e.inFlightNow || e.marks->audible == walk_) {
        return false;
    }
    if (settleSilent(e)) {
        return true;
    }
    e.marks->audible = walk_;
    return false;
}

// How many probes of the plan may be known and asked ahead of the run. While the run waits long for
// one answer, far more: what comes after it is known, and would otherwise wait with it.
int ConcurrentProber::aheadLimit() const
{
    const int usual = parallel_ * kBufferedPerRequest;
    return lookingAhead_ ? std::max(usual, kMaxAheadWhileWaiting) : usual;
}

// Hands the good pages read ahead to the look-ahead, each once, and takes the probes it names as hints:
// those of the current plan, and `withKept` those kept for a later probe too.
void ConcurrentProber::lookAhead(bool withKept)
{
    if (!lookAhead_) {
        return;
    }
    const auto handOn = [this](const QString& url, const HttpResult& r) {
        if (!Link::Classify(r).valid) {
            return;
        }
        const QString finalUrl = r.finalUrl.isEmpty() ? url : r.finalUrl.toString();
        addHints(lookAhead_({url, finalUrl, Link::PageCharset(r), decodedAhead(r)}));
    };
    for (const std::unique_ptr<Entry>& e : queue_) {
        if (e->settled && e->pageWanted && !e->lookedAhead) {
            e->lookedAhead = true;
            handOn(e->url, e->result);
        }
    }
    if (!withKept) {
        return;
    }
    for (const QString& url : std::exchange(keptUnseen_, {})) {
        if (const auto kept = kept_.constFind(url); kept != kept_.cend()) {
            handOn(url, *kept);
        }
    }
}

void ConcurrentProber::addHints(const std::vector<PlannedProbe>& probes)
{
    for (const PlannedProbe& p : probes) {
        if (hinted_.size() >= kMaxHinted) {
            return;
        }
        const QString url = Link::NormalizeCheckUrl(p.url);
        if (hintedUrls_.contains(url) || kept_.contains(url)) {
            continue;
        }
        hintedUrls_.insert(url);
        hinted_.push_back(makeEntry(url, p.tryTime, p.pageWanted));
        hinted_.back()->hint = true;
    }
}

// Whether the answers of the hints there are have room among the kept answers: one that found none would
// be asked again when the run comes to it.
bool ConcurrentProber::roomToKeep(qint64 buffered) const
{
    return kept_.size() + hinted_.size() < kMaxKept / 2 && keptBytes_ + buffered < kMaxKeptBodyBytes / 2;
}

// Takes probes of the next plan as hints while they can go out now.
void ConcurrentProber::pullNext(const QSet<QString>& confirming, qint64 now, qint64 buffered)
{
    const auto askedAlready = [](const Entries& list, const QString& url) {
        return std::any_of(list.begin(), list.end(), [&url](const auto& e) { return e->url == url; });
    };
    PlannedProbe next;
    // Those their hosts hold back wait in the hints, a few per request in flight at most.
    while (inFlight_ < parallel_ && static_cast<int>(hinted_.size()) < parallel_ * kBufferedPerRequest &&
           roomToKeep(buffered) && nextPlan_(next)) {
        const QString url = Link::NormalizeCheckUrl(next.url);
        if (askedAlready(queue_, url) || askedAlready(leftovers_, url) || askedAlready(urgent_, url)) {
            continue;
        }
        const size_t before = hinted_.size();
        addHints({next});
        if (hinted_.size() == before) {
            continue;
        }
        Entry& e = *hinted_.back();
        if (!settleSilentInWalk(e) && !confirming.contains(e.host)) {
            issueInWalk(e, now);
        }
    }
}

std::unique_ptr<ConcurrentProber::Entry> ConcurrentProber::takeFrom(Entries& list, const QString& url, int tryTime,
                                                                    bool pageWanted)
{
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const auto& have) { return Serves(*have, url, tryTime, pageWanted); });
    if (it == list.end()) {
        return nullptr;
    }
    std::unique_ptr<Entry> found = std::move(*it);
    list.erase(it);
    found->hint = false;
    return found;
}

// A timer for the end of the earliest pause that holds back a probe waiting to go out; answers of the
// hosts that are not paused call fill() themselves. `now` is the time fill() judged by: a turn that came
// since then was not taken, and must still have its timer.
void ConcurrentProber::armWake(qint64 now)
{
    // No host holds its probes back past now: nothing to wake for, whatever waits.
    if (pacer_.latestReadyNs() <= now) {
        wake_.stop();
        return;
    }
    ++walk_;
    qint64 earliest = -1;
    for (const Entries* list : {&urgent_, &queue_, &leftovers_, &hinted_}) {
        for (const std::unique_ptr<Entry>& e : *list) {
            if (e->settled || e->inFlightNow || e->marks->readyAt == walk_) {
                continue;
            }
            e->marks->readyAt = walk_;
            const qint64 until = pacer_.readyAtNs(e->host);
            if (until > now && (earliest < 0 || until < earliest)) {
                earliest = until;
            }
        }
    }
    if (earliest < 0) {
        wake_.stop();
        return;
    }
    wake_.start(static_cast<int>((earliest - now + kNsPerMs - 1) / kNsPerMs));
}

void ConcurrentProber::onAnswer(Entry* e)
{
    HttpResult r = e->reply->result();
    e->inFlightNow = false;
    --inFlight_;
    e->reply.reset();
    const bool confirmation = e->confirming;
    e->confirming = false;
    const HostPacer::Verdict verdict = pacer_.answered(e->ticket, r, clock_.nsecsElapsed(), e->retries, confirmation, e->tryTime);
    // Asked again, it is paced as the server that answered (the last hop of its redirects).
    setHost(*e, HostPacer::ServerOf(e->ticket, r));
    switch (verdict) {
    case HostPacer::Verdict::Retry:
        ++e->retries;
        if (stats_) {
            ++stats_->retried;
        }
        break;
    case HostPacer::Verdict::Confirm:
        e->confirming = true;
        mayConfirm_ = true;
        if (stats_) {
            ++stats_->confirmed;
        }
        reconfirmBurst(e->host);
        break;
    case HostPacer::Verdict::Accept:
        e->result = std::move(r);
        e->settled = true;
        e->confirmed = e->confirmed || confirmation;
        break;
    }
    if (e->hint && e->settled) {
        // Kept, as answers fetched for a plan the run left are: a later probe of its URL takes it.
        keep(e->url, e->result);
        const auto it = std::find_if(hinted_.begin(), hinted_.end(), [e](const auto& h) { return h.get() == e; });
        hinted_.erase(it);
        e = nullptr;
    }
    if (e && awaited_ == e && e->settled && waitLoop_) {
        waitLoop_->quit();
    }
    notifyWait();
    fill();
}

// The host answered a run of errors: those of its error answers the run has not taken yet are asked
// again alone, since a firewall or an overloaded server may have given them all.
void ConcurrentProber::reconfirmBurst(const QString& host)
{
    if (!pacer_.inErrorBurst(host)) {
        return;
    }
    for (Entries* list : {&urgent_, &queue_, &leftovers_, &hinted_}) {
        for (std::unique_ptr<Entry>& e : *list) {
            if (e->settled && !e->confirmed && e->host == host && HostPacer::IsLoadError(e->result)) {
                e->settled = false;
                e->confirming = true;
                mayConfirm_ = true;
                e->result = HttpResult();
                if (stats_) {
                    ++stats_->confirmed;
                }
            }
        }
    }
}

// Answers in hand that the run has not come to yet.
int ConcurrentProber::answeredAhead() const
{
    int answers = static_cast<int>(kept_.size());
    for (const Entries* list : {&queue_, &leftovers_}) {
        answers +=
            static_cast<int>(std::count_if(list->begin(), list->end(), [](const auto& e) { return e->settled; }));
    }
    return answers;
}

// Tells how long the run waits for a server that asked it to slow down (0: it does not).
void ConcurrentProber::notifyWait()
{
    int seconds = 0;
    if (awaited_ && !awaited_->settled && !awaited_->inFlightNow) {
        const qint64 left = pacer_.pausedUntilNs(awaited_->host) - clock_.nsecsElapsed();
        seconds = left > 0 ? static_cast<int>((left + kNsPerSecond - 1) / kNsPerSecond) : 0;
    }
    if (seconds != notifiedSeconds_) {
        notifiedSeconds_ = seconds;
        if (notify_) {
            notify_(seconds);
        }
    }
    // The run cannot show what came in ahead of it before its turn; this shows that the check goes on.
    // A server's pause has the note to itself.
    const int ahead = lookingAhead_ ? answeredAhead() : 0;
    if (seconds > 0) {
        notifiedAhead_ = 0;
    } else if (ahead != notifiedAhead_) {
        notifiedAhead_ = ahead;
        if (notifyAhead_) {
            notifyAhead_(ahead);
        }
    }
}

void ConcurrentProber::interruptWaits()
{
    interrupted_ = true;
    if (waitLoop_) {
        waitLoop_->quit();
    }
}

HttpResult ConcurrentProber::waitFor(Entry& e)
{
    if (!e.settled && !interrupted_) {
        QEventLoop loop;
        Entry* const outerAwaited = awaited_;
        QEventLoop* const outerLoop = waitLoop_;
        awaited_ = &e;
        waitStartNs_ = clock_.nsecsElapsed();
        waitLoop_ = &loop;
        fill();
        notifyWait();
        if (!e.settled && !settleSilent(e)) {
            longWait_.start(kLookAheadAfterMs);
            loop.exec(); // every attempt ends by its own timeout at the latest; pauses end by wake_
        }
        longWait_.stop();
        lookingAhead_ = false;
        awaited_ = outerAwaited;
        waitLoop_ = outerLoop;
        notifyWait();
    }
    if (!e.settled) {
        // Stopped while waiting: a wait this one interrupted ends too.
        if (waitLoop_) {
            waitLoop_->quit();
        }
        HttpResult none;
        none.error = HttpError::Aborted;
        return none;
    }
    return e.result;
}

std::unique_ptr<ConcurrentProber::Entry> ConcurrentProber::takePlanned(const QString& checkUrl, int tryTime,
                                                                       bool pageWanted)
{
    const auto matches = [&](const std::unique_ptr<Entry>& have) { return Serves(*have, checkUrl, tryTime, pageWanted); };
    const auto it = std::find_if(queue_.begin(), queue_.end(), matches);
    if (it != queue_.end()) {
        std::unique_ptr<Entry> found = std::move(*it);
        // Planned probes the run passed over are kept for a later probe of their URL, if it comes.
        for (auto skipped = queue_.begin(); skipped != it; ++skipped) {
            if ((*skipped)->settled) {
                keep((*skipped)->url, (*skipped)->result);
            } else if ((*skipped)->inFlightNow) {
                leftovers_.push_back(std::move(*skipped));
            }
        }
        queue_.erase(queue_.begin(), it + 1);
        return found;
    }
    return takeFrom(leftovers_, checkUrl, tryTime, pageWanted);
}

HttpResult ConcurrentProber::take(const QString& checkUrl, int tryTime, bool pageWanted, bool* pageRead)
{
    const auto kept = kept_.find(checkUrl);
    // An error answer needs no page; a good one serves a probe that wants its page only when it kept it.
    if (kept != kept_.end() && (!pageWanted || !kept->isSuccess() || !kept->body.isEmpty() || kept->notPage)) {
        HttpResult r = std::move(kept.value()); // handed out once: the entry goes below
        if (pageRead) {
            *pageRead = !r.body.isEmpty() || r.notPage;
        }
        keptBytes_ -= r.body.size();
        kept_.erase(kept);
        return r;
    }
    if (kept != kept_.end()) {
        keptBytes_ -= kept->body.size();
        kept_.erase(kept); // the status alone, and the page is wanted: asked again below
    }
    // Not planned: asked now, before the planned ones, under the same pacing.
    std::unique_ptr<Entry> e = takePlanned(checkUrl, tryTime, pageWanted);
    if (!e) {
        // A hint's request, if one was made, is this probe's; either way the plan, when it comes to the
        // probe, must not ask again.
        e = takeFrom(hinted_, checkUrl, tryTime, pageWanted);
        if (!e) {
            e = makeEntry(checkUrl, tryTime, pageWanted);
        }
        askedEarly_.push_back(makeEntry(checkUrl, tryTime, pageWanted));
        if (askedEarly_.size() > kMaxAskedEarly) {
            askedEarly_.pop_front(); // probes no plan holds, such as the made-up addresses of a content check
        }
    }
    if (pageRead) {
        *pageRead = e->pageWanted; // its request may have been made for a probe that wanted more
    }
    urgent_.push_back(std::move(e));
    Entry* const mine = urgent_.back().get();
    const HttpResult r = waitFor(*mine);
    const auto it = std::find_if(urgent_.begin(), urgent_.end(), [mine](const auto& u) { return u.get() == mine; });
    abandon(**it);
    urgent_.erase(it);
    fill();
    return r;
}

ProbeResult ConcurrentProber::CheckUrl(const QString& url, int tryTime, bool pageWanted)
{
    const QString checkUrl = Link::NormalizeCheckUrl(url);
    last_ = take(checkUrl, tryTime, pageWanted, &lastRead_);
    lastText_.reset();
    if (last_.error == HttpError::Aborted) {
        lastUrl_.clear();
        ProbeResult dropped;
        dropped.dropped = true;
        return dropped;
    }
    // A page read without being asked for (the plan wanted it for the content check) stays with this
    // answer only, for LastPage; it is not kept for a later pass.
    if (pageWanted && last_.isSuccess() && !last_.body.isEmpty()) {
        keep(checkUrl, last_); // a later crawl pass probes and reads it
    }
    lastUrl_ = checkUrl;
    lastKept_ = pageWanted;
    const Link::Verdict v = Link::Classify(last_);
    return {v.valid, v.statusText, v.querytimes, last_.finalUrl, Link::PageCharset(last_), v.httpStatus, v.refused, false};
}

Prober::Answers ConcurrentProber::answersOnHand() const
{
    Answers onHand = kept_;
    for (const Entries* list : {&queue_, &leftovers_}) {
        for (const std::unique_ptr<Entry>& e : *list) {
            if (e->settled && !onHand.contains(e->url)) {
                onHand.insert(e->url, e->result);
            }
        }
    }
    return onHand;
}

void ConcurrentProber::addAnswers(const Answers& answers)
{
    for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
        keep(it.key(), it.value());
    }
}

void ConcurrentProber::forgetCookies()
{
    client_->clearCookies();
}

std::optional<QString> ConcurrentProber::LastPage(const QString& url) const
{
    if (lastUrl_.isEmpty() || lastUrl_ != Link::NormalizeCheckUrl(url) || !last_.isSuccess() ||
        (last_.body.isEmpty() && !lastRead_)) {
        return std::nullopt;
    }
    return lastText();
}

// The last answer's page, decoded once for the judge and the crawl that both read it.
const QString& ConcurrentProber::lastText() const
{
    if (!lastText_) {
        const auto ahead = last_.body.isEmpty() ? decoded_.end() : decoded_.find(last_.body.constData());
        if (ahead != decoded_.end() && ahead->body.size() == last_.body.size()) {
            lastText_ = ahead->text; // its bytes are these very bytes, shared
            decodedChars_ -= ahead->text.size();
            decoded_.erase(ahead); // a page is taken once; its address leaves the order when it comes first
        } else {
            lastText_ = Link::PageText(last_);
        }
    }
    return *lastText_;
}

QString ConcurrentProber::decodedAhead(const HttpResult& r)
{
    const QString text = Link::PageText(r);
    if (r.body.isEmpty() || decoded_.contains(r.body.constData())) {
        return text;
    }
    decoded_.insert(r.body.constData(), {r.body, text});
    decodedOrder_.push_back(r.body.constData());
    decodedChars_ += text.size();
    while (decodedOrder_.size() > kMaxDecodedAhead || decodedChars_ > kMaxDecodedAheadChars) {
        decodedChars_ -= decoded_.take(decodedOrder_.front()).text.size(); // none for a page taken already
        decodedOrder_.pop_front();
    }
    return text;
}

QString ConcurrentProber::CheckLinks(const QString& url, int tryTime)
{
    const QString checkUrl = Link::NormalizeCheckUrl(url);
    // The last probe read it (for the crawl, or for judging its content): an empty page, or none at all for
    // a file, is its answer too, and asking again would only get the same.
    if (lastUrl_ == checkUrl && (lastKept_ || lastRead_ || (last_.isSuccess() && !last_.body.isEmpty()))) {
        // Read now: no later pass needs this page kept any more.
        const auto kept = kept_.find(lastUrl_);
        if (kept != kept_.end()) {
            keptBytes_ -= kept->body.size();
            kept_.erase(kept);
        }
        return lastText();
    }
    // A page no probe kept: read through the same pacing as every other request.
    return Link::PageText(take(checkUrl, tryTime, true));
}
