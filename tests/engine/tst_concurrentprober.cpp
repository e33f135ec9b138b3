#include "concurrentprober.h"
#include "silentserver.h"
#include "testserver.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QTest>

#include <deque>

using namespace Qt::StringLiterals;

// The prober that runs ahead: how far, and that the run still gets its answers in its own order.
class TestConcurrentProber : public QObject
{
    Q_OBJECT

    static ProbePlan planOf(const QStringList& urls, bool pageWanted, int tryTime = 5)
    {
        int next = 0;
        return [urls, pageWanted, tryTime, next](PlannedProbe& p) mutable {
            if (next >= urls.size()) {
                return false;
            }
            p = {urls[next++], pageWanted, tryTime};
            return true;
        };
    }

    static HttpResult answerOf(int status)
    {
        HttpResult r;
        r.completed = true;
        r.status = status;
        return r;
    }

    // "/busy" answers every request with `status` and this Retry-After.
    static void busyRoute(TestServer& site, int status, const QByteArray& retryAfter)
    {
        TestServer::Response busy;
        busy.status = status;
        busy.headers.append({QByteArray("Retry-After"), retryAfter});
        site.setRoute(u"/busy"_s, busy);
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
        QTest::addColumn<bool>("answersMeanwhile"); // the server answered another request at its pace meanwhile
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("pauseMs"); // how long the host then rests, within a second's rounding
        QTest::addColumn<bool>("together"); // those answers were asked all at once, not one after another

        const int accept = int(HostPacer::Verdict::Accept);
        const int retry = int(HostPacer::Verdict::Retry);
        const int confirm = int(HostPacer::Verdict::Confirm);
        const QDateTime inThree = QDateTime::currentDateTimeUtc().addSecs(3);
        const auto date = [&inThree](const char* format) { return QLocale::c().toString(inThree, QString::fromLatin1(format)).toLatin1(); };
        QTest::newRow("429, Retry-After in seconds") << 429 << QByteArray("2") << true << 0 << false << retry << 2000 << false;
        QTest::newRow("503, Retry-After as an HTTP date") << 503 << date("ddd, dd MMM yyyy hh:mm:ss 'GMT'") << true << 0 << false << retry << 3000 << false;
        QTest::newRow("429, Retry-After in RFC 850 form") << 429 << date("dddd, dd-MMM-yy hh:mm:ss 'GMT'") << true << 0 << false << retry << 3000 << false;
        QTest::newRow("429, Retry-After in asctime form") << 429 << date("ddd MMM d hh:mm:ss yyyy") << true << 0 << false << retry << 3000 << false;
        QTest::newRow("503 without Retry-After") << 503 << QByteArray() << true << 0 << false << retry << 200 << false;
        QTest::newRow("Retry-After beyond the timeout") << 429 << QByteArray("3600") << true << 0 << false << retry << 10000 << false;
        QTest::newRow("the third round of refusals counts") << 429 << QByteArray("1") << false << 2 << false << accept << 0 << false;
        QTest::newRow("timeout among others") << 0 << QByteArray() << true << 0 << false << confirm << 0 << false;
        QTest::newRow("timeout of a server that kept its pace") << 0 << QByteArray() << true << 0 << true << accept << 0 << false;
        QTest::newRow("timeout alone") << 0 << QByteArray() << false << 0 << false << accept << 0 << false;
        QTest::newRow("a 403") << 403 << QByteArray() << true << 0 << false << accept << 0 << false;
        QTest::newRow("the third 403 in a row") << 403 << QByteArray() << true << 2 << false << confirm << 1000 << false;
        QTest::newRow("503s of one burst are one round") << 503 << QByteArray() << true << 2 << false << retry << 200 << true;
        QTest::newRow("a 404") << 404 << QByteArray() << true << 2 << false << accept << 0 << false;
    }
    void pacerDecisions()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, retryAfter);
        QFETCH(bool, company);
        QFETCH(int, errorsBefore);
        QFETCH(bool, answersMeanwhile);
        QFETCH(int, verdict);
        QFETCH(int, pauseMs);
        QFETCH(bool, together);
        constexpr qint64 ms = 1'000'000;
        const QString host = HostPacer::HostKey(u"http://site.test/a"_s);
        HostPacer pacer(64);
        const HttpResult ok = answerOf(200);
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
        std::deque<HostPacer::Ticket> burst;
        if (together) {
            now += 1000 * ms;
            for (int i = 0; i <= errorsBefore; ++i) {
                burst.push_back(pacer.issued(host, now, false));
            }
        }
        for (int i = 0; i <= errorsBefore; ++i) {
            now += together ? 0 : 1000 * ms;
            const HostPacer::Ticket ticket = together ? burst[i] : pacer.issued(host, now, false);
            if (answersMeanwhile) {
                pacer.answered(pacer.issued(host, now, false), ok, now + 100 * ms, 0, false, 10);
            }
            got = pacer.answered(ticket, answer, now + 300 * ms, i, false, 10);
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
        QStringList later;
        for (int i = 0; i < 8; ++i) {
            later << site.url(u"/c"_s + QString::number(i));
        }
        ConcurrentProber prober(2);
        prober.setPlan(planOf(QStringList{site.url(u"/a"_s), site.url(u"/b"_s)} + later, true));
        QVERIFY(prober.CheckUrl(site.url(u"/other"_s), 5, false).valid);
        // Asked before the plan comes to it (the run passed over what lies between): not asked twice.
        QCOMPARE(prober.CheckUrl(later.last(), 5, true).valid, false);
        QVERIFY(prober.CheckUrl(site.url(u"/a"_s), 5, true).valid);
        QCOMPARE(prober.CheckLinks(site.url(u"/a"_s), 5), u"a"_s);
        QVERIFY(prober.CheckUrl(site.url(u"/b"_s), 5, true).valid);
        QCOMPARE(prober.CheckLinks(site.url(u"/b"_s), 5), u"b"_s);
        for (int i = 0; i + 1 < later.size(); ++i) {
            QCOMPARE(prober.CheckUrl(later[i], 5, true).valid, false);
        }
        QCOMPARE(prober.ahead(), 0); // the plan is done and nothing is left to ask
        for (const QString& path : {u"/a"_s, u"/b"_s, u"/other"_s, u"/c7"_s}) {
            QCOMPARE(site.hits(path), 1); // each page read from its probe, not fetched again
        }
    }

    // While the run waits long for a slow page, the plan's pages beyond the usual look-ahead are read
    // and the links the look-ahead finds in them are asked for; each answer serves its probe later.
    void slowPageHoldsNothingUp()
    {
        TestServer site;
        TestServer::Response slow;
        slow.body = "slow";
        slow.delayMs = 1500;
        site.setRoute(u"/slow"_s, slow);
        QStringList plan{site.url(u"/slow"_s)};
        for (int i = 0; i < 6; ++i) {
            plan << site.url(u"/p"_s + QString::number(i));
            site.setPage(u"/p"_s + QString::number(i), "page");
        }
        ConcurrentProber prober(2); // four probes ahead at most, as long as nothing holds the run up
        prober.setPlan(planOf(plan, true));
        prober.setLookAhead([](const PageAhead& page) {
            return std::vector<PlannedProbe>{{page.finalUrl + u"-link"_s, false, 5}};
        });
        QVERIFY(prober.CheckUrl(plan[0], 5, true).valid);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(site.hits(u"/p"_s + QString::number(i) + u"-link"_s), 1);
        }
        QVERIFY(prober.CheckUrl(plan[5], 5, true).valid);
        QCOMPARE(prober.CheckUrl(plan[5] + u"-link"_s, 5, false).statusText, u"404 Not Found（页面不存在）"_s);
        QCOMPARE(site.requests().size(), 13);
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
    // A server that refuses one request more than it takes at once is asked that many at once from then
    // on, and more again only after a spell without refusals.
    void pacerKeepsTheServersLimit()
    {
        constexpr qint64 ms = 1'000'000;
        const QString host = HostPacer::HostKey(u"http://site.test/a"_s);
        HostPacer pacer(64);
        const HttpResult ok = answerOf(200);
        const HttpResult busy = answerOf(503);
        std::deque<HostPacer::Ticket> live;
        for (int i = 0; i < 5; ++i) {
            live.push_back(pacer.issued(host, 0, false));
        }
        pacer.answered(live.back(), busy, 5 * ms, 0, false, 10);
        live.pop_back();
        int most = 0;
        for (qint64 now = 500 * ms; now < 15'000 * ms; now += 50 * ms) {
            while (pacer.mayIssue(host, now, false)) {
                live.push_back(pacer.issued(host, now, false));
            }
            if (now < 10'000 * ms) {
                QCOMPARE(int(live.size()), 4);
            }
            most = std::max(most, int(live.size()));
            pacer.answered(live.front(), ok, now + 50 * ms, 0, false, 10);
            live.pop_front();
        }
        QVERIFY(most > 4);
    }
    // A burst that reached the server out of order: it took 20 of 25, not the first 20 sent. The rate
    // learned is those 20 a second, less a margin: the next request goes 51 ms after the one before.
    void pacerLearnsTheRateOfABurst()
    {
        constexpr qint64 ms = 1'000'000;
        const QString host = HostPacer::HostKey(u"http://site.test/a"_s);
        HostPacer pacer(64);
        std::vector<HostPacer::Ticket> burst;
        for (int i = 0; i < 25; ++i) {
            burst.push_back(pacer.issued(host, i * ms, false));
        }
        for (int i = 0; i < 25; ++i) {
            pacer.answered(burst[i], answerOf(i == 14 || i > 20 ? 429 : 200), 30 * ms, 0, false, 10);
        }
        pacer.issued(host, 1100 * ms, false);
        QCOMPARE(pacer.readyAtNs(host) / ms, 1151);
    }
    // Pages that take 300 ms among 404s that answer at once: each is judged against answers of its own
    // class, so the limit grows to the setting instead of taking every page for a sign of load.
    void quickErrorsAmongSlowPages()
    {
        constexpr qint64 ms = 1'000'000;
        const QString host = HostPacer::HostKey(u"http://cms.test/"_s);
        HostPacer pacer(64);
        std::deque<HostPacer::Ticket> live;
        qint64 now = 0;
        int most = 0;
        for (int answer = 0; answer < 400; ++answer) {
            while (pacer.mayIssue(host, now, false)) {
                live.push_back(pacer.issued(host, now, false));
            }
            most = std::max(most, int(live.size()));
            HttpResult r = answerOf(answer % 3 == 0 ? 404 : 200);
            r.firstByteNs = answer % 3 == 0 ? 1 * ms : 300 * ms;
            now = std::max(now, live.front().issuedNs + r.firstByteNs);
            pacer.answered(live.front(), r, now, 0, false, 10);
            live.pop_front();
        }
        QVERIFY2(most == 64, qPrintable(QString::number(most)));
    }

    // Servers that would hold the run for a wait per link: one that refuses every request with a
    // Retry-After far beyond the timeout, and two that never answer (their connections never open, or
    // open and stay mute). Each holds the run for a few timeouts only; no link is dead, valid or asked twice.
    void serversThatHoldTheRun_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text"); // of the last link
        QTest::newRow("always refuses") << 0 << u"服务器限流，未能确认（429 Too Many Requests）"_s;
        QTest::newRow("connections never open") << 1 << u"查询超时（主机无应答）"_s;
        QTest::newRow("accepts and never answers") << 2 << u"查询超时（主机无应答）"_s;
    }
    void serversThatHoldTheRun()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        TestServer site;
        busyRoute(site, 429, "999999");
        HangingPort hanging;
        SilentTcpServer mute;
        QStringList urls;
        for (int i = 0; i < 40; ++i) {
            const QString path = u"/busy?n="_s + QString::number(i);
            urls << (kind == 0 ? site.url(path) : kind == 1 ? hanging.url(path) : mute.url(path));
        }
        ConcurrentProber prober(8);
        prober.setPlan(planOf(urls, false, 1));
        QElapsedTimer clock;
        clock.start();
        ProbeResult r;
        for (const QString& url : urls) {
            r = prober.CheckUrl(url, 1, false);
            QVERIFY(!r.valid);
            QCOMPARE(r.refused, kind == 0);
            QVERIFY2(r.statusText.startsWith(kind == 0 ? text : u"查询超时"_s), qPrintable(r.statusText));
        }
        QCOMPARE(r.statusText, text);
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(site.hits(u"/busy"_s) < 2 * urls.size());
        QVERIFY(mute.connections() <= HostPacer::kInitialLimit);
    }

    // A stop ends the wait for a server's pause at once: the probe has no answer and is not asked again.
    void stopDuringPause()
    {
        TestServer site;
        busyRoute(site, 503, "30");
        ConcurrentProber prober(4);
        prober.setWaitNotifier([&prober](int seconds) {
            if (seconds > 0) {
                prober.interruptWaits();
            }
        });
        const ProbeResult r = prober.CheckUrl(site.url(u"/busy"_s), 30, false);
        QVERIFY(r.dropped);
        QCOMPARE(site.hits(u"/busy"_s), 1);
        QVERIFY(prober.CheckUrl(site.url(u"/busy"_s), 30, false).dropped); // and every later wait
    }
};

QTEST_GUILESS_MAIN(TestConcurrentProber)
#include "tst_concurrentprober.moc"
