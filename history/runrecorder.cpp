#include "runrecorder.h"

#include "comparison.h"
#include "historydb.h"
#include "linkstore.h"
#include "runtexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWriteInterval = 1000; // ms of work a crash may lose

UrlList& urlList(LinkStore& store, int list)
{
    return list == 0 ? store.timeouts() : store.deads();
}

ResultTree& tree(LinkStore& store, int which)
{
    return which == 0 ? store.full() : store.dead();
}

QString jsonArray(const QStringList& texts)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
}

QStringList fromJsonArray(const QString& text)
{
    QStringList texts;
    for (const QJsonValue& v : QJsonDocument::fromJson(text.toUtf8()).array()) {
        texts << v.toString();
    }
    return texts;
}

} // namespace

RunRecorder::RunRecorder(HistoryDb& db, LinkStore& store, CheckRun& run, QObject* parent)
    : QObject(parent), db_(db), store_(store), run_(run)
{
    run_.setObserver(this);
    for (int which : {Full, Dead}) {
        ResultTree& t = tree(store_, which);
        connect(&t, &ResultTree::nodeAdded, this, [this, which](int index) { mark(which, index); });
        connect(&t, &ResultTree::nodeChanged, this, [this, which](int index) { mark(which, index); });
    }
    connect(&store_.full(), &ResultTree::cleared, this, &RunRecorder::onCleared);
}

RunRecorder::~RunRecorder()
{
    run_.setObserver(nullptr);
    // Marks made while paused (dead links turned red) are kept with the run.
    if (runId_ != 0 && db_.isOpen() && store_.panel(1) == RunText::paused()) {
        write(HistoryDb::Paused, run_.savedBatchCounter());
    }
}

void RunRecorder::mark(int which, int index)
{
    if (runId_ == 0 || loading_) {
        return;
    }
    std::vector<char>& flags = isDirty_[which];
    if (flags.size() <= static_cast<size_t>(index)) {
        flags.resize(static_cast<size_t>(index) + 1 + flags.size() / 2, 0);
    }
    if (!flags[static_cast<size_t>(index)]) {
        flags[static_cast<size_t>(index)] = 1;
        dirty_[which].push_back(index);
    }
}

void RunRecorder::forgetPending()
{
    for (int which : {Full, Dead}) {
        isDirty_[which].clear();
        dirty_[which].clear();
    }
    urlsWritten_ = {0, 0};
}

// The results were cleared: the run can no longer be resumed, in this process or another.
void RunRecorder::onCleared()
{
    if (runId_ == 0 || loading_) {
        return;
    }
    QSqlQuery q(db_.database());
    q.prepare(u"UPDATE runs SET state = ? WHERE id = ?"_s);
    q.addBindValue(int(HistoryDb::Dropped));
    q.addBindValue(runId_);
    check(q.exec(), q);
    dropRows(runId_);
    runId_ = 0;
    forgetPending();
}

void RunRecorder::runStarted(bool resuming)
{
    if (!db_.isOpen()) {
        return;
    }
    if (!resuming || runId_ == 0) {
        const QString site = run_.lastSite();
        runId_ = db_.createRun(site, run_.settings());
        forgetPending();
        if (runId_ == 0) {
            emit failed(db_.error());
            return;
        }
        db_.prune(site);
        for (int which : {Full, Dead}) {
            for (int i = 1; i <= tree(store_, which).count(); ++i) {
                mark(which, i);
            }
        }
    }
    sinceWrite_.invalidate(); // the first stop point writes
}

void RunRecorder::stopPoint(int batchCounterToSave)
{
    if (runId_ != 0 && (!sinceWrite_.isValid() || sinceWrite_.elapsed() >= kWriteInterval)) {
        write(HistoryDb::Running, batchCounterToSave);
    }
}

void RunRecorder::runPaused()
{
    if (runId_ != 0) {
        write(HistoryDb::Paused, run_.savedBatchCounter());
    }
}

