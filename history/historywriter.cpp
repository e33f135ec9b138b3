#include "historywriter.h"

#include "historydb.h"

#include <QSqlDatabase>
#include <QUuid>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A write that met another program's lock is tried again after this long, or when it is flushed.
constexpr std::chrono::seconds kBusyPause(10);

} // namespace

HistoryWriter::HistoryWriter(const HistoryDb& db, std::function<void()> reported)
    : db_(db), reported_(std::move(reported))
{
    const QString connection = u"kelvara-history-writer-"_s + QUuid::createUuid().toString();
    thread_ = std::thread([this, connection] { work(connection); });
}

HistoryWriter::~HistoryWriter()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HistoryWriter::post(RunWrite write)
{
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(write));
    }
    wake_.notify_all();
}

bool HistoryWriter::flush(QSqlError* busy)
{
    std::unique_lock lock(mutex_);
    const unsigned busyBefore = busyFlushes_;
    forced_ = true;
    wake_.notify_all();
    done_.wait(lock, [&] { return (!writing_ && queue_.empty()) || busyFlushes_ != busyBefore; });
    forced_ = false;
    if (busyFlushes_ == busyBefore) {
        return true;
    }
    if (busy) {
        *busy = lastBusy_;
    }
    return false;
}

void HistoryWriter::restart(const QSet<QString>& written)
{
    std::unique_lock lock(mutex_);
    queue_.clear();
    ++generation_; // a write under way that meets a lock is not tried again either
    forced_ = false;
    pausedUntil_ = {};
    resetAnswers_ = written;
    reset_ = true;
    wake_.notify_all();
    done_.wait(lock, [this] { return !writing_ && !reset_; });
}

void HistoryWriter::tidy(const QString& site)
{
    {
        const std::lock_guard lock(mutex_);
        if (!tidy_.contains(site)) {
            tidy_ << site;
        }
    }
    wake_.notify_all();
}

std::vector<HistoryWriter::Report> HistoryWriter::takeReports()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(reports_, {});
}

bool HistoryWriter::mayWrite() const
{
    return forced_ || std::chrono::steady_clock::now() >= pausedUntil_;
}

void HistoryWriter::work(const QString& connection)
{
    {
        QSqlDatabase db = db_.openCopy(connection);
        RunWriteSql sql(db);
        std::unique_lock lock(mutex_);
        for (;;) {
            const auto ready = [this] {
                return reset_ || stop_ || (!queue_.empty() && mayWrite()) || !tidy_.isEmpty();
            };
            if (queue_.empty() || forced_) {
                wake_.wait(lock, ready);
            } else {
                wake_.wait_until(lock, pausedUntil_, ready);
            }
            if (reset_) {
                sql.answers().setWritten(resetAnswers_);
                reset_ = false;
                done_.notify_all();
                continue;
            }
            if (queue_.empty() || !mayWrite()) {
                if (!tidy_.isEmpty()) {
                    const QString site = tidy_.takeFirst();
                    writing_ = true;
                    lock.unlock();
                    db_.tidy(db, site);
                    lock.lock();
                    writing_ = false;
                    done_.notify_all();
                } else if (stop_) {
                    break;
                }
                continue;
            }
            // The writes of one run waiting in line go together.
            std::vector<RunWrite> batch;
            const qint64 run = queue_.front().run;
            while (!queue_.empty() && queue_.front().run == run) {
                batch.push_back(std::move(queue_.front()));
                queue_.pop_front();
            }
            writing_ = true;
            const unsigned generation = generation_;
            lock.unlock();
            QSqlError error = db.isOpen() ? QSqlError() : db.lastError();
            const Outcome outcome = error.isValid() ? Outcome::Failed : write(sql, batch, &error);
            lock.lock();
            writing_ = false;
            if (outcome == Outcome::Busy && generation == generation_) {
                queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()),
                              std::make_move_iterator(batch.end()));
            }
            settle(outcome, run, error);
            done_.notify_all();
            if (outcome == Outcome::Lost || outcome == Outcome::Failed) {
                lock.unlock();
                reported_();
                lock.lock();
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
}

// What follows a write: a lock pauses the line (and ends a flush), a run that can no longer be written
// is reported and its other writes dropped.
void HistoryWriter::settle(Outcome outcome, qint64 run, const QSqlError& error)
{
    switch (outcome) {
    case Outcome::Ok:
        pausedUntil_ = {};
        return;
    case Outcome::Busy:
        pausedUntil_ = std::chrono::steady_clock::now() + kBusyPause;
        if (forced_) {
            forced_ = false;
            lastBusy_ = error;
            ++busyFlushes_;
        }
        return;
    case Outcome::Lost:
    case Outcome::Failed:
        std::erase_if(queue_, [run](const RunWrite& w) { return w.run == run; });
        reports_.push_back({run, outcome, error});
        return;
    }
}

HistoryWriter::Outcome HistoryWriter::write(RunWriteSql& sql, const std::vector<RunWrite>& batch, QSqlError* error)
{
    if (std::all_of(batch.begin(), batch.end(), [&sql](const RunWrite& w) { return sql.isIdle(w); })) {
        return Outcome::Ok;
    }
    QSqlDatabase db = sql.database();
    if (!db.transaction()) {
        *error = db.lastError();
        return HistoryDb::isBusy(*error) ? Outcome::Busy : Outcome::Failed;
    }
    const QSet<QString> written = sql.answers().written();
    RunWriteSql::Result result = RunWriteSql::Result::Ok;
    for (const RunWrite& w : batch) {
        result = sql.write(w);
        if (result != RunWriteSql::Result::Ok) {
            break;
        }
    }
    if (result == RunWriteSql::Result::Ok && db.commit()) {
        return Outcome::Ok;
    }
    *error = result == RunWriteSql::Result::Ok ? db.lastError() : sql.error();
    db.rollback();
    sql.answers().setWritten(written);
    if (result == RunWriteSql::Result::Lost) {
        return Outcome::Lost;
    }
    return HistoryDb::isBusy(*error) ? Outcome::Busy : Outcome::Failed;
}
