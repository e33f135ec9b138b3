// kelvara-render: draws pages built by scripts for the checker, which starts it and talks to it over a
// pipe (see renderframes.h). It holds Chromium, so that a page that crashes, hangs or eats memory takes
// down this process and never the check.
#include "pageslot.h"
#include "stdiopipe.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QQueue>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxPages = 8;

void appendFlags(const char* name, const QByteArray& flags)
{
    const QByteArray old = qgetenv(name);
    qputenv(name, old.isEmpty() ? flags : old + ' ' + flags);
}

// No screen, no GPU and no network of Chromium's own (updates, safe browsing, metrics): only the pages
// asked for are fetched. Pages that are not on show must not be slowed down as background tabs are.
// Chromium's sandbox refuses to run as root; it is switched off then and only then.
void prepareChromium()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    appendFlags("QTWEBENGINE_CHROMIUM_FLAGS",
                "--disable-gpu --disable-gpu-compositing --disable-background-networking "
                "--disable-component-update --disable-domain-reliability --disable-sync --no-pings "
                "--disable-breakpad --metrics-recording-only --disable-background-timer-throttling "
                "--disable-renderer-backgrounding --disable-backgrounding-occluded-windows "
                "--js-flags=--max-old-space-size=256");
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

QWebEngineScript settleWatcher()
{
    // Counts the requests the page's scripts have in flight and notes when the document last changed,
    // so that the renderer knows when the page has been drawn.
    QWebEngineScript s;
    s.setName(u"kelvara-settle"_s);
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(QWebEngineScript::MainWorld);
    s.setRunsOnSubFrames(false);
    s.setSourceCode(uR"((function () {
        if (window.__kelvaraSettle) return;
        var s = window.__kelvaraSettle = { pending: 0, last: Date.now() };
        function touch() { s.last = Date.now(); }
        function done() { s.pending = Math.max(0, s.pending - 1); touch(); }
        var fetch0 = window.fetch;
        if (fetch0) window.fetch = function () {
            s.pending++; touch();
            return fetch0.apply(this, arguments).finally(done);
        };
        var send0 = XMLHttpRequest.prototype.send;
        XMLHttpRequest.prototype.send = function () {
            s.pending++; touch();
            this.addEventListener('loadend', done);
            return send0.apply(this, arguments);
        };
        new MutationObserver(touch).observe(document,
            { subtree: true, childList: true, attributes: true, characterData: true });
        try { new PerformanceObserver(touch).observe({ entryTypes: ['resource'] }); } catch (e) {}
    })();)"_s);
    return s;
}

int pagesArgument(const QStringList& args)
{
    const qsizetype at = args.indexOf(u"--pages"_s);
    const int pages = at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : 2;
    return std::clamp(pages, 1, kMaxPages);
}

} // namespace

int main(int argc, char** argv)
{
    prepareChromium();
    QGuiApplication app(argc, argv);
    StdioPipe pipe;
    QObject::connect(&pipe, &StdioPipe::closed, &app, &QCoreApplication::quit);

    QWebEngineProfile profile; // off the record: nothing is written to disk
    profile.setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile.setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile.scripts()->insert(settleWatcher());
    const QString agent = qEnvironmentVariable("KELVARA_RENDER_AGENT");
    if (!agent.isEmpty()) {
        profile.setHttpUserAgent(agent);
    }

    struct Job
    {
        qint64 id;
        QUrl url;
        int timeoutMs;
    };
    QQueue<Job> queue;
    std::vector<PageSlot*> pageSlots;
    for (int i = pagesArgument(app.arguments()); i > 0; --i) {
        pageSlots.push_back(new PageSlot(profile, &app));
    }
    const auto dispatch = [&] {
        for (PageSlot* slot : pageSlots) {
            if (queue.isEmpty()) {
                return;
            }
            if (!slot->busy()) {
                const Job job = queue.dequeue();
                slot->start(job.id, job.url, job.timeoutMs);
            }
        }
    };
    for (PageSlot* slot : pageSlots) {
        QObject::connect(slot, &PageSlot::done, &app, [&](const QJsonObject& answer) {
            pipe.send(answer);
            dispatch();
        });
    }
    QObject::connect(&pipe, &StdioPipe::received, &app, [&](const QJsonObject& request) {
        const QUrl url(request.value(u"url"_s).toString());
        if (!url.isValid() || (url.scheme() != u"http"_s && url.scheme() != u"https"_s)) {
            pipe.send({{u"id"_s, request.value(u"id"_s)}, {u"ok"_s, false}, {u"error"_s, u"地址无效"_s}});
            return;
        }
        queue.enqueue({request.value(u"id"_s).toInteger(), url, request.value(u"timeoutMs"_s).toInt(10000)});
        dispatch();
    });
    pipe.send({{u"ready"_s, true}});
    const int code = app.exec();
    for (PageSlot* slot : pageSlots) {
        delete slot; // pages go before the profile they belong to
    }
    return code;
}
