#include "checkrun.h"

#include "contentjudge.h"
#include "linkstore.h"
#include "pagerendering.h"
#include "pagescan.h"
#include "prober.h"
#include "probestep.h"
#include "runenv.h"
#include "runobserver.h"
#include "runtexts.h"
#include "textops.h"
#include "toolkit.h"

#include <QScopeGuard>
#include <QScopedValueRollback>

#include <algorithm>
#include <utility>

namespace {

// The number a resume position holds, or `fallback` when it is empty or not a number.
int resumeNumber(const LinkStore& store, LinkStore::Resume which, int fallback)
{
    int value = fallback;
    return ParseInt(store.resume(which), &value) ? value : fallback;
}

// Whether judging the content of the node's answer may read its page: then its probe reads it too, and
// judging costs no download of its own.
bool judgeReads(const ResultNode& node, const CheckSettings& settings, const ContentJudge& judge)
{
    return settings.contentCheck && IsPageKind(node.record.kind) &&
           judge.wantsPage(node.requestUrl(), node.record.siteLink);
}

} // namespace

// A page read whose scan the batch limit broke off: the call that continues the scan takes it from here
// instead of requesting it again.
struct CheckRun::HeldPage
{
    int node = 0; // 0: none
    quint64 clears = 0;
    QString text;
    PageOrigin origin;
};

// The locals of one call of CheckSite and its steps.
class CheckRun::Call
{
public:
    Call(CheckRun& run, Prober& prober, ContentJudge& judge, PageRendering& rendering, HeldPage& held, int batchCounter)
        : run_(run), store_(run.store_), env_{run.store_, run.toolkit_, run.settings_, run.running_},
          probe_(env_, prober, &judge), prober_(prober), judge_(judge), rendering_(rendering),
          scan_(env_, run.resolvedLinks_.get()), held_(held), batch_(batchCounter),
          nodesAtStart_(store_.full().count()), testedAtStart_(store_.testedCount())
    {
    }

    CallEnd execute(const QString& site);
    int batchCounter() const { return batch_; }

private:
    void initialiseNewSite(const QString& site);
    void startList(const QString& site);
    void startValues();
    enum class PassEnd { Completed, ToSweep, Stopped };
    PassEnd crawlPass();
    bool isRepeat(int n) const;
    struct Page
    {
        QString text; // empty when the page is not read
        PageOrigin origin;
    };
    Page readPage(int n);
    void draw(int n, Page& page);
    Page heldOrRead(int n);
    void drawAhead(int from, int last, bool sweeping);
    ProbePlan crawlPlan() const;
    LookAhead lookAhead() const;
    ProbePlan nextPlan() const;
    ProbePlan sweepPlan(int first, int nodeCount) const;
    CallEnd levelPasses();
    CallEnd sweep();
    int depthSetting() const { return run_.settings_.depth; }
    // Whether the depth setting lets the run go on to the level after the level counter.
    bool levelsLeft() const { return depthSetting() >= kWholeSiteDepth || level_ < depthSetting(); }
    bool progressed() const;

    CheckRun& run_;
    LinkStore& store_;
    RunEnv env_;
    ProbeStep probe_;
    Prober& prober_;
    ContentJudge& judge_;
    PageRendering& rendering_;
    PageScan scan_;
    HeldPage& held_;

    int batch_ = 0;
    bool resuming_ = false;
    int crawlStart_ = 1;
    int passStart_ = 1; // first node of the pass under way: crawl start, then the first node of a new level
    int anchorStart_ = 1;
    bool anchorStartUsed_ = false;
    int level_ = 0;
    bool handedOn_ = false; // a crawl pass broke off at the batch limit, leaving the rest to a further call
    int nodesAtStart_ = 0;
    qint64 testedAtStart_ = 0;
};

