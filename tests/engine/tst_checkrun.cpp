#include "checkrun.h"
#include "linkstore.h"
#include "networkprober.h"
#include "runtexts.h"
#include "scriptedtoolkit.h"
#include "testserver.h"

#include <QScopeGuard>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;

// Whole check runs against sites served on loopback.
class TestCheckRun : public QObject
{
    Q_OBJECT

    static QByteArray links(const QStringList& hrefs)
    {
        QByteArray html = "<html><body>";
        for (const QString& h : hrefs) {
            html += "<a href=\"" + h.toUtf8() + "\">" + h.toUtf8() + "</a>\n";
        }
        return html + "</body></html>";
    }

    // A small site: two levels of pages, dead links on several levels, an outside link, a repeat.
    static void smallSite(TestServer& s, const QString& outside)
    {
        s.setPage(u"/"_s, links({u"/a.htm"_s, u"b.htm"_s, u"/dead1.htm"_s, outside, u"/a.htm"_s}));
        s.setPage(u"/a.htm"_s, links({u"a1.htm"_s, u"/dead2.htm"_s, u"/b.htm"_s}));
        s.setPage(u"/b.htm"_s, links({u"/b1.htm"_s}));
        s.setPage(u"/a1.htm"_s, links({u"/a2.htm"_s}));
        s.setPage(u"/b1.htm"_s, links({}));
        s.setPage(u"/a2.htm"_s, links({u"/a3.htm"_s}));
        s.setPage(u"/a3.htm"_s, links({}));
    }

    // A paginated list hung off the home page: each page links to the next one and to a dead link.
    static void pagination(TestServer& s, const QString& outside, int pages)
    {
        s.setPage(u"/"_s, links({u"/a.htm"_s, u"b.htm"_s, u"/dead1.htm"_s, outside, u"/a.htm"_s, u"/list/1.htm"_s}));
        for (int k = 1; k <= pages; ++k) {
            QStringList hrefs{u"gone"_s + QString::number(k) + u".htm"_s};
            if (k < pages) {
                hrefs << QString::number(k + 1) + u".htm"_s;
            }
            s.setPage(u"/list/"_s + QString::number(k) + u".htm"_s, links(hrefs));
        }
    }

    // More than 200 links: the run hands batches to check sweeps and continues itself.
    static void manyLinks(TestServer& site)
    {
        QStringList many;
        for (int i = 0; i < 230; ++i) {
            many << u"/p"_s + QString::number(i) + u".htm"_s;
        }
        site.setPage(u"/"_s, links(many.mid(0, 150) + QStringList{u"/more.htm"_s}));
        site.setPage(u"/more.htm"_s, links(many.mid(150) + QStringList{u"/deep.htm"_s}));
        site.setPage(u"/deep.htm"_s, links({u"/deeper.htm"_s}));
        for (int i = 0; i < 230; ++i) {
            site.setPage(many[i], i % 50 == 0 ? links({u"/leaf.htm"_s}) : QByteArray("x"));
        }
    }

