#include "runrecorder.h"

#include "comparison.h"
#include "deadview.h"
#include "historydb.h"
#include "linkstore.h"
#include "runtexts.h"
#include "sqlitefile.h"

#include <QDataStream>
#include <QDateTime>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// ms of work a crash may lose: what was asked more than a second before a kill is on disk, its
// answer in the nodes or among the answers on hand.
constexpr int kWriteInterval = 500;
constexpr int kBusyPause = 10000; // ms before creating a run that met another program's lock is tried again
constexpr int kTries = 5;         // writes of a pause tried while a lock is in the way
// Kept pages live from a batch to the pass that reads them: fast compression is worth more than small.
constexpr int kCompression = 1;

QString takenOver(HistoryDb& db, qint64 run)
{
    const std::optional<LeaseHolder> holder = RunLease::holder(db, run);
    return u"this check is kept by another program now"_s + (holder ? u" ("_s + holder->describe() + u')' : QString());
}

// While it lives, statements wait longer for another program's lock: the run is not waiting for answers.
class LockPatience
{
public:
    explicit LockPatience(HistoryDb& db) : db_(db)
    {
        SqliteFile::WaitForLocks(db_.database(), SqliteFile::kPatientLockWaitMs);
    }
    ~LockPatience() { SqliteFile::WaitForLocks(db_.database(), SqliteFile::kBriefLockWaitMs); }
    LockPatience(const LockPatience&) = delete;
    LockPatience& operator=(const LockPatience&) = delete;

private:
    HistoryDb& db_;
};

// The page a batch limit broke off, which the resumed run scans on from where it stood.
QByteArray packHeld(const CheckRun::ResumeState& s)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(s.heldNode) << s.heldText << s.heldUrl << s.heldCharset;
    return qCompress(bytes, kCompression);
}

bool unpackHeld(const QByteArray& blob, CheckRun::ResumeState* s)
{
    if (blob.isEmpty()) {
        return true;
    }
    QDataStream in(qUncompress(blob));
    qint32 node = 0;
    in >> node >> s->heldText >> s->heldUrl >> s->heldCharset;
    s->heldNode = node;
    return in.status() == QDataStream::Ok;
}

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
    : QObject(parent), db_(db), store_(store), run_(run), lease_(db)
{
    run_.setObserver(this);
    for (int which : {Full, Dead}) {
        ResultTree& t = tree(store_, which);
        connect(&t, &ResultTree::nodeAdded, this, [this, which](int index) { mark(which, index); });
        connect(&t, &ResultTree::nodeChanged, this, [this, which](int index) { mark(which, index); });
    }
    connect(&store_.full(), &ResultTree::cleared, this, &RunRecorder::onCleared);
    if (db_.isOpen()) {
        writer_ = std::make_unique<HistoryWriter>(
            db_, [this] { QMetaObject::invokeMethod(this, &RunRecorder::readReports, Qt::QueuedConnection); });
    }
    // The writes of the run say its holder is still there; one that says only that goes when the run
    // writes nothing else.
    heartbeat_.setInterval(RunLease::kHeartbeatSeconds * 1000);
    connect(&heartbeat_, &QTimer::timeout, this, [this] {
        if (runId_ != 0) {
            writer_->post(RunWrite(runId_, lease_.owner()));
        }
    });
    heartbeat_.start();
    // New answers only, between stop points: what the run asked while it waited is not asked again after
    // a kill. What it took meanwhile stays written until its nodes are.
    answerTimer_.setInterval(kWriteInterval);
    connect(&answerTimer_, &QTimer::timeout, this, [this] {
        if (runId_ != 0 && run_.isActive()) {
            RunWrite w(runId_, lease_.owner());
            w.answers = run_.answersOnHand();
            writer_->post(std::move(w));
        }
    });
    answerTimer_.start();
}

RunRecorder::~RunRecorder()
{
    run_.setObserver(nullptr);
    // Marks made while paused (dead links turned red) are kept with the run.
    if (runId_ != 0 && db_.isOpen() && store_.panel(1) == RunText::paused()) {
        writeSoon(HistoryDb::Paused, run_.savedBatchCounter());
    }
}

