#pragma once

#include "checksettings.h"
#include "prober.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class LinkStore;
class Prober;
class Renderer;
struct ResolvedLinks;
class RunObserver;
class Toolkit;

// The check run of one site: crawl passes level by level, 200-node batches handed to check sweeps,
// stop points, resumption where a stopped run stood. It runs on the calling thread and gives the
// window its turn through the toolkit while it works.
class CheckRun : public QObject
{
    Q_OBJECT
public:
    using ProberFactory = std::function<std::unique_ptr<Prober>()>;

    CheckRun(LinkStore& store, Toolkit& toolkit, ProberFactory proberFactory, QObject* parent = nullptr);
    ~CheckRun() override;

    void setSettings(const CheckSettings& settings) { settings_ = settings; }
    const CheckSettings& settings() const { return settings_; }

    // Start half of the start/stop command: sets the running flag and runs, or resumes, `site` with the
    // settings given last. Returns when the run has paused or finished.
    void start(const QString& site);
    // The same with these settings. Called while an earlier run has not unwound yet (it was stopped and
    // its results cleared while it waited for an answer), it only books the start and shows "进行中...":
    // the earlier run drops the answer, pauses and returns, and its own start then runs the booked one.
    // Two runs on one stack would share the running flag and write each other's nodes.
    void start(const QString& site, const CheckSettings& settings);
    // Stop half: clears the running flag, cancels a booked start and shows "正在停止..."; the run pauses
    // at its next stop point.
    void stop();

    bool isRunning() const { return running_; }
    // True while panel 1 reads "进行中..." or "正在停止...".
    bool isActive() const;
    const QString& lastSite() const { return lastSite_; }
    // Why the home page could not be read, when the store's run got no valid answer from it (it is dead
    // or timed out); empty otherwise.
    QString homeFailure() const;
    int savedBatchCounter() const { return savedBatchCounter_; }

    // Where a stopped run stands beside what the store holds: enough to continue it in another process.
    struct ResumeState
    {
        QString site;
        int passNodeCount = 0;
        int batchCounter = 0;
        QString homeAddress;
        bool scanResources = false;
        // A page whose scan a batch limit broke off, read and not to be read again.
        int heldNode = 0;
        QString heldText;
        QString heldUrl;
        QString heldCharset;
    };
    ResumeState resumeState() const;
    // Takes over a stopped run whose store was filled from disk; the store's panel 1 reads "已暂停".
    void restore(const ResumeState& state);
    // The browser that draws pages built by scripts, kept by the caller across runs; null for none (every
    // page is then read as its HTML).
    void setRenderer(Renderer* renderer) { renderer_ = renderer; }
    // The answers a paused run has on hand for its next call (see Prober::answersOnHand).
    Prober::Answers answersOnHand() const;
    void addAnswers(const Prober::Answers& answers) { answers_.insert(answers); }
    // Told of starts, stop points, pauses and ends; null for none.
    void setObserver(RunObserver* observer) { observer_ = observer; }

    // One call of the run; continues itself after each check sweep that left uncrawled pages behind.
    void CheckSite(const QString& site, int batchCounter);

signals:
    // The run finished: the start command is available again and shows "开始检测".
    void runFinished();

private:
    enum class CallEnd { Stopped, Continue, Done };
    class Call;
    struct HeldPage;

    void pause(int batchCounterToSave);
    void finish();
    int advanceProbed();
    int advanceCrawled();

    LinkStore& store_;
    Toolkit& toolkit_;
    RunObserver* observer_ = nullptr;
    ProberFactory proberFactory_;
    CheckSettings settings_;

    struct Booking
    {
        QString site;
        CheckSettings settings;
    };

    bool running_ = false;
    bool onStack_ = false; // from a start until that run has returned, stop or no stop
    std::optional<Booking> booked_;
    QString lastSite_;
    int passNodeCount_ = 0;
    int savedBatchCounter_ = 0;
    QString homeAddress_; // the final address of the home page of this run; empty until it is read
    // Nodes 1 to these have a status, and are marked crawled. Neither ever goes back, so a sweep starts
    // after the first and the test for uncrawled nodes after the second: a run of many batches walks
    // its list once, not once a batch. Both go back to 0 when the list is cleared.
    int probedThrough_ = 0;
    int crawledThrough_ = 0;
    // The node the walk under way (a crawl pass or a sweep) has come to: its plan yields none up to it,
    // since the walk asked for those itself, an answer kept for one among them included.
    int walkedTo_ = 0;
    bool scanResources_ = false; // whether the scan that saved the resume position took resources
    Prober* prober_ = nullptr;   // the prober of the call under way, whose waits a stop ends
    Renderer* renderer_ = nullptr;
    std::unique_ptr<HeldPage> held_;
    // Links resolved by the page scans of this run: a scan lasts one batch, the links it resolves recur
    // in every batch.
    std::unique_ptr<ResolvedLinks> resolvedLinks_;
    Prober::Answers answers_; // of a paused run, for the call that resumes it
};
