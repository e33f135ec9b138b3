#include "browserrenderer.h"

#include <QEventLoop>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Beyond the link's own timeout, the time a helper may stay silent before it counts as hung.
constexpr int kHangGraceMs = 5000;
// Chromium's start on a busy machine takes seconds; until the helper says it is ready that is not a hang.
constexpr int kStartGraceMs = 30000;
constexpr int kWatchMs = 1000;
// Pages asked ahead and not yet taken are kept up to this many.
constexpr int kMaxKept = 64;

RenderedPage failed(const QString& why, bool stopped = false)
{
    RenderedPage p;
    p.failure = why;
    p.stopped = stopped;
    return p;
}

} // namespace

BrowserRenderer::BrowserRenderer(int parallel, QObject* parent)
    : QObject(parent), parallel_(std::clamp(parallel, 1, kMaxParallel))
{
    connect(&helper_, &RenderProcess::received, this, &BrowserRenderer::onAnswer);
    connect(&helper_, &RenderProcess::died, this, &BrowserRenderer::onDied);
    watchdog_.setInterval(kWatchMs);
    connect(&watchdog_, &QTimer::timeout, this, &BrowserRenderer::watch);
}

BrowserRenderer::~BrowserRenderer() = default;

int BrowserRenderer::inFlight() const
{
    return static_cast<int>(urlOf_.size());
}

bool BrowserRenderer::ensureHelper(QString* error)
{
    if (!unavailable_.isEmpty()) {
        *error = unavailable_;
        return false;
    }
    if (helper_.isRunning()) {
        return true;
    }
    if (!helper_.start(parallel_, error)) {
        unavailable_ = *error;
        return false;
    }
    ready_ = false;
    sinceAnswer_.start();
    watchdog_.start();
    return true;
}

void BrowserRenderer::send(const QString& url, int tryTime)
{
    Entry& e = entries_[url];
    e = Entry{nextId_++, false, tryTime, {}};
    urlOf_.insert(e.id, url);
    longestTry_ = std::max(longestTry_, tryTime);
    if (inFlight() == 1 && ready_) {
        sinceAnswer_.start();
    }
    helper_.send({{u"id"_s, e.id}, {u"url"_s, url}, {u"timeoutMs"_s, tryTime * 1000}});
}

void BrowserRenderer::prefetch(const QString& url, int tryTime)
{
    QString error;
    if (entries_.contains(url) || inFlight() >= parallel_ || restartWhenIdle_ || !ensureHelper(&error)) {
        return;
    }
    // A page asked ahead may never be wanted after all (the run went another way): the oldest such
    // pages make room, so that asking ahead never stops.
    while (entries_.size() >= kMaxKept) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->done && (oldest == entries_.end() || it->id < oldest->id)) {
                oldest = it;
            }
        }
        if (oldest == entries_.end()) {
            return;
        }
        entries_.erase(oldest);
    }
    send(url, tryTime);
}

RenderedPage BrowserRenderer::render(const QString& url, int tryTime)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (interrupted_) {
            return failed(u"检测已停止"_s, true);
        }
        QString error;
        if (!entries_.contains(url)) {
            if (!ensureHelper(&error)) {
                return failed(error);
            }
            send(url, tryTime);
        }
        QEventLoop loop;
        connect(this, &BrowserRenderer::answered, &loop, [&] {
            if (interrupted_ || !entries_.contains(url) || entries_.value(url).done) {
                loop.quit();
            }
        });
        if (!entries_.value(url).done) {
            loop.exec();
        }
        // Gone from the list: the helper went down with this page in flight, maybe for another page's
        // fault; it is asked once more of a fresh helper.
        if (entries_.contains(url) && entries_.value(url).done) {
            return entries_.take(url).page;
        }
    }
    return interrupted_ ? failed(u"检测已停止"_s, true) : failed(lastDeath_);
}

void BrowserRenderer::dropPrefetched()
{
    for (auto it = entries_.begin(); it != entries_.end();) {
        it = it->done ? entries_.erase(it) : std::next(it);
    }
}

void BrowserRenderer::interruptWaits()
{
    interrupted_ = true;
    emit answered();
}

void BrowserRenderer::onAnswer(const QJsonObject& answer)
{
    sinceAnswer_.start();
    if (answer.value(u"ready"_s).toBool()) {
        ready_ = true;
        return;
    }
    const qint64 id = answer.value(u"id"_s).toInteger();
    const QString url = urlOf_.take(id);
    if (!url.isEmpty() && entries_.contains(url) && entries_.value(url).id == id) {
        Entry& e = entries_[url];
        e.done = true;
        e.page.ok = answer.value(u"ok"_s).toBool();
        e.page.html = answer.value(u"html"_s).toString();
        e.page.finalUrl = answer.value(u"url"_s).toString();
        e.page.failure = answer.value(u"error"_s).toString();
    }
    const qint64 memory = helper_.memoryBytes();
    peakMemory_ = std::max(peakMemory_, memory);
    if (memory > kSoftMemoryBytes) {
        restartWhenIdle_ = true;
    }
    if (restartWhenIdle_ && inFlight() == 0) {
        restartWhenIdle_ = false;
        ++restarts_;
        helper_.kill();
    }
    emit answered();
}

// The pages in flight are lost with the helper. They are forgotten, not failed: an awaited one is asked
// again, one asked ahead is asked again when it is wanted.
void BrowserRenderer::onDied(const QString& why)
{
    lastDeath_ = why;
    ++restarts_;
    watchdog_.stop();
    for (const QString& url : std::as_const(urlOf_)) {
        entries_.remove(url);
    }
    urlOf_.clear();
    emit answered();
}

void BrowserRenderer::watch()
{
    if (!helper_.isRunning()) {
        watchdog_.stop();
        return;
    }
    const qint64 memory = helper_.memoryBytes();
    peakMemory_ = std::max(peakMemory_, memory);
    const qint64 allowed = qint64(longestTry_) * 1000 + (ready_ ? kHangGraceMs : kStartGraceMs);
    const bool hung = inFlight() > 0 && sinceAnswer_.elapsed() > allowed;
    if (hung || memory > kHardMemoryBytes) {
        helper_.kill();
        onDied(hung ? u"渲染程序无响应"_s : u"渲染程序占用内存过多"_s);
    }
}
