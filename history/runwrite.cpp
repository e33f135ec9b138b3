#include "runwrite.h"

#include "historydb.h"
#include "runlease.h"

#include <QVariant>

#include <algorithm>

using namespace Qt::StringLiterals;

bool RunWriteSql::isIdle(const RunWrite& w) const
{
    if (w.row || !w.answers || w.dropTaken) {
        return false;
    }
    const QSet<QString>& written = answers_.written();
    return std::all_of(w.answers->keyBegin(), w.answers->keyEnd(),
                       [&written](const QString& url) { return written.contains(url); });
}

RunWriteSql::Result RunWriteSql::write(const RunWrite& w)
{
    bool held = false;
    const bool ok = w.row ? writeRow(w, &held) : touch(w, &held);
    if (ok && !held) {
        return Result::Lost;
    }
    if (!(ok && writeNodes(w) && writeUrls(w, 0) && writeUrls(w, 1))) {
        return Result::Error;
    }
    if (w.answers && !answers_.write(db_, w.run, *w.answers, w.dropTaken)) {
        error_ = answers_.error();
        return Result::Error;
    }
    return Result::Ok;
}

// Only the holder writes, and only a run that is not finished: first of all, so that nothing else of the
// transaction is written for a run that is no longer ours.
bool RunWriteSql::writeRow(const RunWrite& w, bool* held)
{
    const RunWrite::Row& r = *w.row;
    QSqlQuery q(db_);
    q.prepare(u"UPDATE runs SET state = ?, pass_nodes = ?, batch = ?, home = ?, scan_resources = ?, panels = ?,"
              u" resume = ?, settings = ?, compare_key = ?, heartbeat = ? WHERE id = ? AND owner = ? AND "_s +
              HistoryDb::resumableCondition());
    for (const QVariant& v :
         {QVariant(r.state), QVariant(r.passNodes), QVariant(r.batch), QVariant(r.home), QVariant(int(r.scanResources)),
          QVariant(r.panels), QVariant(r.resume), QVariant(r.settings), QVariant(r.compareKey),
          QVariant(RunLease::now()), QVariant(w.run), QVariant(w.owner)}) {
        q.addBindValue(v);
    }
    if (!check(q.exec(), q)) {
        return false;
    }
    *held = q.numRowsAffected() == 1;
    if (!*held || !w.held) {
        return true;
    }
    QSqlQuery page(db_);
    page.prepare(u"UPDATE runs SET held = ? WHERE id = ?"_s);
    page.addBindValue(w.held->isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(*w.held));
    page.addBindValue(w.run);
    return check(page.exec(), page);
}

// Says the holder is still there, in the transaction of what it writes with it.
bool RunWriteSql::touch(const RunWrite& w, bool* held)
{
    QSqlQuery q(db_);
    q.prepare(u"UPDATE runs SET heartbeat = ? WHERE id = ? AND owner = ?"_s);
    q.addBindValue(RunLease::now());
    q.addBindValue(w.run);
    q.addBindValue(w.owner);
    if (!check(q.exec(), q)) {
        return false;
    }
    *held = q.numRowsAffected() == 1;
    return true;
}