bool RunRecorder::waitingForLock() const
{
    return sinceBusy_.isValid() && sinceBusy_.elapsed() < kBusyPause;
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

void RunRecorder::markAll()
{
    for (int which : {Full, Dead}) {
        for (int i = 1; i <= tree(store_, which).count(); ++i) {
            mark(which, i);
        }
    }
}

void RunRecorder::forgetPending()
{
    for (int which : {Full, Dead}) {
        isDirty_[which].clear();
        dirty_[which].clear();
    }
    nodesStored_ = {0, 0};
    urlsWritten_ = {0, 0};
    heldWritten_ = 0;
    if (writer_) {
        writer_->restart();
    }
}

// The results were cleared: the run can no longer be resumed, in this process or another, and holds
// nothing worth keeping.
void RunRecorder::onCleared()
{
    createPending_ = false;
    if (runId_ == 0 || loading_) {
        return;
    }
    forgetPending();
    if (db_.dropRun(runId_, lease_.owner())) {
        lease_.forget();
    } else {
        lease_.release();
    }
    runId_ = 0;
    forgetPending();
}

void RunRecorder::runStarted(bool resuming)
{
    if (!db_.isOpen()) {
        return;
    }
    if (!resuming || runId_ == 0) {
        create();
        sinceWrite_.invalidate(); // the first stop point writes
    }
    // A run that goes on from its last write (a resumed pause, the next batch) is written once the
    // interval since that write is up, as at any stop point: until then the disk holds the state it went
    // on from. Writing each batch at once wrote most runs five times as often as the interval asks.
}

void RunRecorder::create()
{
    const QString site = run_.lastSite();
    forgetPending(); // nothing of the last run is written over the release of its lease
    lease_.release();
    bool busy = false;
    runId_ = db_.createRun(site, run_.settings(), lease_, &busy);
    forgetPending();
    createPending_ = runId_ == 0 && busy;
    if (runId_ == 0) {
        if (busy) {
            sinceBusy_.start();
        } else {
            emit failed(db_.error());
        }
        return;
    }
    sinceBusy_.invalidate();
    db_.prune(site);
    markAll();
}

void RunRecorder::stopPoint(int batchCounterToSave)
{
    if (createPending_ && !waitingForLock()) {
        create();
    }
    if (runId_ != 0 && (!sinceWrite_.isValid() || sinceWrite_.elapsed() >= kWriteInterval)) {
        write(HistoryDb::Running, batchCounterToSave);
    }
}

void RunRecorder::runPaused()
{
    if (createPending_) {
        const LockPatience patience(db_);
        create();
        if (createPending_) {
            // Tried again if the run goes on; a program that ends here must not let it pass unsaid.
            emit failed(db_.busyReason() + u"; the check so far is not kept"_s);
        }
    }
    if (runId_ != 0) {
        writeSoon(HistoryDb::Paused, run_.savedBatchCounter());
    }
}

// A pause is what a resumed run starts from: it is written before the pause is said, and a lock in the
// way is waited out a while longer.
void RunRecorder::writeSoon(int state, int batchCounter)
{
    write(state, batchCounter);
    QSqlError busy;
    bool written = writer_->flush(&busy);
    for (int tries = 1; !written && tries < kTries; ++tries) {
        written = writer_->flush(&busy);
    }
    readReports();
    if (!written && runId_ != 0) {
        lose(db_.explain(busy) + u"; the check is kept as it stood at its last write"_s);
    }
}

// A finished run keeps only its dead URLs, what the next check is compared with, and what shows its dead
// links again: nothing is left to resume. Another program's lock that outlasts the wait does not lose
// them: they are kept beside the file until a program that opens it can store them.
void RunRecorder::runFinished()
{
    if (writer_) {
        readReports();
        // What is still in line is not needed: the end keeps all there is to keep.
        writer_->restart();
    }
    if (createPending_ && db_.isOpen()) {
        const LockPatience patience(db_);
        create(); // a lock kept it from being created at the start: kept now that it ends
    }
    const bool kept = runId_ != 0 || createPending_;
    createPending_ = false;
    if (!db_.isOpen()) {
        return;
    }
    QStringList deadUrls = DeadUrls(store_.full());
    const RunChange change = compare(deadUrls);
    FinishedCheck check{runId_,
                        lease_.owner(),
                        run_.lastSite(),
                        run_.settings(),
                        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs),
                        std::move(deadUrls),
                        PackDeadView(store_, change)};
    Written w = Written::Busy; // when no run could be made for it
    if (runId_ != 0) {
        const LockPatience patience(db_);
        w = finish(check);
        for (int tries = 1; w == Written::Busy && tries < kTries; ++tries) {
            w = finish(check);
        }
    }
    if (w == Written::Ok) {
        writer_->tidy(check.site); // its nodes and kept answers, while the check's results are shown
    } else if (kept && w == Written::Busy) {
        keepLate(check);
    }
    lease_.forget();
    runId_ = 0;
    forgetPending();
    if (!change.isEmpty()) {
        store_.setChange(change);
    }
}

