#pragma once

#include "httptypes.h"

#include <QHash>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

// What the check run asks of the network: the verdict on one link, and the decoded source of a page.
struct ProbeResult
{
    bool valid = false;
    QString statusText; // the server's phrase, an HTTP error with its meaning, why nothing answered, or "查询超时"
    qint32 querytimes = 0; // milliseconds when answered, whole seconds when timed out
    QUrl finalUrl;         // the address that answered, after redirects; empty when none did
    QString charset;       // the character set its page is decoded in; empty when the probe kept no page
    int httpStatus = 0;    // the final HTTP status; 0 when nothing answered
    bool refused = false;  // the server refused to be checked: counted with the timed-out links
    bool dropped = false;  // the run was stopped while it waited: no answer, nothing to record
};

// What a prober did beyond one request per probe, for the run's summary.
struct ProbeStats
{
    int retried = 0;   // probes asked again because the server asked us to slow down (429, 503)
    int confirmed = 0; // failures asked again alone, because our own pace might have caused them
};

// Told the seconds the run waits because a server asked it to; 0 when it waits no more.
using WaitNotifier = std::function<void(int seconds)>;
// Told, while the run waits long for one answer, how many answers are in hand that the run has not come
// to yet; 0 when the wait is over.
using AheadNotifier = std::function<void(int answers)>;

// A probe the run expects to make, in the order it will make them.
struct PlannedProbe
{
    QString url;
    bool pageWanted = false;
    int tryTime = 10;
};
// Yields the next expected probe after the ones already yielded; false when no more are known.
using ProbePlan = std::function<bool(PlannedProbe&)>;

// A good page that a planned probe read ahead of the run.
struct PageAhead
{
    QString request;  // the address asked for
    QString finalUrl; // the address that answered with it
    QString charset;  // the character set its text is decoded in
    QString text;
};
// Told of a page read ahead, gives the probes that reading it will lead to: none when the run will not
// read it.
using LookAhead = std::function<std::vector<PlannedProbe>(const PageAhead& page)>;

class Prober
{
public:
    virtual ~Prober() = default;
    // The probes the run expects to make next. A prober may issue them ahead of time, as long as every
    // answer it hands out is the answer to a request made for that probe.
    virtual void setPlan(ProbePlan plan) { (void)plan; }
    // While the run waits long for one answer, the pages of its plan that were read meanwhile are handed
    // to `lookAhead`, and the probes it names are asked for too, their answers kept for when the run
    // comes to them. Null: none.
    virtual void setLookAhead(LookAhead lookAhead) { (void)lookAhead; }
    // The probes the run makes once the plan's are done, as far as they are known yet (a plan that says
    // false may yield more later). Once every probe of the plan is out, they fill the room its last answers
    // leave, their answers kept for when the run comes to them. Null: none.
    virtual void setNextPlan(ProbePlan plan) { (void)plan; }
    // Requests in flight at most.
    virtual void setParallel(int requests) { (void)requests; }
    virtual void setWaitNotifier(WaitNotifier notifier) { (void)notifier; }
    virtual void setAheadNotifier(AheadNotifier notifier) { (void)notifier; }
    // The run was stopped: every wait for an answer ends at once, now and from now on, with a dropped
    // result. (A prober that cannot end its waits finishes them.)
    virtual void interruptWaits() {}
    // Probes `url` with a timeout of `tryTime` seconds. With `pageWanted` the probe keeps the page it
    // reads, so that a CheckLinks of the same URL that follows needs no download of its own.
    virtual ProbeResult CheckUrl(const QString& url, int tryTime, bool pageWanted) = 0;
    // The source of the page at `url`, decoded in its declared character set; empty when it cannot be read.
    virtual QString CheckLinks(const QString& url, int tryTime) = 0;
    // The page the last probe read, when it was of `url` and read one; without a request, and without
    // releasing a page kept for the crawl.
    virtual std::optional<QString> LastPage(const QString& url) const
    {
        (void)url;
        return std::nullopt;
    }
    // Forgets the cookies earlier runs were given, so that a new run sees the site as a first visitor.
    virtual void forgetCookies() {}

    // Answers the run has not taken yet, by the URL they were asked for: kept for a later probe (the good
    // pages a sweep read for the next pass) or fetched ahead. A run continued later, in this process or
    // another, is handed them back so as to ask none of them again.
    using Answers = QHash<QString, HttpResult>;
    virtual Answers answersOnHand() const { return {}; }
    virtual void addAnswers(const Answers& answers) { (void)answers; }
};