CheckRun::CallEnd CheckRun::Call::execute(const QString& site)
{
    if (site != run_.lastSite_) {
        initialiseNewSite(site);
    }
    // A paused run whose results were cleared meanwhile has nothing to resume: it starts afresh.
    if (store_.panel(1) == RunText::paused() && store_.full().count() > 0) {
        resuming_ = true;
    } else {
        store_.clearTrees();
        // A fresh run counts from zero: dead and timed-out links of an earlier run would be counted
        // and listed twice.
        store_.deads().clear();
        store_.timeouts().clear();
        startList(site);
        resuming_ = false;
        prober_.forgetCookies();
        // A fresh start owes nothing to an earlier run: no batches handed on, no moved home page.
        batch_ = 0;
        run_.homeAddress_.clear();
    }
    scan_.setHomeAddress(run_.homeAddress_);
    judge_.setHomeAddress(run_.homeAddress_);
    if (batch_ == 0 && !resuming_) {
        for (int p = 2; p <= 5; ++p) {
            store_.setPanel(p, QString());
        }
    }
    store_.setPanel(1, RunText::inProgress());
    startValues();
    if (run_.observer_) {
        run_.observer_->runStarted(resuming_);
    }

    const CallEnd passes = levelPasses();
    if (passes == CallEnd::Stopped) {
        return passes;
    }
    return sweep();
}

void CheckRun::Call::initialiseNewSite(const QString& site)
{
    run_.lastSite_ = site;
    batch_ = 0;
    store_.clearTrees();
    store_.emptyResume();
    store_.deads().clear();
    store_.timeouts().clear();
    store_.setPanel(1, RunText::ready());
    for (int p = 2; p <= 5; ++p) {
        store_.setPanel(p, QString());
    }
    startList(site);
}

// Node 1 is excluded like any other link whose URL a pattern matches: the run then probes nothing.
void CheckRun::Call::startList(const QString& site)
{
    store_.startList(site);
    if (run_.settings_.excludes(LinkStore::homeUrl(site))) {
        store_.full().setStatus(1, StatusExcluded);
    }
}

void CheckRun::Call::startValues()
{
    crawlStart_ = resuming_ ? resumeNumber(store_, LinkStore::Badlink1, 1) : 1;
    passStart_ = crawlStart_;
    anchorStart_ = resuming_ ? resumeNumber(store_, LinkStore::Badlink2, 1) : 1;
    // The saved position counts the links as the page was scanned; with resources switched meanwhile it
    // would point elsewhere, so the page starts over (its links met again are repeats).
    if (resuming_ && run_.scanResources_ != run_.settings_.resources) {
        anchorStart_ = 1;
    }
    run_.scanResources_ = run_.settings_.resources;
    level_ = 0;
    if (resuming_ && !store_.resume(LinkStore::Badlinkdep).isEmpty()) {
        level_ = resumeNumber(store_, LinkStore::Badlinkdep, 0);
    }
}

// Crawl passes, one level each, until a pass adds nothing or the depth setting is reached.
CheckRun::CallEnd CheckRun::Call::levelPasses()
{
    while (true) {
        const PassEnd end = crawlPass();
        if (end == PassEnd::Stopped) {
            return CallEnd::Stopped;
        }
        if (end == PassEnd::ToSweep) {
            handedOn_ = true;
            return CallEnd::Done;
        }
        if (store_.full().count() <= run_.passNodeCount_) {
            return CallEnd::Done;
        }
        // A finished pass leaves every node it walked crawled or too deep for good, so the next one walks
        // only the level this one added: a site hundreds of levels deep costs no pass over all its nodes.
        passStart_ = run_.passNodeCount_ + 1;
        if (!resuming_) {
            const QString dep = store_.resume(LinkStore::Badlinkdep);
            level_ = dep.isEmpty() ? 1 : resumeNumber(store_, LinkStore::Badlinkdep, 0) + 1;
        }
        store_.setResume(LinkStore::Badlinkdep, QString::number(level_));
        if (!levelsLeft()) {
            return CallEnd::Done;
        }
    }
}

