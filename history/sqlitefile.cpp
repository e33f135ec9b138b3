#include "sqlitefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtEndian>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerOnlyFolder = kOwnerOnly | QFileDevice::ExeOwner;

// SQLite's primary result codes the messages tell apart.
enum SqliteCode
{
    Busy = 5,
    Locked = 6,
    ReadOnly = 8,
    IoErr = 10,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADb = 26,
};

int primaryCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : 0;
}

QString home()
{
    const QString fromEnvironment = qEnvironmentVariable("HOME");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
#ifdef Q_OS_UNIX
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/' && pw->pw_dir[1] != 0) {
        return QFile::decodeName(pw->pw_dir);
    }
#endif
    return {};
}

// The programs other than this one that hold a write lock on `file`, as "name (pid N)"; Linux tells in
// /proc/locks. Opening the lock files ourselves to ask would drop this process's own SQLite locks.
QStringList lockHolders(const QString& file)
{
    QStringList holders;
#ifdef Q_OS_LINUX
    struct stat st = {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0) {
        return holders;
    }
    QFile locks(u"/proc/locks"_s);
    if (!locks.open(QIODevice::ReadOnly)) {
        return holders;
    }
    const QString inode = u':' + QString::number(st.st_ino);
    for (const QByteArray& raw : locks.readAll().split('\n')) {
        const QStringList f = QString::fromLatin1(raw).split(u' ', Qt::SkipEmptyParts);
        // "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 120 120"
        if (f.size() < 6 || f[1] != u"POSIX" || !f[5].endsWith(inode)) {
            continue;
        }
        const qint64 pid = f[4].toLongLong();
        if (pid == QCoreApplication::applicationPid()) {
            continue;
        }
        QFile comm(u"/proc/"_s + f[4] + u"/comm"_s);
        const QString name =
            comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
        const QString holder = (name.isEmpty() ? u"a program"_s : name) + u" (pid "_s + QString::number(pid) + u')';
        if (!holders.contains(holder)) {
            holders << holder;
        }
    }
#else
    Q_UNUSED(file);
#endif
    return holders;
}

} // namespace

namespace SqliteFile {

QString DefaultPath(QString* error)
{
#ifdef Q_OS_UNIX
    // With HOME unset Qt would name a folder under "/": the account's own home is asked instead.
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(xdg)) {
        const QString h = home();
        if (h.isEmpty()) {
            *error = u"no folder for the history: HOME is not set and the account has no home folder"_s;
            return {};
        }
        return h + u"/.local/share/kelvara/history.sqlite"_s;
    }
#endif
    Q_UNUSED(error);
    // One folder for the window and kelvara-check, whatever each calls itself.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/kelvara/history.sqlite"_s;
}

QString Refusal(const QString& path)
{
    QFile file(path);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return u"cannot read "_s + path;
    }
    const QByteArray header = file.read(100);
    file.close();
    if (header.isEmpty()) {
        return {};
    }
    if (!header.startsWith(QByteArrayView("SQLite format 3\0", 16))) {
        return path + u" is not a history file (not an SQLite database, or damaged): it is left as it is"_s;
    }
    if (!QFileInfo(path).isWritable()) {
        return path + u" is read-only"_s;
    }
    // Only a file that is ours, or empty, is opened for writing; what the header does not settle (an
    // unmarked file whose latest pages are still in its log) is read without writing.
    const int marked = header.size() >= 64 ? qFromBigEndian<qint32>(header.constData() + 60) : 0;
    bool ok = true;
    int layout = marked;
    bool foreign = false;
    if (marked == 0) {
        const QString name = u"kelvara-inspect-"_s + QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            db.setDatabaseName(path);
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
            ok = db.open();
            if (ok) {
                layout = Layout(db, &ok);
                foreign = ok && layout == 0 && HasTables(db);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    if (!ok) {
        return path + u" cannot be read as a history file: it is left as it is"_s;
    }
    if (foreign) {
        return path + u" holds another program's data: it is left as it is"_s;
    }
    if (layout != 0 && (layout < kOldestLayout || layout > kLayout)) {
        return u"the history file was written by another version of Kelvara (layout "_s + QString::number(layout) +
               u"): it is left as it is"_s;
    }
    return {};
}

QString Secure(const QString& path, bool ownFolder)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return u"cannot create the folder "_s + folder;
    }
    if (ownFolder) {
        QFile::setPermissions(folder, kOwnerOnlyFolder);
    }
    if (!QFileInfo::exists(path)) {
        // Created here with its permissions, so that SQLite gives its log files the same ones.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return u"cannot create "_s + path + u": "_s + file.errorString();
        }
        file.close();
    }
    for (const QString& f : QStringList{path, path + u"-wal"_s, path + u"-shm"_s}) {
        if (QFileInfo::exists(f)) {
            QFile::setPermissions(f, kOwnerOnly);
        }
    }
    if (!QFileInfo(path + u"-shm"_s).isWritable() && QFileInfo::exists(path + u"-shm"_s)) {
        return path + u"-shm belongs to another user and cannot be written"_s;
    }
    return {};
}

