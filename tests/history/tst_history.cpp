#include "checkrun.h"
#include "deadview.h"
#include "historydb.h"
#include "linkstore.h"
#include "networkprober.h"
#include "runrecorder.h"
#include "runtexts.h"
#include "scriptedtoolkit.h"
#include "sqlitefile.h"
#include "testserver.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Checks kept on disk against sites served on loopback.
class TestHistory : public QObject
{
    Q_OBJECT

    struct Run
    {
        LinkStore store;
        ScriptedToolkit toolkit;
        CheckRun run{store, toolkit, [] { return MakeNetworkProber(); }};
        Run()
        {
            CheckSettings s;
            s.depth = 5;
            s.parallel = 1; // what is asked ahead would depend on timing
            run.setSettings(s);
        }
        // Everything a resumed run reads: nodes of both trees with every field, the URL lists, the
        // panels, the resume positions and where the check run stands.
        QStringList state(bool withTimes = true) const
        {
            QStringList d;
            for (const ResultTree* t : {&store.full(), &store.dead()}) {
                for (int i = 1; i <= t->count(); ++i) {
                    const ResultNode* n = t->node(i);
                    NodeRecord record = n->record;
                    record.queryTime = withTimes ? record.queryTime : 0;
                    d << QStringList{QString::number(n->keyNumber),
                                     n->text,
                                     QString::number(n->parent),
                                     QString::number(n->status),
                                     record.render(),
                                     n->record.anchorText,
                                     QString::number(int(n->record.kind)),
                                     QString::number(n->record.httpStatus),
                                     QString::number(n->record.contentDead),
                                     QString::number(n->bold),
                                     QString::number(n->red),
                                     n->request}
                             .join(u'|');
                }
            }
            for (const UrlList* l : {&store.timeouts(), &store.deads()}) {
                for (const UrlList::Entry& e : l->entries()) {
                    d << e.url + u'>' + QString::number(e.data);
                }
            }
            for (int p = 1; p <= 5; ++p) {
                d << store.panel(p);
            }
            for (auto r : {LinkStore::Badlink1, LinkStore::Badlink2, LinkStore::Badlink3, LinkStore::Badlinkdep}) {
                d << store.resume(r);
            }
            const CheckRun::ResumeState s = run.resumeState();
            d << s.site + u'|' + QString::number(s.passNodeCount) + u'|' + QString::number(s.batchCounter) + u'|' +
                     s.homeAddress + u'|' + QString::number(s.scanResources);
            return d;
        }
        // What the dead-link view of a check shows: each dead link with the page it was found on, the URL
        // lists with the node each one selects, the counters.
        QStringList deadView() const
        {
            const ResultTree& full = store.full();
            const auto urlAt = [&full](int index) {
                return full.exists(index) ? full.node(index)->record.url : QString();
            };
            QStringList d;
            for (int i = 1; i <= store.dead().count(); ++i) {
                const ResultNode* n = store.dead().node(i);
                const int copied = full.findKey(n->keyNumber);
                d << n->text + u'|' + QString::number(n->parent) + u'|' + n->record.render() + u'|' +
                         urlAt(copied ? full.node(copied)->parent : 0);
            }
            for (const UrlList* l : {&store.timeouts(), &store.deads()}) {
                for (const UrlList::Entry& e : l->entries()) {
                    d << e.url + u'>' + urlAt(e.data);
                }
            }
            return d << store.panel(3) << store.panel(4) << store.panel(5);
        }
    };

    // More than 200 links over three levels, some dead: the run hands batches to check sweeps.
    static void site(TestServer& s)
    {
        QByteArray home, more;
        for (int i = 0; i < 240; ++i) {
            const QString path = u"/p"_s + QString::number(i) + u".htm"_s;
            (i < 150 ? home : more) += "<a href=" + path.toUtf8() + ">p</a>";
            if (i % 9 != 0) {
                s.setPage(path, i % 40 == 1 ? "<a href=/deep.htm>d</a><a href=/gone.htm>g</a>" : "x");
            }
        }
        s.setPage(u"/"_s, home + "<a href=/more.htm>m</a>");
        s.setPage(u"/more.htm"_s, more);
        s.setPage(u"/deep.htm"_s, "<a href=/p1.htm>p</a><a href=/deeper.htm>d</a>");
    }

