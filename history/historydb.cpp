#include "historydb.h"

#include "linkstore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

QString lastError(const QSqlQuery& q)
{
    return q.lastError().text();
}

} // namespace

HistoryDb::HistoryDb(const QString& path) : connection_(u"kelvara-history-"_s + QUuid::createUuid().toString())
{
    const QString file = path.isEmpty() ? defaultPath() : path;
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        error_ = u"the SQLite driver of Qt (libqt6sql6-sqlite) is not installed"_s;
        return;
    }
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        error_ = u"cannot create the folder of "_s + file;
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection_);
    db.setDatabaseName(file);
    // Another copy of the program writing at the same moment waits briefly rather than failing.
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=2000"_s);
    if (!db.open()) {
        error_ = db.lastError().text();
        return;
    }
    createSchema();
}

HistoryDb::~HistoryDb()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection_);
}

QString HistoryDb::defaultPath()
{
    // One folder for the window and kelvara-check, whatever each calls itself.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/kelvara/history.sqlite"_s;
}

void HistoryDb::fail(const QString& why)
{
    if (error_.isEmpty()) {
        error_ = why.isEmpty() ? u"unknown database error"_s : why;
    }
}

QSqlDatabase HistoryDb::database() const
{
    return QSqlDatabase::database(connection_, false);
}

bool HistoryDb::exec(const QString& statement)
{
    if (!isOpen()) {
        return false;
    }
    QSqlQuery q(database());
    if (!q.exec(statement)) {
        fail(lastError(q));
        return false;
    }
    return true;
}

void HistoryDb::createSchema()
{
    // A damaged file fails on the first statement that reads it: that is where it is found out.
    exec(u"PRAGMA journal_mode=WAL"_s) && exec(u"PRAGMA synchronous=NORMAL"_s) && checkVersion() &&
        exec(u"CREATE TABLE IF NOT EXISTS runs(id INTEGER PRIMARY KEY, site TEXT NOT NULL, site_key TEXT NOT NULL,"
             " settings TEXT NOT NULL, compare_key TEXT NOT NULL, started TEXT NOT NULL, finished TEXT,"
             " state INTEGER NOT NULL, pass_nodes INTEGER NOT NULL DEFAULT 0, batch INTEGER NOT NULL DEFAULT 0,"
             " home TEXT, scan_resources INTEGER NOT NULL DEFAULT 0,"
             " panels TEXT, resume TEXT)"_s) &&
        exec(u"CREATE INDEX IF NOT EXISTS runs_site ON runs(site_key, id)"_s) &&
        exec(u"CREATE TABLE IF NOT EXISTS nodes(run INTEGER NOT NULL, tree INTEGER NOT NULL, idx INTEGER NOT NULL,"
             " key INTEGER, parent INTEGER, text TEXT, status INTEGER, depth INTEGER, url TEXT, site INTEGER,"
             " probed INTEGER, qtime INTEGER, stext TEXT, anchor TEXT, kind INTEGER, bold INTEGER, red INTEGER,"
             " request TEXT, http_status INTEGER, content_dead INTEGER, PRIMARY KEY(run, tree, idx)) WITHOUT ROWID"_s) &&
        exec(u"CREATE TABLE IF NOT EXISTS urls(run INTEGER NOT NULL, list INTEGER NOT NULL, row INTEGER NOT NULL,"
             " url TEXT, data INTEGER, PRIMARY KEY(run, list, row)) WITHOUT ROWID"_s) &&
        exec(u"CREATE TABLE IF NOT EXISTS dead_urls(run INTEGER NOT NULL, url TEXT NOT NULL)"_s) &&
        exec(u"CREATE INDEX IF NOT EXISTS dead_urls_run ON dead_urls(run)"_s);
}

bool HistoryDb::checkVersion()
{
    // The file's layout is marked, so that a later layout is never written to with this one's
    // statements: such a file is left as it is and the check goes on without history.
    constexpr int kLayout = 1;
    QSqlQuery q(database());
    if (!q.exec(u"PRAGMA user_version"_s) || !q.next()) {
        fail(lastError(q));
        return false;
    }
    const int version = q.value(0).toInt();
    if (version == 0) {
        return exec(u"PRAGMA user_version = "_s + QString::number(kLayout));
    }
    if (version != kLayout) {
        fail(u"the history file was written by another version of Kelvara (layout "_s + QString::number(version) +
             u")"_s);
        return false;
    }
    return true;
}

qint64 HistoryDb::createRun(const QString& site, const CheckSettings& settings)
{
    if (!isOpen()) {
        return 0;
    }
    // A new check of the site replaces its unfinished one: that could no longer be resumed here either.
    while (const qint64 old = resumableRun(site)) {
        exec(u"DELETE FROM nodes WHERE run = "_s + QString::number(old));
        exec(u"DELETE FROM urls WHERE run = "_s + QString::number(old));
        if (!exec(u"UPDATE runs SET state = "_s + QString::number(Dropped) + u" WHERE id = "_s +
                  QString::number(old))) {
            return 0;
        }
    }
    QSqlQuery q(database());
    q.prepare(u"INSERT INTO runs(site, site_key, settings, compare_key, started, state) VALUES(?, ?, ?, ?, ?, ?)"_s);
    q.addBindValue(site);
    q.addBindValue(siteKey(site));
    q.addBindValue(settingsText(settings));
    q.addBindValue(comparisonKey(settings));
    q.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    q.addBindValue(int(Running));
    if (!q.exec()) {
        fail(lastError(q));
        return 0;
    }
    return q.lastInsertId().toLongLong();
}

