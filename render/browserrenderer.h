#pragma once

#include "renderer.h"
#include "renderprocess.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

// Renders pages in kelvara-render, started when the first page is asked for and kept for later runs.
// Whatever becomes of the helper, the check goes on: a helper that hangs (no answer for longer than a
// page may take) or grows past its memory bound is killed, one that crashed is started again, and the
// page that was awaited meanwhile is asked once more before it counts as not drawn. Pages asked ahead
// and not taken are kept a little while, a few at most.
class BrowserRenderer : public QObject, public Renderer
{
    Q_OBJECT
public:
    static constexpr int kDefaultParallel = 2;
    static constexpr int kMaxParallel = 8;
    // The helper and its Chromium together; past the soft bound it is started afresh once it is idle,
    // past the hard one at once.
    static constexpr qint64 kSoftMemoryBytes = 560LL * 1024 * 1024;
    static constexpr qint64 kHardMemoryBytes = 1024LL * 1024 * 1024;

    explicit BrowserRenderer(int parallel = kDefaultParallel, QObject* parent = nullptr);
    ~BrowserRenderer() override;

    int parallel() const override { return parallel_; }
    void prefetch(const QString& url, int tryTime) override;
    RenderedPage render(const QString& url, int tryTime) override;
    void dropPrefetched() override;
    void interruptWaits() override;
    void resumeWaits() override { interrupted_ = false; }

    // The largest memory the helper was seen to hold, in bytes (for benchmarks).
    qint64 peakMemory() const { return peakMemory_; }
    int restarts() const { return restarts_; }

signals:
    void answered(); // a page came back, or the helper went

private:
    struct Entry
    {
        qint64 id = 0;
        bool done = false;
        int tryTime = 10;
        RenderedPage page;
    };

    bool ensureHelper(QString* error);
    void send(const QString& url, int tryTime);
    void onAnswer(const QJsonObject& answer);
    void onDied(const QString& why);
    void watch();
    int inFlight() const;

    const int parallel_;
    RenderProcess helper_;
    QHash<QString, Entry> entries_; // by URL
    QHash<qint64, QString> urlOf_;  // by request id
    qint64 nextId_ = 1;
    QString lastDeath_ = QStringLiteral("渲染程序无响应");
    QString unavailable_; // why the helper cannot run at all; then nothing is asked of it again
    bool interrupted_ = false;
    bool ready_ = false; // the helper has started Chromium and serves requests
    bool restartWhenIdle_ = false;
    QTimer watchdog_;
    QElapsedTimer sinceAnswer_;
    int longestTry_ = 10;
    qint64 peakMemory_ = 0;
    int restarts_ = 0;
};
