#include "badlinkdialog.h"
#include "hoverlink.h"
#include "linkdetail.h"
#include "linkstore.h"
#include "resulttree.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(LinkDetail::Icon)
Q_DECLARE_METATYPE(ResultList)

namespace {

const QString kHome = QStringLiteral("http://site.test");
const QString kPage = QStringLiteral("http://site.test/a.html");
const QString kSlow = QStringLiteral("http://site.test/slow?x=1");
const QString kGone = QStringLiteral("http://site.test/gone");

// Home page (valid, 235 ms), a page found on it (not probed), a timed-out link and a dead link on
// that page, the dead link also in the dead-link list; plus a timed-out node in the dead-link list.
void fill(LinkStore& store)
{
    store.startList(QStringLiteral("site.test"));
    store.recordProbe(1, StatusValid, 235, QStringLiteral("OK"));
    const int page = store.addLinkNode(1, QStringLiteral("a.html"), 1, kPage, true);
    const int slow = store.addLinkNode(page, QStringLiteral("slow"), 2, kSlow, true);
    store.recordProbe(slow, StatusTimedOut, 11000, QStringLiteral("查询超时"));
    const int gone = store.addLinkNode(page, QStringLiteral("gone"), 2, kGone, true);
    store.recordProbe(gone, StatusDead, 12, QStringLiteral("Not Found"));
    store.addDeadLink(gone);
    store.dead().add(0, slow, QStringLiteral("slow"), StatusTimedOut, store.full().node(slow)->record);
}

} // namespace

class TstLinkDetail : public QObject
{
    Q_OBJECT
private slots:
    void describe_data()
    {
        QTest::addColumn<ResultList>("list");
        QTest::addColumn<int>("node");
        QTest::addColumn<QStringList>("fields"); // link, parent, status, description, time, depth
        QTest::addColumn<LinkDetail::Icon>("icon");
        using I = LinkDetail::Icon;
        QTest::newRow("home page: its own URL twice")
            << ResultList::Full << 1 << QStringList{kHome, kHome, u"有效链接"_s, u"OK"_s, u"235 毫秒"_s, u"0"_s} << I::Valid;
        QTest::newRow("not probed: no description, no time")
            << ResultList::Full << 2 << QStringList{kPage, kHome, u"未检测"_s, u""_s, u""_s, u"1"_s} << I::None;
        QTest::newRow("timed out in the full list")
            << ResultList::Full << 3 << QStringList{kSlow, kPage, u"超时链接"_s, u"查询超时"_s, u"11000 毫秒"_s, u"2"_s}
            << I::TimedOut;
        QTest::newRow("dead in the full list")
            << ResultList::Full << 4 << QStringList{kGone, kPage, u"死链接"_s, u"Not Found"_s, u"12 毫秒"_s, u"2"_s} << I::Dead;
        QTest::newRow("page node of the dead list is node 1 there: own URL as parent")
            << ResultList::Dead << 1 << QStringList{kPage, kPage, u"未检测"_s, u""_s, u""_s, u"1"_s} << I::None;
        QTest::newRow("dead link under its page")
            << ResultList::Dead << 2 << QStringList{kGone, kPage, u"死链接"_s, u"Not Found"_s, u"12 毫秒"_s, u"2"_s} << I::Dead;
        QTest::newRow("timed out in the dead list: not told apart, no parent")
            << ResultList::Dead << 3 << QStringList{kSlow, u""_s, u"未检测"_s, u"查询超时"_s, u"11000 毫秒"_s, u"2"_s} << I::None;
        QTest::newRow("node that is gone: all empty")
            << ResultList::Full << 99 << QStringList{u""_s, u""_s, u""_s, u""_s, u""_s, u""_s} << I::None;
    }

    void describe()
    {
        QFETCH(ResultList, list);
        QFETCH(int, node);
        QFETCH(QStringList, fields);
        QFETCH(LinkDetail::Icon, icon);
        LinkStore store;
        fill(store);
        const LinkDetail d = DescribeNode(list == ResultList::Full ? store.full() : store.dead(), node, list);
        QCOMPARE((QStringList{d.link, d.parentLink, d.status, d.description, d.queryTime, d.depth}), fields);
        QCOMPARE(d.icon, icon);
    }

    // The window shows each field in its named label, with exactly the matching icon.
    void dialogShowsTheDetail_data()
    {
        QTest::addColumn<LinkDetail::Icon>("icon");
        QTest::addColumn<QString>("shownImage");
        QTest::newRow("valid") << LinkDetail::Icon::Valid << u"Image2"_s;
        QTest::newRow("dead") << LinkDetail::Icon::Dead << u"Image3"_s;
        QTest::newRow("timed out") << LinkDetail::Icon::TimedOut << u"Image1"_s;
        QTest::newRow("none") << LinkDetail::Icon::None << u""_s;
    }

    void dialogShowsTheDetail()
    {
        QFETCH(LinkDetail::Icon, icon);
        QFETCH(QString, shownImage);
        const LinkDetail d{kSlow, kPage, u"超时链接"_s, u"查询超时"_s, u"11000 毫秒"_s, u"2"_s, icon};
        BadLinkDialog dialog(d);
        QCOMPARE(dialog.objectName(), QStringLiteral("frm_badlink"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("链接详细信息"));
        const auto text = [&](const char* name) { return dialog.findChild<QLabel*>(QLatin1String(name))->text(); };
        QCOMPARE(text("Label2"), QStringLiteral("上级链接URL：（导入链接）"));
        QCOMPARE((QStringList{text("mysite"), text("linksite"), text("Label3"), text("Label6"), text("Label8"),
                              text("Label9")}),
                 (QStringList{d.link, d.parentLink, d.status, d.description, d.queryTime, d.depth}));
        for (const char* image : {"Image1", "Image2", "Image3"}) {
            QCOMPARE(!dialog.findChild<QLabel*>(QLatin1String(image))->isHidden(), shownImage == QLatin1String(image));
        }
        // A page has no kind line; a resource's kind gets one of its own.
        QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("lblKind")));
        LinkDetail image = d;
        image.kind = u"图片"_s;
        const BadLinkDialog resource(image);
        QCOMPARE(resource.findChild<QLabel*>(QStringLiteral("lblKind"))->text(), u"图片"_s);
    }

    // The two link fields underline and show their text as tooltip on hover, and report a click.
    void linkFieldsHoverAndClick()
    {
        BadLinkDialog dialog(LinkDetail{kSlow, kPage, {}, {}, {}, {}, LinkDetail::Icon::None});
        auto* mysite = dialog.findChild<HoverLinkLabel*>(QStringLiteral("mysite"));
        QVERIFY(!mysite->font().underline());
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(mysite, &enter);
        QVERIFY(mysite->font().underline());
        QCOMPARE(mysite->toolTip(), kSlow);
        QCOMPARE(mysite->cursor().shape(), Qt::BitmapCursor);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(mysite, &leave);
        QVERIFY(!mysite->font().underline());

        QSignalSpy clicked(&dialog, &BadLinkDialog::linkClicked);
        dialog.show();
        QTest::mouseClick(mysite, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().first().toString(), kSlow);
    }
};

QTEST_MAIN(TstLinkDetail)
#include "tst_linkdetail.moc"