CheckRun::Call::PassEnd CheckRun::Call::crawlPass()
{
    if (!resuming_) {
        run_.passNodeCount_ = store_.full().count();
    }
    run_.walkedTo_ = 0;
    prober_.setPlan(crawlPlan());
    prober_.setLookAhead(lookAhead());
    prober_.setNextPlan(nextPlan());
    const auto noLookAhead = qScopeGuard([this] {
        prober_.setLookAhead(nullptr);
        prober_.setNextPlan(nullptr);
    });
    for (int i = passStart_; i <= run_.passNodeCount_; ++i) {
        run_.walkedTo_ = i;
        // Saved before the stop point, so that a pause resumes with the first node not yet finished.
        store_.setResume(LinkStore::Badlink1, QString::number(i));
        if (run_.observer_) {
            run_.observer_->stopPoint(batch_);
        }
        if (!run_.running_) {
            run_.pause(batch_);
            return PassEnd::Stopped;
        }
        resuming_ = false;

        const ResultNode* node = store_.full().node(i);
        if (!node || !(node->status == NoStatus || !node->bold) ||
            !run_.settings_.readsPagesAt(node->record.depth)) {
            continue;
        }
        const bool toScan = node->status == NoStatus || (node->record.isSitePage() && node->status == StatusValid);
        // A page is scanned once, under the first node of its URL; a repeat only takes over its verdict.
        if (!toScan || isRepeat(i)) {
            if (node->status == NoStatus) {
                probe_.crawlForm(i);
            }
            store_.markCrawled(i);
            continue;
        }
        if (PageScan::overBatchLimit(store_.full().count(), batch_)) {
            ++batch_;
            return PassEnd::ToSweep;
        }

        drawAhead(i, run_.passNodeCount_, false);
        Page page = heldOrRead(i);
        // A resumed page continues at the anchor where it was left; every other page starts at 1.
        int firstAnchor = 1;
        if (i == crawlStart_ && !anchorStartUsed_) {
            firstAnchor = anchorStart_;
        }
        anchorStartUsed_ = true;
        // Stopped while the page was awaited: it was not read, and is probed and read again on resume.
        if (!run_.running_) {
            store_.setResume(LinkStore::Badlink2, QString::number(firstAnchor));
            run_.pause(batch_);
            return PassEnd::Stopped;
        }
        const ScanEnd end = scan_.scan(page.text, i, firstAnchor, level_, batch_, page.origin);
        if (end == ScanEnd::Stopped) {
            run_.pause(batch_);
            return PassEnd::Stopped;
        }
        if (end == ScanEnd::BatchLimit) {
            held_ = {i, store_.clearCount(), std::move(page.text), std::move(page.origin)};
            return PassEnd::ToSweep;
        }
        store_.markCrawled(i);
    }
    return PassEnd::Completed;
}

bool CheckRun::Call::isRepeat(int n) const
{
    const ResultNode* node = store_.full().node(n);
    return node && store_.checktext(node->requestUrl()) != n;
}

// Probes node `n` and, when it is a valid page of the site, reads it. A page that redirected off the
// site is probed but not read.
CheckRun::Call::Page CheckRun::Call::readPage(int n)
{
    const ProbeStep::Outcome outcome = probe_.crawlForm(n);
    const ResultNode* node = store_.full().node(n);
    if (outcome != ProbeStep::Outcome::Valid || !node || !node->record.isSitePage()) {
        return {};
    }
    const QString pageUrl = probe_.finalUrl();
    const QString charset = probe_.pageCharset();
    if (n == 1) {
        // The home page may move (to www., to https): where it went is part of the site.
        run_.homeAddress_ = pageUrl;
        scan_.setHomeAddress(pageUrl);
        judge_.setHomeAddress(pageUrl);
    }
    if (!scan_.isSiteUrl(pageUrl)) {
        return {};
    }
    std::optional<QString> judged = probe_.takePage();
    QString text = judged ? std::move(*judged) : prober_.CheckLinks(node->requestUrl(), run_.settings_.timeout);
    Page page{std::move(text), {pageUrl, charset}};
    draw(n, page);
    // What a good page shows is evidence only for judging content.
    if (run_.settings_.contentCheck && !page.origin.url.isEmpty()) {
        judge_.noteGoodPage(page.origin.url, page.text, page.origin.rendered);
    }
    return page;
}

