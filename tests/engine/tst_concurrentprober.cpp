#include "concurrentprober.h"
#include "testserver.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The prober that runs ahead: how far, and that the run still gets its answers in its own order.
class TestConcurrentProber : public QObject
{
    Q_OBJECT

    static ProbePlan planOf(const QStringList& urls, bool pageWanted)
    {
        int next = 0;
        return [urls, pageWanted, next](PlannedProbe& p) mutable {
            if (next >= urls.size()) {
                return false;
            }
            p = {urls[next++], pageWanted, 5};
            return true;
        };
    }

private slots:
    // Never more requests in flight than the setting allows, and answers handed out in plan order.
    void boundedAndInOrder()
    {
        TestServer site;
        QStringList urls;
        for (int i = 0; i < 40; ++i) {
            const QString path = u"/p"_s + QString::number(i);
            TestServer::Response r;
            r.status = i % 3 == 0 ? 404 : 200;
            r.body = "x";
            r.delayMs = 100 + (i % 4) * 50; // later ones sometimes answer first
            site.setRoute(path, r);
            urls << site.url(path);
        }
        ConcurrentProber prober(4);
        prober.setPlan(planOf(urls, false));
        QTRY_COMPARE_WITH_TIMEOUT(site.pending(), 4, 5000);
        for (int i = 0; i < urls.size(); ++i) {
            QVERIFY2(site.pending() <= 4, qPrintable(QString::number(site.pending())));
            QVERIFY(prober.ahead() <= 8);
            const ProbeResult r = prober.CheckUrl(urls[i], 5, false);
            QCOMPARE(r.valid, i % 3 != 0);
            QCOMPARE(r.statusText, i % 3 == 0 ? u"Not Found"_s : u"OK"_s);
        }
        // Every planned probe was asked once, none twice.
        QCOMPARE(site.requests().size(), urls.size());
    }

    // A probe the plan did not foresee is asked at once; the planned ones stay for their turn.
    void unplannedProbe()
    {
        TestServer site;
        site.setPage(u"/a"_s, "a");
        site.setPage(u"/b"_s, "b");
        site.setPage(u"/other"_s, "o");
        ConcurrentProber prober(2);
        prober.setPlan(planOf({site.url(u"/a"_s), site.url(u"/b"_s)}, true));
        QVERIFY(prober.CheckUrl(site.url(u"/other"_s), 5, false).valid);
        QVERIFY(prober.CheckUrl(site.url(u"/a"_s), 5, true).valid);
        QCOMPARE(prober.CheckLinks(site.url(u"/a"_s), 5), u"a"_s);
        QVERIFY(prober.CheckUrl(site.url(u"/b"_s), 5, true).valid);
        QCOMPARE(prober.CheckLinks(site.url(u"/b"_s), 5), u"b"_s);
        for (const QString& path : {u"/a"_s, u"/b"_s, u"/other"_s}) {
            QCOMPARE(site.hits(path), 1); // each page read from its probe, not fetched again
        }
    }

    // A page a sweep probed is handed to the later probe of the same page instead of a second download.
    void keptPageServesTheLaterProbe()
    {
        TestServer site;
        site.setPage(u"/page"_s, "<a href=x>x</a>");
        ConcurrentProber prober(4);
        QVERIFY(prober.CheckUrl(site.url(u"/page"_s), 5, true).valid); // the sweep's probe
        QVERIFY(prober.CheckUrl(site.url(u"/other"_s), 5, false).statusText == u"Not Found"_s);
        QVERIFY(prober.CheckUrl(site.url(u"/page"_s), 5, true).valid); // the crawl pass's probe
        QCOMPARE(prober.CheckLinks(site.url(u"/page"_s), 5), u"<a href=x>x</a>"_s);
        QCOMPARE(site.hits(u"/page"_s), 1);
        // Once read, the page is not kept: a later probe asks the server again.
        QVERIFY(prober.CheckUrl(site.url(u"/page"_s), 5, true).valid);
        QCOMPARE(site.hits(u"/page"_s), 2);
    }
};

QTEST_GUILESS_MAIN(TestConcurrentProber)
#include "tst_concurrentprober.moc"
