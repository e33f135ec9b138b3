#include "probestep.h"

#include "contentjudge.h"
#include "linkstore.h"
#include "prober.h"
#include "runtexts.h"
#include "toolkit.h"

bool PageWantedLater(const ResultNode& node, const CheckSettings& settings)
{
    return node.record.isSitePage() && settings.readsPagesAt(node.record.depth);
}

namespace {

ProbeStep::Outcome outcomeOf(int status)
{
    if (status == StatusValid) {
        return ProbeStep::Outcome::Valid;
    }
    return status == StatusTimedOut ? ProbeStep::Outcome::TimedOut : ProbeStep::Outcome::Dead;
}

} // namespace

ProbeStep::Outcome ProbeStep::crawlForm(int n)
{
    LinkStore& store = env_.store;
    const ResultNode* node = store.full().node(n);
    if (!node) {
        return Outcome::Dead;
    }
    const QString url = node->record.url;
    const QString request = node->requestUrl();
    page_.reset(); // a page read for an earlier probe is not this node's
    if (store.copyVerdict(n, store.checktext(request))) {
        return outcomeOf(store.full().node(n)->status);
    }
    const bool hadStatus = node->status != NoStatus;
    const bool pageWanted = node->record.isSitePage(); // a valid site page is read next
    store.setPanel(2, RunText::checking(url));
    store.setPanel(5, RunText::deadFound(store.deads().count()));
    // Counted once answered: a probe a stop cuts short is made, and counted, on resume, and a counter
    // that went up for it while it waited would go down again.
    const Outcome outcome = probeAndRecord(n, url, request, pageWanted);
    if (outcome != Outcome::Dropped) {
        setCounter(!hadStatus);
    }
    return outcome;
}

void ProbeStep::sweepForm(int n)
{
    LinkStore& store = env_.store;
    const ResultNode* node = store.full().node(n);
    if (!node) {
        return;
    }
    const QString url = node->record.url;
    const QString request = node->requestUrl();
    if (store.copyVerdict(n, store.checktext(request))) {
        return;
    }
    store.setPanel(2, RunText::checking(url));
    store.setPanel(5, RunText::deadFound(store.deads().count()));
    if (probeAndRecord(n, url, request, PageWantedLater(*node, env_.settings)) == Outcome::Dropped) {
        return;
    }
    store.setPanel(4, RunText::parsed(store.full().count()));
    setCounter(true);
}

// The probe counter lives only in the text of panel 3.
void ProbeStep::setCounter(bool countThisProbe)
{
    LinkStore& store = env_.store;
    const QString text = store.panel(3);
    qint64 count = 1;
    if (!text.isEmpty()) {
        const qint64 shown = store.testedCount();
        count = countThisProbe ? shown + 1 : shown;
    }
    store.setPanel(3, RunText::tested(count));
}

ProbeStep::Outcome ProbeStep::probeAndRecord(int n, const QString& url, const QString& request, bool pageWanted)
{
    LinkStore& store = env_.store;
    const quint64 clears = store.clearCount();
    const ResultNode* asked = store.full().node(n);
    // Resources are judged by their status alone; the home page is never a missing page.
    const bool judged = judge_ && env_.settings.contentCheck && asked && IsPageKind(asked->record.kind) && n != 1;
    const bool siteHost = asked && asked->record.siteLink;
    page_.reset();
    env_.toolkit.DoEvents();
    const ProbeResult r = prober_.CheckUrl(request, env_.settings.timeout, pageWanted);
    ContentJudge::Verdict content;
    if (r.valid && judged && store.clearCount() == clears) {
        content = judge_->judge({request, &r, siteHost, pageWanted});
        page_ = std::move(content.page);
    }
    // Results cleared meanwhile: the answer is for a node that is gone, and a start that follows must
    // not find it in its URL lists or counters. Stopped while waiting: there is no answer yet, and the
    // node is probed again when the run resumes.
    if (store.clearCount() != clears || r.dropped) {
        return Outcome::Dropped;
    }
    finalUrl_ = r.finalUrl.isEmpty() ? request : r.finalUrl.toString();
    pageCharset_ = r.charset;

    Outcome outcome = Outcome::Dead;
    int status = StatusDead;
    qint64 queryTime = r.querytimes;
    const QString statusText = content.statusText.isEmpty() ? r.statusText : content.statusText;
    if (r.valid && !content.dead) {
        outcome = Outcome::Valid;
        status = StatusValid;
    } else if (r.statusText.startsWith(RunText::timedOut())) { // with why, when its host never answered
        outcome = Outcome::TimedOut;
        status = StatusTimedOut;
        queryTime = qint64(r.querytimes) * 1000;
    } else if (r.refused) {
        outcome = Outcome::TimedOut;
        status = StatusTimedOut;
    }

    const ResultNode* node = store.full().node(n);
    if (!node || node->record.url != url) {
        return Outcome::Dropped;
    }
    store.recordProbe(n, status, queryTime, statusText, r.httpStatus, content.dead);
    if (content.rendered) {
        store.markRendered(n);
    }
    if (outcome == Outcome::TimedOut) {
        store.timeouts().add(url, n);
    } else if (outcome == Outcome::Dead) {
        store.deads().add(url, n);
        store.addDeadLink(n);
        store.setPanel(5, RunText::deadFound(store.deads().count()));
    }
    return outcome;
}