// A page whose HTML its scripts have yet to draw is read as the browser draws it, from where the browser
// ended (a hash route stays part of the address). One that cannot be drawn is read as its HTML, and
// its status text says so; one left undrawn by a stop is not read at all.
void CheckRun::Call::draw(int n, Page& page)
{
    const ResultNode* node = store_.full().node(n);
    if (!node || !rendering_.wants(*judge_.reading(page.text))) {
        return;
    }
    const RenderedPage drawn = rendering_.render(node->requestUrl(), run_.settings_.timeout);
    if (drawn.stopped) {
        page = {};
        return;
    }
    if (!drawn.ok || !scan_.isSiteUrl(drawn.finalUrl)) {
        store_.markRendered(n, drawn.ok ? RunText::leftSite() : drawn.failure);
        return;
    }
    page.text = drawn.html;
    page.origin.url = drawn.finalUrl;
    page.origin.rendered = true;
    store_.markRendered(n);
}

// Pages from node `from` on that will be read, asked of the browser ahead while pages of this run are
// being drawn: several are drawn at once while the run reads them one by one. A crawl pass reads the
// pages it scans; a sweep reads the pages it judges.
void CheckRun::Call::drawAhead(int from, int last, bool sweeping)
{
    if (!rendering_.drawing()) {
        return;
    }
    const CheckSettings& settings = run_.settings_;
    QStringList urls;
    for (int j = from; j <= last && j < from + 4 * rendering_.parallel() && urls.size() < rendering_.parallel(); ++j) {
        const ResultNode* node = store_.full().node(j);
        if (!node || !node->record.isSitePage() || isRepeat(j)) {
            continue;
        }
        const bool read = sweeping
                              ? node->status == NoStatus && (settings.contentCheck || PageWantedLater(*node, settings))
                              : !node->bold && settings.readsPagesAt(node->record.depth) &&
                                    (node->status == NoStatus || node->status == StatusValid);
        if (read) {
            urls << node->requestUrl();
        }
    }
    rendering_.prefetch(urls, run_.settings_.timeout);
}

// The page of node `n`: the one held for it when its scan was broken off, else read now.
CheckRun::Call::Page CheckRun::Call::heldOrRead(int n)
{
    HeldPage held = std::exchange(held_, HeldPage());
    if (held.node == n && held.clears == store_.clearCount()) {
        return {std::move(held.text), std::move(held.origin)};
    }
    return readPage(n);
}

// The probes a crawl pass will make, as far as they can be known before it starts: the nodes it selects
// and will scan. A batch limit or a stop ends the pass earlier; the prober then drops the rest.
ProbePlan CheckRun::Call::crawlPlan() const
{
    const LinkStore& store = store_;
    const int passEnd = run_.passNodeCount_;
    const CheckSettings& settings = run_.settings_;
    const ContentJudge& judge = judge_;
    const int held = held_.node;
    const int& walkedTo = run_.walkedTo_;
    int j = passStart_ - 1;
    return [&store, &settings, &judge, &walkedTo, passEnd, held, j](PlannedProbe& p) mutable {
        j = std::max(j, walkedTo);
        while (++j <= passEnd) {
            const ResultNode* node = store.full().node(j);
            if (!node || j == held) {
                continue;
            }
            const bool selected = node->status == NoStatus || !node->bold;
            const bool toScan = node->status == NoStatus || (node->record.isSitePage() && node->status == StatusValid);
            const bool first = store.checktext(node->requestUrl()) == j; // repeats are not scanned
            if (selected && settings.readsPagesAt(node->record.depth) && toScan && first) {
                p = {node->requestUrl(), node->record.isSitePage() || judgeReads(*node, settings, judge),
                     settings.timeout};
                return true;
            }
        }
        return false;
    };
}

