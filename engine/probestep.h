#pragma once

#include "runenv.h"

#include <QString>

#include <utility>

#include <optional>

class ContentJudge;
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

    // With a `judge`, a valid page whose content says it is missing is recorded as dead.
    ProbeStep(const RunEnv& env, Prober& prober, ContentJudge* judge = nullptr)
        : env_(env), prober_(prober), judge_(judge)
    {
    }

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
    // The page text of the last probe when judging its content read it already; taken once.
    std::optional<QString> takePage() { return std::exchange(page_, std::nullopt); }

private:
    Outcome probeAndRecord(int n, const QString& url, const QString& request, bool pageWanted);
    void setCounter(bool countThisProbe);

    RunEnv env_;
    Prober& prober_;
    ContentJudge* judge_;
    std::optional<QString> page_;
    QString finalUrl_;
    QString pageCharset_;
};
