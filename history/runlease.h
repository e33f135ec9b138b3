#pragma once

#include <QString>

#include <optional>

class HistoryDb;

// Who writes a run: an owner id, the host it runs on, its process id and when it last said it is still
// there. The heartbeat, not the process id, is what counts across machines that share one history; on
// the same host a process that is gone frees its runs at once.
struct LeaseHolder
{
    QString owner;
    QString host;
    qint64 pid = 0;
    qint64 heartbeat = 0; // seconds since the epoch, by the holder's clock

    bool isAlive() const;
    QString describe() const; // "pid 123 on host"
};

// The hold of one process on one run. Every write of the run is guarded by it in its own statement
// (WHERE owner = this one), so that a process that lost its hold cannot overwrite what another wrote.
class RunLease
{
public:
    static constexpr int kHeartbeatSeconds = 5;
    static constexpr int kStaleSeconds = 30;

    explicit RunLease(HistoryDb& db);
    ~RunLease();
    RunLease(const RunLease&) = delete;
    RunLease& operator=(const RunLease&) = delete;

    const QString& owner() const { return me_.owner; }
    const LeaseHolder& me() const { return me_; }
    qint64 run() const { return run_; }

    enum class Take
    {
        Taken,
        Busy,
        Gone,
        Failed
    };
    // Takes `run` when nobody alive holds it and it can still be resumed; `busy` is told who holds it.
    Take take(qint64 run, LeaseHolder* busy = nullptr);
    // A run this process has just inserted with its own hold.
    void adopt(qint64 run) { run_ = run; }
    // Lets go of the run, which stays as it was written last.
    void release();
    // Forgets the run without writing: it was finished or deleted with the hold in the same statement.
    void forget() { run_ = 0; }

    // The hold on `run` as written; nothing when nobody holds it.
    static std::optional<LeaseHolder> holder(HistoryDb& db, qint64 run);
    static qint64 now();

private:
    HistoryDb& db_;
    LeaseHolder me_;
    qint64 run_ = 0;
};