// While the run waits long for one page, or has asked for all it plans to, the prober hands on the pages
// it read ahead; the links they hold are what the run will probe next, so they are asked for too instead
// of waiting with the rest. Only requests go out early: the store learns of the pages and their links in
// the run's own order. A page the run will not scan as it was read (one scanned already, one too deep, one
// the browser is to draw) leads to none.
LookAhead CheckRun::Call::lookAhead() const
{
    const LinkStore& store = store_;
    const PageScan& scan = scan_;
    const CheckSettings& settings = run_.settings_;
    const ContentJudge& judge = judge_;
    const PageRendering& rendering = rendering_;
    return [&store, &scan, &settings, &judge, &rendering](const PageAhead& page) {
        const ResultNode* node = store.full().node(store.checktext(page.request));
        if (!node || node->bold || !node->record.isSitePage() || !settings.readsPagesAt(node->record.depth) ||
            !scan.isSiteUrl(page.finalUrl) || rendering.wants(page.text)) {
            return std::vector<PlannedProbe>();
        }
        // A page the run reads to judge it is read by the request asked ahead too: else it is asked twice.
        const auto judged = [&settings, &judge](const QString& request, bool siteLink) {
            return settings.contentCheck && judge.wantsPage(request, siteLink);
        };
        return scan.newLinks(page.text, {page.finalUrl, page.charset}, node->record.depth + 1, judged);
    };
}

// The probes that follow a crawl pass's: the nodes its scans add, in the order they are added, as far
// as they are added yet. Each is probed by the next pass or by the sweep, which ask the same of it: its
// page when it is to be read (or judged), on the same timeout.
ProbePlan CheckRun::Call::nextPlan() const
{
    const LinkStore& store = store_;
    const CheckSettings& settings = run_.settings_;
    const ContentJudge& judge = judge_;
    int j = run_.passNodeCount_;
    return [&store, &settings, &judge, j](PlannedProbe& p) mutable {
        while (j < store.full().count()) {
            const ResultNode* node = store.full().node(++j);
            if (node && node->status == NoStatus && store.checktext(node->requestUrl()) == j) {
                p = {node->requestUrl(), PageWantedLater(*node, settings) || judgeReads(*node, settings, judge),
                     settings.timeout};
                return true;
            }
        }
        return false;
    };
}

// The probes of a check sweep: every node from `first` on without a status, in index order.
ProbePlan CheckRun::Call::sweepPlan(int first, int nodeCount) const
{
    const LinkStore& store = store_;
    const CheckSettings& settings = run_.settings_;
    const ContentJudge& judge = judge_;
    const int& walkedTo = run_.walkedTo_;
    int k = first - 1;
    return [&store, &settings, &judge, &walkedTo, nodeCount, k](PlannedProbe& p) mutable {
        k = std::max(k, walkedTo);
        while (++k <= nodeCount) {
            const ResultNode* node = store.full().node(k);
            // A repeat takes over the verdict of its URL's first node, which the sweep meets first.
            if (node && node->status == NoStatus && store.checktext(node->requestUrl()) == k) {
                p = {node->requestUrl(), PageWantedLater(*node, settings) || judgeReads(*node, settings, judge),
                     settings.timeout};
                return true;
            }
        }
        return false;
    };
}