RunRecorder::Written RunRecorder::finish(const FinishedCheck& check)
{
    QSqlError error;
    switch (db_.storeFinished(check, false, &error)) {
    case HistoryDb::Stored::Ok:
        return Written::Ok;
    case HistoryDb::Stored::Lost:
        lose(takenOver(db_, runId_));
        return Written::Lost;
    case HistoryDb::Stored::Failed:
        break;
    }
    lastError_ = error;
    return outcome(error);
}

void RunRecorder::keepLate(const FinishedCheck& check)
{
    const QString lock = check.run != 0 ? db_.explain(lastError_) : db_.busyReason();
    QString where;
    if (db_.keepLate(check, &where)) {
        emit keptLate(lock + u"; this check is kept in "_s + where +
                      u" and goes into the history when it is next opened"_s);
    } else {
        emit failed(lock + u"; "_s + where);
    }
}

RunChange RunRecorder::compare(const QStringList& deadNow)
{
    QSqlQuery q(db_.database());
    q.prepare(u"SELECT id, finished FROM runs WHERE site_key = ? AND compare_key = ? AND state = ? AND id <> ?"
              u" ORDER BY id DESC LIMIT 1"_s);
    q.addBindValue(HistoryDb::siteKey(run_.lastSite()));
    q.addBindValue(HistoryDb::comparisonKey(run_.settings()));
    q.addBindValue(int(HistoryDb::Finished));
    q.addBindValue(runId_);
    if (!q.exec() || !q.next()) {
        return {};
    }
    const qint64 previous = q.value(0).toLongLong();
    const QString finished = q.value(1).toString();
    QSqlQuery dead(db_.database());
    dead.prepare(u"SELECT url FROM dead_urls WHERE run = ? ORDER BY rowid"_s);
    dead.addBindValue(previous);
    if (!dead.exec()) {
        return {};
    }
    QStringList urls;
    while (dead.next()) {
        urls << dead.value(0).toString();
    }
    return CompareRuns(finished, urls, store_.full(), deadNow);
}

// Takes what changed since the last write, and hands it to the writer.
void RunRecorder::write(int state, int batchCounter)
{
    RunWrite w(runId_, lease_.owner());
    w.row = runRow(state, batchCounter);
    const CheckRun::ResumeState s = run_.resumeState();
    if (s.heldNode != heldWritten_) {
        w.held = s.heldNode == 0 ? QByteArray() : packHeld(s);
        heldWritten_ = s.heldNode;
    }
    takeNodes(Full, w);
    takeNodes(Dead, w);
    takeUrls(0, w);
    takeUrls(1, w);
    w.answers = run_.answersOnHand();
    w.dropTaken = true;
    writer_->post(std::move(w));
    sinceWrite_.start();
}

RunWrite::Row RunRecorder::runRow(int state, int batchCounter) const
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
    return {state,
            s.passNodeCount,
            batchCounter,
            s.homeAddress,
            s.scanResources,
            jsonArray(panels),
            jsonArray(resume),
            HistoryDb::settingsText(run_.settings()),
            HistoryDb::comparisonKey(run_.settings())};
}

