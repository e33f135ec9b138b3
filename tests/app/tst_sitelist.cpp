#include "maintexts.h"
#include "settingsrecord.h"
#include "sitelist.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

QStringList itemTexts(const QTreeWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        texts.append(list->topLevelItem(row)->text(0));
    }
    return texts;
}

QList<int> checkedRows(const QTreeWidget* list)
{
    QList<int> rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (list->topLevelItem(row)->checkState(0) == Qt::Checked) {
            rows.append(row);
        }
    }
    return rows;
}

// Edits `row` in place as a user does: the editor opens, the text is replaced, Enter commits.
void editInPlace(QTreeWidget* list, int row, const QString& text)
{
    list->editItem(list->topLevelItem(row), 0);
    QPointer<QLineEdit> editor = list->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The commit is queued; it is done when the editor is gone.
    QTRY_VERIFY_WITH_TIMEOUT(editor.isNull(), 5000);
}

} // namespace

class TstSiteList : public QObject
{
    Q_OBJECT
private slots:
    void add_data()
    {
        QTest::addColumn<QString>("input"); // null = the user cancels
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        const QStringList two{u"a.com"_s, u"http://b.com"_s};
        QTest::newRow("trimmed") << u"  c.com  "_s << (two + QStringList{u"c.com"_s}) << QString();
        QTest::newRow("duplicate, spaces around") << u" a.com "_s << two << MainText::addDuplicate();
        QTest::newRow("other letter case is another site")
            << u"A.COM"_s << (two + QStringList{u"A.COM"_s}) << QString();
        QTest::newRow("cancel") << QString() << two << QString();
        QTest::newRow("only spaces") << u"   "_s << two << MainText::siteBlank();
        QTest::newRow("empty") << u""_s << two << MainText::siteBlank();
        QTest::newRow("dollar refused") << u"c.com/$x"_s << two << MainText::noDollar();
        QTest::newRow("other scheme") << u"htp://x"_s << two << MainText::siteScheme();
        QTest::newRow("no host") << u"http://"_s << two << MainText::siteNoHost();
        QTest::newRow("scheme without slashes") << u"mailto:x@y.com"_s << two << MainText::siteScheme();
        QTest::newRow("http with its colon missing") << u"http//127.0.0.1:1"_s << two << MainText::siteScheme();
        QTest::newRow("port out of range") << u"127.0.0.1:99999"_s << two << MainText::sitePort();
        QTest::newRow("port not a number") << u"http://c.com:8o/"_s << two << MainText::sitePort();
        QTest::newRow("https, port and path")
            << u"HTTPS://c.com:8443/x"_s << (two + QStringList{u"HTTPS://c.com:8443/x"_s}) << QString();
        QTest::newRow("address and port")
            << u"127.0.0.1:8077"_s << (two + QStringList{u"127.0.0.1:8077"_s}) << QString();
        QTest::newRow("host name and port")
            << u"localhost:8077/x"_s << (two + QStringList{u"localhost:8077/x"_s}) << QString();
    }

