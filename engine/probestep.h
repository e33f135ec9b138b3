#pragma once

#include "runenv.h"

#include <QString>

class Prober;

// Probes one node of the full result list and records the outcome in the node, the URL lists, the
// dead-link list and the status-bar counters.
class ProbeStep
{
public:
    enum class Outcome { Valid, TimedOut, Dead };

    ProbeStep(const RunEnv& env, Prober& prober) : env_(env), prober_(prober) {}

    // For a node that a crawl pass is about to scan: re-probing a node that has a status leaves the
    // probe counter as it is.
    Outcome crawlForm(int n);
    // For a node that the check sweep finds without a status: every probe counts.
    void sweepForm(int n);

private:
    Outcome probeAndRecord(int n, const QString& url, bool pageWanted);
    void setCounter(bool countThisProbe);

    RunEnv env_;
    Prober& prober_;
};