// Probes every node still without a status, then decides whether the run continues itself. The nodes
// before the first without a status have nothing to probe, and probing is the only way a stop is
// noticed between them, so the walk starts there.
CheckRun::CallEnd CheckRun::Call::sweep()
{
    const int n = store_.full().count();
    if (n > 0 && !run_.running_) {
        run_.pause(batch_ - 1);
        return CallEnd::Stopped;
    }
    const int first = run_.advanceProbed() + 1;
    run_.walkedTo_ = 0;
    prober_.setPlan(sweepPlan(first, n));
    // The pages this sweep reads are scanned by the pass that follows it.
    prober_.setLookAhead(lookAhead());
    const auto noLookAhead = qScopeGuard([this] { prober_.setLookAhead(nullptr); });
    for (int k = first; k <= n; ++k) {
        run_.walkedTo_ = k;
        if (run_.observer_) {
            run_.observer_->stopPoint(batch_ - 1);
        }
        if (!run_.running_) {
            run_.pause(batch_ - 1);
            return CallEnd::Stopped;
        }
        store_.setResume(LinkStore::Badlink3, QString::number(k));
        const ResultNode* node = store_.full().node(k);
        if (node && node->status == NoStatus) {
            drawAhead(k, n, true);
            probe_.sweepForm(k);
        }
    }
    // Below the whole-site setting the pages too deep to read stay uncrawled; the level counter ends
    // the run then.
    const bool uncrawledSeen = run_.advanceCrawled() < n;
    if (uncrawledSeen && levelsLeft() && progressed()) {
        store_.setResume(LinkStore::Badlink3, QString());
        store_.setPanel(1, RunText::paused());
        return CallEnd::Continue;
    }
    return CallEnd::Done;
}

// A call that handed no batch on, added no node and probed nothing leaves uncrawled only nodes that no
// pass reaches (before the resume position of a run whose depth was raised while it was paused): a
// further call would do the same again, for ever.
bool CheckRun::Call::progressed() const
{
    return handedOn_ || store_.full().count() != nodesAtStart_ || store_.testedCount() != testedAtStart_;
}

CheckRun::CheckRun(LinkStore& store, Toolkit& toolkit, ProberFactory proberFactory, QObject* parent)
    : QObject(parent), store_(store), toolkit_(toolkit), proberFactory_(std::move(proberFactory)),
      held_(std::make_unique<HeldPage>()), resolvedLinks_(std::make_unique<ResolvedLinks>())
{
    connect(&store_.full(), &ResultTree::cleared, this, [this] {
        probedThrough_ = 0;
        crawledThrough_ = 0;
        answers_.clear();
    });
}

CheckRun::~CheckRun() = default;

bool CheckRun::isActive() const
{
    const QString state = store_.panel(1);
    return state == RunText::inProgress() || state == RunText::stopping();
}

void CheckRun::start(const QString& site)
{
    start(site, settings_);
}

void CheckRun::start(const QString& site, const CheckSettings& settings)
{
    booked_ = Booking{site, settings};
    if (onStack_) {
        store_.setPanel(1, RunText::inProgress());
        return;
    }
    const QScopedValueRollback<bool> onStack(onStack_, true);
    while (booked_) {
        const Booking booking = *std::exchange(booked_, std::nullopt);
        settings_ = booking.settings;
        running_ = true;
        if (renderer_) {
            renderer_->resumeWaits();
        }
        CheckSite(booking.site, savedBatchCounter_);
    }
}

void CheckRun::stop()
{
    booked_.reset();
    running_ = false;
    store_.setPanel(1, RunText::stopping());
    if (prober_) {
        prober_->interruptWaits();
    }
    if (renderer_) {
        renderer_->interruptWaits();
    }
}

void CheckRun::CheckSite(const QString& site, int batchCounter)
{
    const std::unique_ptr<Prober> prober = proberFactory_();
    prober->setParallel(settings_.parallel);
    prober->setWaitNotifier([this](int seconds) {
        store_.setWaitNote(seconds > 0 ? RunText::serverWait(seconds) : QString());
    });
    prober->setAheadNotifier(
        [this](int answers) { store_.setWaitNote(answers > 0 ? RunText::answeredAhead(answers) : QString()); });
    prober_ = prober.get();
    if (site == lastSite_ && store_.panel(1) == RunText::paused()) {
        prober->addAnswers(answers_);
    }
    answers_.clear();
    const auto noWait = qScopeGuard([this] {
        store_.setWaitNote(QString());
        if (store_.panel(1) == RunText::paused()) {
            answers_ = prober_->answersOnHand();
        }
        prober_ = nullptr;
    });
    // What the hosts answer for missing pages is learnt once for the whole run.
    ContentJudge judge(*prober, settings_.timeout);
    PageRendering rendering(renderer_, settings_.render);
    judge.setRendering(&rendering);
    const auto dropAhead = qScopeGuard([&rendering] { rendering.finish(); });
    // A continuation is a further round of this loop rather than a nested call, so the stack stays
    // flat however large the site is.
    while (true) {
        Call call(*this, *prober, judge, rendering, *held_, batchCounter);
        const CallEnd end = call.execute(site);
        if (end == CallEnd::Stopped) {
            return;
        }
        if (end == CallEnd::Done) {
            break;
        }
        batchCounter = call.batchCounter();
    }
    if (store_.panel(1) != RunText::paused()) {
        finish();
    }
}