    // The list is written back after every add, whatever its outcome.
    void add()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        WindowFixture f;
        f.store(u"setting"_s, u"1|0|1|0|10|0"_s);
        f.store(u"sites"_s, u"$a.com$http://b.com"_s);
        f.open();
        f.store(u"sites"_s, u"untouched"_s);
        f.toolkit.queueInput(input);
        f.find<QPushButton>(u"Command3"_s)->click();
        QCOMPARE(f.toolkit.lastInputPrompt, u"输入网站URL！"_s);
        QCOMPARE(f.toolkit.lastInputTitle, u"添加网站"_s);
        auto* list = f.find<QTreeWidget>(u"ListView11"_s);
        QCOMPARE(itemTexts(list), after);
        QCOMPARE(f.stored(u"sites"_s), EncodeSites(after));
        QCOMPARE(f.shownTexts(), message.isEmpty() ? QStringList{} : QStringList{message});
        if (!message.isEmpty()) {
            QCOMPARE(f.toolkit.messages().first().title, u"提示"_s);
        }
        if (after.size() > 2) {
            QCOMPARE(list->currentItem(), list->topLevelItem(2)); // selected, not checked
            QCOMPARE(checkedRows(list), QList<int>{});
        }
    }

    void remove_data()
    {
        QTest::addColumn<int>("checked"); // 1-based, 0 none
        QTest::addColumn<int>("answer");  // MsgResult
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("storedSites");
        QTest::addColumn<QString>("storedRecord");
        const QStringList all{u"a"_s, u"b"_s, u"c"_s};
        QTest::newRow("nothing checked") << 0 << int(MsgResult::Yes) << all << u"$a$b$c"_s << u"1|0|1|0|10|0"_s;
        QTest::newRow("answer no") << 2 << int(MsgResult::No) << all << u"$a$b$c"_s << u"1|0|1|0|10|2"_s;
        QTest::newRow("answer yes: position reset")
            << 2 << int(MsgResult::Yes) << QStringList{u"a"_s, u"c"_s} << u"$a$c"_s << u"1|0|1|0|10|0"_s;
    }

    void remove()
    {
        QFETCH(int, checked);
        QFETCH(int, answer);
        QFETCH(QStringList, after);
        QFETCH(QString, storedSites);
        QFETCH(QString, storedRecord);
        WindowFixture f;
        f.store(u"setting"_s, u"1|0|1|0|10|%1"_s.arg(checked));
        f.store(u"sites"_s, u"$a$b$c"_s);
        f.open();
        f.toolkit.queueAnswer(MsgResult(answer));
        f.find<QPushButton>(u"Command4"_s)->click();
        QCOMPARE(itemTexts(f.find<QTreeWidget>(u"ListView11"_s)), after);
        QCOMPARE(f.stored(u"sites"_s), storedSites);
        QCOMPARE(f.stored(u"setting"_s), storedRecord);
        QCOMPARE(f.toolkit.messages().size(), 1);
        const auto& shown = f.toolkit.messages().first();
        if (checked == 0) {
            QCOMPARE(shown.text, u"请选择要删除的网站"_s);
            QCOMPARE(shown.title, u"提示"_s);
        } else {
            QCOMPARE(shown.text, u"确实要删除该网站吗？"_s);
            QCOMPARE(shown.buttons, MsgButtons::YesNoCancel);
            QCOMPARE(shown.title, u"Kelvara"_s);
        }
    }

    void edit_data()
    {
        QTest::addColumn<QString>("newText");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        QTest::newRow("to another site's text") << u"c"_s << QStringList{u"a"_s, u"b"_s, u"c"_s}
                                                << MainText::editDuplicate();
        QTest::newRow("new text kept untrimmed") << u" d "_s << QStringList{u"a"_s, u" d "_s, u"c"_s} << QString();
        QTest::newRow("unchanged: nothing to say") << u"b"_s << QStringList{u"a"_s, u"b"_s, u"c"_s} << QString();
        QTest::newRow("dollar refused") << u"d$"_s << QStringList{u"a"_s, u"b"_s, u"c"_s} << MainText::noDollar();
        QTest::newRow("other scheme") << u"ftp://d"_s << QStringList{u"a"_s, u"b"_s, u"c"_s} << MainText::siteScheme();
    }

    void edit()
    {
        QFETCH(QString, newText);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        WindowFixture f;
        f.store(u"sites"_s, u"$a$b$c"_s);
        f.open();
        f.window->show();
        auto* list = f.find<QTreeWidget>(u"ListView11"_s);
        editInPlace(list, 1, newText);
        QCOMPARE(itemTexts(list), after);
        QCOMPARE(f.stored(u"sites"_s), EncodeSites(after));
        QCOMPARE(f.shownTexts(), message.isEmpty() ? QStringList{} : QStringList{message});
    }

    // A click checks the clicked site alone; toggling a box keeps marks exclusive; both store the position.
    void clickAndCheck()
    {
        WindowFixture f;
        f.store(u"setting"_s, u"1|0|1|0|10|1"_s);
        f.store(u"sites"_s, u"$a$b$c"_s);
        f.open();
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto* list = f.find<QTreeWidget>(u"ListView11"_s);

        const QRect second = list->visualItemRect(list->topLevelItem(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center() + QPoint(40, 0));
        QCOMPARE(checkedRows(list), QList<int>{1});
        QCOMPARE(f.storedField(6), u"2"_s);

        list->topLevelItem(2)->setCheckState(0, Qt::Checked); // the user ticks the third box
        QCOMPARE(checkedRows(list), QList<int>{2});
        QCOMPARE(list->currentItem(), list->topLevelItem(2));
        QCOMPARE(f.storedField(6), u"3"_s);

        list->topLevelItem(2)->setCheckState(0, Qt::Unchecked); // and clears it again
        QCOMPARE(checkedRows(list), QList<int>{});
        QCOMPARE(f.storedField(6), u"0"_s);
    }
};

QTEST_MAIN(TstSiteList)
#include "tst_sitelist.moc"
