#pragma once

#include "checksettings.h"
#include "latefinishes.h"
#include "runlease.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

class QSqlError;
class QUrl;

// The database of kept checks. Each run is a row of `runs`; while it can still be resumed its nodes, URL
// lists and the answers it has on hand are rows too, written in batches; a finished run keeps its dead
// URLs for the comparison with the next one. A run is written only by the program that holds its lease
// (see RunLease). The database is a convenience: when it cannot be opened or written, checks go on
// without it and error() says why.
class HistoryDb
{
public:
    enum State
    {
        Running = 0,
        Paused = 1,
        Finished = 2,
        Dropped = 3 // written by earlier versions only: a dropped run is deleted at once
    };
    static constexpr int kKeptRuns = 20; // per site, counting only checks that hold data

    // Opens (or creates) the SQLite database at `path`, or the PostgreSQL database that a postgresql://
    // address names (shared by many machines); an empty path means the user's data folder.
    explicit HistoryDb(const QString& path = {});
    static bool isPostgresAddress(const QString& location);
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    bool isOpen() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    const QString& path() const { return path_; }
    // Records a failure met while using the database; it is not used again.
    void fail(const QString& why);
    QSqlDatabase database() const;
    // A connection of its own to the same database, opened for the thread that calls this (which closes
    // it with QSqlDatabase::removeDatabase(name)). It waits patiently for another program's lock.
    QSqlDatabase openCopy(const QString& name) const;
    // What an error of this database means, in words a user can act on.
    QString explain(const QSqlError& error) const;
    // Whether the error is another program's lock, which passes.
    static bool isBusy(const QSqlError& error);

    // A new run of `site`, held by `lease`; 0 when it could not be written: `busy` tells whether another
    // program's lock was in the way (worth trying again), otherwise error() says why. Unfinished runs of
    // the site that nobody holds are dropped: they could not be resumed here either.
    qint64 createRun(const QString& site, const CheckSettings& settings, RunLease& lease, bool* busy);
    // Why the last createRun that met a lock could not write: which program holds it.
    const QString& busyReason() const { return busyReason_; }

    enum class Stored
    {
        Ok,
        Lost, // the run is held by another program now, or already finished
        Failed
    };
    // Stores a finished check in one transaction: its run is finished when its owner still holds it,
    // its dead URLs kept for the next comparison. Its other rows are of no use from then on: tidy()
    // deletes them. With `orNew`, a check whose run is gone or taken is stored as a run of its own, once
    // however often it is offered. `error` tells why it failed.
    Stored storeFinished(const FinishedCheck& check, bool orNew, QSqlError* error);
    // Keeps a finished check beside the file when another program's lock keeps it out; the next program
    // that opens the history stores it. `where` is the file it is kept in, or why it could not be kept.
    bool keepLate(const FinishedCheck& check, QString* where);
    // Stores the checks kept beside the file; those a lock still keeps out wait for the next time.
    void storeLate();

    // The unfinished runs of `site`: the newest one that can be resumed, and the newest one another live
    // program is checking (0 when none).
    struct Unfinished
    {
        qint64 resumable = 0;
        qint64 busyRun = 0;
        LeaseHolder busy;
    };
    Unfinished unfinished(const QString& site);
    qint64 resumableRun(const QString& site) { return unfinished(site).resumable; }
    // Whether any check of `site` is kept.
    bool hasRuns(const QString& site);
    // Forgets every kept check of `site` but one that a live program is writing.
    bool forgetSite(const QString& site);
    // Drops runs of `site` beyond the newest kKeptRuns and gives their room back.
    void prune(const QString& site);
    // Gives the room of deleted rows back to the file system.
    void compact();
    // Deletes the rows the finished checks of `site` no longer need (their nodes, URL lists and answers
    // on hand) and gives their room back, through `db`, a connection of the calling thread (openCopy).
    // What a lock keeps from it now is deleted by a later tidy.
    void tidy(const QSqlDatabase& db, const QString& site) const;
    // Deletes run `id` and its rows when it is held by `holder` (empty: nobody); false when it is not.
    bool dropRun(qint64 id, const QString& holder);

    static bool isResumableState(int state) { return state == Running || state == Paused; }
    // The same as an SQL condition on `state`.
    static QString resumableCondition();

    // The settings a run was last started with, as stored.
    static QString settingsText(const CheckSettings& settings);
    static CheckSettings parseSettings(const QString& text);
    // The part of the settings that decides which links a run finds and how it judges them.
    static QString comparisonKey(const CheckSettings& settings);
    // The address that names a site whatever way it was typed.
    static QString siteKey(const QString& site);

private:
    void openPostgres(const QUrl& address);
    QString dialect(QString statement) const;
    bool exec(const QString& statement);
    bool createSchema();
    bool createTables();
    bool migrate(int from);
    bool rekey();

    QString connection_;
    QString path_;
    QString error_;
    bool postgres_ = false;
    QString busyReason_;
};