void RunRecorder::takeNodes(int which, RunWrite& w)
{
    const ResultTree& t = tree(store_, which);
    for (int index : dirty_[which]) {
        isDirty_[which][static_cast<size_t>(index)] = 0;
        const ResultNode* n = t.node(index);
        if (!n) {
            continue;
        }
        const NodeRecord& r = n->record;
        w.nodes.push_back({which, index, index > nodesStored_[which], n->keyNumber, n->parent, n->text, n->status,
                           r.depth, r.url, r.siteLink, r.probed, r.queryTime, r.statusText, r.anchorText,
                           int(r.kind), n->bold, n->red, n->request, r.httpStatus, r.contentDead});
    }
    dirty_[which].clear();
    nodesStored_[which] = t.count();
}

void RunRecorder::takeUrls(int list, RunWrite& w)
{
    const UrlList& urls = urlList(store_, list);
    RunWrite::Urls& u = w.urls[static_cast<size_t>(list)];
    if (urls.count() < urlsWritten_[list]) {
        u.rewrite = true; // emptied and refilled since the last write: written again from the top
        urlsWritten_[list] = 0;
    }
    u.first = urlsWritten_[list];
    for (int row = u.first; row < urls.count(); ++row) {
        u.urls << urls.entry(row).url;
        u.data << urls.entry(row).data;
    }
    urlsWritten_[list] = urls.count();
}

// What the writer could not write: the run is another program's now, or the database failed.
void RunRecorder::readReports()
{
    for (const HistoryWriter::Report& r : writer_->takeReports()) {
        if (r.run != runId_ || runId_ == 0) {
            continue;
        }
        if (r.outcome == HistoryWriter::Outcome::Lost) {
            lose(takenOver(db_, runId_));
        } else {
            fail(db_.explain(r.error));
        }
    }
}

bool RunRecorder::restore(qint64 id, const QString& siteAs)
{
    busy_ = {};
    if (!db_.isOpen() || id == 0 || lease_.take(id, &busy_) != RunLease::Take::Taken) {
        return false;
    }
    QSqlQuery q(db_.database());
    q.prepare(u"SELECT site, settings, pass_nodes, batch, home, scan_resources, panels, resume, held FROM runs"
              u" WHERE id = ?"_s);
    q.addBindValue(id);
    if (!check(q.exec(), q) || !q.next()) {
        lease_.release();
        return false;
    }
    runId_ = 0;
    loading_ = true;
    store_.clearTrees();
    store_.timeouts().clear();
    store_.deads().clear();
    forgetPending();
    bool answersRead = false;
    KeptAnswers kept;
    const Prober::Answers answers = kept.read(db_.database(), id, &answersRead);
    CheckRun::ResumeState state;
    state.site = siteAs.isEmpty() ? q.value(0).toString() : siteAs;
    state.passNodeCount = q.value(2).toInt();
    state.batchCounter = q.value(3).toInt();
    state.homeAddress = q.value(4).toString();
    state.scanResources = q.value(5).toBool();
    const bool ok = readNodes(id) && readUrls(id) && answersRead && unpackHeld(q.value(8).toByteArray(), &state);
    loading_ = false;
    if (!ok) {
        store_.clearTrees();
        store_.timeouts().clear();
        store_.deads().clear();
        forgetPending();
        lease_.release();
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
    run_.restore(state);
    run_.addAnswers(answers);
    runId_ = id;
    writer_->restart(kept.written());
    sinceWrite_.invalidate();
    heldWritten_ = state.heldNode;
    nodesStored_ = {store_.full().count(), store_.dead().count()};
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

bool RunRecorder::check(bool ok, const QSqlQuery& q)
{
    if (!ok) {
        lastError_ = q.lastError();
    }
    return ok;
}

RunRecorder::Written RunRecorder::outcome(const QSqlError& error)
{
    if (HistoryDb::isBusy(error)) {
        return Written::Busy;
    }
    fail(db_.explain(error));
    return Written::Failed;
}

// Another program holds the run now, or its lock kept the run from being written for too long: this one
// stops writing it, and the database stays in use.
void RunRecorder::lose(const QString& why)
{
    runId_ = 0;
    lease_.forget();
    forgetPending();
    emit failed(why);
}

void RunRecorder::fail(const QString& why)
{
    const bool wasOpen = db_.isOpen();
    db_.fail(why);
    if (wasOpen) {
        runId_ = 0;
        lease_.forget();
        forgetPending();
        emit failed(db_.error());
    }
}
