#pragma once

#include "checksettings.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QUrl;

// The database of kept checks. Each run is a row of `runs`; while it can still be resumed its nodes and
// URL lists are rows too, written in batches; a finished run keeps its dead URLs for the comparison
// with the next one. The database is a convenience: when it cannot be opened or written, checks go on
// without it and error() says why.
class HistoryDb
{
public:
    enum State
    {
        Running = 0,
        Paused = 1,
        Finished = 2,
        Dropped = 3
    };
    static constexpr int kKeptRuns = 20; // per site

    // Opens (or creates) the SQLite database at `path`, or the PostgreSQL database that a postgresql://
    // address names; an empty path means the SQLite file in the user's data folder.
    explicit HistoryDb(const QString& path = {});
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    static QString defaultPath();
    static bool isPostgresAddress(const QString& location);

    bool isOpen() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    // Records a failure met while using the database; it is not used again.
    void fail(const QString& why);
    QSqlDatabase database() const;

    // A new run of `site`; 0 when it could not be written.
    qint64 createRun(const QString& site, const CheckSettings& settings);
    // The newest run of `site` (any site when empty) that can be resumed; 0 when none.
    qint64 resumableRun(const QString& site = {});
    // Whether any check of `site` is kept.
    bool hasRuns(const QString& site);
    // Forgets every kept check of `site`.
    bool forgetSite(const QString& site);
    // Drops runs of `site` beyond the newest kKeptRuns.
    void prune(const QString& site);

    // The settings a run was last started with, as stored.
    static QString settingsText(const CheckSettings& settings);
    static CheckSettings parseSettings(const QString& text);
    // The part of the settings that decides which links a run finds and how it judges them.
    static QString comparisonKey(const CheckSettings& settings);
    // The address that names a site whatever way it was typed.
    static QString siteKey(const QString& site);

private:
    void openSqlite(const QString& file);
    void openPostgres(const QUrl& address);
    QStringList schema() const;
    bool exec(const QString& statement);
    void createSchema();
    bool checkVersion();

    QString connection_;
    QString error_;
    bool postgres_ = false;
};