// A finished run keeps only its dead URLs: nothing is left to resume, and they are what the next check
// is compared with.
void RunRecorder::runFinished()
{
    if (runId_ == 0 || !db_.isOpen()) {
        return;
    }
    const RunChange change = compare();
    QSqlDatabase db = db_.database();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(u"INSERT INTO dead_urls(run, url) VALUES(?, ?)"_s);
    bool ok = true;
    for (const QString& url : DeadUrls(store_.full())) {
        q.addBindValue(runId_);
        q.addBindValue(url);
        ok = ok && check(q.exec(), q);
    }
    QSqlQuery done(db);
    done.prepare(u"UPDATE runs SET state = ?, finished = ?, settings = ?, compare_key = ? WHERE id = ?"_s);
    done.addBindValue(int(HistoryDb::Finished));
    done.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    done.addBindValue(HistoryDb::settingsText(run_.settings()));
    done.addBindValue(HistoryDb::comparisonKey(run_.settings()));
    done.addBindValue(runId_);
    ok = ok && check(done.exec(), done);
    if (ok) {
        dropRows(runId_);
    }
    if (!ok || !db.commit()) {
        db.rollback();
        fail(db.lastError().text());
    }
    runId_ = 0;
    forgetPending();
    if (!change.isEmpty()) {
        store_.setChange(change);
    }
}

RunChange RunRecorder::compare()
{
    QSqlQuery q(db_.database());
    q.prepare(u"SELECT id, finished FROM runs WHERE site_key = ? AND compare_key = ? AND state = ? AND id <> ?"
              u" ORDER BY id DESC LIMIT 1"_s);
    q.addBindValue(HistoryDb::siteKey(run_.lastSite()));
    q.addBindValue(HistoryDb::comparisonKey(run_.settings()));
    q.addBindValue(int(HistoryDb::Finished));
    q.addBindValue(runId_);
    if (!check(q.exec(), q) || !q.next()) {
        return {};
    }
    const qint64 previous = q.value(0).toLongLong();
    const QString finished = q.value(1).toString();
    QSqlQuery dead(db_.database());
    dead.prepare(u"SELECT url FROM dead_urls WHERE run = ? ORDER BY rowid"_s);
    dead.addBindValue(previous);
    if (!check(dead.exec(), dead)) {
        return {};
    }
    QStringList urls;
    while (dead.next()) {
        urls << dead.value(0).toString();
    }
    return CompareRuns(finished, urls, store_.full());
}

bool RunRecorder::write(int state, int batchCounter)
{
    if (!db_.isOpen()) {
        return false;
    }
    QSqlDatabase db = db_.database();
    if (!db.transaction()) {
        fail(db.lastError().text());
        return false;
    }
    const bool ok =
        writeNodes(Full) && writeNodes(Dead) && writeUrls(0) && writeUrls(1) && writeRun(state, batchCounter);
    if (!ok || !db.commit()) {
        db.rollback();
        fail(db.lastError().text());
        return false;
    }
    sinceWrite_.start();
    return true;
}

bool RunRecorder::writeNodes(int which)
{
    if (dirty_[which].empty()) {
        return true;
    }
    if (nodeQuery_.lastQuery().isEmpty()) {
        nodeQuery_ = QSqlQuery(db_.database());
        // Named placeholders: binding by position makes the SQL module format a name for every value.
        if (!check(nodeQuery_.prepare(
                       u"INSERT OR REPLACE INTO nodes(run, tree, idx, key, parent, text, status, depth,"
                       u" url, site, probed, qtime, stext, anchor, kind, bold, red, request, http_status, content_dead)"
                       u" VALUES(:run, :tree, :idx, :key, :parent, :text, :status, :depth, :url, :site,"
                       u" :probed, :qtime, :stext, :anchor, :kind, :bold, :red, :request, :http_status,"
                       u" :content_dead)"_s),
                   nodeQuery_)) {
            return false;
        }
    }
    const ResultTree& t = tree(store_, which);
    QSqlQuery& q = nodeQuery_;
    for (int index : dirty_[which]) {
        isDirty_[which][static_cast<size_t>(index)] = 0;
        const ResultNode* n = t.node(index);
        if (!n) {
            continue;
        }
        const NodeRecord& r = n->record;
        q.bindValue(u":run"_s, runId_);
        q.bindValue(u":tree"_s, which);
        q.bindValue(u":idx"_s, index);
        q.bindValue(u":key"_s, n->keyNumber);
        q.bindValue(u":parent"_s, n->parent);
        q.bindValue(u":text"_s, n->text);
        q.bindValue(u":status"_s, n->status);
        q.bindValue(u":depth"_s, r.depth);
        q.bindValue(u":url"_s, r.url);
        q.bindValue(u":site"_s, int(r.siteLink));
        q.bindValue(u":probed"_s, int(r.probed));
        q.bindValue(u":qtime"_s, r.queryTime);
        q.bindValue(u":stext"_s, r.statusText);
        q.bindValue(u":anchor"_s, r.anchorText);
        q.bindValue(u":kind"_s, int(r.kind));
        q.bindValue(u":bold"_s, int(n->bold));
        q.bindValue(u":red"_s, int(n->red));
        q.bindValue(u":request"_s, n->request);
        q.bindValue(u":http_status"_s, r.httpStatus);
        q.bindValue(u":content_dead"_s, int(r.contentDead));
        if (!check(q.exec(), q)) {
            return false;
        }
    }
    dirty_[which].clear();
    return true;
}

