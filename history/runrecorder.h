#pragma once

#include "checkrun.h"
#include "runchange.h"
#include "runobserver.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSqlQuery>

#include <array>
#include <vector>

class HistoryDb;
class LinkStore;

// Keeps the run of one store on disk as it goes, so that a stopped or cut-short check can be resumed by
// another process exactly where it stood, and compares a finished check with the last one. Writes go
// in one transaction at a stop point at most once a second, and at every pause: a crash loses at most
// the last second, and what is on disk is always a state a pause could have left.
class RunRecorder : public QObject, public RunObserver
{
    Q_OBJECT
public:
    RunRecorder(HistoryDb& db, LinkStore& store, CheckRun& run, QObject* parent = nullptr);
    ~RunRecorder() override;

    // Fills the store and the check run with the kept run `id`, paused where it stood, and goes on
    // recording it; `siteAs` names its site another way (the same site, typed otherwise). False when it
    // cannot be read; the store is then left empty.
    bool restore(qint64 id, const QString& siteAs = {});
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
    // The database stopped working; the run goes on without it.
    void failed(const QString& why);

private:
    enum Tree
    {
        Full = 0,
        Dead = 1
    };

    void mark(int tree, int index);
    void forgetPending();
    void onCleared();
    bool write(int state, int batchCounter);
    bool writeNodes(int tree);
    bool writeUrls(int list);
    bool writeRun(int state, int batchCounter);
    bool readNodes(qint64 id);
    bool readUrls(qint64 id);
    void dropRows(qint64 id);
    RunChange compare();
    bool check(bool ok, const QSqlQuery& q);
    void fail(const QString& why);

    HistoryDb& db_;
    LinkStore& store_;
    CheckRun& run_;
    qint64 runId_ = 0;
    bool loading_ = false;
    std::array<std::vector<char>, 2> isDirty_;
    std::array<std::vector<int>, 2> dirty_;
    std::array<int, 2> urlsWritten_ = {0, 0};
    QElapsedTimer sinceWrite_;
    QSqlQuery nodeQuery_;
    QSqlQuery urlQuery_;
    CheckSettings restoredSettings_;
};
