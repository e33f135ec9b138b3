#pragma once

#include <QString>
#include <QStringList>

// What a finished check changed against the last finished check of the same site with the same settings.
struct RunChange
{
    QString previous;    // when that earlier check finished, ISO 8601; empty when there was none
    QStringList newDead; // dead now, not dead then
    QStringList fixed;   // dead then, valid now or no longer linked

    bool isEmpty() const { return previous.isEmpty(); }
};

// Told of the moments of a check run at which its state can be kept: a stop point is a place where the
// run could pause, so the state there is one a resumed run can continue from.
class RunObserver
{
public:
    virtual ~RunObserver() = default;

    // A call of the run begins, afresh or continuing what the store holds.
    virtual void runStarted(bool resuming) = 0;
    // The run passes a stop point; a pause here would save `batchCounterToSave`.
    virtual void stopPoint(int batchCounterToSave) = 0;
    virtual void runPaused() = 0;
    virtual void runFinished() = 0;
};
