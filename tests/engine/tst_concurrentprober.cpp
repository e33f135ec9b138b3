#include "concurrentprober.h"
#include "testserver.h"

#include <QDateTime>
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
    // What the pacing makes of one answer of a host that has answered well before (in 100 ms): asked
    // again after the pause the host asks for, asked again alone, or taken as it is.
    void pacerDecisions_data()
    {
        QTest::addColumn<int>("status"); // 0: the answer timed out
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<bool>("company"); // another request to the host was under way
        QTest::addColumn<int>("errorsBefore"); // the same answer this many times just before
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("pauseMs"); // how long the host then rests, within a second's rounding

        const int accept = int(HostPacer::Verdict::Accept);
        const int retry = int(HostPacer::Verdict::Retry);
        const int confirm = int(HostPacer::Verdict::Confirm);
        const QByteArray inThree =
            QDateTime::currentDateTimeUtc().addSecs(3).toString(Qt::RFC2822Date).toLatin1();
        QTest::newRow("429, Retry-After in seconds") << 429 << QByteArray("2") << true << 0 << retry << 2000;
        QTest::newRow("503, Retry-After as a date") << 503 << inThree << true << 0 << retry << 3000;
        QTest::newRow("503 without Retry-After") << 503 << QByteArray() << true << 0 << retry << 200;
        QTest::newRow("Retry-After beyond the timeout") << 429 << QByteArray("3600") << true << 0 << retry << 10000;
        QTest::newRow("the fourth refusal counts") << 429 << QByteArray("1") << false << 3 << accept << 1000;
        QTest::newRow("timeout among others") << 0 << QByteArray() << true << 0 << confirm << 0;
        QTest::newRow("timeout alone") << 0 << QByteArray() << false << 0 << accept << 0;
        QTest::newRow("a 403") << 403 << QByteArray() << true << 0 << accept << 0;
        QTest::newRow("the third 403 in a row") << 403 << QByteArray() << true << 2 << confirm << 1000;
        QTest::newRow("a 404") << 404 << QByteArray() << true << 2 << accept << 0;
    }
    void pacerDecisions()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, retryAfter);
        QFETCH(bool, company);
        QFETCH(int, errorsBefore);
        QFETCH(int, verdict);
        QFETCH(int, pauseMs);
        constexpr qint64 ms = 1'000'000;
        const QString host = HostPacer::HostKey(u"http://site.test/a"_s);
        HostPacer pacer(64);
        HttpResult ok;
        ok.completed = true;
        ok.status = 200;
        qint64 now = 0;
        pacer.answered(pacer.issued(host, now, false), ok, now + 100 * ms, 0, false, 10);

        HttpResult answer;
        answer.completed = status != 0;
        answer.status = status;
        answer.retryAfter = retryAfter;
        answer.error = status == 0 ? HttpError::Timeout : HttpError::None;
        if (company) {
            pacer.issued(host, now, false); // under way until the end
        }
        HostPacer::Verdict got = HostPacer::Verdict::Accept;
        for (int i = 0; i <= errorsBefore; ++i) {
            now += 1000 * ms;
            got = pacer.answered(pacer.issued(host, now, false), answer, now + 300 * ms, i, false, 10);
        }
        QCOMPARE(int(got), verdict);
        const qint64 rest = std::max<qint64>(0, pacer.pausedUntilNs(host) - (now + 300 * ms)) / ms;
        QVERIFY2(rest >= pauseMs - 1000 * (pauseMs >= 3000) && rest <= pauseMs, qPrintable(QString::number(rest)));
    }

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
            QCOMPARE(r.statusText, i % 3 == 0 ? u"404 Not Found（页面不存在）"_s : u"OK"_s);
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
        QVERIFY(prober.CheckUrl(site.url(u"/other"_s), 5, false).statusText == u"404 Not Found（页面不存在）"_s);
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