    struct Run
    {
        LinkStore store;
        ScriptedToolkit toolkit;
        CheckRun run;
        explicit Run(int depth, int timeout = 5, CheckRun::ProberFactory factory = nullptr)
            : run(store, toolkit, factory ? factory : [] { return MakeNetworkProber(); })
        {
            CheckSettings s;
            s.depth = depth;
            s.timeout = timeout;
            run.setSettings(s);
        }
        QStringList urls() const
        {
            QStringList u;
            for (int i = 1; i <= store.full().count(); ++i) {
                u << store.full().node(i)->record.url;
            }
            return u;
        }
        // Every node as text, record and status: two runs with equal dumps found the same.
        QStringList dump() const
        {
            QStringList d;
            for (int i = 1; i <= store.full().count(); ++i) {
                const ResultNode* n = store.full().node(i);
                NodeRecord r = n->record;
                r.queryTime = 0;
                d << n->text + u' ' + r.render() + u' ' + QString::number(n->status) + u' ' +
                         QString::number(n->parent);
            }
            return d;
        }
        int withStatus(int status) const
        {
            int count = 0;
            for (int i = 1; i <= store.full().count(); ++i) {
                count += store.full().node(i)->status == status;
            }
            return count;
        }
        int unprobed() const { return withStatus(NoStatus); }
        int tested() const { return store.panel(3).mid(8).chopped(1).toInt(); }
    };

private slots:
    // How deep the crawl goes for each depth setting: which pages are read, which links exist. Excluded
    // links are listed but never requested, so nothing behind them is found.
    void depths_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("nodes");
        QTest::addColumn<QStringList>("readPages"); // fetched beyond the probe
        QTest::addColumn<QStringList>("exclude");
        QTest::addColumn<int>("excluded");
        QTest::addColumn<int>("chain"); // pages of a paginated list linked from the home page
        QTest::addColumn<int>("dead");
        QTest::newRow("0: the home page alone") << 0 << 1 << QStringList{} << QStringList{} << 0 << 0 << 0;
        QTest::newRow("1: the home page's links") << 1 << 5 << QStringList{u"/"_s} << QStringList{} << 0 << 0 << 1;
        QTest::newRow("2: one level of pages")
            << 2 << 8 << QStringList{u"/"_s, u"/a.htm"_s, u"/b.htm"_s} << QStringList{} << 0 << 0 << 2;
        QTest::newRow("5: the whole site") << 5 << 10
                                           << QStringList{u"/"_s, u"/a.htm"_s, u"/b.htm"_s, u"/a1.htm"_s,
                                                          u"/b1.htm"_s, u"/a2.htm"_s, u"/a3.htm"_s}
                                           << QStringList{} << 0 << 0 << 2;
        QTest::newRow("2: a page excluded, its links unseen")
            << 2 << 6 << QStringList{u"/"_s, u"/b.htm"_s} << QStringList{u"/a\\.htm$"_s} << 1 << 0 << 1;
        QTest::newRow("5: any pattern may match, case as written")
            << 5 << 8 << QStringList{u"/"_s, u"/a.htm"_s, u"/b.htm"_s, u"/b1.htm"_s}
            << QStringList{u"dead"_s, u"/A1"_s, u"(?i)/a1\\."_s} << 3 << 0 << 0;
        QTest::newRow("5: the home page excluded")
            << 5 << 1 << QStringList{} << QStringList{u"127\\.0\\.0\\.1:\\d+$"_s} << 1 << 0 << 0;
        QTest::newRow("5: thirty pages of a list, one level each")
            << 5 << 10 + 1 + 30 + 29 << QStringList{u"/list/1.htm"_s, u"/list/29.htm"_s, u"/list/30.htm"_s}
            << QStringList{} << 0 << 30 << 2 + 30;
        QTest::newRow("2: the list's first page") << 2 << 8 + 1 + 2 << QStringList{u"/list/1.htm"_s} << QStringList{}
                                                  << 0 << 30 << 2 + 1;
    }
    void depths()
    {
        QFETCH(int, depth);
        QFETCH(int, nodes);
        QFETCH(QStringList, readPages);
        QFETCH(QStringList, exclude);
        QFETCH(int, excluded);
        QFETCH(int, chain);
        QFETCH(int, dead);
        TestServer site;
        TestServer other;
        other.setPage(u"/"_s, "<html></html>");
        smallSite(site, other.url(u"/"_s));
        if (chain > 0) {
            pagination(site, other.url(u"/"_s), chain);
        }
        Run r(depth);
        CheckSettings s = r.run.settings();
        for (const QString& pattern : exclude) {
            s.exclusions << QRegularExpression(pattern);
        }
        r.run.setSettings(s);
        r.run.start(site.baseUrl());

        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.store.full().count(), nodes);
        QCOMPARE(r.unprobed(), 0);
        QCOMPARE(r.withStatus(StatusExcluded), excluded);
        QCOMPARE(r.store.deads().count(), dead);
        QCOMPARE(r.tested(), nodes - excluded);
        // Every page is downloaded once: a page read for links is decoded from its probe's response.
        for (const QString& page : {u"/"_s, u"/a.htm"_s, u"/b.htm"_s, u"/a1.htm"_s, u"/a2.htm"_s}) {
            const int n = page == u"/" ? 1 : r.store.checktext(site.url(page));
            const bool requested = n != 0 && r.store.full().node(n)->status != StatusExcluded;
            QCOMPARE(site.hits(page), requested ? 1 : 0);
        }
        for (const QString& page : readPages) {
            const int n = page == u"/" ? 1 : r.store.checktext(site.url(page));
            QVERIFY2(n != 0 && r.store.full().node(n)->bold, qPrintable(page));
        }
        QCOMPARE(other.hits(u"/"_s), r.urls().contains(other.url(u"/"_s)) ? 1 : 0);
        QCOMPARE(r.store.resume(LinkStore::Badlink1), QString());
        QCOMPARE(r.store.panel(2), QString());
    }

    // Dead links land in the dead URL list and under their page in the dead-link list.
    void deadLinks()
    {
        TestServer site;
        smallSite(site, site.url(u"/b1.htm"_s));
        Run r(2);
        r.run.start(site.baseUrl());
        QStringList dead;
        for (const UrlList::Entry& e : r.store.deads().entries()) {
            dead << e.url;
            QCOMPARE(r.store.full().node(e.data)->record.url, e.url);
            QCOMPARE(r.store.full().node(e.data)->status, int(StatusDead));
        }
        QCOMPARE(dead, (QStringList{site.url(u"/dead1.htm"_s), site.url(u"/dead2.htm"_s)}));
        QCOMPARE(r.store.panel(5), RunText::deadFound(2));
        const ResultTree& tree = r.store.dead();
        QCOMPARE(tree.topLevel().size(), size_t(2));
        QCOMPARE(tree.node(tree.topLevel()[0])->record.url, site.baseUrl());
        QCOMPARE(tree.node(tree.node(tree.topLevel()[1])->children[0])->record.render().section(u'$', 4),
                 u"404 Not Found（页面不存在）"_s);
    }

    // A site whose home page cannot be read: one dead node, in both lists.
    void deadHomePage()
    {
        TestServer site;
        site.setStatus(u"/"_s, 500);
        Run r(3);
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.full().count(), 1);
        QCOMPARE(r.store.full().node(1)->status, int(StatusDead));
        QCOMPARE(r.store.dead().count(), 1);
        QCOMPARE(r.store.deads().count(), 1);
    }

    // A link that never answers is timed out: its own list, not a dead link.
    void timedOut()
    {
        TestServer site;
        site.setPage(u"/"_s, links({u"/slow.htm"_s, u"/ok.htm"_s}));
        site.setSilent(u"/slow.htm"_s);
        site.setPage(u"/ok.htm"_s, "ok");
        Run r(1, 1);
        r.run.start(site.baseUrl());
        const ResultNode* slow = r.store.full().node(2);
        QCOMPARE(slow->status, int(StatusTimedOut));
        QCOMPARE(slow->record.statusText, RunText::timedOut());
        QCOMPARE(slow->record.queryTime, qint64(2000));
        QCOMPARE(r.store.timeouts().count(), 1);
        QCOMPARE(r.store.timeouts().entry(0).data, 2);
        QCOMPARE(r.store.deads().count(), 0);
        QCOMPARE(r.store.dead().count(), 0);
        QCOMPARE(r.store.full().node(3)->status, int(StatusValid));
    }

    // More than 200 links: batches go to check sweeps, the run continues itself and probes every node.
    void batches()
    {
        TestServer site;
        manyLinks(site);
        site.setPage(u"/deep.htm"_s, links({u"/deeper.htm"_s, site.url(u"/"_s)})); // the typed home page
        Run r(5);
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.unprobed(), 0);
        // leaf.htm once; deeper.htm is dead; the link home is a repeat of the home page
        QCOMPARE(r.store.full().count(), 1 + 151 + 81 + 1 + 1);
        QCOMPARE(r.tested(), r.store.full().count());
        // Neither the page whose scan met the batch limit nor the home page is requested twice.
        QCOMPARE(site.hits(u"/more.htm"_s), 1);
        QCOMPARE(site.hits(u"/"_s), 1);
        // The page that met the batch limit is continued where it stood, not re-added from its start.
        QStringList urls = r.urls();
        QCOMPARE(urls.removeDuplicates(), 0);
        QCOMPARE(r.store.deads().count(), 2); // leaf.htm and deeper.htm
        QCOMPARE(r.store.resume(LinkStore::Badlink1), QString());
    }

    // Stop in the middle of a crawl pass, then start the same site: the run continues where it
    // stood and ends with exactly what an uninterrupted run finds.
    void stopAndResume_data()
    {
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<bool>("repeats");
        for (int y : {2, 4, 7, 11, 15}) {
            QTest::newRow(qPrintable(u"yield "_s + QString::number(y))) << y << false;
        }
        // With repeats shown, a page scanned twice would show its links twice.
        for (int y = 1; y <= 16; ++y) {
            QTest::newRow(qPrintable(u"repeats shown, yield "_s + QString::number(y))) << y << true;
        }
    }
    void stopAndResume()
    {
        QFETCH(int, stopAt);
        QFETCH(bool, repeats);
        TestServer site;
        smallSite(site, site.url(u"/b1.htm"_s));
        CheckSettings settings;
        settings.depth = 5;
        settings.timeout = 5;
        settings.noRepeats = !repeats;
        Run reference(5);
        reference.run.setSettings(settings);
        reference.run.start(site.baseUrl());

        Run r(5);
        r.run.setSettings(settings);
        r.toolkit.atYield(stopAt, [&r] { r.run.stop(); });
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::paused());
        const QStringList atStop = r.dump();
        QVERIFY(!r.store.resume(LinkStore::Badlink1).isEmpty() || !r.store.resume(LinkStore::Badlink3).isEmpty());

        r.run.start(site.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.dump().mid(0, atStop.size()).size(), atStop.size());
        QCOMPARE(r.dump(), reference.dump());
        QCOMPARE(r.tested(), reference.tested());
        QCOMPARE(r.store.deads().count(), reference.store.deads().count());
    }

    // Resources switched off while paused in the middle of a page: the saved position counted its images
    // too, so the page is scanned again from its start rather than past its anchors.
    void resourcesSwitchedWhilePaused()
    {
        TestServer site;
        site.setPage(u"/"_s, "<img src=/i1.png><img src=/i2.png><img src=/i3.png><a href=/a.htm>a</a>"
                             "<a href=/b.htm>b</a>");
        Run r(1);
        CheckSettings s = r.run.settings();
        s.resources = true;
        r.toolkit.atYield(3, [&r] { r.run.stop(); }); // the home page's probe, then two images added
        r.run.start(site.baseUrl(), s);
        QCOMPARE(r.store.panel(1), RunText::paused());
        QCOMPARE(r.store.resume(LinkStore::Badlink2), u"3"_s);
        s.resources = false;
        r.run.start(site.baseUrl(), s);
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.urls(), (QStringList{site.baseUrl(), site.url(u"/i1.png"_s), site.url(u"/i2.png"_s),
                                        site.url(u"/a.htm"_s), site.url(u"/b.htm"_s)}));
    }

    // A stop after the first batch, then another site: nothing of the first site is left, not even its
    // batch counter or probe count.
    void stopThenOtherSite()
    {
        TestServer first;
        manyLinks(first);
        TestServer second;
        second.setPage(u"/"_s, links({u"/gone.htm"_s}));
        Run r(5);
        int starts = 0;
        connect(&r.store, &LinkStore::panelChanged, &r.store, [&](int panel, const QString& text) {
            if (panel == 1 && text == RunText::inProgress() && ++starts == 2) {
                r.run.stop(); // in the call that continues the run after its first check sweep
            }
        });
        r.run.start(first.baseUrl());
        QVERIFY(r.run.savedBatchCounter() > 0);
        QCOMPARE(r.store.panel(1), RunText::paused());
        r.run.start(second.baseUrl());
        QCOMPARE(r.urls(), (QStringList{second.baseUrl(), second.url(u"/gone.htm"_s)}));
        QCOMPARE(r.store.deads().count(), 1);
        QCOMPARE(r.tested(), 2);
    }

    // A finished run, then the same site again: trees, URL lists and counters start from zero.
    void sameSiteAgain()
    {
        TestServer site;
        smallSite(site, site.url(u"/b1.htm"_s));
        Run r(2);
        r.run.start(site.baseUrl());
        const QStringList first = r.dump();
        r.run.start(site.baseUrl());
        QCOMPARE(r.dump(), first);
        QCOMPARE(r.store.deads().count(), 2);
        QCOMPARE(r.store.panel(5), RunText::deadFound(2));
    }

    // Each run starts as a first visit: the cookie the home page set is sent within its run, not in the next.
    void cookiesEndWithTheRun()
    {
        TestServer site;
        TestServer::Response home;
        home.body = links({u"/a.htm"_s});
        home.headers = {{"Set-Cookie", "session=1"}};
        site.setRoute(u"/"_s, home);
        Run r(1);
        r.run.start(site.baseUrl());
        r.run.start(site.baseUrl());
        QStringList cookies;
        for (const TestServer::Request& request : site.requests()) {
            cookies << QString::fromLatin1(request.headers.value("cookie"));
        }
        QCOMPARE(cookies, (QStringList{QString(), u"session=1"_s, QString(), u"session=1"_s}));
    }

    // Repeated pages with repeats shown: every link has a node under every page that holds it, with its
    // verdict, but each page is fetched and scanned once and each URL probed once.
    void repeatsShown()
    {
        TestServer site;
        QStringList ring;
        for (int i = 0; i < 12; ++i) {
            ring << u"/r"_s + QString::number(i) + u".htm"_s;
        }
        for (const QString& page : ring + QStringList{u"/"_s}) {
            site.setPage(page, links(ring + QStringList{u"/gone.htm"_s}));
        }
        Run r(5);
        CheckSettings s = r.run.settings();
        s.noRepeats = false;
        r.run.setSettings(s);
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.store.full().count(), 1 + 13 + 12 * 13);
        QCOMPARE(r.unprobed(), 0);
        for (const QString& page : ring + QStringList{u"/"_s, u"/gone.htm"_s}) {
            QCOMPARE(site.hits(page), 1);
        }
        QCOMPARE(r.tested(), 14);
        for (int n = 2; n <= r.store.full().count(); ++n) {
            const ResultNode* node = r.store.full().node(n);
            QCOMPARE(node->record.probed, true);
            QCOMPARE(node->status, int(node->record.url.endsWith(u"gone.htm") ? StatusDead : StatusValid));
            // Only the first node of a page has children.
            QVERIFY(node->children.empty() || r.store.checktext(node->record.url) == n);
        }
        // The dead URL is one entry of the dead URL list, shown under each of the 13 pages that hold it.
        QCOMPARE(r.store.deads().count(), 1);
        QCOMPARE(r.store.dead().topLevel().size(), size_t(13));
        QCOMPARE(r.store.dead().count(), 26);
    }

    // With resources, a missing image (also one named only in a srcset), script, style sheet and a dead
    // frame page are dead under the page that loads them, with their kind; a frame of the site is read
    // like a page, a site page loaded as a script is only probed. Without resources only anchors count.
    void resources_data()
    {
        QTest::addColumn<bool>("resources");
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<QStringList>("dead"); // "page kind link"
        QTest::newRow("off") << false << QStringList{u"/"_s, u"/a.htm"_s} << QStringList{};
        QTest::newRow("on") << true << QStringList{u"/"_s,
                                                   u"/img/ok.png"_s,
                                                   u"/img/missing.png"_s,
                                                   u"/img/only-srcset.png"_s,
                                                   u"/js/missing.js"_s,
                                                   u"/page.htm"_s,
                                                   u"/frame.htm"_s,
                                                   u"/a.htm"_s,
                                                   u"/css/missing.css"_s,
                                                   u"/gone-frame.htm"_s}
                            << QStringList{u"/ image /img/missing.png"_s, u"/ image /img/only-srcset.png"_s,
                                           u"/ script /js/missing.js"_s, u"/frame.htm style /css/missing.css"_s,
                                           u"/a.htm frame /gone-frame.htm"_s};
    }
    void resources()
    {
        QFETCH(bool, resources);
        QFETCH(QStringList, urls);
        QFETCH(QStringList, dead);
        TestServer site;
        site.setPage(u"/"_s, "<img src=/img/ok.png><img src=/img/missing.png>"
                             "<img src=/img/ok.png srcset=\"/img/only-srcset.png 2x\">"
                             "<script src=/js/missing.js></script><script src=/page.htm></script>"
                             "<iframe src=/frame.htm></iframe><a href=/a.htm>a</a>");
        site.setPage(u"/frame.htm"_s, "<link rel=stylesheet href=/css/missing.css><img src=/img/ok.png>");
        site.setPage(u"/a.htm"_s, "<iframe src=/gone-frame.htm></iframe><a href=/>home</a>");
        site.setPage(u"/page.htm"_s, "<a href=/never.htm>n</a>");
        TestServer::Response image;
        image.contentType = "image/png";
        image.body = QByteArray(64, 'x');
        site.setRoute(u"/img/ok.png"_s, image);
        Run r(2);
        CheckSettings s = r.run.settings();
        s.resources = resources;
        r.run.setSettings(s);
        r.run.start(site.baseUrl());

        QCOMPARE(r.store.panel(1), RunText::ready());
        const auto path = [&site](const ResultNode* n) { return n->record.url.mid(site.baseUrl().size()); };
        QStringList found;
        for (int i = 1; i <= r.store.full().count(); ++i) {
            found << (i == 1 ? u"/"_s : path(r.store.full().node(i)));
        }
        QCOMPARE(found, urls);
        QCOMPARE(r.unprobed(), 0);
        QStringList deadFound;
        const ResultTree& tree = r.store.dead();
        for (int top : tree.topLevel()) {
            for (int child : tree.node(top)->children) {
                const QString page = top == 1 ? u"/"_s : path(tree.node(top));
                deadFound << page + u' ' + KindName(tree.node(child)->record.kind) + u' ' + path(tree.node(child));
            }
        }
        QCOMPARE(deadFound, dead);
        QCOMPARE(r.store.deads().count(), dead.size());
        QCOMPARE(r.tested(), urls.size());
        // Each resource is requested once; the site page loaded as a script is not read for links.
        QCOMPARE(site.hits(u"/img/ok.png"_s), resources ? 1 : 0);
        QCOMPARE(site.hits(u"/never.htm"_s), 0);
    }

