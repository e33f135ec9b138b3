#pragma once

#include <QString>

class QSqlDatabase;
class QSqlError;

// Everything about the history that holds for an SQLite file only: the file on disk (whose it is, who
// may read it), the pragmas the connection is opened with, compaction, and what an SQLite error means.
// The rest of the history speaks plain SQL, so that a shared database server can hold it as well.
namespace SqliteFile {

// The layouts of our own files; a file marked with another one is never written to.
inline constexpr int kOldestLayout = 1;
inline constexpr int kLayout = 2;

// The default history file: in the data folder of the user, or empty with `error` saying why there is
// none (no home folder known, which would put it under "/").
QString DefaultPath(QString* error);

// Why the file at `path` must be left as it is (not SQLite, another program's database, a layout
// this version does not know, not writable); empty when it is ours to use, or does not exist yet.
QString Refusal(const QString& path);

// Makes the folder (0700 when it is our own) and the file with its -wal and -shm readable by the
// user alone, before SQLite opens it: the URLs checked, queries included, are nobody else's business.
// A -shm left read-only by an earlier read-only spell is made writable again the same way.
QString Secure(const QString& path, bool ownFolder);

// Connection options and pragmas: waits for another writer's lock, write-ahead log, and a file that
// gives pages back as checks are pruned.
QString ConnectOptions();
// How long a statement waits for another program's lock before it gives up: briefly at the stop points
// of a run, whose requests are timed while it waits; longer when the file is opened and for the write of
// a pause or an end.
inline constexpr int kBriefLockWaitMs = 200;
inline constexpr int kPatientLockWaitMs = 3000;
void WaitForLocks(const QSqlDatabase& db, int ms);
bool Configure(QSqlDatabase& db, QString* error);
// Returns the pages freed by deleted checks to the file system.
void Compact(const QSqlDatabase& db);

// The layout mark of an open file (0: unmarked) and setting it.
int Layout(const QSqlDatabase& db, bool* ok);
bool SetLayout(const QSqlDatabase& db, int layout);
// Whether an unmarked file holds any table (another program's data).
bool HasTables(const QSqlDatabase& db);

// Whether the error is another connection's lock, which passes: the write is tried again later.
bool IsBusy(const QSqlError& error);
// The error in words a user can act on: a full disk, a read-only file, a lock and which program holds
// it, or the driver's own text.
QString Explain(const QSqlError& error, const QString& path);

} // namespace SqliteFile
