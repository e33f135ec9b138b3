#include "pageslot.h"

#include <QJsonArray>
#include <QVariantList>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

using namespace Qt::StringLiterals;

namespace {

// How long the document must stay unchanged, with nothing of its scripts in flight, to count as drawn.
constexpr int kQuietMs = 60;
constexpr int kPollMs = 25;
// Time kept back from the link's timeout for taking the document out of a page that did not settle.
constexpr int kCaptureMs = 1500;

// A page that says nothing to anyone: its dialogs are answered at once, its console is not kept.
class SilentPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
};

const QString& settleProbe()
{
    static const QString script = uR"((function () {
        var s = window.__kelvaraSettle;
        return [s ? s.pending : 0, s ? Date.now() - s.last : 1e9, document.readyState];
    })())"_s;
    return script;
}

const QString& captureScript()
{
    static const QString script = uR"((function () {
        var d = document.documentElement;
        return [String(location.href), d ? d.outerHTML : '', String(document.title)];
    })())"_s;
    return script;
}

} // namespace

PageSlot::PageSlot(QWebEngineProfile& profile, QObject* parent) : QObject(parent), profile_(profile)
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &PageSlot::onDeadline);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &PageSlot::poll);
}

PageSlot::~PageSlot()
{
    delete page_;
}

QWebEnginePage* PageSlot::page()
{
    if (page_) {
        return page_;
    }
    page_ = new SilentPage(&profile_);
    QWebEngineSettings* s = page_->settings();
    // Links are what is wanted: images and plugins only cost time and memory.
    s->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    // A page that declares no charset is read as the checker reads it when it is valid UTF-8 (as every
    // build of a script framework writes it), not as Latin-1: its drawn text must be comparable.
    s->setDefaultTextEncoding(u"utf-8"_s);
    connect(page_, &QWebEnginePage::loadFinished, this, &PageSlot::onLoadFinished);
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (state_ != State::Idle) {
                    fail(status == QWebEnginePage::KilledTerminationStatus ? u"渲染进程被终止"_s : u"渲染进程崩溃"_s,
                         true);
                }
            });
    return page_;
}

void PageSlot::start(qint64 id, const QUrl& url, int timeoutMs)
{
    ++generation_;
    id_ = id;
    url_ = url;
    cutOff_ = false;
    clock_.start();
    deadline_.start(std::max(kPollMs, timeoutMs - kCaptureMs));
    QWebEnginePage* p = page();
    // Another route of the document on show would be a jump inside it, not a new load: the page is
    // emptied first, so that every address is drawn as a first visit draws it.
    const bool sameDocument =
        !p->url().isEmpty() && p->url().adjusted(QUrl::RemoveFragment) == url.adjusted(QUrl::RemoveFragment);
    state_ = sameDocument ? State::Blanking : State::Loading;
    p->load(sameDocument ? QUrl(u"about:blank"_s) : url);
}

void PageSlot::onLoadFinished(bool ok)
{
    if (state_ == State::Blanking) {
        state_ = State::Loading;
        page_->load(url_);
        return;
    }
    if (state_ != State::Loading) {
        return;
    }
    if (!ok) {
        fail(u"页面无法载入"_s, false);
        return;
    }
    state_ = State::Settling;
    poll_.start();
}

void PageSlot::poll()
{
    if (state_ != State::Settling) {
        return;
    }
    const quint64 generation = generation_;
    page_->runJavaScript(settleProbe(), 0, [this, generation](const QVariant& v) {
        if (generation != generation_ || state_ != State::Settling) {
            return;
        }
        const QVariantList s = v.toList();
        if (s.size() == 3 && s[0].toInt() <= 0 && s[1].toDouble() >= kQuietMs && s[2].toString() == u"complete"_s) {
            capture();
        }
    });
}

void PageSlot::capture()
{
    poll_.stop();
    state_ = State::Capturing;
    const quint64 generation = generation_;
    page_->runJavaScript(captureScript(), 0, [this, generation](const QVariant& v) {
        if (generation != generation_ || state_ != State::Capturing) {
            return;
        }
        const QVariantList c = v.toList();
        if (c.size() != 3) {
            fail(u"页面无法读取"_s, true);
            return;
        }
        QJsonObject answer;
        answer.insert(u"ok"_s, true);
        answer.insert(u"url"_s, c[0].toString());
        answer.insert(u"html"_s, c[1].toString());
        answer.insert(u"title"_s, c[2].toString());
        answer.insert(u"settled"_s, !cutOff_);
        finish(answer);
    });
    deadline_.start(kCaptureMs);
}

// The time ran out: a loaded page whose scripts are still busy is taken as it stands; one that has not
// loaded, or whose scripts do not even answer (an endless loop), is given up.
void PageSlot::onDeadline()
{
    switch (state_) {
    case State::Settling:
        cutOff_ = true;
        capture();
        break;
    case State::Blanking:
    case State::Loading: // the document on show may still be the last address's
    case State::Capturing:
        fail(u"渲染超时"_s, true);
        break;
    case State::Idle:
        break;
    }
}

void PageSlot::fail(const QString& why, bool discardPage)
{
    QJsonObject answer;
    answer.insert(u"ok"_s, false);
    answer.insert(u"error"_s, why);
    if (discardPage && page_) {
        page_->disconnect(this);
        page_->deleteLater();
        page_ = nullptr;
    }
    finish(answer);
}

void PageSlot::finish(QJsonObject answer)
{
    ++generation_;
    poll_.stop();
    deadline_.stop();
    state_ = State::Idle;
    answer.insert(u"id"_s, id_);
    answer.insert(u"ms"_s, clock_.elapsed());
    emit done(answer);
}
