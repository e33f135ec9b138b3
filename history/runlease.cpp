#include "runlease.h"

#include "historydb.h"
#include "sqlitefile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

using namespace Qt::StringLiterals;

bool LeaseHolder::isAlive() const
{
    if (owner.isEmpty() || RunLease::now() - heartbeat > RunLease::kStaleSeconds) {
        return false;
    }
#ifdef Q_OS_UNIX
    if (host == QSysInfo::machineHostName() && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        return false;
    }
#endif
    return true;
}

QString LeaseHolder::describe() const
{
    return u"pid "_s + QString::number(pid) + u" on "_s + (host.isEmpty() ? u"an unknown host"_s : host);
}

RunLease::RunLease(HistoryDb& db) : db_(db)
{
    me_.owner = QUuid::createUuid().toString(QUuid::WithoutBraces);
    me_.host = QSysInfo::machineHostName();
    me_.pid = QCoreApplication::applicationPid();
}

RunLease::~RunLease()
{
    release();
}

qint64 RunLease::now()
{
    return QDateTime::currentSecsSinceEpoch();
}

std::optional<LeaseHolder> RunLease::holder(HistoryDb& db, qint64 run)
{
    QSqlQuery q(db.database());
    q.prepare(u"SELECT owner, owner_host, owner_pid, heartbeat FROM runs WHERE id = ?"_s);
    q.addBindValue(run);
    if (!q.exec() || !q.next() || q.value(0).toString().isEmpty()) {
        return std::nullopt;
    }
    return LeaseHolder{q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(), q.value(3).toLongLong()};
}

RunLease::Take RunLease::take(qint64 run, LeaseHolder* busy)
{
    release();
    QSqlQuery q(db_.database());
    q.prepare(u"SELECT state, owner, owner_host, owner_pid, heartbeat FROM runs WHERE id = ?"_s);
    q.addBindValue(run);
    if (!q.exec()) {
        return Take::Failed;
    }
    if (!q.next() || !HistoryDb::isResumableState(q.value(0).toInt())) {
        return Take::Gone;
    }
    const LeaseHolder was{q.value(1).toString(), q.value(2).toString(), q.value(3).toLongLong(),
                          q.value(4).toLongLong()};
    if (was.isAlive()) {
        if (busy) {
            *busy = was;
        }
        return Take::Busy;
    }
    // Taken from the holder just read and from nobody else: of two takers at once, one wins.
    QSqlQuery set(db_.database());
    set.prepare(u"UPDATE runs SET owner = ?, owner_host = ?, owner_pid = ?, heartbeat = ? WHERE id = ? AND "_s +
                HistoryDb::resumableCondition() + u" AND COALESCE(owner, '') = COALESCE(?, '')"_s);
    set.addBindValue(me_.owner);
    set.addBindValue(me_.host);
    set.addBindValue(me_.pid);
    set.addBindValue(now());
    set.addBindValue(run);
    set.addBindValue(was.owner);
    if (!set.exec()) {
        return Take::Failed;
    }
    if (set.numRowsAffected() != 1) {
        if (busy) {
            *busy = holder(db_, run).value_or(LeaseHolder{});
        }
        return Take::Busy;
    }
    run_ = run;
    return Take::Taken;
}

void RunLease::release()
{
    if (run_ == 0 || !db_.isOpen()) {
        run_ = 0;
        return;
    }
    QSqlQuery q(db_.database());
    q.prepare(u"UPDATE runs SET owner = NULL, owner_host = NULL, owner_pid = NULL, heartbeat = NULL"
              u" WHERE id = ? AND owner = ?"_s);
    q.addBindValue(run_);
    q.addBindValue(me_.owner);
    q.exec();
    run_ = 0;
}
