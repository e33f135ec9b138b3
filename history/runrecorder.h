#pragma once

#include "checkrun.h"
#include "historywriter.h"
#include "latefinishes.h"
#include "runchange.h"
#include "runlease.h"
#include "runobserver.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <array>
#include <memory>
#include <vector>

class HistoryDb;
struct ResultNode;
class LinkStore;

// Keeps the run of one store on disk as it goes, so that a stopped or cut-short check can be resumed by
// another process exactly where it stood, and compares a finished check with the last one. What changed
// is taken at a stop point at most every half second, and at every pause, and written in one transaction
// on the writer's thread, so that the check goes on meanwhile: a crash loses at most the last second,
// and what is on disk is always a state a pause could have left. A pause waits until it is written. The
// run is written only while this recorder holds its lease, and only forward: a paused or finished run is
// never turned back into a running one, a finished one never into anything. Another program's lock on the
// file is waited out: what could not be written is written later, in the order it was taken.
class RunRecorder : public QObject, public RunObserver
{
    Q_OBJECT
public:
    RunRecorder(HistoryDb& db, LinkStore& store, CheckRun& run, QObject* parent = nullptr);
    ~RunRecorder() override;

    // Takes the kept run `id` over (when nobody alive holds it), fills the store and the check run with it,
    // paused where it stood, and goes on recording it; `siteAs` names its site another way (the same site,
    // typed otherwise). False when it cannot be taken or read (busyHolder() then says who holds it, or
    // nobody when it could not be read); the store is then left empty.
    bool restore(qint64 id, const QString& siteAs = {});
    const LeaseHolder& busyHolder() const { return busy_; }
    // The settings the run restored last was started with.
    const CheckSettings& restoredSettings() const { return restoredSettings_; }
    // The run being recorded; 0 when none.
    qint64 runId() const { return runId_; }

    // RunObserver
    void runStarted(bool resuming) override;
    void stopPoint(int batchCounterToSave) override;
    void runPaused() override;
    void runFinished() override;

signals:
    // The run is no longer recorded: the database stopped working, or another program took the run over.
    void failed(const QString& why);
    // The finished check could not be stored for another program's lock and is kept beside the history.
    void keptLate(const QString& why);

private:
    enum Tree
    {
        Full = 0,
        Dead = 1
    };
    enum class Written
    {
        Ok,
        Busy,
        Lost,
        Failed
    };

    void mark(int tree, int index);
    void markAll();
    void forgetPending();
    void onCleared();
    void create();
    bool waitingForLock() const;
    void writeSoon(int state, int batchCounter);
    void write(int state, int batchCounter);
    RunWrite::Row runRow(int state, int batchCounter) const;
    void takeNodes(int tree, RunWrite& w);
    void takeUrls(int list, RunWrite& w);
    void readReports();
    Written finish(const FinishedCheck& check);
    void keepLate(const FinishedCheck& check);
    bool readNodes(qint64 id);
    bool readUrls(qint64 id);
    RunChange compare(const QStringList& deadNow);
    bool check(bool ok, const QSqlQuery& q);
    Written outcome(const QSqlError& error);
    void lose(const QString& why);
    void fail(const QString& why);

    HistoryDb& db_;
    LinkStore& store_;
    CheckRun& run_;
    RunLease lease_;
    qint64 runId_ = 0;
    bool createPending_ = false; // a lock kept the run from being created: tried again at a stop point
    bool loading_ = false;
    std::array<std::vector<char>, 2> isDirty_;
    std::array<std::vector<int>, 2> dirty_;
    // Nodes 1 to this are on disk: nodes are only appended and every new one is written at the next write.
    std::array<int, 2> nodesStored_ = {0, 0};
    std::array<int, 2> urlsWritten_ = {0, 0};
    int heldWritten_ = 0;
    QElapsedTimer sinceWrite_;
    QElapsedTimer sinceBusy_; // valid after creating the run met a lock: the next try waits a while
    QTimer heartbeat_;
    QTimer answerTimer_; // writes new answers while the run waits for the network between stop points
    CheckSettings restoredSettings_;
    LeaseHolder busy_;
    QSqlError lastError_;
    std::unique_ptr<HistoryWriter> writer_;
};
