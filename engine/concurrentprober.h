#pragma once

#include "checksettings.h"
#include "hostpacer.h"
#include "httptypes.h"
#include "prober.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

class HttpClient;
class HttpReply;
class QEventLoop;

// A prober that issues the run's expected probes ahead of time and hands the answers out one by one in
// the order the run asks for them. The run itself stays sequential: it sees exactly the answers it would
// have got asking one at a time, only sooner. How many requests are in flight is decided per host by a
// HostPacer, never more than the parallel setting in all; a host that asks us to slow down is retried
// after its pause, and a failure our pace may have caused is asked again alone before it counts.
// Destroying the prober abandons whatever is still in flight.
class ConcurrentProber : public QObject, public Prober
{
    Q_OBJECT
public:
    explicit ConcurrentProber(int parallel = kDefaultParallel, HttpClient* client = nullptr, ProbeStats* stats = nullptr);
    ~ConcurrentProber() override;

    void setPlan(ProbePlan plan) override;
    void setLookAhead(LookAhead lookAhead) override { lookAhead_ = std::move(lookAhead); }
    void setNextPlan(ProbePlan plan) override { nextPlan_ = std::move(plan); }
    void setParallel(int requests) override;
    void setWaitNotifier(WaitNotifier notifier) override { notify_ = std::move(notifier); }
    void setAheadNotifier(AheadNotifier notifier) override { notifyAhead_ = std::move(notifier); }
    void interruptWaits() override;
    ProbeResult CheckUrl(const QString& url, int tryTime, bool pageWanted) override;
    QString CheckLinks(const QString& url, int tryTime) override;
    std::optional<QString> LastPage(const QString& url) const override;
    void forgetCookies() override;
    Answers answersOnHand() const override;
    void addAnswers(const Answers& answers) override;

    // Probes known and not handed out yet (for tests and measurements).
    int ahead() const { return static_cast<int>(queue_.size() + leftovers_.size()); }
    // Requests in flight now.
    int inFlight() const { return inFlight_; }

private:
    // What one walk over the queued probes learnt of a host, so that a queue of hundreds of probes for a
    // few busy hosts asks the pacer once a host and walk, not once a probe. Walks are numbered; a mark
    // holds only for the walk that set it.
    struct HostMarks
    {
        quint64 shut = 0;    // the pacer refused it a request: no other of its probes goes out
        quint64 audible = 0; // it is not known unreachable: its probes are asked, not settled silently
        quint64 readyAt = 0; // its pause was counted for the wake timer
    };

    struct Entry
    {
        QString url; // normalised as the probe requests it
        QString host;
        HostMarks* marks = nullptr; // those of `host`
        bool pageWanted = false;
        int tryTime = 0;
        std::unique_ptr<HttpReply> reply; // the attempt in flight, or the one whose answer is on its way
        bool inFlightNow = false;         // counted in flight (by us and by the pacer)
        HostPacer::Ticket ticket;
        int retries = 0;
        bool confirming = false; // the next or current attempt is a quiet confirmation
        bool confirmed = false;  // it had its confirmation
        bool settled = false;    // result is the answer
        bool hint = false;       // asked on a look-ahead's word, for no plan yet
        bool lookedAhead = false; // its page was handed to the look-ahead
        HttpResult result;
    };
    using Entries = std::deque<std::unique_ptr<Entry>>;

