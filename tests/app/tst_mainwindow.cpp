#include "appicon.h"
#include "comparison.h"
#include "historydb.h"
#include "hoverlink.h"
#include "linkstore.h"
#include "maintexts.h"
#include "resultmodel.h"
#include "resultspanel.h"
#include "resultview.h"
#include "runrecorder.h"
#include "runtexts.h"
#include "settingsrecord.h"
#include "sitegroupdialog.h"
#include "sitelist.h"
#include "statuspanels.h"
#include "testserver.h"
#include "widgettoolkit.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

QByteArray page(const QStringList& links)
{
    QByteArray html = "<html><head><meta charset=\"utf-8\"></head><body>";
    for (const QString& link : links) {
        html += "<a href=\"" + link.toUtf8() + "\">" + link.toUtf8() + "</a>\n";
    }
    return html + "</body></html>";
}

// Home page with three pages and a dead link; page a with a dead link of its own; page b links home
// again, which gives no second node: seven nodes in all.
void serveSite(TestServer& server)
{
    server.setPage(u"/"_s, page({u"/a.html"_s, u"/b.html"_s, u"/missing.html"_s, u"/c.html"_s}));
    server.setPage(u"/a.html"_s, page({u"/a1.html"_s, u"/missing2.html"_s}));
    server.setPage(u"/b.html"_s, page({u"/"_s}));
    server.setPage(u"/c.html"_s, page({}));
    server.setPage(u"/a1.html"_s, page({}));
}

QString siteOf(const TestServer& server)
{
    return server.baseUrl().mid(7); // without "http://"
}

// A window whose site list holds the test site, checked, with depth 2 and the given timeout text.
void prepare(WindowFixture& f, const TestServer& server, const QString& timeout = u"10"_s)
{
    f.store(u"setting"_s, u"2|0|1|0|%1|1"_s.arg(timeout));
    f.store(u"sites"_s, u"$"_s + siteOf(server));
    f.open();
}

QPushButton* command5(WindowFixture& f)
{
    return f.find<QPushButton>(u"Command5"_s);
}

// The six controls a run disables, in their enabled state.
QList<bool> runControls(WindowFixture& f)
{
    QList<bool> enabled;
    for (const QString& name : {u"ListView11"_s, u"Command4"_s, u"Command3"_s, u"command6"_s, u"Frame1"_s,
                                u"Frame4"_s}) {
        enabled.append(f.find<QWidget>(name)->isEnabled());
    }
    return enabled;
}