bool RunRecorder::writeUrls(int list)
{
    const UrlList& urls = urlList(store_, list);
    QSqlDatabase db = db_.database();
    if (urls.count() < urlsWritten_[list]) {
        // Emptied and refilled since the last write: written again from the top.
        QSqlQuery q(db);
        q.prepare(u"DELETE FROM urls WHERE run = ? AND list = ?"_s);
        q.addBindValue(runId_);
        q.addBindValue(list);
        if (!check(q.exec(), q)) {
            return false;
        }
        urlsWritten_[list] = 0;
    }
    if (urls.count() == urlsWritten_[list]) {
        return true;
    }
    if (urlQuery_.lastQuery().isEmpty()) {
        urlQuery_ = QSqlQuery(db);
        if (!check(
                urlQuery_.prepare(
                    u"INSERT OR REPLACE INTO urls(run, list, row, url, data) VALUES(:run, :list, :row, :url, :data)"_s),
                urlQuery_)) {
            return false;
        }
    }
    for (int row = urlsWritten_[list]; row < urls.count(); ++row) {
        urlQuery_.bindValue(u":run"_s, runId_);
        urlQuery_.bindValue(u":list"_s, list);
        urlQuery_.bindValue(u":row"_s, row);
        urlQuery_.bindValue(u":url"_s, urls.entry(row).url);
        urlQuery_.bindValue(u":data"_s, urls.entry(row).data);
        if (!check(urlQuery_.exec(), urlQuery_)) {
            return false;
        }
    }
    urlsWritten_[list] = urls.count();
    return true;
}

bool RunRecorder::writeRun(int state, int batchCounter)
{
    const CheckRun::ResumeState s = run_.resumeState();
    QStringList panels;
    for (int p = 2; p <= 5; ++p) {
        panels << store_.panel(p);
    }
    QStringList resume;
    for (auto which : {LinkStore::Badlink1, LinkStore::Badlink2, LinkStore::Badlink3, LinkStore::Badlinkdep}) {
        resume << store_.resume(which);
    }
    QSqlQuery q(db_.database());
    q.prepare(u"UPDATE runs SET state = ?, pass_nodes = ?, batch = ?, home = ?, scan_resources = ?, panels = ?,"
              u" resume = ?, settings = ?, compare_key = ? WHERE id = ?"_s);
    q.addBindValue(state);
    q.addBindValue(s.passNodeCount);
    q.addBindValue(batchCounter);
    q.addBindValue(s.homeAddress);
    q.addBindValue(int(s.scanResources));
    q.addBindValue(jsonArray(panels));
    q.addBindValue(jsonArray(resume));
    q.addBindValue(HistoryDb::settingsText(run_.settings()));
    q.addBindValue(HistoryDb::comparisonKey(run_.settings()));
    q.addBindValue(runId_);
    return check(q.exec(), q);
}

