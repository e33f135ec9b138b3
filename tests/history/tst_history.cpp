#include "checkrun.h"
#include "historydb.h"
#include "linkstore.h"
#include "networkprober.h"
#include "runrecorder.h"
#include "runtexts.h"
#include "scriptedtoolkit.h"
#include "testserver.h"

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
    }

    // A database another program holds locked keeps no check, but stops none.
    void lockedDatabase()
    {
        TestServer server;
        site(server);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"h.sqlite"_s);
        HistoryDb holder(path);
        QSqlQuery lock(holder.database());
        QVERIFY(lock.exec(u"BEGIN EXCLUSIVE"_s));
        HistoryDb history(path);
        Run r;
        RunRecorder recorder(history, r.store, r.run);
        r.run.start(server.baseUrl());
        QCOMPARE(r.store.panel(1), RunText::ready());
        QCOMPARE(r.store.deads().count(), 27 + 2); // every ninth page, /gone.htm and /deeper.htm
        QVERIFY(!history.isOpen());
        QVERIFY(lock.exec(u"ROLLBACK"_s));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
