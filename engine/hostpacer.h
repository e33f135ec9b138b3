#pragma once

#include "httptypes.h"

#include <QHash>
#include <QString>

#include <deque>

// How fast the run may ask each server: its own in-flight limit that adapts to how the server answers,
// and the pauses the server asks for. A small or guarded server must never make a link look dead or
// timed out because we asked too much of it at once.
//
// The load of a server is judged from how long it takes to start answering (time to first byte, not
// the time its body takes to arrive), against a smoothed recent baseline of answers of the same class
// (a quick 404 says nothing of how long a page takes). The limit starts small and grows by one for every
// answer that comes back near its baseline (so it doubles every round trip); it halves, at most once
// per round of requests, on evidence of load: an answer well above its baseline while others were in
// flight, 429, 503, a reset, a refused connection or a timeout; from then on it grows by only one per
// round (as TCP does after a loss). 429 and 503 also pause the server: for its Retry-After when it
// sends one, else for a wait that starts at twice its baseline and doubles with each refusal in a row.
// A server that refuses round after round holds the run only so long: from then on its links go out one
// at a time, and its refusals are taken as they come.
//
// A refusal without Retry-After while other requests were under way tells how many the server takes at
// once: the limit stays at that many, and grows past it again only after a spell without refusals.
//
// Refusals after a burst (429, or 503 with Retry-After) tell how many requests a second the server takes:
// from then on its requests go out evenly at a little below that rate (a token bucket without burst),
// which rises slowly after a long spell without refusals. Its Retry-After still holds the next request.
//
// A server that has never answered is unreachable, not loaded: a timeout, reset or refused connection
// there says nothing of our pace, so its requests stay in flight. Once a few of them have failed in a row
// (a name that does not resolve: once, its lookup was retried already) its other links take what the
// first got without being asked, instead of waiting out a timeout each.
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
    // Rounds of refusals in a row (each asked after the last refusal came) after which a server is
    // taken to refuse whatever pace we keep.
    static constexpr int kRefusalRounds = 3;
    // Consecutive error answers from a host that has answered well before that count as a burst.
    static constexpr int kBurst = 3;
    // Failures in a row, with nothing ever answered, after which a server counts as unreachable.
    static constexpr int kSilentFailures = 3;

    explicit HostPacer(int parallel = 64) : parallel_(parallel) {}
    void setParallel(int parallel) { parallel_ = parallel; }

    // The pacing key of the server of `url`: its host, with the port when it is not the scheme's own, so
    // that http and https of a host, which are one server, share one limit.
    static QString HostKey(const QString& url);

    // True when a request to `host` may go out now (`nowNs` on the caller's monotonic clock). A
    // confirmation goes out only when the host has nothing else in flight, and nothing goes out while
    // one is in flight.
    bool mayIssue(const QString& host, qint64 nowNs, bool confirmation) const;
    Ticket issued(const QString& host, qint64 nowNs, bool confirmation);
    // Takes the answer to the request of `ticket`; `retries` is how often it was retried already. The
    // answer tells of the server that gave it, the last hop of its redirects.
    Verdict answered(const Ticket& ticket, const HttpResult& result, qint64 nowNs, int retries,
                     bool confirmation, qint32 tryTime);
    // The pacing key of the server that gave the answer `r` to the request of `t`.
    static QString ServerOf(const Ticket& t, const HttpResult& r);
    // A request that went out and is given up (abandoned by the run).
    void dropped(const Ticket& ticket, bool confirmation);

    // True when the host has answered a run of errors: error answers of it held so far deserve a
    // quiet second look.
    bool inErrorBurst(const QString& host) const;
    // When the pause of `host` ends, or 0.
    qint64 pausedUntilNs(const QString& host) const;
    // When `host` may next be asked, by its pause or its learned rate; 0 when it may be asked now.
    qint64 readyAtNs(const QString& host) const;
    // No host's readyAtNs() is later than this (0 before any pause or rate).
    qint64 latestReadyNs() const { return latestReadyNs_; }
    // What the links of an unreachable `host` take without being asked; null while it may yet answer.
    const HttpResult* silentVerdict(const QString& host) const;

    // Whether an answer is an error that a busy server or a firewall gives a client it finds too fast.
    static bool IsLoadError(const HttpResult& r);

private:
    static constexpr int kClasses = 6; // answers by status class (1xx..5xx), and those without a status
    struct Host
    {
        double limit = kInitialLimit;
        double threshold = 1e9; // above it the limit grows by one per round instead of one per answer
        int inFlight = 0;
        quint64 seq = 0;
        qint64 baseNs[kClasses] = {-1, -1, -1, -1, -1, -1}; // time to first byte, smoothed, per class
        qint64 lastShrinkNs = -1;
        qint64 lastAnswerNs = -1; // when the last answer with a status came
        qint64 lastLoadNs = -1;   // when the server last showed load: slowed down, refused or reset
        qint64 lastRefusalNs = -1;
        int ceiling = 0; // requests at once beyond which it refused, without asking for a pause (0: none)
        int refusalRounds = 0;
        bool refusing = false; // it refused round after round: one at a time, no more pauses or retries
        qint64 pausedUntilNs = 0;
        int backoffStep = 0;
        int burstStep = 0;
        bool answeredWell = false;
        int errorRun = 0;
        bool confirming = false;
        // Learned rate (requests a second, 0: none) and when the next request may go out.
        double rate = 0;
        qint64 nextSendNs = 0;
        qint64 lastRateCutNs = -1;
        qint64 lastRaiseNs = -1;
        qint64 rateDueNs = -1;         // the issue time of the last refused request whose rate is still to learn
        std::deque<qint64> acceptedNs; // issue times of the requests of the last seconds that were answered
        // A server that never answered: its failures so far, and what the first one got.
        int silentFailures = 0;
        bool unreachable = false;
        HttpResult firstFailure;
    };

    void shrink(Host& h, const Ticket& t);
    void grow(Host& h, qint64 nowNs);
    Verdict refused(Host& h, const Ticket& t, const HttpResult& r, qint64 nowNs, int retries, qint32 tryTime);
    void onGoodAnswer(Host& h, const Ticket& t, const HttpResult& r, qint64 nowNs);
    static void LearnRate(Host& h);
    static void RaiseRate(Host& h, qint64 nowNs);
    static void SilentFailure(Host& h, const HttpResult& r);
    static qint64 BaselineOf(const Host& h);
    static qint64 RetryAfterNs(const QByteArray& value, qint32 tryTime);

    int parallel_;
    QHash<QString, Host> hosts_;
    qint64 latestReadyNs_ = 0; // the latest pause end or rate turn ever set
};