bool RunRecorder::restore(qint64 id, const QString& siteAs)
{
    if (!db_.isOpen() || id == 0) {
        return false;
    }
    QSqlQuery q(db_.database());
    q.prepare(
        u"SELECT site, settings, pass_nodes, batch, home, scan_resources, panels, resume FROM runs WHERE id = ?"_s);
    q.addBindValue(id);
    if (!check(q.exec(), q) || !q.next()) {
        return false;
    }
    runId_ = 0;
    loading_ = true;
    store_.clearTrees();
    store_.timeouts().clear();
    store_.deads().clear();
    const bool ok = readNodes(id) && readUrls(id);
    loading_ = false;
    if (!ok) {
        store_.clearTrees();
        store_.timeouts().clear();
        store_.deads().clear();
        return false;
    }
    const QStringList panels = fromJsonArray(q.value(6).toString());
    for (int p = 2; p <= 5 && p - 2 < panels.size(); ++p) {
        store_.setPanel(p, panels[p - 2]);
    }
    const QStringList resume = fromJsonArray(q.value(7).toString());
    const LinkStore::Resume order[] = {LinkStore::Badlink1, LinkStore::Badlink2, LinkStore::Badlink3,
                                       LinkStore::Badlinkdep};
    for (int i = 0; i < 4 && i < resume.size(); ++i) {
        store_.setResume(order[i], resume[i]);
    }
    store_.setPanel(1, RunText::paused());
    restoredSettings_ = HistoryDb::parseSettings(q.value(1).toString());
    run_.setSettings(restoredSettings_);
    run_.restore({siteAs.isEmpty() ? q.value(0).toString() : siteAs, q.value(2).toInt(), q.value(3).toInt(),
                  q.value(4).toString(), q.value(5).toBool()});
    runId_ = id;
    forgetPending();
    urlsWritten_ = {store_.timeouts().count(), store_.deads().count()};
    return true;
}

bool RunRecorder::readNodes(qint64 id)
{
    QSqlQuery q(db_.database());
    q.setForwardOnly(true);
    q.prepare(u"SELECT tree, idx, key, parent, text, status, depth, url, site, probed, qtime, stext, anchor, kind,"
              u" bold, red, request, http_status, content_dead FROM nodes WHERE run = ? ORDER BY tree, idx"_s);
    q.addBindValue(id);
    if (!check(q.exec(), q)) {
        return false;
    }
    while (q.next()) {
        const int which = q.value(0).toInt();
        if (which != Full && which != Dead) {
            return false;
        }
        ResultTree& t = tree(store_, which);
        // Nodes are only ever appended, so what was written is always a run of indices from 1.
        if (q.value(1).toInt() != t.count() + 1) {
            return false;
        }
        NodeRecord r;
        r.depth = q.value(6).toInt();
        r.url = q.value(7).toString();
        r.siteLink = q.value(8).toBool();
        r.probed = q.value(9).toBool();
        r.queryTime = q.value(10).toLongLong();
        r.statusText = q.value(11).toString();
        r.anchorText = q.value(12).toString();
        r.kind = static_cast<LinkKind>(q.value(13).toInt());
        r.httpStatus = q.value(17).toInt();
        r.contentDead = q.value(18).toBool();
        const int index = t.add(q.value(3).toInt(), q.value(2).toInt(), q.value(4).toString(), q.value(5).toInt(), r,
                                q.value(16).toString());
        if (index == 0) {
            return false;
        }
        t.setBold(index, q.value(14).toBool());
        t.setRed(index, q.value(15).toBool());
    }
    return true;
}

bool RunRecorder::readUrls(qint64 id)
{
    QSqlQuery q(db_.database());
    q.prepare(u"SELECT list, url, data FROM urls WHERE run = ? ORDER BY list, row"_s);
    q.addBindValue(id);
    if (!check(q.exec(), q)) {
        return false;
    }
    while (q.next()) {
        urlList(store_, q.value(0).toInt() == 0 ? 0 : 1).add(q.value(1).toString(), q.value(2).toInt());
    }
    return true;
}

void RunRecorder::dropRows(qint64 id)
{
    for (const QString& table : {u"nodes"_s, u"urls"_s}) {
        QSqlQuery q(db_.database());
        q.prepare(u"DELETE FROM "_s + table + u" WHERE run = ?"_s);
        q.addBindValue(id);
        check(q.exec(), q);
    }
}

bool RunRecorder::check(bool ok, const QSqlQuery& q)
{
    if (!ok) {
        fail(q.lastError().text());
    }
    return ok;
}

void RunRecorder::fail(const QString& why)
{
    const bool wasOpen = db_.isOpen();
    db_.fail(why);
    if (wasOpen) {
        runId_ = 0;
        forgetPending();
        emit failed(db_.error());
    }
}