    // The same site, with 27 of its pages answered after 50 ms: a check of it lasts beyond a few stop points.
    static void slowSite(TestServer& s)
    {
        site(s);
        for (int i = 1; i < 240; i += 9) {
            TestServer::Response slow;
            slow.body = "x";
            slow.delayMs = 50;
            s.setRoute(u"/p"_s + QString::number(i) + u".htm"_s, slow);
        }
    }

private slots:
    // A run restored from disk in another store is the paused run itself: the same nodes, lists,
    // positions and counters, so resuming either asks the server the same and ends the same.
    void restoredEqualsPaused_data()
    {
        QTest::addColumn<int>("stopAt");
        for (int stopAt : {3, 160, 320, 450}) {
            QTest::addRow("stop at yield %d", stopAt) << stopAt;
        }
    }
    void restoredEqualsPaused()
    {
        QFETCH(int, stopAt);
        TestServer server;
        site(server);
        QTemporaryDir dir;
        HistoryDb history(dir.filePath(u"h.sqlite"_s));
        QVERIFY2(history.isOpen(), qPrintable(history.error()));
        Run paused;
        auto recorder = std::make_unique<RunRecorder>(history, paused.store, paused.run);
        paused.toolkit.atYield(stopAt, [&paused] { paused.run.stop(); });
        paused.run.start(server.baseUrl());
        QCOMPARE(paused.store.panel(1), RunText::paused());
        recorder.reset();

        Run restored;
        RunRecorder again(history, restored.store, restored.run);
        QVERIFY(again.restore(history.resumableRun(server.baseUrl())));
        QCOMPARE(restored.state(), paused.state());

        qsizetype asked[2] = {};
        for (Run* r : {&paused, &restored}) {
            const qsizetype before = server.requests().size();
            r->run.start(server.baseUrl());
            QCOMPARE(r->store.panel(1), RunText::ready());
            asked[r == &restored] = server.requests().size() - before;
        }
        // The paused run's count may take in the request it had in flight at the stop, answered late.
        QVERIFY2(asked[1] <= asked[0], qPrintable(QString::number(asked[1]) + u" > "_s + QString::number(asked[0])));
        QCOMPARE(restored.state(false), paused.state(false));
        QCOMPARE(history.resumableRun(server.baseUrl()), 0);

        // The check that finished last is kept to be shown again, the one before it no longer.
        QSqlQuery views(history.database());
        QVERIFY(views.exec(u"SELECT data FROM dead_views"_s) && views.next());
        Run shown;
        QVERIFY(UnpackDeadView(views.value(0).toByteArray(), shown.store));
        QVERIFY(!views.next());
        QCOMPARE(shown.deadView(), restored.deadView());
    }

