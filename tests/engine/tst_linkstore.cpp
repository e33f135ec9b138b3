#include "linkstore.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestLinkStore : public QObject
{
    Q_OBJECT

private slots:
    // The home page: key, text, record and no parent; the scheme is added only when missing.
    void homePage_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("url");
        QTest::newRow("bare host") << u"www.site.test"_s << u"http://www.site.test"_s;
        QTest::newRow("http given") << u"http://www.site.test"_s << u"http://www.site.test"_s;
        QTest::newRow("https kept") << u"https://www.site.test"_s << u"https://www.site.test"_s;
    }
    void homePage()
    {
        QFETCH(QString, site);
        QFETCH(QString, url);
        LinkStore store;
        store.startList(site);
        const ResultNode* n = store.full().node(1);
        QVERIFY(n);
        QCOMPARE(NodeKey(n->keyNumber), u"node1"_s);
        QCOMPARE(n->text, url);
        QCOMPARE(n->parent, 0);
        QCOMPARE(n->record.render(), u"0$"_s + url + u"$1"_s);
        QCOMPARE(n->status, int(NoStatus));
        store.recordProbe(1, StatusValid, 235, u"OK"_s);
        QCOMPARE(store.full().node(1)->record.render(), u"0$"_s + url + u"$1$235$OK"_s);
    }

    // A re-probed node keeps the query time and description of its first probe, but takes the new code.
    void fiveFieldRule()
    {
        LinkStore store;
        store.startList(u"s.test"_s);
        const int n = store.addLinkNode(1, u"a.htm"_s, 1, u"http://s.test/a.htm"_s, true);
        QCOMPARE(store.full().node(n)->record.fieldCount(), 3);
        store.recordProbe(n, StatusTimedOut, 11000, u"查询超时"_s);
        store.recordProbe(n, StatusValid, 12, u"OK"_s);
        QCOMPARE(store.full().node(n)->status, int(StatusValid));
        QCOMPARE(store.full().node(n)->record.render(), u"1$http://s.test/a.htm$1$11000$查询超时"_s);
        QCOMPARE(NodeKey(store.full().node(n)->keyNumber), u"node2"_s);
    }

    // A "$" inside a URL does not shift the record's fields, and the URL is found again.
    void dollarInUrl()
    {
        LinkStore store;
        store.startList(u"s.test"_s);
        const int n = store.addLinkNode(1, u"p$1.htm"_s, 1, u"http://s.test/p$1.htm"_s, false);
        store.recordProbe(n, StatusDead, 5, u"Not Found"_s);
        const NodeRecord& r = store.full().node(n)->record;
        QCOMPARE(r.field(1), u"http://s.test/p$1.htm"_s);
        QCOMPARE(r.field(2), u"0"_s);
        QCOMPARE(r.field(4), u"Not Found"_s);
        QCOMPARE(store.checktext(u"http://s.test/p$1.htm"), n);
    }

    // checktext answers the first node in index order, trims spaces and is case-sensitive.
    void checktext()
    {
        LinkStore store;
        store.startList(u"s.test"_s);
        const int a = store.addLinkNode(1, u"x"_s, 1, u"http://s.test/X"_s, true);
        store.addLinkNode(1, u"x"_s, 1, u"http://s.test/X"_s, true);
        QCOMPARE(store.checktext(u"  http://s.test/X "), a);
        QCOMPARE(store.checktext(u"http://s.test/x"), 0);
        QCOMPARE(store.checktext(u"http://s.test/"), 1); // a link back to the typed home page repeats it
        store.clearTrees();
        QCOMPARE(store.checktext(u"http://s.test/X"), 0);
    }

    // The dead-link list: page node first and once, dead links under it, a dead home page at top level.
    void deadLinkList()
    {
        LinkStore store;
        store.startList(u"s.test"_s);
        const int page = store.addLinkNode(1, u"p.htm"_s, 1, u"http://s.test/p.htm"_s, true);
        store.recordProbe(page, StatusValid, 3, u"OK"_s);
        const int d1 = store.addLinkNode(page, u"d1"_s, 2, u"http://s.test/d1"_s, true);
        const int d2 = store.addLinkNode(page, u"d2"_s, 2, u"http://s.test/d2"_s, true);
        const int d1again = store.addLinkNode(1, u"d1"_s, 1, u"http://s.test/d1"_s, true);
        for (int n : {d1, d2, d1again}) {
            store.recordProbe(n, StatusDead, 4, u"Not Found"_s);
            store.addDeadLink(n);
        }
        const ResultTree& dead = store.dead();
        QCOMPARE(dead.topLevel().size(), size_t(2));
        const ResultNode* top = dead.node(dead.topLevel()[0]);
        QCOMPARE(NodeKey(top->keyNumber), u"node2"_s);
        QCOMPARE(top->status, int(StatusValid));
        QCOMPARE(top->children.size(), size_t(2));
        QCOMPARE(dead.node(top->children[1])->text, u"d2"_s);
        QCOMPARE(dead.node(top->children[1])->record.render(), u"2$http://s.test/d2$1$4$Not Found"_s);
        const ResultNode* home = dead.node(dead.topLevel()[1]);
        QCOMPARE(NodeKey(home->keyNumber), u"node1"_s);
        QCOMPARE(home->children.size(), size_t(1));

        store.recordProbe(1, StatusDead, 1, QString());
        store.addDeadLink(1); // node1 is already there as a page: no second node
        QCOMPARE(dead.count(), 5);
        QVERIFY(store.checkkey(u" node4 "));
        QVERIFY(!store.checkkey(u"node04"));
        QVERIFY(store.checkkey(u"node3"));
        QVERIFY(!store.checkkey(u"node6"));
    }

    void deadHomePage()
    {
        LinkStore store;
        store.startList(u"s.test"_s);
        store.recordProbe(1, StatusDead, 1, QString());
        store.addDeadLink(1);
        QCOMPARE(store.dead().count(), 1);
        QCOMPARE(store.dead().node(1)->status, int(StatusDead));
        QCOMPARE(store.dead().node(1)->parent, 0);
    }

    // Operations on nodes that no longer exist change nothing.
    void vanishedNodes()
    {
        LinkStore store;
        store.recordProbe(7, StatusDead, 1, QString());
        store.addDeadLink(7);
        store.markCrawled(7);
        QCOMPARE(store.addLinkNode(3, u"x"_s, 1, u"u"_s, true), 0);
        QCOMPARE(store.full().count(), 0);
        QCOMPARE(store.dead().count(), 0);
    }

    // Indices are 32-bit: a list grows past 32,767 nodes and lookups still answer.
    void beyondSixteenBits()
    {
        LinkStore store;
        store.startList(u"s.test"_s);
        for (int i = 0; i < 40000; ++i) {
            store.addLinkNode(1, u"x"_s, 1, u"http://s.test/"_s + QString::number(i), false);
        }
        QCOMPARE(store.full().count(), 40001);
        QCOMPARE(store.checktext(u"http://s.test/39999"), 40001);
        QCOMPARE(NodeKey(store.full().node(40001)->keyNumber), u"node40001"_s);
        store.recordProbe(40001, StatusDead, 2, u"Not Found"_s);
        store.addDeadLink(40001);
        QVERIFY(store.checkkey(u"node40001"));
    }

    // Clear results empties everything and says so; views hear about each change.
    void clearAndSignals()
    {
        LinkStore store;
        QSignalSpy added(&store.full(), &ResultTree::nodeAdded);
        QSignalSpy cleared(&store.full(), &ResultTree::cleared);
        QSignalSpy panels(&store, &LinkStore::panelChanged);
        store.startList(u"s.test"_s);
        store.addLinkNode(1, u"a"_s, 1, u"http://s.test/a"_s, true);
        store.deads().add(u"http://s.test/a"_s, 2);
        store.timeouts().add(u"http://s.test/b"_s, 3);
        store.setResume(LinkStore::Badlink1, u"2"_s);
        store.setPanel(3, u"累计已检测链接：2个"_s);
        store.clearResults();
        QCOMPARE(added.count(), 2);
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(store.full().count(), 0);
        QCOMPARE(store.deads().count(), 0);
        QCOMPARE(store.timeouts().count(), 0);
        QCOMPARE(store.resume(LinkStore::Badlink1), QString());
        QCOMPARE(store.panel(1), u"就绪"_s);
        QCOMPARE(store.panel(3), QString());
        QVERIFY(panels.count() >= 3);
    }
};

QTEST_GUILESS_MAIN(TestLinkStore)
#include "tst_linkstore.moc"