CheckRun::ResumeState CheckRun::resumeState() const
{
    ResumeState s;
    s.site = lastSite_;
    s.passNodeCount = passNodeCount_;
    s.batchCounter = savedBatchCounter_;
    s.homeAddress = homeAddress_;
    s.scanResources = scanResources_;
    if (held_->node != 0 && held_->clears == store_.clearCount()) {
        s.heldNode = held_->node;
        s.heldText = held_->text;
        s.heldUrl = held_->origin.url;
        s.heldCharset = held_->origin.charset;
    }
    return s;
}

Prober::Answers CheckRun::answersOnHand() const
{
    return prober_ ? prober_->answersOnHand() : answers_;
}

// The walk positions are not restored: the store was cleared before it was filled, which set them back.
void CheckRun::restore(const ResumeState& state)
{
    lastSite_ = state.site;
    passNodeCount_ = state.passNodeCount;
    savedBatchCounter_ = state.batchCounter;
    homeAddress_ = state.homeAddress;
    scanResources_ = state.scanResources;
    *held_ = {state.heldNode, store_.clearCount(), state.heldText, {state.heldUrl, state.heldCharset}};
}

int CheckRun::advanceProbed()
{
    const ResultTree& full = store_.full();
    probedThrough_ = std::min(probedThrough_, full.count());
    while (probedThrough_ < full.count() && full.node(probedThrough_ + 1)->status != NoStatus) {
        ++probedThrough_;
    }
    return probedThrough_;
}

int CheckRun::advanceCrawled()
{
    const ResultTree& full = store_.full();
    crawledThrough_ = std::min(crawledThrough_, full.count());
    while (crawledThrough_ < full.count() && full.node(crawledThrough_ + 1)->bold) {
        ++crawledThrough_;
    }
    return crawledThrough_;
}

void CheckRun::pause(int batchCounterToSave)
{
    savedBatchCounter_ = batchCounterToSave;
    store_.setPanel(1, RunText::paused());
    store_.setPanel(2, QString()); // no link is being checked while paused
    if (observer_) {
        observer_->runPaused();
    }
}

QString CheckRun::homeFailure() const
{
    const ResultNode* home = store_.full().node(1);
    if (!home || (home->status != StatusDead && home->status != StatusTimedOut)) {
        return {};
    }
    return home->record.statusText.isEmpty() ? RunText::timedOut() : home->record.statusText;
}

void CheckRun::finish()
{
    savedBatchCounter_ = 0;
    store_.emptyResume();
    // The counters as they ended, also where the last probe had no reason to set them (a run whose home
    // page alone was probed).
    store_.setPanel(3, RunText::tested(store_.testedCount()));
    store_.setPanel(4, RunText::parsed(store_.full().count()));
    store_.setPanel(5, RunText::deadFound(store_.deads().count()));
    store_.setPanel(1, RunText::ready());
    if (observer_) {
        observer_->runFinished();
    }
    if (!booked_) {
        emit runFinished();
    }
    const QString homeFailure = this->homeFailure();
    store_.setPanel(2, homeFailure.isEmpty() ? QString() : RunText::homeUnreachable(homeFailure));
}