private:
    // How a site answers for missing pages, and pages that resemble its answer without being one.
    enum SiteKind
    {
        CatchAll,
        RedirectHome,
        RedirectError,
        GoneId,
        HomeEverywhere,
        Proper,
        ScriptShell,
        LoginWall,
        TemplateShop,
        OneLevel,
        Wording,
        SameBoxTwice,
        Refresh,
        ToList,
        Outside
    };
    static QByteArray templated(const QByteArray& title, const QByteArray& main)
    {
        return "<html><head><meta charset=utf-8><title>" + title + "</title></head><body><div>首页 | 产品中心 | 新闻动态 | 联系我们</div>"
               "<div class=main>" + main + "</div><div>版权所有 © 2024 某某科技有限公司 京ICP备12345678号</div></body></html>";
    }
    static constexpr const char* kOutsidePages[] = {"/ext/a.html", "/ext/b.html", "/docs/c.html"};
    // An `Outside` link is a page of `outside`, linked with two more of its pages.
    static void softSite(TestServer& s, SiteKind kind, const QString& link, TestServer& outside)
    {
        const QByteArray main = kind == ScriptShell ? "<div id=\"app\">正在加载…</div><script src=/app.js></script>"
                                                    : "欢迎访问某某科技，我们提供优质的产品和服务。";
        QByteArray others;
        for (const char* page : kOutsidePages) {
            const QString path = QString::fromUtf8(page);
            outside.setPage(path, templated(page, QByteArray(page) + " 方案详情"));
            if (kind == Outside && link != path) {
                others += "<a href=" + outside.url(path).toUtf8() + ">伙伴</a>";
            }
        }
        const QString target = kind == Outside ? outside.url(link) : link;
        const QByteArray home = templated("某某科技", main + "<a href=\"" + target.toUtf8() + "\">链接</a>" + others);
        s.setPage(u"/"_s, home);
        s.setPage(u"/index.html"_s, home);
        s.setPage(u"/about.html"_s, templated("关于我们", "某某科技成立于2005年，专注于工业软件。"));
        s.setPage(u"/short.html"_s, "<meta charset=utf-8><p>电话：010-12345678</p>");
        s.setPage(u"/search.php"_s, templated("搜索", "没有找到与“abc”相关的结果"));
        s.setPage(u"/product.php?id=1"_s, templated("数控机床", "<h1>数控机床 XK-200</h1><p>价格：面议</p>"));
        s.setPage(u"/product.php"_s, templated("商品", "<p>该商品不存在或已下架</p>"));
        s.setPage(u"/404.html"_s, templated("出错了", "<h1>页面不存在</h1>"));
        s.setPage(u"/login.html"_s, templated("登录", "<form><input name=u><input type=password name=p></form>"));
        s.setPage(u"/product/123.html"_s,
                  templated("产品详情", "<h1>数控机床 XK-200</h1><p>价格：登录后查看</p><p>推荐产品：型号q</p>"));
        s.setPage(u"/news/list.html"_s, templated("新闻列表", "<p>新闻一</p><p>新闻二</p>"));
        s.setRedirect(u"/news/2019/old.html"_s, u"/"_s);
        s.setRedirect(u"/news/list.asp"_s, u"/news/list.html"_s, 301);
        TestServer::Response fallback;
        fallback.body = templated("页面不存在", "<h1>页面不存在</h1><p>您访问的页面 {path} 不存在或已被删除。</p>");
        const auto redirect = [](const char* to) {
            return TestServer::Response{302, "", "", 0, {{"Location", to}}, -1, false, {}};
        };
        QString route = u"*"_s;
        switch (kind) {
        case RedirectHome:
            fallback = redirect("/");
            break;
        case RedirectError:
            fallback = redirect("/404.html");
            break;
        case LoginWall:
            fallback = redirect("/login.html");
            break;
        case HomeEverywhere:
        case ScriptShell:
            fallback.body = home;
            break;
        case TemplateShop:
            fallback.body = templated("产品详情", "<h1></h1><p>价格：登录后查看</p><p>推荐产品：型号{n}</p>");
            break;
        case OneLevel:
            route = u"/news/*"_s;
            fallback.body = templated("新闻", "<p>新闻不存在</p>");
            break;
        case Wording:
            fallback.body = templated("Oops", "<h1>页面不见了</h1><p>看看别的：文章{n}</p>");
            break;
        case SameBoxTwice: // three of six suggestions drawn afresh, alike for both made-up addresses
            fallback.body = templated("页面不存在", "<h1>页面不存在</h1><p>猜你喜欢：</p><p>五轴加工入门</p>"
                                                   "<p>刀具选型指南</p><p>车间安全守则</p>");
            s.setPage(link, templated("页面不存在", "<h1>页面不存在</h1><p>猜你喜欢：</p><p>五轴加工入门</p>"
                                                    "<p>数控编程技巧</p><p>精度检测方法</p>"));
            break;
        case Refresh:
            fallback.body = "<html><head><meta http-equiv=refresh content=\"0;url=/\"></head><body></body></html>";
            break;
        case ToList:
            route = u"/news/*"_s;
            fallback = redirect("/news/list.html");
            break;
        default:
            break;
        }
        if (kind != GoneId && kind != Proper) {
            s.setRoute(route, fallback);
        }
        if (kind == Outside) {
            outside.setRoute(route, fallback);
        }
    }

