#include "browserrenderer.h"
#include "checkrun.h"
#include "linkstore.h"
#include "networkprober.h"
#include "pagerendering.h"
#include "scriptedtoolkit.h"
#include "testserver.h"

#include <QFile>
#include <QSet>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray spaFile(const QString& name)
{
    QFile f(QStringLiteral(KELVARA_SPA_DATA) + u'/' + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The Vue Router site of tests/data/spa as its server answers it: in history mode the shell for every
// address that is not a file, in hash mode only at "/".
void serveSpa(TestServer& server, const QString& mode)
{
    for (const QString& js : {u"vue.global.prod.js"_s, u"vue-router.global.prod.js"_s, u"app.js"_s}) {
        TestServer::Response r;
        r.contentType = "application/javascript";
        r.body = spaFile(js);
        r.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("max-age=3600"));
        server.setRoute(u"/assets/"_s + js, r);
    }
    const QByteArray shell = spaFile(mode + u".html"_s);
    server.setPage(mode == u"history"_s ? u"*"_s : u"/"_s, shell);
    const auto answer = [](const QByteArray& type, const QByteArray& body) {
        TestServer::Response r;
        r.contentType = type;
        r.body = body;
        return r;
    };
    server.setRoute(u"/files/brochure.pdf"_s, answer("application/pdf", "%PDF-1.4\n%%EOF\n"));
    for (int id = 1; id <= 6; ++id) {
        server.setRoute(u"/api/product?id=%1"_s.arg(id),
                        answer("text/plain; charset=utf-8", "规格书：工作温度 -40 至 85 度。"));
    }
    server.setStatus(u"/files/catalog-2019.pdf"_s, 404);
}

struct Run
{
    LinkStore store;
    ScriptedToolkit toolkit;
    CheckRun run{store, toolkit, [] { return MakeNetworkProber(); }};

    void check(const QString& site, Renderer* renderer, RenderMode mode, int depth, int timeout = 10)
    {
        CheckSettings s;
        s.depth = depth;
        s.timeout = timeout;
        s.render = mode;
        run.setRenderer(renderer);
        run.setSettings(s);
        run.start(site);
    }
    QSet<QString> urls(int status) const
    {
        QSet<QString> found;
        for (int i = 1; i <= store.full().count(); ++i) {
            if (store.full().node(i)->status == status) {
                found << store.full().node(i)->record.url;
            }
        }
        return found;
    }
};

} // namespace

class TestRender : public QObject
{
    Q_OBJECT
private slots:
    void looksScriptBuilt_data();
    void looksScriptBuilt();
    void routerSite_data();
    void routerSite();
    void brokenPagesFallBack();
    void appThatDrawsNothing();
    void serverBuiltSiteIsNotDrawn();

private:
    BrowserRenderer renderer_;
};

void TestRender::looksScriptBuilt_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<bool>("scripted");
    const QString text = u"<p>"_s + QString(u"这是一段服务器生成的正文。"_s).repeated(20) + u"</p>"_s;
    QTest::newRow("empty mount point") << u"<div id=\"app\"></div><script src=\"/a.js\"></script>"_s << true;
    QTest::newRow("noscript notice") << u"<noscript>请启用 JavaScript</noscript><h1>示例</h1><script></script>"_s
                                     << true;
    QTest::newRow("hash routes") << text + u"<a href=\"#/news/1\">1</a><a href=\"#!/news/2\">2</a><script></script>"_s
                                 << true;
    QTest::newRow("no script, no text") << u"<div id=\"app\"></div>"_s << false;
    QTest::newRow("server page with scripts")
        << text + u"<a href=\"/a\">a</a><a href=\"/b\">b</a><a href=\"/c\">c</a><script src=\"/x.js\"></script>"_s
        << false;
    QTest::newRow("in-page anchors") << text + u"<a href=\"#top\">上</a><a href=\"#end\">下</a><script></script>"_s
                                     << false;
}

void TestRender::looksScriptBuilt()
{
    QFETCH(QString, html);
    QFETCH(bool, scripted);
    QCOMPARE(LooksScriptBuilt(QStringView(html)), scripted);
}

void TestRender::routerSite_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("route"); // what goes before a route in its address
    QTest::newRow("history") << u"history"_s << QString();
    QTest::newRow("hash") << u"hash"_s << u"/#"_s;
}