const QList<bool> kAllEnabled{true, true, true, true, true, true};
const QList<bool> kAllDisabled{false, false, false, false, false, false};

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT
private slots:
    // The start command checks the ticked site and the timeout before anything changes.
    void startChecksItsInputs_data()
    {
        QTest::addColumn<int>("checked");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("nodes"); // 1: the run starts (at depth 0), 0: it is refused
        QTest::newRow("no site ticked") << 0 << u"10"_s << MainText::chooseSite() << 0;
        QTest::newRow("9") << 1 << u"9"_s << MainText::timeoutRange() << 0;
        QTest::newRow("31") << 1 << u"31"_s << MainText::timeoutRange() << 0;
        QTest::newRow("abc") << 1 << u"abc"_s << MainText::timeoutRange() << 0;
        QTest::newRow("nothing") << 1 << QString() << MainText::timeoutRange() << 0;
        QTest::newRow("10") << 1 << u"10"_s << QString() << 1;
        QTest::newRow("30") << 1 << u"30"_s << QString() << 1;
        QTest::newRow("stored site of another scheme") << 2 << u"10"_s << MainText::siteScheme() << 0;
        QTest::newRow("home page refused") << 3 << u"10"_s << RunText::homeUnreachable(u"连接被拒绝"_s) << 1;
    }

    void startChecksItsInputs()
    {
        QFETCH(int, checked);
        QFETCH(QString, timeout);
        QFETCH(QString, message);
        QFETCH(int, nodes);
        TestServer server;
        serveSite(server);
        WindowFixture f;
        f.store(u"setting"_s, u"0|0|1|0|%1|%2"_s.arg(timeout).arg(checked));
        // Port 1 of the loopback address: nothing listens there, so the connection is refused.
        f.store(u"sites"_s, u"$"_s + siteOf(server) + u"$ftp://x$127.0.0.1:1"_s);
        f.open();
        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        command5(f)->setFocus();

        command5(f)->click();
        QCOMPARE(f.shownTexts(), message.isEmpty() ? QStringList{} : QStringList{message});
        const LinkStore& store = f.window->store();
        QCOMPARE(store.full().count(), nodes);
        if (nodes == 1) {
            QCOMPARE(store.full().node(1)->status, int(message.isEmpty() ? StatusValid : StatusDead));
            QCOMPARE(store.panel(1), RunText::ready());
            QCOMPARE(store.panel(2), message); // why the home page could not be read, or nothing
            QCOMPARE(store.panel(4), RunText::parsed(1));
            return;
        }
        QCOMPARE(f.toolkit.messages().first().title, u"提示"_s);
        QCOMPARE(f.toolkit.messages().first().icon, MsgIcon::Information);
        QCOMPARE(command5(f)->text(), MainText::start());
        QCOMPARE(server.requests().size(), 0);
        if (message == MainText::timeoutRange()) {
            QCOMPARE(QApplication::focusWidget(), f.find<QWidget>(u"Text3"_s));
        }
    }

    // During a run the controls are disabled and the progress shows; afterwards all is back, the
    // counters and the URL pickers hold the outcome, and a picked dead URL selects its node.
    void aRunFromStartToFinish()
    {
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        QList<bool> during;
        QString captionDuring;
        bool progressDuring = false;
        f.toolkit.atYield(3, [&] {
            during = runControls(f);
            captionDuring = command5(f)->text();
            progressDuring = !f.find<QProgressBar>(u"progress"_s)->isHidden();
        });
        // The bar shows what panels 3 and 4 show, at every moment.
        QStringList disagreements;
        f.toolkit.onEveryYield([&] {
            const qint64 tested = CounterValue(f.find<QLabel>(u"panel3"_s)->text());
            const qint64 parsed = qMax(tested, CounterValue(f.find<QLabel>(u"panel4"_s)->text()));
            const QString counted = u"%1/%2"_s.arg(tested).arg(parsed);
            if (f.find<QProgressBar>(u"progress"_s)->text() != counted) {
                disagreements << counted;
            }
        });
        command5(f)->click();
        QCOMPARE(disagreements, QStringList{});

        QCOMPARE(during, kAllDisabled);
        QCOMPARE(captionDuring, MainText::stop());
        QVERIFY(progressDuring);
        QCOMPARE(runControls(f), kAllEnabled);
        QCOMPARE(command5(f)->text(), MainText::start());
        QVERIFY(f.find<QProgressBar>(u"progress"_s)->isHidden());
        LinkStore& store = f.window->store();
        QCOMPARE(store.panel(1), RunText::ready());
        QCOMPARE(store.full().count(), 7);
        QCOMPARE(store.panel(5), RunText::deadFound(2));
        QCOMPARE(f.find<QLabel>(u"panel5"_s)->text(), RunText::deadFound(2));

        auto* combo2 = f.find<QComboBox>(u"Combo2"_s);
        QCOMPARE(combo2->count(), 2);
        QCOMPARE(combo2->itemText(1), server.url(u"/missing2.html"_s));
        emit combo2->activated(1);
        auto* tree1 = f.find<ResultView>(u"TreeView1"_s);
        const int node = ResultTreeModel::nodeOf(tree1->currentIndex());
        QCOMPARE(node, combo2->itemData(1).toInt());
        QCOMPARE(store.full().node(node)->record.url, server.url(u"/missing2.html"_s));
    }

    // Certificates the environment names that cannot be read are told once, when the first run starts.
    void unreadableCertificates()
    {
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        qputenv("SSL_CERT_DIR", "/nonexistent/certs");
        command5(f)->click();
        command5(f)->click();
        qunsetenv("SSL_CERT_DIR");
        QCOMPARE(f.toolkit.messages().size(), 1);
        QVERIFY(f.toolkit.messages().first().text.contains(u"SSL_CERT_DIR=/nonexistent/certs"_s));
    }

    // A stop through the same command pauses the run; a click while it is stopping does nothing; the
    // next start resumes, in the same session or after the program was closed and opened again, and
    // ends with what an uninterrupted run finds, asking for no page again but the one in flight.
    void stopAndResume_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("same session") << false;
        QTest::newRow("after a restart") << true;
    }
    void stopAndResume()
    {
        QFETCH(bool, restart);
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        HistoryDb history(f.dir.filePath(u"history.sqlite"_s));
        auto recorder = std::make_unique<RunRecorder>(history, f.window->store(), f.window->run());
        f.window->setHistory(&history, recorder.get());
        // Off: each continued run would probe a missing address again to learn what the site answers.
        f.find<QCheckBox>(u"chkContentCheck"_s)->click();
        QString stateAfterStop, captionAfterStop;
        QList<bool> controlsAfterStop;
        int requestsBeforeSecondClick = 0;
        f.toolkit.atYield(4, [&] {
            command5(f)->click();
            stateAfterStop = f.window->store().panel(1);
            captionAfterStop = command5(f)->text();
            controlsAfterStop = runControls(f);
            requestsBeforeSecondClick = int(server.requests().size());
            command5(f)->click(); // while "正在停止..."
        });
        command5(f)->click();

        QCOMPARE(stateAfterStop, RunText::stopping());
        QCOMPARE(captionAfterStop, MainText::start());
        QCOMPARE(controlsAfterStop, kAllEnabled);
        LinkStore& store = f.window->store();
        QCOMPARE(store.panel(1), RunText::paused());
        QCOMPARE(command5(f)->text(), MainText::start());
        QVERIFY(store.full().count() < 7);
        QVERIFY(int(server.requests().size()) <= requestsBeforeSecondClick + 1);
        QCOMPARE(f.shownTexts(), QStringList{});
        const int kept = store.full().count();
        QVERIFY(kept >= 1);
        if (restart) {
            recorder.reset();
            f.open();
            recorder = std::make_unique<RunRecorder>(history, f.window->store(), f.window->run());
            f.window->setHistory(&history, recorder.get());
            QCOMPARE(f.window->store().panel(1), RunText::paused());
            QCOMPARE(f.window->store().full().count(), kept);
        }

        LinkStore& resumed = f.window->store();
        command5(f)->click();
        QCOMPARE(resumed.panel(1), RunText::ready());
        QVERIFY(int(server.requests().size()) <= 7 + 1);
        QCOMPARE(resumed.full().count(), 7);
        for (int n = 1; n <= resumed.full().count(); ++n) {
            QVERIFY2(resumed.full().node(n)->status != NoStatus, qPrintable(QString::number(n)));
        }
        QCOMPARE(f.find<QComboBox>(u"Combo2"_s)->count(), 2);
    }

    // A second check shows in the status bar what changed since the first and marks the new dead link;
    // opened again, the window shows the dead links of that check; deleting the site offers to forget
    // its kept checks.
    void keptChecks()
    {
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        HistoryDb history(f.dir.filePath(u"history.sqlite"_s));
        auto recorder = std::make_unique<RunRecorder>(history, f.window->store(), f.window->run());
        f.window->setHistory(&history, recorder.get());
        command5(f)->click();
        QLabel* note = f.find<QLabel>(u"changeNote"_s);
        QVERIFY(note->isHidden());
        server.setPage(u"/missing.html"_s, page({}));
        server.setStatus(u"/c.html"_s, 404);
        command5(f)->click();
        QCOMPARE(note->text(), MainText::changeNote(1, 1));
        const ResultTree& dead = f.window->store().dead();
        QStringList shown;
        for (int n = 1; n <= dead.count(); ++n) {
            const QModelIndex index = f.window->results().deadModel()->indexOfNode(n);
            shown << index.data().toString();
        }
        QCOMPARE(shown, (QStringList{server.baseUrl(), u"新 /c.html"_s, u"/a.html"_s, u"/missing2.html"_s}));

        const QStringList deadUrls = DeadUrls(f.window->store().full());
        recorder.reset();
        f.open();
        recorder = std::make_unique<RunRecorder>(history, f.window->store(), f.window->run());
        f.window->setHistory(&history, recorder.get());
        const LinkStore& last = f.window->store();
        QStringList lastDead;
        for (int n = 1; n <= last.dead().count(); ++n) {
            lastDead << last.dead().node(n)->record.url;
        }
        QCOMPARE(lastDead, deadUrls);
        QCOMPARE(last.panel(5), RunText::deadFound(deadUrls.size()));
        QVERIFY2(last.panel(2).startsWith(u"上次检测结果（完成于"_s), qPrintable(last.panel(2)));
        QVERIFY(f.find<QCheckBox>(u"Check11"_s)->isChecked());

        f.toolkit.queueAnswer(MsgResult::Yes); // delete the site
        f.toolkit.queueAnswer(MsgResult::Yes); // and its checks
        f.find<QPushButton>(u"Command4"_s)->click();
        QVERIFY(!history.hasRuns(siteOf(server)));
    }

    // "检测全部网站" checks the ticked sites one after another, an unreachable one as a row with its
    // reason, and writes the overview with the report of each checked site beside it.
    void siteGroup()
    {
        TestServer a, b;
        serveSite(a);
        serveSite(b);
        QString closed;
        {
            TestServer gone;
            closed = siteOf(gone);
        }
        WindowFixture f;
        f.store(u"setting"_s, u"2|0|1|0|10|1"_s);
        f.store(u"sites"_s, EncodeSites({siteOf(a), closed, siteOf(b)}));
        f.open();
        f.find<QPushButton>(u"cmdCheckAll"_s)->click();
        auto* dialog = f.window->findChild<SiteGroupDialog*>();
        QVERIFY(dialog);
        dialog->findChild<QTableWidget*>(u"tblSites"_s)->item(2, 0)->setCheckState(Qt::Unchecked);
        dialog->findChild<QPushButton*>(u"cmdGroupStart"_s)->click();
        const QList<SiteOutcome>& done = dialog->outcomes();
        QCOMPARE(done[0].state, SiteOutcome::State::Finished);
        QCOMPARE(done[0].dead, 2);
        QCOMPARE(dialog->findChild<QTableWidget*>(u"tblSites"_s)->item(0, 2)->text(), u"2"_s);
        QCOMPARE(done[1].state, SiteOutcome::State::Unreachable);
        QCOMPARE(done[1].reason, u"连接被拒绝"_s);
        QCOMPARE(done[2].state, SiteOutcome::State::NotChecked);
        QCOMPARE(b.requests().size(), 0);
        QCOMPARE(runControls(f), kAllEnabled);

        f.toolkit.queueSaveName(f.dir.filePath(u"all.html"_s));
        f.toolkit.queueAnswer(MsgResult::No);
        dialog->findChild<QPushButton*>(u"cmdOverview"_s)->click();
        QFile overview(f.dir.filePath(u"all.html"_s));
        QVERIFY(overview.open(QIODevice::ReadOnly));
        const QByteArray html = overview.readAll();
        QVERIFY(html.contains("href=\"all-1-127.0.0.1.html\"") && html.contains("无法访问：连接被拒绝"));
        QVERIFY(!html.contains(siteOf(b).toUtf8()));
        QVERIFY(QFile::exists(f.dir.filePath(u"all-1-127.0.0.1.html"_s)));
    }

    // While kelvara-check runs a listed site the window says so, writes nothing over it when closed,
    // does not start it beside, and takes it up, paused, once it has stopped.
    void checkOfAnotherProgram()
    {
        TestServer server;
        serveSite(server);
        server.setSilent(u"/c.html"_s);
        WindowFixture f;
        prepare(f, server);
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, f.dir.path());
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(KELVARA_CHECK), {u"--depth"_s, u"2"_s, u"--timeout"_s, u"30"_s, siteOf(server)});
        QVERIFY(QTest::qWaitFor([&] { return server.pending() > 0; }, 30000));
        HistoryDb history(f.dir.filePath(u"kelvara/history.sqlite"_s));
        for (int opened = 0; opened < 2; ++opened) {
            f.open();
            auto recorder = std::make_unique<RunRecorder>(history, f.window->store(), f.window->run());
            f.window->setHistory(&history, recorder.get());
            QCOMPARE(f.window->store().panel(1), MainText::busyElsewhere());
            if (opened == 0) {
                continue;
            }
            command5(f)->click();
            QCOMPARE(f.shownTexts().size(), 1);
            QCOMPARE(f.window->store().panel(1), MainText::busyElsewhere());
            ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
            QVERIFY(cli.waitForFinished(30000));
            QVERIFY(QTest::qWaitFor([&] { return f.window->store().panel(1) == RunText::paused(); }, 10000));
            server.setPage(u"/c.html"_s, page({}));
            command5(f)->click();
            QCOMPARE(f.window->store().panel(1), RunText::ready());
            QCOMPARE(f.window->store().full().count(), 7);
            QCOMPARE(f.find<QComboBox>(u"Combo2"_s)->count(), 2);
        }
    }

    // Closing is refused while a run is active; otherwise the exit question decides.
    void closing()
    {
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        f.window->show();
        bool closedDuringRun = true;
        f.toolkit.atYield(2, [&] { closedDuringRun = f.window->close(); });
        command5(f)->click();
        QVERIFY(!closedDuringRun);
        QCOMPARE(f.toolkit.messages().size(), 1);
        QCOMPARE(f.toolkit.messages().first().text, u"程序正在运行中，请停止后推出。"_s);
        QCOMPARE(f.toolkit.messages().first().title, u"Kelvara"_s);

        f.toolkit.queueAnswer(MsgResult::No);
        QVERIFY(!f.window->close());
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.toolkit.messages().last().text, u"是否真的要退出软件？"_s);
        QCOMPARE(f.toolkit.messages().last().buttons, MsgButtons::YesNo);
        QCOMPARE(f.toolkit.messages().last().title, u"Kelvara"_s);
        f.toolkit.queueAnswer(MsgResult::Yes);
        QVERIFY(f.window->close());
        QVERIFY(!f.window->isVisible());
    }

    // Clear results while the run is stopping empties everything at once; the run then pauses
    // without touching the emptied lists.
    void clearWhileStopping()
    {
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        int nodesAfterClear = -1;
        QString stateAfterClear;
        f.toolkit.atYield(5, [&] {
            command5(f)->click();
            f.find<QPushButton>(u"command6"_s)->click();
            nodesAfterClear = f.window->store().full().count() + f.window->store().dead().count();
            stateAfterClear = f.window->store().panel(1);
        });
        command5(f)->click();
        QCOMPARE(nodesAfterClear, 0);
        QCOMPARE(stateAfterClear, RunText::ready());
        LinkStore& store = f.window->store();
        QCOMPARE(store.full().count(), 0);
        QCOMPARE(store.dead().count(), 0);
        QCOMPARE(f.find<QComboBox>(u"Combo2"_s)->count(), 0);
        QCOMPARE(f.find<QTreeView>(u"TreeView1"_s)->model()->rowCount(), 0);
        // Depending on where the stop met the run, it pauses or, after its last probe, finishes.
        QVERIFY(store.panel(1) == RunText::paused() || store.panel(1) == RunText::ready());
        QCOMPARE(command5(f)->text(), MainText::start());
    }

    // Stop while a slow answer of site A is awaited, clear, tick site B and start: B runs only once A's
    // run has unwound, A's late answer lands nowhere, and B ends as a run of B alone does.
    void startAfterClearWhileAnswerIsLate()
    {
        TestServer siteA;
        TestServer::Response slowDead;
        slowDead.status = 404;
        slowDead.delayMs = 1500;
        siteA.setRoute(u"/"_s, slowDead);
        TestServer siteB;
        serveSite(siteB);
        const auto dump = [](const LinkStore& store) {
            QStringList d;
            for (int n = 1; n <= store.full().count(); ++n) {
                const ResultNode* node = store.full().node(n);
                NodeRecord r = node->record;
                r.queryTime = 0;
                d << node->text + u' ' + r.render() + u' ' + QString::number(node->status);
            }
            for (const UrlList* list : {&store.deads(), &store.timeouts()}) {
                for (const UrlList::Entry& e : list->entries()) {
                    d << e.url + u' ' + QString::number(e.data);
                }
            }
            return d;
        };
        WindowFixture alone;
        prepare(alone, siteB);
        command5(alone)->click();

        WindowFixture f;
        f.store(u"setting"_s, u"2|0|1|0|10|1"_s);
        f.store(u"sites"_s, u"$"_s + siteOf(siteA) + u"$"_s + siteOf(siteB));
        f.open();
        bool startedInside = false;
        QString stateWhileBooked;
        f.toolkit.atYield(1, [&] {
            // Runs inside the wait for A's home page.
            QTimer::singleShot(0, f.window.get(), [&] {
                command5(f)->click();
                f.find<QPushButton>(u"command6"_s)->click();
                f.window->siteList().click(1);
                command5(f)->click();
                startedInside = f.window->store().full().count() > 0;
                stateWhileBooked = f.window->store().panel(1) + u' ' + command5(f)->text();
            });
        });
        command5(f)->click();

        QVERIFY(!startedInside);
        QCOMPARE(stateWhileBooked, RunText::inProgress() + u' ' + MainText::stop());
        QCOMPARE(siteA.hits(u"/"_s), 1);
        QCOMPARE(f.window->store().panel(1), RunText::ready());
        QCOMPARE(command5(f)->text(), MainText::start());
        QCOMPARE(dump(f.window->store()), dump(alone.window->store()));
    }

    // "Only dead links" swaps the lists; "dead links in red" colours dead nodes of both, nothing else.
    void displayOptions()
    {
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        command5(f)->click();
        LinkStore& store = f.window->store();
        auto* tree1 = f.find<QTreeView>(u"TreeView1"_s);
        auto* tree2 = f.find<QTreeView>(u"TreeView2"_s);
        auto* check11 = f.find<QCheckBox>(u"Check11"_s);
        QVERIFY(tree1->isVisibleTo(tree1->parentWidget()));
        QVERIFY(!tree2->isVisibleTo(tree2->parentWidget()));
        check11->click();
        QVERIFY(tree2->isVisibleTo(tree2->parentWidget()));
        QVERIFY(!tree1->isVisibleTo(tree1->parentWidget()));
        check11->click();
        QVERIFY(tree1->isVisibleTo(tree1->parentWidget()));

        const auto redNodes = [](const ResultTree& tree) {
            QList<int> red;
            for (int n = 1; n <= tree.count(); ++n) {
                if (tree.node(n)->red) {
                    red.append(n);
                }
            }
            return red;
        };
        const auto deadNodes = [](const ResultTree& tree) {
            QList<int> dead;
            for (int n = 1; n <= tree.count(); ++n) {
                if (tree.node(n)->status == StatusDead) {
                    dead.append(n);
                }
            }
            return dead;
        };
        auto* check12 = f.find<QCheckBox>(u"Check12"_s);
        check12->click();
        QCOMPARE(redNodes(store.full()), deadNodes(store.full()));
        QCOMPARE(redNodes(store.dead()), deadNodes(store.dead()));
        QCOMPARE(deadNodes(store.full()).size(), 2);
        const QModelIndex dead = static_cast<ResultTreeModel*>(tree1->model())->indexOfNode(deadNodes(store.full())[0]);
        QCOMPARE(dead.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        // Ticked, the dead links of the next run are red as they are found; other nodes keep the view's colour.
        command5(f)->click();
        QCOMPARE(deadNodes(store.full()).size(), 2);
        QCOMPARE(redNodes(store.full()), deadNodes(store.full()));
        QCOMPARE(redNodes(store.dead()), deadNodes(store.dead()));
        QVERIFY(!static_cast<ResultTreeModel*>(tree1->model())->indexOfNode(1).data(Qt::ForegroundRole).isValid());
        check12->click();
        QCOMPARE(redNodes(store.full()), QList<int>{});
        QCOMPARE(redNodes(store.dead()), QList<int>{});

        // The dead-link list refuses label edits.
        static_cast<ResultTreeModel*>(tree2->model())->flush();
        const QModelIndex top = tree2->model()->index(0, 0);
        QVERIFY(top.isValid());
        tree2->edit(top);
        QCOMPARE(tree2->viewport()->findChild<QLineEdit*>(), nullptr);
    }

    // A click on a node opens the detail window of that node.
    void clickOpensDetail()
    {
        TestServer server;
        serveSite(server);
        WindowFixture f;
        prepare(f, server);
        command5(f)->click();
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto* tree1 = f.find<QTreeView>(u"TreeView1"_s);
        static_cast<ResultTreeModel*>(tree1->model())->flush();
        const QModelIndex home = tree1->model()->index(0, 0);
        QVERIFY(home.isValid());
        QString title, link, parent, depth;
        QTimer::singleShot(0, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            title = modal->windowTitle();
            link = modal->findChild<QLabel*>(u"mysite"_s)->text();
            parent = modal->findChild<QLabel*>(u"linksite"_s)->text();
            depth = modal->findChild<QLabel*>(u"Label9"_s)->text();
            modal->close();
        });
        QTest::mouseClick(tree1->viewport(), Qt::LeftButton, {}, tree1->visualRect(home).center());
        QCOMPARE(title, u"链接详细信息"_s);
        QCOMPARE(link, server.baseUrl());
        QCOMPARE(parent, server.baseUrl());
        QCOMPARE(depth, u"0"_s);
    }

    // Link labels turn red and italic with the program's pointer on hover, and back afterwards.
    void linkLabelHover()
    {
        WindowFixture f;
        f.open();
        for (const QString& name : {u"Label17"_s, u"Label8"_s, u"Label9"_s}) {
            auto* label = f.find<HoverLinkLabel>(name);
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(192, 64, 0));
            QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
            QCoreApplication::sendEvent(label, &enter);
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
            QVERIFY(label->font().italic());
            QCOMPARE(label->cursor().shape(), Qt::BitmapCursor);
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(label, &leave);
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(192, 64, 0));
            QVERIFY(!label->font().italic());
        }
        QCOMPARE(f.find<QLabel>(u"Label17"_s)->text(), u"在线死链接检测"_s);
    }

    // The window's title, menus and their items, in order.
    // The parallel-requests setting is a value of its own: loaded at start-up without writing, stored on
    // a change, and never part of the six-field record.
    void parallelSetting()
    {
        WindowFixture f;
        f.store(u"setting"_s, u"3|1|0|1|15|0"_s);
        f.store(u"parallel"_s, u"12"_s);
        f.open();
        auto* spin = f.find<QSpinBox>(u"spinParallel"_s);
        QCOMPARE(spin->value(), 12);
        QCOMPARE(f.stored(u"parallel"_s), u"12"_s);
        spin->setValue(5);
        QCOMPARE(f.stored(u"parallel"_s), u"5"_s);
        QCOMPARE(f.stored(u"setting"_s), u"3|1|0|1|15|0"_s);

        WindowFixture fresh;
        fresh.store(u"parallel"_s, u"640"_s); // out of range: the default
        fresh.open();
        QCOMPARE(fresh.find<QSpinBox>(u"spinParallel"_s)->value(), kDefaultParallel);
        QVERIFY(fresh.stored(u"setting"_s).count(u'|') == 5);
    }

    // So is the resources setting: off unless a 1 is stored, stored as 0 or 1 on a click only.
    void resourcesSetting()
    {
        WindowFixture f;
        f.store(u"setting"_s, u"3|1|0|1|15|0"_s);
        f.store(u"resources"_s, u"1"_s);
        f.open();
        auto* box = f.find<QCheckBox>(u"chkResources"_s);
        QCOMPARE(box->text(), u"检查图片、脚本等资源链接"_s);
        QVERIFY(box->isChecked());
        box->click();
        QCOMPARE(f.stored(u"resources"_s), u"0"_s);
        QCOMPARE(f.stored(u"setting"_s), u"3|1|0|1|15|0"_s);

        WindowFixture fresh;
        fresh.store(u"resources"_s, u"yes"_s);
        fresh.open();
        QVERIFY(!fresh.find<QCheckBox>(u"chkResources"_s)->isChecked());
        QCOMPARE(fresh.stored(u"resources"_s), u"yes"_s);
        // Content dead links are counted unless a 0 is stored.
        auto* content = fresh.find<QCheckBox>(u"chkContentCheck"_s);
        QCOMPARE(content->text(), u"检测内容死链"_s);
        QVERIFY(content->isChecked());
        content->click();
        QCOMPARE(fresh.stored(u"contentCheck"_s), u"0"_s);
    }

    void titleAndMenus()
    {
        WindowFixture f;
        f.open();
        QCOMPARE(f.window->windowTitle(), u"Kelvara V1.0"_s);
        QStringList menus;
        for (QAction* a : f.window->menuBar()->actions()) {
            menus.append(a->text());
        }
        QCOMPARE(menus, (QStringList{u"软件系统(&S)"_s, u"关于软件(&A)"_s, u"软件帮助(&H)"_s}));
        const auto items = [&](const QString& menu) {
            QStringList texts;
            for (QAction* a : f.find<QMenu>(menu)->actions()) {
                texts.append(a->isSeparator() ? u"-"_s : a->text());
            }
            return texts;
        };
        QCOMPARE(items(u"m_system"_s), (QStringList{u"系统最小化"_s, u"-"_s, u"退出系统"_s}));
        QCOMPARE(items(u"m_about"_s), (QStringList{u"软件说明"_s, u"官方网站"_s, u"支持网站"_s}));
        QCOMPARE(items(u"m_support"_s).size(), 3);
        QCOMPARE(items(u"m_setting"_s), (QStringList{u"在线帮助"_s, u"意见和建议"_s}));
        QCOMPARE(f.find<QLabel>(u"Label35"_s)->text(), u"秒(10-20)"_s);
        // The icon is bundled at the smallest and largest sizes a desktop shows a window's icon at.
        const QList<QSize> iconSizes = AppIcon().availableSizes();
        QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(256, 256)));

        // Qt's standard buttons read Chinese like the rest of the program.
        QVERIFY(InstallQtChineseTexts(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, u"Kelvara"_s, u"?"_s, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), u"是(&Y)"_s);
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