qint64 HistoryDb::resumableRun(const QString& site)
{
    if (!isOpen()) {
        return 0;
    }
    QSqlQuery q(database());
    // A run found "running" was cut short (a crash, a power cut): its last batch is a stop point too.
    // A site has at most one such run: a new check of it drops the one before.
    const QString unfinished = u"state IN ("_s + QString::number(Running) + u", "_s + QString::number(Paused) + u')';
    if (site.isEmpty()) {
        q.prepare(u"SELECT id FROM runs WHERE "_s + unfinished + u" ORDER BY id DESC LIMIT 1"_s);
    } else {
        q.prepare(u"SELECT id FROM runs WHERE site_key = ? AND "_s + unfinished + u" ORDER BY id DESC LIMIT 1"_s);
        q.addBindValue(siteKey(site));
    }
    if (!q.exec()) {
        fail(lastError(q));
        return 0;
    }
    return q.next() ? q.value(0).toLongLong() : 0;
}

bool HistoryDb::hasRuns(const QString& site)
{
    if (!isOpen()) {
        return false;
    }
    QSqlQuery q(database());
    q.prepare(u"SELECT 1 FROM runs WHERE site_key = ? LIMIT 1"_s);
    q.addBindValue(siteKey(site));
    return q.exec() && q.next();
}

bool HistoryDb::forgetSite(const QString& site)
{
    if (!isOpen()) {
        return false;
    }
    QSqlDatabase db = database();
    db.transaction();
    const QString ids = u"(SELECT id FROM runs WHERE site_key = ?)"_s;
    for (const QString& table : {u"nodes"_s, u"urls"_s, u"dead_urls"_s}) {
        QSqlQuery q(db);
        q.prepare(u"DELETE FROM "_s + table + u" WHERE run IN "_s + ids);
        q.addBindValue(siteKey(site));
        if (!q.exec()) {
            fail(lastError(q));
            db.rollback();
            return false;
        }
    }
    QSqlQuery q(db);
    q.prepare(u"DELETE FROM runs WHERE site_key = ?"_s);
    q.addBindValue(siteKey(site));
    if (!q.exec() || !db.commit()) {
        fail(lastError(q));
        db.rollback();
        return false;
    }
    return true;
}

void HistoryDb::prune(const QString& site)
{
    if (!isOpen()) {
        return;
    }
    QSqlQuery q(database());
    q.prepare(u"SELECT id FROM runs WHERE site_key = ? ORDER BY id DESC LIMIT -1 OFFSET ?"_s);
    q.addBindValue(siteKey(site));
    q.addBindValue(kKeptRuns);
    if (!q.exec()) {
        fail(lastError(q));
        return;
    }
    QList<qint64> old;
    while (q.next()) {
        old << q.value(0).toLongLong();
    }
    for (qint64 id : old) {
        for (const QString& table : {u"nodes"_s, u"urls"_s, u"dead_urls"_s}) {
            exec(u"DELETE FROM "_s + table + u" WHERE run = "_s + QString::number(id));
        }
        exec(u"DELETE FROM runs WHERE id = "_s + QString::number(id));
    }
}

QString HistoryDb::settingsText(const CheckSettings& s)
{
    QJsonArray exclusions;
    for (const QRegularExpression& re : s.exclusions) {
        exclusions.append(re.pattern());
    }
    const QJsonObject o{{u"depth"_s, s.depth},         {u"subdomains"_s, s.subdomains}, {u"noRepeats"_s, s.noRepeats},
                        {u"linkText"_s, s.linkText},   {u"timeout"_s, s.timeout},       {u"parallel"_s, s.parallel},
                        {u"resources"_s, s.resources}, {u"contentCheck"_s, s.contentCheck}, {u"exclusions"_s, exclusions}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

CheckSettings HistoryDb::parseSettings(const QString& text)
{
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    CheckSettings s;
    s.depth = o.value(u"depth"_s).toInt(s.depth);
    s.subdomains = o.value(u"subdomains"_s).toBool(s.subdomains);
    s.noRepeats = o.value(u"noRepeats"_s).toBool(s.noRepeats);
    s.linkText = o.value(u"linkText"_s).toBool(s.linkText);
    s.timeout = o.value(u"timeout"_s).toInt(s.timeout);
    s.parallel = o.value(u"parallel"_s).toInt(s.parallel);
    s.resources = o.value(u"resources"_s).toBool(s.resources);
    s.contentCheck = o.value(u"contentCheck"_s).toBool(s.contentCheck);
    for (const QJsonValue& v : o.value(u"exclusions"_s).toArray()) {
        s.exclusions << QRegularExpression(v.toString());
    }
    return s;
}

QString HistoryDb::comparisonKey(const CheckSettings& s)
{
    // The parallel setting and the shown link texts change neither which links are found nor a verdict.
    // Keys were first kept with a parallel setting of 64, and kept checks must still compare.
    CheckSettings judged = s;
    judged.parallel = 64;
    judged.linkText = false;
    return settingsText(judged);
}

QString HistoryDb::siteKey(const QString& site)
{
    const QUrl home(LinkStore::homeUrl(site.trimmed()), QUrl::TolerantMode);
    return home.adjusted(QUrl::StripTrailingSlash | QUrl::NormalizePathSegments).toString();
}