// Every route and file of the app is found and the routes that draw its "not found" view are dead, beside
// the file that answers 404; no good route is dead.
void TestRender::routerSite()
{
    QFETCH(QString, mode);
    QFETCH(QString, route);
    TestServer server;
    serveSpa(server, mode);
    Run r;
    r.check(server.baseUrl(), &renderer_, RenderMode::Auto, 5);

    const auto at = [&](const QString& path) -> QString { return server.baseUrl() + route + path; };
    const QSet<QString> dead{at(u"/team"_s), at(u"/careers"_s), at(u"/news/9999"_s), at(u"/products/8"_s),
                             server.url(u"/files/catalog-2019.pdf"_s)};
    QCOMPARE(r.urls(StatusDead), dead);
    QSet<QString> valid{server.url(u"/files/brochure.pdf"_s)};
    for (const QString& path : {u"/about"_s, u"/contact"_s, u"/news"_s, u"/products"_s}) {
        valid << at(path);
    }
    for (int id = 1; id <= 8; ++id) {
        valid << at(u"/news/%1"_s.arg(id));
    }
    for (int id = 1; id <= 6; ++id) {
        valid << at(u"/products/%1"_s.arg(id));
    }
    const QSet<QString> found = r.urls(StatusValid);
    QVERIFY2(found.contains(valid), qPrintable(QStringList((valid - found).values()).join(u' ')));
    QCOMPARE(r.store.full().count(), 1 + valid.size() + dead.size());
    // Every route was read as drawn; the files were not.
    QCOMPARE(r.store.renderedCount(), r.store.full().count() - 2);
    QVERIFY(r.store.full().node(r.store.checktext(at(u"/news/3"_s)))->record.rendered);
}

// A page whose scripts never end, and one that blows up its renderer, are read as their HTML and say so;
// the check goes on, and the renderer draws the next page.
void TestRender::brokenPagesFallBack()
{
    TestServer server;
    server.setPage(u"/"_s, "<a href=\"/hang\">挂起</a><a href=\"/crash\">崩溃</a>");
    const QByteArray shell = "<div id=\"app\"></div><a href=\"/after\">x</a><script>";
    server.setPage(u"/hang"_s, shell + "while (true) {}</script>");
    server.setPage(u"/crash"_s, shell + "var a = []; for (;;) a.push(new Array(1e6).fill(1));</script>");
    server.setPage(u"/after"_s, "<div id=\"app\"></div><script>document.getElementById('app').textContent = "
                                "'drawn';</script>");
    Run r;
    r.check(server.baseUrl(), &renderer_, RenderMode::Auto, 2, 4);

    for (const QString& path : {u"/hang"_s, u"/crash"_s}) {
        const ResultNode* node = r.store.full().node(r.store.checktext(server.url(path)));
        QVERIFY(node);
        QCOMPARE(node->status, int(StatusValid));
        QVERIFY2(node->record.statusText.contains(u"未能渲染"_s), qPrintable(node->record.statusText));
        QVERIFY(!node->record.rendered);
    }
    QVERIFY(r.store.checktext(server.url(u"/after"_s)) != 0);
    QCOMPARE(r.store.panel(1), u"就绪"_s);
    const RenderedPage after = renderer_.render(server.url(u"/after"_s), 10);
    QVERIFY2(after.ok && after.html.contains(u"drawn"_s), qPrintable(after.failure));
}

// An app whose script never loads shows its loading text on every route, as the made-up ones do: nothing
// tells a missing route from a good one, so none is dead.
void TestRender::appThatDrawsNothing()
{
    TestServer server;
    const QByteArray shell =
        "<div id=\"app\"><p>加载中，请稍候…</p></div><script src=\"/js/app.js\"></script>"
        "<a href=\"/settings\">设置</a><a href=\"/projects/12\">项目</a><a href=\"/user\">用户</a>";
    server.setPage(u"*"_s, shell);
    server.setStatus(u"/js/app.js"_s, 404);
    Run r;
    r.check(server.baseUrl(), &renderer_, RenderMode::Auto, 1);
    QCOMPARE(r.urls(StatusDead), QSet<QString>());
    QCOMPARE(r.urls(StatusValid).size(), 4);
}

// A site built on the server is never drawn in the automatic mode: the same requests as without drawing.
void TestRender::serverBuiltSiteIsNotDrawn()
{
    const QByteArray body =
        "<p>" + QByteArray("服务器生成的正文，足够长。").repeated(20) + "</p><script src=\"/s.js\"></script>";
    QList<int> requests;
    for (RenderMode mode : {RenderMode::Never, RenderMode::Auto}) {
        TestServer server;
        server.setPage(u"/"_s, body + "<a href=\"/a.html\">a</a><a href=\"/b.html\">b</a><a href=\"/c.html\">c</a>");
        server.setPage(u"/a.html"_s, body + "<a href=\"/b.html\">b</a>");
        server.setPage(u"/b.html"_s, body);
        BrowserRenderer renderer;
        Run r;
        r.check(server.baseUrl(), &renderer, mode, 5);
        QCOMPARE(r.store.renderedCount(), 0);
        QCOMPARE(renderer.peakMemory(), 0); // never started
        requests << server.requests().size();
    }
    QCOMPARE(requests[1], requests[0]);
}

QTEST_GUILESS_MAIN(TestRender)
#include "tst_render.moc"
