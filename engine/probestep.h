#pragma once

#include "runenv.h"

#include <QString>

class Prober;
struct ResultNode;

// A node probed by a check sweep whose page a later crawl pass will read when it is valid: its probe
// may keep the page, so that pass need not download it again.
bool PageWantedLater(const ResultNode& node, const CheckSettings& settings);

// Probes one node of the full result list and records the outcome in the node, the URL lists, the
// dead-link list and the status-bar counters.
class ProbeStep
{
public:
    // Dropped: the results were cleared while the answer was awaited; nothing was recorded.
    enum class Outcome { Valid, TimedOut, Dead, Dropped };

    ProbeStep(const RunEnv& env, Prober& prober) : env_(env), prober_(prober) {}

    // For a node that a crawl pass is about to scan: re-probing a node that has a status leaves the
    // probe counter as it is.
    Outcome crawlForm(int n);
    // For a node that the check sweep finds without a status: every probe counts.
    void sweepForm(int n);
    // Both forms give a node whose URL an earlier node already has that node's verdict, without a probe.

    // The address that answered the last probe, after redirects (its URL when nothing answered).
    const QString& finalUrl() const { return finalUrl_; }
    // The character set the page of the last probe is decoded in (empty when it kept no page).
    const QString& pageCharset() const { return pageCharset_; }

private:
    Outcome probeAndRecord(int n, const QString& url, const QString& request, bool pageWanted);
    void setCounter(bool countThisProbe);

    RunEnv env_;
    Prober& prober_;
    QString finalUrl_;
    QString pageCharset_;
};
