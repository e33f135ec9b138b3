#include "aboutdialog.h"
#include "desktopcommands.h"
#include "helppage.h"
#include "hoverlink.h"
#include "linkstore.h"
#include "resultspanel.h"
#include "runtexts.h"
#include "savefilter.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStringDecoder>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// The window with the desktop commands plugged in, its help page written to the fixture's folder.
struct DesktopWindow
{
    DesktopWindow()
    {
        f.open();
        commands = std::make_unique<DesktopCommands>(f.toolkit, f.window->store(), helpFolder());
        f.window->setWebCommands(commands.get());
    }
    ~DesktopWindow() { f.window->setWebCommands(nullptr); }
    QString helpFolder() const { return f.dir.filePath(u"help"_s); }

    WindowFixture f;
    std::unique_ptr<DesktopCommands> commands;
};

// Runs `inspect` on the modal window that `open` shows, then closes that window. Any modal window
// left open is closed as well, so a failing check cannot hang the test.
void onModal(QObject* context, const std::function<void()>& open, const std::function<void(QWidget*)>& inspect)
{
    QTimer::singleShot(0, context, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        inspect(modal);
        while ((modal = QApplication::activeModalWidget())) {
            modal->close();
        }
    });
    open();
}

QString textOf(QWidget* w, const QString& name)
{
    auto* label = w ? w->findChild<QLabel*>(name) : nullptr;
    return label ? label->text() : u"<missing "_s + name + u'>';
}

} // namespace