private slots:
    // A page that answers normally but is the host's answer for missing pages is dead, with the reason;
    // its look-alikes stay valid. Read as a page of the site (depth 2) or probed only (depth 1), it is
    // judged the same, and a host that answers 404 properly is asked one made-up address at most.
    void contentDead_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("check");
        QTest::addColumn<QString>("statusText"); // empty: valid
        const auto row = [](const char* name, SiteKind kind, const char* link, const QString& text, bool check = true) {
            QTest::newRow(name) << int(kind) << QString::fromUtf8(link) << check << text;
        };
        row("200 catch-all", CatchAll, "/news/old.html", u"内容死链：与不存在页面相同（页面不存在）"_s);
        row("switched off", CatchAll, "/news/old.html", QString(), false);
        row("page sharing the template", CatchAll, "/about.html", QString());
        row("very short page", CatchAll, "/short.html", QString());
        row("search without results", CatchAll, "/search.php?keyword=abc", QString());
        row("index.html", CatchAll, "/index.html", QString());
        row("redirect to home", RedirectHome, "/gone.html", u"内容死链：跳转到首页"_s);
        row("real page beside redirects", RedirectHome, "/about.html", QString());
        row("redirect to an error page", RedirectError, "/gone.html", u"内容死链：跳转到“/404.html”"_s);
        row("gone id", GoneId, "/product.php?id=999", u"内容死链：与不存在页面相同（该商品不存在或已下架）"_s);
        row("existing id", GoneId, "/product.php?id=1", QString());
        row("home page everywhere", HomeEverywhere, "/gone.html", u"内容死链：页面内容与首页相同"_s);
        row("real page beside the home page", HomeEverywhere, "/about.html", QString());
        row("page filled in by scripts", ScriptShell, "/app/settings", QString());
        row("proper 404", Proper, "/gone.html", u"404 Not Found（页面不存在）"_s);
        row("valid page beside proper 404s", Proper, "/about.html", QString());
        // Links that lead elsewhere by design, and template text, stay valid.
        row("language switch sent home", RedirectHome, "/lang/zh-tw", QString());
        row("mobile home", HomeEverywhere, "/m/", QString());
        row("page number", HomeEverywhere, "/page/2/", QString());
        row("login wall", LoginWall, "/member/orders.html", RunText::signInNeeded());
        row("template line and random box", TemplateShop, "/product/123.html", QString());
        row("old list address moved to the list", ToList, "/news/list.asp", QString());
        // Missing pages in disguise found whatever their wording and however they are sent on.
        row("one-level router", OneLevel, "/news/old", u"内容死链：与不存在页面相同（新闻不存在）"_s);
        row("wording outside the list", Wording, "/news/old.html", u"内容死链：与不存在页面相同（页面不见了）"_s);
        row("suggestions drawn alike twice", SameBoxTwice, "/news/old.html", u"内容死链：与不存在页面相同（页面不存在）"_s);
        row("meta refresh home", Refresh, "/news/old.html", u"内容死链：跳转到首页"_s);
        row("deep link sent home", CatchAll, "/news/2019/old.html", u"内容死链：跳转到首页"_s);
        row("folder index.html", CatchAll, "/tutorial/index.html", u"内容死链：与不存在页面相同（页面不存在）"_s);
        row("unknown news sent to the list", ToList, "/news/old.html", u"内容死链：跳转到“/news/list.html”"_s);
        // What judging costs: three links of a host outside the site that answers missing pages in place.
        row("outside host", Outside, kOutsidePages[0], QString());
    }
    void contentDead()
    {
        QFETCH(int, kind);
        QFETCH(QString, link);
        QFETCH(bool, check);
        QFETCH(QString, statusText);
        for (const int depth : {1, 2}) {
            TestServer site;
            TestServer outside;
            softSite(site, SiteKind(kind), link, outside);
            const TestServer& host = kind == Outside ? outside : site;
            Run r(depth);
            CheckSettings s = r.run.settings();
            s.contentCheck = check;
            r.run.setSettings(s);
            r.run.start(site.baseUrl());
            const ResultNode* node = r.store.full().node(2);
            QVERIFY(node && node->record.url == host.url(link));
            const bool valid = statusText.isEmpty() || statusText == RunText::signInNeeded();
            QCOMPARE(node->status, valid ? int(StatusValid) : int(StatusDead));
            QCOMPARE(node->record.statusText, statusText.isEmpty() ? u"OK"_s : statusText);
            QCOMPARE(node->record.contentDead, statusText.startsWith(u"内容死链"_s));
            // Two made-up requests at most (a pattern of the site, or a host outside it), one on a host
            // that answers them 404; a link is downloaded once, judged or not, read for the crawl or not.
            const auto madeUp = [](const TestServer::Request& q) { return q.path.contains(u"/kz"_s); };
            const QList<TestServer::Request> asked = host.requests();
            QVERIFY(std::count_if(asked.begin(), asked.end(), madeUp) <= (kind == Proper ? 1 : 2));
            const auto isLink = [&link](const TestServer::Request& q) {
                return q.path + (q.query.isEmpty() ? QString() : u'?' + q.query) == link;
            };
            QCOMPARE(std::count_if(asked.begin(), asked.end(), isLink), 1);
            for (const char* page : kOutsidePages) {
                QVERIFY(kind != Outside || outside.hits(QString::fromUtf8(page)) == 1);
            }
        }
    }

    // A page's links resolve against the address that answered; a page that moved off the site is only
    // probed, its links neither shown nor requested.
    void redirects()
    {
        TestServer site;
        TestServer other;
        site.setPage(u"/"_s, links({u"sub"_s, u"/away"_s}));
        site.setRedirect(u"/sub"_s, u"/sub/"_s);
        site.setPage(u"/sub/"_s, links({u"inner.html"_s}));
        site.setPage(u"/sub/inner.html"_s, links({}));
        site.setRedirect(u"/away"_s, other.url(u"/page"_s));
        other.setPage(u"/page"_s, links({u"/x.htm"_s}));
        Run r(5);
        r.run.start(site.baseUrl());
        QCOMPARE(r.urls(), (QStringList{site.baseUrl(), site.url(u"/sub"_s), site.url(u"/away"_s),
                                        site.url(u"/sub/inner.html"_s)}));
        QCOMPARE(r.store.deads().count(), 0);
        QCOMPARE(other.hits(u"/page"_s), 1);
        QCOMPARE(other.hits(u"/x.htm"_s), 0);
    }

    // Subdomains of the site's registrable domain are crawled, other hosts of its suffix are not; a dead
    // link on a subdomain page is found. The test server answers for every host name as their proxy.
    void subdomains_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("www host") << u"www.kelvara.test"_s;
        QTest::newRow("two labels") << u"kelvara.test"_s;
    }
    void subdomains()
    {
        QFETCH(QString, host);
        TestServer site;
        const QString port = u':' + QString::number(site.port());
        site.setPage(u"/"_s, links({u"http://bbs.kelvara.test"_s + port + u"/forum.html"_s,
                                    u"http://www.other.test"_s + port + u"/o.htm"_s}));
        site.setPage(u"/forum.html"_s, links({u"/bbs-dead.html"_s}));
        site.setPage(u"/o.htm"_s, links({u"/o-dead.html"_s}));
        qputenv("http_proxy", site.baseUrl().toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("http_proxy"); });
        Run r(5);
        CheckSettings s = r.run.settings();
        s.subdomains = true;
        r.run.setSettings(s);
        r.run.start(host + port);
        QCOMPARE(r.store.deads().count(), 1);
        QCOMPARE(r.store.deads().entry(0).url, u"http://bbs.kelvara.test"_s + port + u"/bbs-dead.html"_s);
        QCOMPARE(site.hits(u"/o.htm"_s), 1);
        QCOMPARE(site.hits(u"/o-dead.html"_s), 0);
    }

    // A link is requested as a browser requests it: its query in the charset of the page that holds it,
    // an international host name in its ASCII form. The server knows the word only in GBK.
    void browserForm_data()
    {
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<int>("status");
        QTest::newRow("gb2312 page") << QByteArray("gb2312") << int(StatusValid);
        QTest::newRow("utf-8 page") << QByteArray("utf-8") << int(StatusDead);
    }
    void browserForm()
    {
        QFETCH(QByteArray, charset);
        QFETCH(int, status);
        TestServer site;
        const QString idn = u"http://例子.test:"_s + QString::number(site.port()) + u"/idn.htm"_s;
        const QString html = u"<meta charset="_s + QString::fromLatin1(charset) +
                             u"><a href=\"search.php?q=中文\">搜索</a>"_s + u"<a href=\""_s + idn + u"\">例子</a>"_s;
        site.setPage(u"/"_s, QStringEncoder(charset.constData()).encode(html));
        TestServer::Response search;
        search.body = "ok";
        search.onlyQuery = "q=%D6%D0%CE%C4";
        site.setRoute(u"/search.php"_s, search);
        site.setPage(u"/idn.htm"_s, "idn");
        qputenv("http_proxy", site.baseUrl().toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("http_proxy"); });
        Run r(1);
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.full().count(), 3);
        QCOMPARE(r.store.full().node(2)->text, u"search.php?q=中文"_s);
        QCOMPARE(r.store.full().node(2)->record.url, site.url(u"/search.php?q=中文"_s));
        QCOMPARE(r.store.full().node(2)->status, status);
        QCOMPARE(r.store.full().node(3)->status, int(StatusValid));
        QStringList hosts;
        for (const TestServer::Request& request : site.requests()) {
            hosts << QString::fromLatin1(request.headers.value("host"));
        }
        QVERIFY(hosts.contains(u"xn--fsqu00a.test:"_s + QString::number(site.port())));
    }

    // Many requests in flight change nothing but the timing: the stores match a one-at-a-time run node
    // for node, on sites with repeats, batches, dead and timed-out links, and after a stop and resume.
    void concurrentMatchesSequential_data()
    {
        QTest::addColumn<bool>("repeats");
        QTest::addColumn<int>("stopAt");
        QTest::newRow("repeats hidden") << false << 0;
        QTest::newRow("repeats shown") << true << 0;
        QTest::newRow("stopped and resumed") << false << 9;
    }
    void concurrentMatchesSequential()
    {
        QFETCH(bool, repeats);
        QFETCH(int, stopAt);
        TestServer site;
        smallSite(site, site.url(u"/b1.htm"_s));
        QStringList many;
        for (int i = 0; i < 260; ++i) {
            many << u"/m"_s + QString::number(i) + u".htm"_s;
            site.setPage(many.last(), i % 7 == 0 ? links({u"/a.htm"_s, u"/gone"_s + QString::number(i)}) : "x");
        }
        site.setPage(u"/b1.htm"_s, links(many + QStringList{u"/slow.htm"_s}));
        site.setSilent(u"/slow.htm"_s);

        QStringList dumps[2];
        int deads[2] = {0, 0};
        for (int mode = 0; mode < 2; ++mode) {
            Run r(5, 1, mode == 0 ? CheckRun::ProberFactory([] { return MakeSequentialProber(); }) : nullptr);
            CheckSettings s = r.run.settings();
            s.noRepeats = !repeats;
            s.parallel = mode == 0 ? 1 : 32;
            r.run.setSettings(s);
            if (stopAt > 0) {
                r.toolkit.atYield(stopAt, [&r] { r.run.stop(); });
                r.run.start(site.baseUrl());
                QCOMPARE(r.store.panel(1), RunText::paused());
            }
            r.run.start(site.baseUrl());
            QCOMPARE(r.store.panel(1), RunText::ready());
            dumps[mode] = r.dump();
            deads[mode] = r.store.deads().count();
            QCOMPARE(r.store.timeouts().count(), 1);
        }
        QVERIFY(dumps[0].size() > 200);
        QCOMPARE(dumps[1], dumps[0]);
        QCOMPARE(deads[1], deads[0]);
    }

    // Servers that limit their clients as small hosting does: a rate limit (429 with Retry-After), a
    // connection limit (503 to the rest) and one worker that queues every request. A run with many
    // requests in flight must find what a one-at-a-time run finds on the same site without its limits:
    // no live page dead or timed out because of our pace, no dead link missed.
    void limitedServersMatchSequential_data()
    {
        QTest::addColumn<int>("perSecond");
        QTest::addColumn<int>("concurrent");
        QTest::addColumn<int>("serialMs");
        QTest::addColumn<bool>("dateRetryAfter");
        QTest::newRow("rate limit") << 25 << 0 << 0 << false;
        QTest::newRow("rate limit, Retry-After as a date") << 10 << 0 << 0 << true;
        QTest::newRow("connection limit") << 0 << 4 << 0 << false;
        QTest::newRow("one at a time") << 0 << 0 << 60 << false;
    }
    void limitedServersMatchSequential()
    {
        QFETCH(int, perSecond);
        QFETCH(int, concurrent);
        QFETCH(int, serialMs);
        QFETCH(bool, dateRetryAfter);
        TestServer site;
        QStringList pages;
        for (int i = 0; i < 40; ++i) {
            pages << u"/p"_s + QString::number(i) + u".htm"_s;
        }
        site.setPage(u"/"_s, links(pages));
        for (int i = 0; i < pages.size(); ++i) {
            TestServer::Response r;
            r.body = links({pages[(i + 1) % pages.size()], u"/gone"_s + QString::number(i % 8)});
            r.delayMs = concurrent > 0 ? 40 : 0;
            site.setRoute(pages[i], r);
        }
        QStringList dumps[2];
        for (int mode = 0; mode < 2; ++mode) {
            Run r(2, 1, mode == 0 ? CheckRun::ProberFactory([] { return MakeSequentialProber(); }) : nullptr);
            CheckSettings s = r.run.settings();
            s.parallel = mode == 0 ? 1 : 32;
            r.run.setSettings(s);
            int refusedEarly = -1;
            if (mode == 1) {
                site.setLimits({perSecond, concurrent, serialMs, dateRetryAfter});
                r.toolkit.atYield(75, [&site, &refusedEarly] { refusedEarly = site.refusals(); });
            }
            QStringList notes;
            connect(&r.store, &LinkStore::waitNoteChanged, this, [&notes](const QString& note) { notes << note; });
            r.run.start(site.baseUrl());
            dumps[mode] = r.dump();
            // The run says when it waits for the server that asked it to (Retry-After: 1), and stops saying so.
            if (mode == 1 && perSecond > 0) {
                QVERIFY2(notes.contains(RunText::serverWait(1)), qPrintable(notes.join(u'|')));
            }
            // It learns the rate from the refusals of its first requests (some 20 of 49 at 10 a second): the
            // later ones are not refused.
            if (mode == 1 && dateRetryAfter) {
                QCOMPARE(site.refusals(), refusedEarly);
            }
            QVERIFY(r.store.waitNote().isEmpty());
            QCOMPARE(r.store.timeouts().count(), 0);
            QCOMPARE(r.store.deads().count(), 8);
        }
        QCOMPARE(dumps[1], dumps[0]);
        QVERIFY2(site.maxConcurrent() <= 32, qPrintable(QString::number(site.maxConcurrent())));
    }

    // Results cleared while the run is stopping: the run pauses on an empty list, and the next start of
    // the same site checks it afresh instead of resuming nothing.
    void clearWhileStoppingThenStart()
    {
        TestServer site;
        smallSite(site, site.url(u"/b1.htm"_s));
        Run reference(5);
        reference.run.start(site.baseUrl());
        Run r(5);
        r.toolkit.atYield(4, [&r] {
            r.run.stop();
            r.store.clearResults();
        });
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::paused());
        QCOMPARE(r.store.full().count(), 0);
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.dump(), reference.dump());
    }

    // Clear results in the middle of a run: the run winds down on an empty list without harm.
    void clearDuringRun()
    {
        TestServer site;
        smallSite(site, site.url(u"/b1.htm"_s));
        Run r(5);
        r.toolkit.atYield(6, [&r] { r.store.clearResults(); });
        r.run.start(site.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.store.full().count(), 0);
        QCOMPARE(r.store.dead().count(), 0);

        // Cleared while stopping, just before a dead link's probe: the stop ends its wait, and nothing of it
        // is recorded (yields: home probe, new node, the sweep's probe).
        TestServer small;
        small.setPage(u"/"_s, links({u"/gone.htm"_s}));
        Run s(1);
        s.toolkit.atYield(3, [&s] {
            s.run.stop();
            s.store.clearResults();
        });
        s.run.start(small.baseUrl());
        QCOMPARE(s.store.deads().count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCheckRun)
#include "tst_checkrun.moc"