    // Another program holding the file locked for a while delays what is written, but stops neither the
    // check nor its history: the check is kept once the lock is gone, even when that is after its end.
    void lockedDatabase_data()
    {
        QTest::addColumn<int>("releasedAt"); // the yield at which the lock goes; 0: after the check
        QTest::newRow("during the check") << 20;
        QTest::newRow("after the check") << 0;
    }
    void lockedDatabase()
    {
        QFETCH(int, releasedAt);
        TestServer server;
        site(server);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"h.sqlite"_s);
        HistoryDb history(path);
        HistoryDb holder(path);
        QSqlQuery lock(holder.database());
        QVERIFY(lock.exec(u"BEGIN EXCLUSIVE"_s));
        Run r;
        RunRecorder recorder(history, r.store, r.run);
        if (releasedAt > 0) {
            r.toolkit.atYield(releasedAt, [&lock] { lock.exec(u"ROLLBACK"_s); });
        }
        r.run.start(server.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QVERIFY2(history.isOpen(), qPrintable(history.error()));
        lock.exec(u"ROLLBACK"_s);
        HistoryDb next(path); // stores what was kept beside the file
        QVERIFY(QDir(dir.path()).entryList({u"*.json"_s}).isEmpty());
        QSqlQuery q(next.database());
        QVERIFY(q.exec(u"SELECT COUNT(*) FROM dead_urls JOIN runs ON runs.id = dead_urls.run WHERE runs.state = 2"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 27 + 2); // every ninth page, /gone.htm and /deeper.htm
    }

    // A run another program took over is written here no more: the check goes on to its end, says once
    // that its history is lost, and leaves the row as the other program wrote it.
    void takenOver()
    {
        TestServer server;
        slowSite(server);
        QTemporaryDir dir;
        HistoryDb history(dir.filePath(u"h.sqlite"_s));
        HistoryDb other(dir.filePath(u"h.sqlite"_s));
        Run r;
        RunRecorder recorder(history, r.store, r.run);
        QList<bool> duringRun; // one entry a failure said: whether the check was still running
        connect(&recorder, &RunRecorder::failed, this, [&](const QString& why) {
            QVERIFY2(why.startsWith(u"this check is kept by another program"_s), qPrintable(why));
            duringRun << r.run.isActive();
        });
        r.toolkit.atYield(20, [&other] { QSqlQuery(other.database()).exec(u"UPDATE runs SET owner = 'other'"_s); });
        r.run.start(server.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(duringRun, QList<bool>{true});
        QSqlQuery q(other.database());
        QVERIFY(q.exec(u"SELECT owner, state FROM runs"_s) && q.next());
        QCOMPARE(q.value(0).toString(), u"other"_s);
        QCOMPARE(q.value(1).toInt(), int(HistoryDb::Running));
    }

    // With HOME unset the history is in the account's own data folder, or nowhere with a reason; never
    // in a folder under "/".
    void withoutHome()
    {
        const QByteArray home = qgetenv("HOME");
        const QByteArray data = qgetenv("XDG_DATA_HOME");
        qunsetenv("HOME");
        qunsetenv("XDG_DATA_HOME");
        QString error;
        const QString path = SqliteFile::DefaultPath(&error);
        qputenv("HOME", home);
        qputenv("XDG_DATA_HOME", data);
        QVERIFY2(path.isEmpty() ? !error.isEmpty() : !path.startsWith(u"/."_s), qPrintable(path));
    }

    // Only checks that hold data count: twenty stopped checks leave the one finished check before them.
    void keptRuns()
    {
        TestServer server;
        site(server);
        QTemporaryDir dir;
        HistoryDb history(dir.filePath(u"h.sqlite"_s));
        for (int i = 0; i <= HistoryDb::kKeptRuns; ++i) {
            Run r;
            RunRecorder recorder(history, r.store, r.run);
            if (i > 0) {
                r.toolkit.atYield(2, [&r] { r.run.stop(); });
            }
            r.run.start(server.baseUrl());
        }
        QSqlQuery q(history.database());
        QVERIFY(q.exec(u"SELECT state FROM runs ORDER BY id"_s));
        QList<int> states;
        while (q.next()) {
            states << q.value(0).toInt();
        }
        QCOMPARE(states, (QList<int>{HistoryDb::Finished, HistoryDb::Paused}));
        QVERIFY(q.exec(u"PRAGMA freelist_count"_s) && q.next());
        QCOMPARE(q.value(0).toInt(), 0); // the room of the dropped checks is given back
    }

    // One site, one key, however it is typed.
    void siteKey_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("as");
        QTest::addColumn<bool>("same");
        for (const QString& typed :
             {u"host/"_s, u"http://host/"_s, u"host:80"_s, u"https://host:443/"_s, u"HTTP://Host"_s}) {
            QTest::newRow(qPrintable(typed)) << typed << u"host"_s << true;
        }
        QTest::newRow("IDN") << u"bücher.example"_s << u"http://xn--bcher-kva.example/"_s << true;
        QTest::newRow("folder") << u"host/shop/"_s << u"http://host/shop"_s << true;
        QTest::newRow("other port") << u"host:8080"_s << u"host"_s << false;
        QTest::newRow("other folder") << u"host/shop"_s << u"host/Shop"_s << false;
    }
    void siteKey()
    {
        QFETCH(QString, typed);
        QFETCH(QString, as);
        QFETCH(bool, same);
        QCOMPARE(HistoryDb::siteKey(typed) == HistoryDb::siteKey(as), same);
    }

    // A file of the first layout is taken over: its runs found under every spelling of their site, its
    // dropped rows gone.
    void firstLayout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"h.sqlite"_s);
        {
            QSqlDatabase old = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"old"_s);
            old.setDatabaseName(path);
            QVERIFY(old.open());
            QSqlQuery q(old);
            for (const char* statement :
                 {"PRAGMA user_version = 1",
                  "CREATE TABLE runs(id INTEGER PRIMARY KEY, site TEXT NOT NULL, site_key TEXT NOT NULL, settings TEXT"
                  " NOT NULL, compare_key TEXT NOT NULL, started TEXT NOT NULL, finished TEXT, state INTEGER NOT NULL,"
                  " pass_nodes INTEGER NOT NULL DEFAULT 0, batch INTEGER NOT NULL DEFAULT 0, home TEXT, scan_resources"
                  " INTEGER NOT NULL DEFAULT 0, panels TEXT, resume TEXT)",
                  "CREATE TABLE nodes(run INTEGER NOT NULL, tree INTEGER NOT NULL, idx INTEGER NOT NULL, PRIMARY KEY(run,"
                  " tree, idx)) WITHOUT ROWID",
                  "CREATE TABLE urls(run INTEGER NOT NULL, list INTEGER NOT NULL, row INTEGER NOT NULL, PRIMARY KEY(run,"
                  " list, row)) WITHOUT ROWID",
                  "CREATE TABLE dead_urls(run INTEGER NOT NULL, url TEXT NOT NULL)",
                  "INSERT INTO runs(site, site_key, settings, compare_key, started, state) VALUES('Host:80/',"
                  " 'http://Host:80', '{}', '', '', 2)",
                  "INSERT INTO runs(site, site_key, settings, compare_key, started, state) VALUES('host', 'http://host',"
                  " '{}', '', '', 3)"}) {
                QVERIFY2(q.exec(QString::fromLatin1(statement)), statement);
            }
        }
        QSqlDatabase::removeDatabase(u"old"_s);
        HistoryDb history(path);
        QVERIFY2(history.isOpen(), qPrintable(history.error()));
        QSqlQuery q(history.database());
        QVERIFY(q.exec(u"SELECT id FROM runs"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QVERIFY(!q.next());
        QVERIFY(history.forgetSite(u"https://HOST:443"_s));
        QVERIFY(!history.hasRuns(u"host"_s));
    }

    // A check that kelvara-check is running is neither taken up nor forgotten by another program, and one
    // that looked at it and closed writes nothing over it: it ends as that program finishes it.
    void otherProgramsCheck()
    {
        TestServer server;
        slowSite(server);
        QTemporaryDir data;
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, data.path());
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(KELVARA_CHECK), {u"--depth"_s, u"5"_s, u"--parallel"_s, u"2"_s, server.baseUrl()});
        QVERIFY(QTest::qWaitFor([&] { return server.requests().size() > 10; }, 30000));
        HistoryDb history(data.filePath(u"kelvara/history.sqlite"_s));
        const HistoryDb::Unfinished found = history.unfinished(server.baseUrl() + u'/');
        QCOMPARE(found.resumable, 0);
        QCOMPARE(found.busy.pid, cli.processId());
        {
            Run window;
            RunRecorder recorder(history, window.store, window.run);
            QVERIFY(!recorder.restore(found.busyRun));
            QCOMPARE(recorder.busyHolder().pid, cli.processId());
            QVERIFY(!history.forgetSite(server.baseUrl()));
        }
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        QSqlQuery q(history.database());
        QVERIFY(q.exec(u"SELECT state, owner FROM runs WHERE id = "_s + QString::number(found.busyRun)));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), int(HistoryDb::Finished));
        QVERIFY(q.value(1).isNull());
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