class TstWebCommands : public QObject
{
    Q_OBJECT
private slots:
    // Every menu item and link label opens its own page of the maker in the browser, and only that.
    void pagesOpenInBrowser_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("address");
        QTest::newRow("m_author") << u"m_author"_s << u"https://www.maroven.example/kelvara/"_s;
        QTest::newRow("m_pelmar") << u"m_pelmar"_s << u"https://www.maroven.example/"_s;
        QTest::newRow("m_market") << u"m_market"_s << u"https://www.maroven.example/links/"_s;
        QTest::newRow("m_help") << u"m_help"_s << u"https://www.maroven.example/tools/"_s;
        QTest::newRow("m_bug") << u"m_bug"_s << u"https://www.maroven.example/kelvara/feedback/"_s;
        QTest::newRow("Label17") << u"Label17"_s << u"https://www.maroven.example/tools/deadlink/"_s;
        QTest::newRow("Label8") << u"Label8"_s << u"https://www.maroven.example/sitemap-maker/"_s;
        QTest::newRow("Label9") << u"Label9"_s << u"https://www.maroven.example/tools/rank/"_s;
    }
    void pagesOpenInBrowser()
    {
        QFETCH(QString, control);
        QFETCH(QString, address);
        DesktopWindow w;
        if (auto* action = w.f.window->findChild<QAction*>(control)) {
            action->trigger();
        } else {
            w.f.window->show();
            QTest::mouseClick(w.f.find<HoverLinkLabel>(control), Qt::LeftButton);
        }
        QCOMPARE(w.f.toolkit.opened(), QStringList{address});
        QVERIFY(w.f.toolkit.messages().isEmpty());
    }

    // The online help is the page bundled with the program, written out so that it opens offline; a
    // stale copy is replaced.
    void onlineHelpIsBundled()
    {
        DesktopWindow w;
        QVERIFY(QDir().mkpath(w.helpFolder()));
        QFile stale(w.helpFolder() + u"/kelvara-help.html"_s);
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("old help") == 8);
        stale.close();

        w.f.window->findChild<QAction*>(u"m_olhelp"_s)->trigger();
        QCOMPARE(w.f.toolkit.opened().size(), 1);
        const QUrl url(w.f.toolkit.opened().first());
        QVERIFY(url.isLocalFile());
        QCOMPARE(QFileInfo(url.toLocalFile()).absolutePath(), QDir(w.helpFolder()).absolutePath());
        QFile page(url.toLocalFile());
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray bytes = page.readAll();
        QCOMPARE(bytes, HelpPage::bundled());
        const QString text = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
        for (const QString& words : {u"<meta charset=\"utf-8\">"_s, u"使用帮助"_s, u"检测深度"_s, u"导出Excel"_s}) {
            QVERIFY2(text.contains(words), qPrintable(words));
        }
    }

    // With nowhere to write the page to, the maker's help page is opened instead of nothing.
    void onlineHelpFallsBackToWeb()
    {
        WindowFixture f;
        f.open();
        const QString blocker = f.dir.filePath(u"plain file"_s);
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        DesktopCommands commands(f.toolkit, f.window->store(), blocker + u"/help"_s);
        commands.openPage(WebCommands::Page::OnlineHelp);
        QCOMPARE(f.toolkit.opened(), QStringList{u"https://www.maroven.example/kelvara/help/"_s});
    }

    // The detail window's links open the shown address as it is; text that is not a web address
    // (a crawled page may hold anything) starts nothing.
    void detailAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("query") << u"http://www.example.com/a.php?id=3&p=2#top"_s << true;
        QTest::newRow("https, Chinese path") << u"https://www.example.com/新闻/列表.html"_s << true;
        QTest::newRow("upper-case scheme") << u"HTTP://WWW.EXAMPLE.COM/"_s << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("file") << u"file:///etc/passwd"_s << false;
        QTest::newRow("local path") << u"/usr/bin/xterm"_s << false;
        QTest::newRow("javascript") << u"javascript:alert(1)"_s << false;
        QTest::newRow("no host") << u"http://"_s << false;
    }
    void detailAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        DesktopWindow w;
        emit w.f.window->results().detailLinkClicked(address);
        QCOMPARE(w.f.toolkit.opened(), opened ? QStringList{address} : QStringList{});
    }

    // A click on mysite or linksite in the open detail window reaches the browser.
    void detailWindowClick_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("address");
        QTest::newRow("mysite") << u"mysite"_s << u"http://www.example.com/list.php?page=2"_s;
        QTest::newRow("linksite") << u"linksite"_s << u"http://www.example.com/"_s;
    }
    void detailWindowClick()
    {
        QFETCH(QString, label);
        QFETCH(QString, address);
        DesktopWindow w;
        LinkStore& store = w.f.window->store();
        store.full().add(0, 1, u"http://www.example.com/"_s, StatusValid,
                         NodeRecord{0, u"http://www.example.com/"_s, true, true, 20, u"OK"_s});
        store.full().add(1, 2, u"list"_s, StatusDead, NodeRecord{1, address, true, true, 20, u"Not Found"_s});
        const int node = label == u"mysite" ? 2 : 1;
        onModal(
            this, [&] { w.f.window->results().showDetail(ResultList::Full, node); },
            [&](QWidget* modal) {
                if (auto* link = modal ? modal->findChild<HoverLinkLabel*>(label) : nullptr) {
                    QTest::mouseClick(link, Qt::LeftButton);
                }
            });
        QCOMPARE(w.f.toolkit.opened(), QStringList{address});
    }

    // m_info and Command8 show the about window modally with its picture, lines and rule.
    void aboutWindow_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("m_info") << u"m_info"_s;
        QTest::newRow("Command8") << u"Command8"_s;
    }
    void aboutWindow()
    {
        QFETCH(QString, control);
        DesktopWindow w;
        w.f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.f.window.get()));
        QString name, title;
        QStringList lines;
        bool modal = false, blocksMain = false, rule = false, picture = false;
        onModal(
            this,
            [&] {
                if (auto* action = w.f.window->findChild<QAction*>(control)) {
                    action->trigger();
                } else {
                    w.f.find<QPushButton>(control)->click();
                }
            },
            [&](QWidget* about) {
                if (!about) {
                    return;
                }
                name = about->objectName();
                title = about->windowTitle();
                modal = about->isModal();
                blocksMain = QApplication::activeModalWidget() == about && about->parentWidget() == w.f.window.get();
                for (const QString& n : {u"Label1"_s, u"Label2"_s, u"Label3"_s, u"Label4"_s}) {
                    lines.append(textOf(about, n));
                }
                auto* line = about->findChild<QFrame*>(u"Line1"_s);
                rule = line && line->frameShape() == QFrame::HLine;
                auto* image = about->findChild<QLabel*>(u"Image1"_s);
                picture = image && !image->pixmap().isNull();
            });
        QCOMPARE(name, u"about"_s);
        QCOMPARE(title, u"关于软件"_s);
        QVERIFY(modal);
        QVERIFY(blocksMain);
        QVERIFY(rule);
        QVERIFY(picture);
        QCOMPARE(lines.mid(0, 2), (QStringList{u"KelvaraV1.0"_s, u"在此感谢一直关心和支持我们的朋友！"_s}));
        QVERIFY2(lines.value(2).contains(u"著作权"_s), qPrintable(lines.value(2)));
        QVERIFY2(lines.value(3).contains(u"Maroven"_s), qPrintable(lines.value(3)));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // The picture is drawn, not left blank: some of it is opaque.
    void aboutPictureIsDrawn()
    {
        const QImage image = AboutPicture(64).toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                opaque += qAlpha(image.pixel(x, y)) > 128;
            }
        }
        QVERIFY2(opaque > 64 * 64 / 4, qPrintable(QString::number(opaque)));
    }

    // The export buttons take the list on show: with only dead links shown, the dead-link list.
    void exportTakesTheShownList_data()
    {
        QTest::addColumn<bool>("deadLinks");
        QTest::newRow("dead-link list empty") << false;
        QTest::newRow("dead-link list with a link") << true;
    }
    void exportTakesTheShownList()
    {
        QFETCH(bool, deadLinks);
        DesktopWindow w;
        LinkStore& store = w.f.window->store();
        const QString home = u"http://www.example.com/"_s, gone = u"http://www.example.com/gone.html"_s;
        store.full().add(0, 1, home, StatusValid, NodeRecord{0, home, true, true, 20, u"OK"_s});
        store.full().add(1, 2, gone, StatusDead, NodeRecord{1, gone, true, true, 20, u"Not Found"_s});
        store.full().add(1, 3, home + u"ok.html"_s, StatusValid, NodeRecord{1, home + u"ok.html"_s, true, true, 9, u"OK"_s});
        if (deadLinks) {
            store.dead().add(0, 1, home, StatusValid, NodeRecord{0, home, true, true, 20, u"OK"_s});
            store.dead().add(1, 2, gone, StatusDead, NodeRecord{1, gone, true, true, 20, u"Not Found"_s});
        }
        w.f.find<QCheckBox>(u"Check11"_s)->click();
        const QString file = w.f.dir.filePath(u"dead.txt"_s);
        w.f.toolkit.queueSaveName(file);
        w.f.find<QPushButton>(u"Command28"_s)->click();
        if (!deadLinks) {
            QCOMPARE(w.f.shownTexts(), QStringList{u"没有数据需要导出！"_s});
            QVERIFY(!QFile::exists(file));
            return;
        }
        QFile report(file);
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString text = QStringDecoder("GB18030").decode(report.readAll());
        // Banner, empty line, header and the two rows of the dead-link list, not the full list's three.
        QCOMPARE(text.count(u"\r\n"_s), 5);
        QVERIFY(!text.contains(u"ok.html"_s));
        QVERIFY(text.contains(gone));
    }

    // The filter pairs and default extension of the export dialog as the Qt file dialog takes them.
    void saveDialogFilter_data()
    {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("qtFilter");
        QTest::newRow("txt") << u"Txt   (*.txt)|*.txt"_s << u"Txt   (*.txt)"_s;
        QTest::newRow("xlsx") << u"Excel   (*.xlsx)|*.xlsx"_s << u"Excel   (*.xlsx)"_s;
        QTest::newRow("no pattern in the description") << u"Html|*.htm"_s << u"Html (*.htm)"_s;
        QTest::newRow("two pairs") << u"Txt (*.txt)|*.txt|All|*.*"_s << u"Txt (*.txt);;All (*.*)"_s;
        QTest::newRow("two patterns") << u"Pages|*.htm;*.html"_s << u"Pages (*.htm *.html)"_s;
    }
    void saveDialogFilter()
    {
        QFETCH(QString, pairs);
        QFETCH(QString, qtFilter);
        QCOMPARE(QtNameFilter(pairs), qtFilter);
    }

    // A name typed without an extension gets the default one; a name with its own keeps it.
    void defaultExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("defaultExt");
        QTest::addColumn<QString>("path");
        QTest::newRow("bare name") << u"/home/u/报告"_s << u"*.xlsx"_s << u"/home/u/报告.xlsx"_s;
        QTest::newRow("own extension") << u"/home/u/report.htm"_s << u"*.txt"_s << u"/home/u/report.htm"_s;
        QTest::newRow("dot in the folder only") << u"/home/u.v/report"_s << u"*.htm"_s << u"/home/u.v/report.htm"_s;
        QTest::newRow("cancelled") << QString() << u"*.txt"_s << QString();
        QTest::newRow("no default") << u"/tmp/r"_s << QString() << u"/tmp/r"_s;
    }
    void defaultExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, defaultExt);
        QFETCH(QString, path);
        QCOMPARE(WithDefaultExtension(typed, defaultExt), path);
    }
};

QTEST_MAIN(TstWebCommands)
#include "tst_webcommands.moc"
