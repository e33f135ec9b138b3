#include "resultmodel.h"
#include "resulttree.h"
#include "resultview.h"
#include "statusicons.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QSignalSpy>
#include <QTest>

namespace {

NodeRecord rec(int depth, const QString& url)
{
    NodeRecord r;
    r.depth = depth;
    r.url = url;
    r.siteLink = true;
    return r;
}

// A tree of `pages` pages under the home page, each with `links` links.
void grow(ResultTree& tree, int pages, int links)
{
    if (tree.count() == 0) {
        tree.add(0, 1, QStringLiteral("http://a"), NoStatus, rec(0, QStringLiteral("http://a")));
    }
    for (int p = 0; p < pages; ++p) {
        const int page = tree.add(1, tree.count() + 1, QStringLiteral("p%1").arg(p), NoStatus,
                                  rec(1, QStringLiteral("http://a/p%1").arg(p)));
        for (int l = 0; l < links; ++l) {
            tree.add(page, tree.count() + 1, QStringLiteral("l%1").arg(l), NoStatus,
                     rec(2, QStringLiteral("http://a/p%1/l%2").arg(p).arg(l)));
        }
    }
}

} // namespace

class TstResultModel : public QObject
{
    Q_OBJECT
private slots:
    // The model stays consistent through batches, data changes and clears (checked by the tester).
    void consistentThroughGrowthAndClear()
    {
        ResultTree tree;
        ResultTreeModel model(tree);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        grow(tree, 3, 4);
        model.flush();
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex home = model.index(0, 0);
        QCOMPARE(model.rowCount(home), 3);
        QCOMPARE(model.rowCount(model.index(2, 0, home)), 4);
        tree.setStatus(5, StatusDead);
        grow(tree, 2, 1); // more children under published and new parents alike
        model.flush();
        QCOMPARE(model.rowCount(home), 5);
        tree.clear();
        QCOMPARE(model.rowCount(), 0);
        grow(tree, 1, 1);
        model.flush();
        QCOMPARE(model.rowCount(model.index(0, 0)), 1);
    }

    // New nodes reach the view in one insert per parent per batch, not one per node, and only once the
    // batch is published.
    void insertsInBatches()
    {
        ResultTree tree;
        ResultTreeModel model(tree);
        model.setBatchInterval(10'000);
        QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
        grow(tree, 50, 20);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(inserts.count(), 0);
        model.flush();
        QCOMPARE(inserts.count(), 1 + 1 + 50); // root, home page, each page
        QCOMPARE(model.rowCount(model.index(0, 0)), 50);

        // The timer publishes by itself.
        model.setBatchInterval(20);
        grow(tree, 1, 0);
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(model.index(0, 0)), 51, 2000);
    }

    // Status, bold and red flags come out as icon, font and fore colour; changes are announced.
    void rolesFollowTheNode()
    {
        ResultTree tree;
        grow(tree, 1, 0);
        ResultTreeModel model(tree);
        const QModelIndex page = model.indexOfNode(2);
        QVERIFY(page.isValid());
        QCOMPARE(page.data().toString(), QStringLiteral("p0"));
        QCOMPARE(page.data(ResultTreeModel::NodeIndexRole).toInt(), 2);
        QVERIFY(page.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(page.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 0));
        QVERIFY(!page.data(Qt::FontRole).value<QFont>().bold());

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        tree.setStatus(2, StatusDead);
        tree.setBold(2, true);
        tree.setRed(2, true);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.first().at(0).value<QModelIndex>(), page);
        QVERIFY(!page.data(Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(page.data(Qt::FontRole).value<QFont>().bold());
        QCOMPARE(page.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QVERIFY(!(model.flags(page) & Qt::ItemIsEditable));
        tree.setProbeFields(2, 5, QStringLiteral("连接被拒绝"));
        QVERIFY(page.data(Qt::ToolTipRole).toString().endsWith(QStringLiteral("\n连接被拒绝"))); // why it is dead

        // A resource shows its kind in front of its text.
        NodeRecord image;
        image.url = QStringLiteral("http://s.test/a.png");
        image.kind = LinkKind::Image;
        const int n = tree.add(2, 99, QStringLiteral("a.png"), NoStatus, image);
        QCOMPARE(model.indexOfNode(n).data().toString(), QStringLiteral("【图片】a.png"));
    }

    // The three status pictures differ from each other where it counts, at their centre mark and disc.
    void iconsTellStatusesApart()
    {
        const QImage dead = StatusIcons::pixmap(StatusDead, 32).toImage();
        const QImage valid = StatusIcons::pixmap(StatusValid, 32).toImage();
        const QImage late = StatusIcons::pixmap(StatusTimedOut, 32).toImage();
        QVERIFY(StatusIcons::pixmap(NoStatus, 32).isNull());
        QVERIFY(dead != valid && valid != late && dead != late);
        const auto hueAt = [](const QImage& img) { return img.pixelColor(6, 16).hue(); };
        QVERIFY(qAbs(hueAt(dead) - hueAt(valid)) > 60);
        QVERIFY(qAbs(hueAt(late) - hueAt(valid)) > 40);
        QVERIFY(qAbs(hueAt(late) - hueAt(dead)) > 20);
    }

    // The view expands pages as their links arrive, and selects a node by its index.
    void viewExpandsAndSelects()
    {
        ResultTree tree;
        ResultTreeModel modelObject(tree);
        ResultTreeModel* model = &modelObject;
        ResultView view(QStringLiteral("TreeView1"), model);
        grow(tree, 2, 2);
        model->flush();
        const QModelIndex home = model->index(0, 0);
        QVERIFY(view.isExpanded(home));
        QVERIFY(view.isExpanded(model->index(1, 0, home)));
        QVERIFY(view.selectNode(tree.count()));
        QCOMPARE(ResultTreeModel::nodeOf(view.currentIndex()), tree.count());
        QVERIFY(!view.selectNode(tree.count() + 1));
    }

    // A large run stays cheap to publish: 100,000 nodes in one batch well under a second.
    void largeBatch()
    {
        ResultTree tree;
        ResultTreeModel model(tree);
        model.setBatchInterval(10'000);
        grow(tree, 1000, 99);
        QElapsedTimer t;
        t.start();
        model.flush();
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(model.rowCount(model.index(0, 0)), 1000);
    }
};

QTEST_MAIN(TstResultModel)
#include "tst_resultmodel.moc"
