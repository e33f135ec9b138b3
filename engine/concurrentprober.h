#pragma once

#include "httptypes.h"
#include "link.h"
#include "prober.h"

#include <QHash>
#include <QObject>

#include <deque>
#include <memory>

class HttpClient;
class HttpReply;

// A prober that issues the run's expected probes ahead of time, up to a number of requests in flight,
// and hands the answers out one by one in the order the run asks for them. The run itself stays
// sequential: it sees exactly the answers it would have got asking one at a time, only sooner.
// Destroying the prober abandons whatever is still in flight.
class ConcurrentProber : public QObject, public Prober
{
    Q_OBJECT
public:
    explicit ConcurrentProber(int parallel = 32, HttpClient* client = nullptr);
    ~ConcurrentProber() override;

    void setPlan(ProbePlan plan) override;
    void setParallel(int requests) override;
    ProbeResult CheckUrl(const QString& url, int tryTime, bool pageWanted) override;
    QString CheckLinks(const QString& url, int tryTime) override;

    // Requests issued ahead and not yet handed out (for tests and measurements).
    int ahead() const { return static_cast<int>(queue_.size() + leftovers_.size()); }

private:
    struct Entry
    {
        QString url; // normalised as the probe requests it
        bool pageWanted = false;
        int tryTime = 0;
        std::unique_ptr<HttpReply> reply;
    };

    void fill();
    int inFlight() const;
    qint64 bufferedBytes() const;
    std::unique_ptr<HttpReply> takePlanned(const QString& checkUrl, int tryTime, bool pageWanted);
    HttpResult take(const QString& checkUrl, int tryTime, bool pageWanted);
    static HttpResult waitFor(HttpReply& reply);

    HttpClient* client_;
    int parallel_;
    ProbePlan plan_;
    std::deque<Entry> queue_;     // issued for the current plan, in its order
    std::deque<Entry> leftovers_; // issued for earlier plans and not handed out yet
    // Answers that kept their page, by URL, each handed out once more: a page a sweep probed is read
    // by a later crawl pass, which probes it again first.
    QHash<QString, HttpResult> kept_;
    qint64 keptBytes_ = 0;
    bool filling_ = false;

    HttpResult last_; // the last answer handed out, with its page when that was wanted
    QString lastUrl_;
    bool lastKept_ = false;
    Link fallback_; // reads a page the last probe did not keep
};
