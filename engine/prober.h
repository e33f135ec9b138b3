#pragma once

#include "httptypes.h"

#include <QHash>
#include <QString>
#include <QUrl>

#include <functional>

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

// A probe the run expects to make, in the order it will make them.
struct PlannedProbe
{
    QString url;
    bool pageWanted = false;
    int tryTime = 10;
};
// Yields the next expected probe after the ones already yielded; false when no more are known.
using ProbePlan = std::function<bool(PlannedProbe&)>;

class Prober
{
public:
    virtual ~Prober() = default;
    // The probes the run expects to make next. A prober may issue them ahead of time, as long as every
    // answer it hands out is the answer to a request made for that probe.
    virtual void setPlan(ProbePlan plan) { (void)plan; }
    // Requests in flight at most.
    virtual void setParallel(int requests) { (void)requests; }
    virtual void setWaitNotifier(WaitNotifier notifier) { (void)notifier; }
    // The run was stopped: every wait for an answer ends at once, now and from now on, with a dropped
    // result. (A prober that cannot end its waits finishes them.)
    virtual void interruptWaits() {}
    // Probes `url` with a timeout of `tryTime` seconds. With `pageWanted` the probe keeps the page it
    // reads, so that a CheckLinks of the same URL that follows needs no download of its own.
    virtual ProbeResult CheckUrl(const QString& url, int tryTime, bool pageWanted) = 0;
    // The source of the page at `url`, decoded in its declared character set; empty when it cannot be read.
    virtual QString CheckLinks(const QString& url, int tryTime) = 0;
    // Forgets the cookies earlier runs were given, so that a new run sees the site as a first visitor.
    virtual void forgetCookies() {}

    // Answers the run has not taken yet, by the URL they were asked for: kept for a later probe (the good
    // pages a sweep read for the next pass) or fetched ahead. A run continued later, in this process or
    // another, is handed them back so as to ask none of them again.
    using Answers = QHash<QString, HttpResult>;
    virtual Answers answersOnHand() const { return {}; }
    virtual void addAnswers(const Answers& answers) { (void)answers; }
};
