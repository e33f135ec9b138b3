#pragma once

#include "httptypes.h"

#include <QHash>
#include <QString>

// How fast the run may ask each host: its own in-flight limit that adapts to how the host answers, and
// the pauses the host asks for. A small or guarded server must never make a link look dead or timed
// out because we asked too much of it at once.
//
// The limit starts small and grows by one for every answer that comes back at a steady latency (so it
// doubles every round trip and a fast host reaches the parallel setting within a fraction of a second);
// it halves, at most once per round of requests, when the latency climbs well above the host's best, or
// on 429, 503, a reset, a refused connection or a timeout, and from then on grows by only one per round
// (as TCP does after a loss), so that it stays near what the host can take. 429 and 503 also pause the
// host: for its Retry-After when it sends one, else for a wait that starts at twice the host's best
// latency and doubles with each refusal in a row.
class HostPacer
{
public:
    // What to do with an answer.
    enum class Verdict {
        Accept,  // it is the answer
        Retry,   // the host asked us to slow down: ask again once its pause is over
        Confirm, // it may be our pace that failed it: ask again alone once the host is quiet
    };

    struct Ticket // what the pacer needs to know of a request when its answer comes
    {
        QString host;
        qint64 issuedNs = 0;
        quint64 issuedSeq = 0; // the host's request count right after this one was issued
        int inFlightAtIssue = 0;
    };

    static constexpr int kInitialLimit = 4;
    static constexpr int kMaxRetries = 3;
    // Consecutive error answers from a host that has answered well before that count as a burst.
    static constexpr int kBurst = 3;

    explicit HostPacer(int parallel = 64) : parallel_(parallel) {}
    void setParallel(int parallel) { parallel_ = parallel; }

    // The key of the host of `url`: scheme, host and port.
    static QString HostKey(const QString& url);

    // True when a request to `host` may go out now (`nowNs` on the caller's monotonic clock). A
    // confirmation goes out only when the host has nothing else in flight, and nothing goes out while
    // one is in flight.
    bool mayIssue(const QString& host, qint64 nowNs, bool confirmation) const;
    Ticket issued(const QString& host, qint64 nowNs, bool confirmation);
    // Takes the answer to the request of `ticket`; `retries` is how often it was retried already.
    Verdict answered(const Ticket& ticket, const HttpResult& result, qint64 nowNs, int retries,
                     bool confirmation, qint32 tryTime);
    // A request that went out and is given up (abandoned by the run).
    void dropped(const Ticket& ticket, bool confirmation);

    // True when the host has answered a run of errors: error answers of it held so far deserve a
    // quiet second look.
    bool inErrorBurst(const QString& host) const;
    // When the pause of `host` ends, or 0.
    qint64 pausedUntilNs(const QString& host) const;

    // Whether an answer is an error that a busy server or a firewall gives a client it finds too fast.
    static bool IsLoadError(const HttpResult& r);

private:
    struct Host
    {
        double limit = kInitialLimit;
        double threshold = 1e9; // above it the limit grows by one per round instead of one per answer
        int inFlight = 0;
        quint64 seq = 0;
        qint64 bestNs = -1;
        qint64 lastShrinkNs = -1;
        qint64 pausedUntilNs = 0;
        int backoffStep = 0;
        int burstStep = 0;
        bool answeredWell = false;
        int errorRun = 0;
        bool confirming = false;
    };

    void shrink(Host& h, const Ticket& t);
    void grow(Host& h);
    static qint64 RetryAfterNs(const QByteArray& value, qint32 tryTime);

    int parallel_;
    QHash<QString, Host> hosts_;
};
