#pragma once

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