QString ConnectOptions()
{
    // Opening waits for another writer's lock; later writes wait briefly, and one that still meets it is
    // tried again at a later stop point rather than given up.
    return u"QSQLITE_BUSY_TIMEOUT="_s + QString::number(kPatientLockWaitMs);
}

void WaitForLocks(const QSqlDatabase& db, int ms)
{
    QSqlQuery(db).exec(u"PRAGMA busy_timeout = "_s + QString::number(ms));
}

bool Configure(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    int autoVacuum = -1;
    if (q.exec(u"PRAGMA auto_vacuum"_s) && q.next()) {
        autoVacuum = q.value(0).toInt();
    }
    // Incremental auto-vacuum takes effect on a file without tables; one made before is rebuilt once.
    // Set before the log is switched on: a file whose layout is not ours never gets here.
    constexpr int kIncremental = 2;
    bool ok = autoVacuum >= 0 && (autoVacuum == kIncremental || q.exec(u"PRAGMA auto_vacuum = INCREMENTAL"_s));
    if (ok && autoVacuum != kIncremental && HasTables(db)) {
        // Another program reading the file keeps it from being rebuilt now: then at the next start.
        QSqlQuery(db).exec(u"VACUUM"_s);
    }
    ok = ok && q.exec(u"PRAGMA journal_mode=WAL"_s) && q.exec(u"PRAGMA synchronous=NORMAL"_s);
    if (!ok) {
        *error = Explain(q.lastError().isValid() ? q.lastError() : db.lastError(), db.databaseName());
    }
    return ok;
}

void Compact(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.exec(u"PRAGMA incremental_vacuum"_s);
    while (q.next()) {
    }
}

int Layout(const QSqlDatabase& db, bool* ok)
{
    QSqlQuery q(db);
    *ok = q.exec(u"PRAGMA user_version"_s) && q.next();
    return *ok ? q.value(0).toInt() : 0;
}

bool SetLayout(const QSqlDatabase& db, int layout)
{
    return QSqlQuery(db).exec(u"PRAGMA user_version = "_s + QString::number(layout));
}

bool HasTables(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec(u"SELECT 1 FROM sqlite_master LIMIT 1"_s) && q.next();
}

bool IsBusy(const QSqlError& error)
{
    const int code = primaryCode(error);
    return code == Busy || code == Locked;
}

QString Explain(const QSqlError& error, const QString& path)
{
    switch (primaryCode(error)) {
    case Full:
        return u"the disk is full: "_s + path + u" cannot grow"_s;
    case ReadOnly:
        return path + u" (or its folder) is read-only"_s;
    case Busy:
    case Locked: {
        QStringList holders = lockHolders(path + u"-shm"_s);
        holders << lockHolders(path);
        holders.removeDuplicates();
        return path + u" is locked by "_s + (holders.isEmpty() ? u"another program"_s : holders.join(u", "_s));
    }
    case Corrupt:
    case NotADb:
        return path + u" is damaged: "_s + error.text();
    case CantOpen:
    case IoErr:
        return u"cannot read or write "_s + path + u": "_s + error.text();
    default:
        return error.text().isEmpty() ? u"unknown database error"_s : error.text();
    }
}

} // namespace SqliteFile