bool RunWriteSql::writeNodes(const RunWrite& w)
{
    if (w.nodes.empty()) {
        return true;
    }
    // Named placeholders: binding by position makes the SQL module format a name for every value.
    if (!prepare(nodeInsert_,
                 u"INSERT INTO nodes(run, tree, idx, key, parent, text, status, depth, url, site, probed, qtime, stext,"
                 u" anchor, kind, bold, red, request, http_status, content_dead)"
                 u" VALUES(:run, :tree, :idx, :key, :parent, :text, :status, :depth, :url, :site,"
                 u" :probed, :qtime, :stext, :anchor, :kind, :bold, :red, :request, :http_status, :content_dead)"
                 u" ON CONFLICT(run, tree, idx) DO UPDATE SET key = excluded.key, parent = excluded.parent,"
                 u" text = excluded.text, status = excluded.status, depth = excluded.depth, url = excluded.url,"
                 u" site = excluded.site, probed = excluded.probed, qtime = excluded.qtime,"
                 u" stext = excluded.stext, anchor = excluded.anchor, kind = excluded.kind,"
                 u" bold = excluded.bold, red = excluded.red, request = excluded.request,"
                 u" http_status = excluded.http_status, content_dead = excluded.content_dead"_s) ||
        // A node on disk changes only by its probe and its marks: its text, place and address stay.
        !prepare(nodeUpdate_, u"UPDATE nodes SET status = :status, probed = :probed, qtime = :qtime,"
                              u" stext = :stext, bold = :bold, red = :red, http_status = :http_status,"
                              u" content_dead = :content_dead WHERE run = :run AND tree = :tree AND idx = :idx"_s)) {
        return false;
    }
    for (const RunWrite::Node& n : w.nodes) {
        QSqlQuery& q = n.isNew ? nodeInsert_ : nodeUpdate_;
        if (n.isNew) {
            q.bindValue(u":key"_s, n.key);
            q.bindValue(u":parent"_s, n.parent);
            q.bindValue(u":text"_s, n.text);
            q.bindValue(u":depth"_s, n.depth);
            q.bindValue(u":url"_s, n.url);
            q.bindValue(u":site"_s, int(n.siteLink));
            q.bindValue(u":anchor"_s, n.anchorText);
            q.bindValue(u":kind"_s, n.kind);
            q.bindValue(u":request"_s, n.request);
        }
        q.bindValue(u":run"_s, w.run);
        q.bindValue(u":tree"_s, n.tree);
        q.bindValue(u":idx"_s, n.index);
        q.bindValue(u":status"_s, n.status);
        q.bindValue(u":probed"_s, int(n.probed));
        q.bindValue(u":qtime"_s, n.queryTime);
        q.bindValue(u":stext"_s, n.statusText);
        q.bindValue(u":bold"_s, int(n.bold));
        q.bindValue(u":red"_s, int(n.red));
        q.bindValue(u":http_status"_s, n.httpStatus);
        q.bindValue(u":content_dead"_s, int(n.contentDead));
        if (!check(q.exec(), q)) {
            return false;
        }
    }
    return true;
}

bool RunWriteSql::writeUrls(const RunWrite& w, int list)
{
    const RunWrite::Urls& u = w.urls[static_cast<size_t>(list)];
    if (u.rewrite) {
        QSqlQuery q(db_);
        q.prepare(u"DELETE FROM urls WHERE run = ? AND list = ?"_s);
        q.addBindValue(w.run);
        q.addBindValue(list);
        if (!check(q.exec(), q)) {
            return false;
        }
    }
    if (u.urls.isEmpty()) {
        return true;
    }
    if (!prepare(urlInsert_,
                 u"INSERT INTO urls(run, list, row, url, data) VALUES(:run, :list, :row, :url, :data)"
                 u" ON CONFLICT(run, list, row) DO UPDATE SET url = excluded.url, data = excluded.data"_s)) {
        return false;
    }
    for (qsizetype i = 0; i < u.urls.size(); ++i) {
        urlInsert_.bindValue(u":run"_s, w.run);
        urlInsert_.bindValue(u":list"_s, list);
        urlInsert_.bindValue(u":row"_s, u.first + int(i));
        urlInsert_.bindValue(u":url"_s, u.urls[i]);
        urlInsert_.bindValue(u":data"_s, u.data[i]);
        if (!check(urlInsert_.exec(), urlInsert_)) {
            return false;
        }
    }
    return true;
}

bool RunWriteSql::prepare(QSqlQuery& q, const QString& statement)
{
    if (!q.lastQuery().isEmpty()) {
        return true;
    }
    q = QSqlQuery(db_);
    return check(q.prepare(statement), q);
}

bool RunWriteSql::check(bool ok, const QSqlQuery& q)
{
    if (!ok) {
        error_ = q.lastError();
    }
    return ok;
}