    static bool Serves(const Entry& have, const QString& url, int tryTime, bool pageWanted);
    void fill();
    int aheadLimit() const;
    void lookAhead(bool withKept);
    void addHints(const std::vector<PlannedProbe>& probes);
    bool roomToKeep(qint64 buffered) const;
    void pullNext(const QSet<QString>& confirming, qint64 now, qint64 buffered);
    std::unique_ptr<Entry> takeFrom(Entries& list, const QString& url, int tryTime, bool pageWanted);
    bool issue(Entry& e, qint64 now);
    bool issueInWalk(Entry& e, qint64 now);
    bool settleSilent(Entry& e);
    bool settleSilentInWalk(Entry& e);
    void setHost(Entry& e, const QString& host);
    void onAnswer(Entry* e);
    void reconfirmBurst(const QString& host);
    void settle(Entry& e);
    void armWake(qint64 now);
    void notifyWait();
    int answeredAhead() const;
    qint64 bufferedBytes() const;
    std::unique_ptr<Entry> takePlanned(const QString& checkUrl, int tryTime, bool pageWanted);
    // `pageRead`: set to whether the answer's request read its page.
    HttpResult take(const QString& checkUrl, int tryTime, bool pageWanted, bool* pageRead = nullptr);
    const QString& lastText() const;
    HttpResult waitFor(Entry& e);
    std::unique_ptr<Entry> makeEntry(const QString& url, int tryTime, bool pageWanted);
    void abandon(Entry& e);
    void keep(const QString& url, const HttpResult& result);

    HttpClient* client_;
    ProbeStats* stats_;
    int parallel_;
    HostPacer pacer_;
    std::unordered_map<QString, HostMarks> hostMarks_; // by host, for the run; its nodes never move
    quint64 walk_ = 0;
    QElapsedTimer clock_;
    QTimer wake_; // ends the earliest host pause, or the wait for a host's next turn at its rate
    ProbePlan plan_;
    Entries queue_;     // known for the current plan, in its order
    Entries leftovers_; // issued for earlier plans and not handed out yet
    Entries urgent_;    // probes the run waits for that no plan foresaw (one at a time in practice)
    Entries askedEarly_; // probes the run asked for before the plan came to them: not issued again
    Entries hinted_;     // probes a look-ahead named, until a plan or the run takes them or they are kept
    // Every URL hinted this run, so that none is asked twice on a hint; those of hinted_ among them.
    QSet<QString> hintedUrls_;
    std::vector<QString> keptUnseen_; // pages kept since the look-ahead last saw them
    LookAhead lookAhead_;
    ProbePlan nextPlan_;
    QTimer longWait_; // starts the look-ahead once the run has waited a while
    bool lookingAhead_ = false;
    int notifiedAhead_ = 0;
    AheadNotifier notifyAhead_;
    std::vector<std::unique_ptr<HttpReply>> draining_; // given up by the run, left to end
    int inFlight_ = 0;
    // Answers by URL, each handed out once more: the good pages a sweep probed, read by a later crawl
    // pass that probes them again first, and answers fetched for a plan the run left before it took
    // them. Only good pages keep their bytes.
    QHash<QString, HttpResult> kept_;
    qint64 keptBytes_ = 0;
    bool interrupted_ = false; // the run was stopped: no wait lasts
    bool filling_ = false;
    bool mayConfirm_ = false; // some probe may be confirming: fill() looks for which
    Entry* awaited_ = nullptr; // the entry the run waits for, and the loop that waits
    QEventLoop* waitLoop_ = nullptr;
    qint64 waitStartNs_ = 0; // when the run began to wait for it
    WaitNotifier notify_;
    int notifiedSeconds_ = 0;

    HttpResult last_; // the last answer handed out, with its page when that was wanted
    QString lastUrl_;
    bool lastKept_ = false;
    bool lastRead_ = false; // its request read the page, whether or not the probe asked for it
    mutable std::optional<QString> lastText_; // its page, once decoded

    // Pages the look-ahead decoded, by their bytes (held, so that no other page takes their address): the
    // run decodes each again when it comes to it, and takes the text from here instead.
    struct Decoded
    {
        QByteArray body;
        QString text;
    };
    QString decodedAhead(const HttpResult& r);
    mutable QHash<const char*, Decoded> decoded_;
    mutable std::deque<const char*> decodedOrder_;
    mutable qsizetype decodedChars_ = 0;
};
