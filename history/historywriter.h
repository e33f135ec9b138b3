#pragma once

#include "runwrite.h"

#include <QSet>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class HistoryDb;

// Writes a recorded run on a thread of its own, with a connection of its own to the same history, so
// that the check's loop never waits for the disk or for another program's lock. Writes are carried out
// in the order they are posted; those waiting when the thread comes to them go in one transaction.
// A write that meets another program's lock stays first in line and is tried again a while later.
class HistoryWriter
{
public:
    enum class Outcome
    {
        Ok,
        Busy,
        Lost,
        Failed
    };
    // A run that can no longer be written: held by another program now (Lost), or the database failed.
    struct Report
    {
        qint64 run = 0;
        Outcome outcome = Outcome::Ok;
        QSqlError error;
    };

    // `reported` is called on the writer's thread when a report waits to be taken.
    HistoryWriter(const HistoryDb& db, std::function<void()> reported);
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void post(RunWrite write);
    // Writes what is posted now, without the pause that follows a lock, and waits for it; false when
    // another program's lock outlasted the connection's wait (`busy` says which), and what was posted is
    // still in line. A run that could not be written is reported.
    bool flush(QSqlError* busy = nullptr);
    // Drops what is posted and waits for a write under way; the answers on disk are `written` from now.
    void restart(const QSet<QString>& written = {});
    // Deletes what the finished checks of `site` no longer need, once nothing is waiting to be written;
    // before the writer ends at the latest.
    void tidy(const QString& site);
    std::vector<Report> takeReports();

private:
    void work(const QString& connection);
    Outcome write(RunWriteSql& sql, const std::vector<RunWrite>& batch, QSqlError* error);
    void settle(Outcome outcome, qint64 run, const QSqlError& error);
    bool mayWrite() const;

    const HistoryDb& db_;
    std::function<void()> reported_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<RunWrite> queue_;
    std::vector<Report> reports_;
    QStringList tidy_; // sites whose finished checks leave rows to delete
    QSet<QString> resetAnswers_;
    bool reset_ = false;
    bool forced_ = false;
    bool writing_ = false;
    bool stop_ = false;
    unsigned generation_ = 0;  // counts restarts
    unsigned busyFlushes_ = 0; // flushes that met a lock
    QSqlError lastBusy_;
    std::chrono::steady_clock::time_point pausedUntil_{};
    std::thread thread_;
};
