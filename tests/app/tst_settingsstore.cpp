#include "checksettings.h"
#include "maintexts.h"
#include "settingsrecord.h"
#include "singleinstance.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

ino_t inodeOf(const QString& path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QString optionalText(const std::optional<int>& v)
{
    return v ? QString::number(*v) : u"-"_s;
}

QString optionalText(const std::optional<bool>& v)
{
    return v ? (*v ? u"1"_s : u"0"_s) : u"-"_s;
}

} // namespace

class TstSettingsStore : public QObject
{
    Q_OBJECT
private slots:
    // Texts come back exactly as written, whatever an INI file would otherwise make of them.
    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("record") << u"1|0|1|0|10|0"_s;
        QTest::newRow("chinese sites") << u"$http://例子.中国/首页$www.a.com"_s;
        QTest::newRow("commas") << u"a,b, c"_s;
        QTest::newRow("spaces around") << u"  padded  "_s;
        QTest::newRow("at sign first") << u"@Variant(x)"_s;
        QTest::newRow("ini syntax") << u"[x] k=v ; note # hash"_s;
        QTest::newRow("quotes and backslashes") << u"\"q\" \\path\\to"_s;
        QTest::newRow("line breaks") << u"one\ntwo\r\n"_s;
        QTest::newRow("empty") << QString();
    }

    void valuesRoundTrip()
    {
        QFETCH(QString, text);
        WindowFixture f;
        f.store(u"sites"_s, text);
        QVERIFY(f.hasStored(u"sites"_s));
        QCOMPARE(f.stored(u"sites"_s), text);
        // A fresh store object reads the file, not a cache of this one.
        ConfigStore other(f.config->hive());
        QCOMPARE(other.loadSitesText(), text);
    }

    // A missing value reads as nothing; writing replaces the file through a rename, never in place.
    void missingValuesAndAtomicWrites()
    {
        WindowFixture f;
        QVERIFY(!f.hasStored(u"sites"_s));
        QCOMPARE(f.config->loadSitesText(), QString());
        f.config->saveSitesText(u"$a"_s);
        const QString file = f.config->hive().location;
        const ino_t before = inodeOf(file);
        QVERIFY(before != 0);
        f.config->saveSitesText(u"$a$b"_s);
        QVERIFY(inodeOf(file) != before);
        QCOMPARE(f.config->loadSitesText(), u"$a$b"_s);
        const QStringList left = QDir(f.dir.path()).entryList(QDir::Files);
        QCOMPARE(left, QStringList{u"Kelvara.ini"_s});
    }

    void recordParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fields"); // depth subdomains noRepeats linkText timeout checked; "-" unset
        QTest::newRow("default") << SettingsRecord::defaultText() << u"1 0 1 0 10 0"_s;
        QTest::newRow("all set") << u"3|1|0|1|15|2"_s << u"3 1 0 1 15 2"_s;
        QTest::newRow("three fields") << u"2|0|1"_s << u"2 0 1 - - -"_s;
        QTest::newRow("damaged fields skipped") << u"9|x|2|1|abc|-4"_s << u"- - - 1 abc -"_s;
        QTest::newRow("empty") << QString() << u"- - - - - -"_s;
    }

    void recordParsing()
    {
        QFETCH(QString, text);
        QFETCH(QString, fields);
        const SettingsRecord r = SettingsRecord::parse(text);
        const QString got = QStringList{optionalText(r.depth), optionalText(r.subdomains), optionalText(r.noRepeats),
                                        optionalText(r.linkText), r.timeout.value_or(u"-"_s),
                                        optionalText(r.checkedSite)}
                                .join(u' ');
        QCOMPARE(got, fields);
    }

    void sitesCodec_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sites");
        QTest::newRow("none") << QString() << QStringList{};
        QTest::newRow("two in order") << u"$a$b"_s << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("untrimmed kept") << u"$ a $b"_s << QStringList{u" a "_s, u"b"_s};
    }

    void sitesCodec()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, sites);
        QCOMPARE(DecodeSites(text), sites);
        QCOMPARE(EncodeSites(sites), text);
    }

    // Start-up applies what is stored, writes the default record only on a first start, and never
    // rewrites a stored record.
    void startUp_data()
    {
        QTest::addColumn<QString>("record"); // "" = nothing stored
        QTest::addColumn<QString>("sites");
        QTest::addColumn<QString>("shown"); // depth lblnum check9 check10 check13 timeout checkedRow
        QTest::newRow("first start") << QString() << QString() << u"1 1 0 1 0 10 -"_s;
        QTest::newRow("three sites, second checked") << u"3|1|0|1|15|2"_s << u"$a$b$c"_s << u"3 3 1 0 1 15 1"_s;
        QTest::newRow("whole site") << u"5|0|1|0|10|1"_s << u"$a"_s << u"5 5（整站） 0 1 0 10 0"_s;
        QTest::newRow("three fields") << u"2|0|1"_s << u"$a"_s << u"2 2 0 1 0 10 -"_s;
        QTest::newRow("checked site past the end") << u"1|0|1|0|10|5"_s << u"$a$b"_s << u"1 1 0 1 0 10 -"_s;
    }

    void startUp()
    {
        QFETCH(QString, record);
        QFETCH(QString, sites);
        QFETCH(QString, shown);
        WindowFixture f;
        if (!record.isEmpty()) {
            f.store(u"setting"_s, record);
            f.store(u"sites"_s, sites);
        }
        f.open();
        auto* list = f.find<QTreeWidget>(u"ListView11"_s);
        QString checkedRow = u"-"_s;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            if (list->topLevelItem(row)->checkState(0) == Qt::Checked) {
                checkedRow = QString::number(row);
            }
        }
        const auto box = [&](const QString& name) { return f.find<QCheckBox>(name)->isChecked() ? u"1"_s : u"0"_s; };
        const QString got = QStringList{QString::number(f.find<QSlider>(u"Slider1"_s)->value()),
                                        f.find<QLabel>(u"lblnum"_s)->text(), box(u"Check9"_s), box(u"Check10"_s),
                                        box(u"Check13"_s), f.find<QLineEdit>(u"Text3"_s)->text(), checkedRow}
                                .join(u' ');
        QCOMPARE(got, shown);
        QCOMPARE(list->topLevelItemCount(), DecodeSites(sites).size());
        QCOMPARE(f.stored(u"setting"_s), record.isEmpty() ? u"1|0|1|0|10|0"_s : record);
        QCOMPARE(f.hasStored(u"sites"_s), !record.isEmpty());
    }

    // Each settings control writes the whole record at once; the timeout only when it reads as a number.
    void controlsWriteThrough()
    {
        WindowFixture f;
        f.open();
        auto* slider = f.find<QSlider>(u"Slider1"_s);
        slider->setValue(0);
        QCOMPARE(f.find<QLabel>(u"lblnum"_s)->text(), u"0"_s);
        QCOMPARE(f.stored(u"setting"_s), u"0|0|1|0|10|0"_s);

        // The timeout box takes digits only and stores a value in range; one out of range, left, is told
        // and replaced by the stored one.
        auto* text3 = f.find<QLineEdit>(u"Text3"_s);
        text3->clear();
        QTest::keyClick(text3, Qt::Key_1);
        QCOMPARE(f.storedField(5), u"10"_s);
        QTest::keyClick(text3, Qt::Key_5);
        QCOMPARE(f.storedField(5), u"15"_s);
        QTest::keyClick(text3, Qt::Key_Backspace);
        QTest::keyClick(text3, Qt::Key_X);
        QCOMPARE(text3->text(), u"1"_s);
        QTest::keyClick(text3, Qt::Key_Return);
        QCOMPARE(text3->text(), u"15"_s);
        QCOMPARE(f.shownTexts(), QStringList{MainText::timeoutRange()});

        // Another control's save keeps the last timeout in range, never the text "1".
        f.find<QCheckBox>(u"Check9"_s)->click();
        QCOMPARE(f.stored(u"setting"_s), u"0|1|1|0|15|0"_s);
        f.find<QCheckBox>(u"Check10"_s)->click();
        f.find<QCheckBox>(u"Check13"_s)->click();
        QCOMPARE(f.stored(u"setting"_s), u"0|1|0|1|15|0"_s);

        // The wheel moves a slider or spin box only when it has the focus, not as it passes under the pointer.
        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        auto* spin = f.find<QSpinBox>(u"spinParallel"_s);
        const auto wheelUp = [](QWidget* w) {
            QWheelEvent up(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton,
                           Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(w, &up);
        };
        wheelUp(slider);
        wheelUp(spin);
        QCOMPARE(slider->value(), 0);
        QCOMPARE(spin->value(), kDefaultParallel);
        QCOMPARE(f.stored(u"setting"_s), u"0|1|0|1|15|0"_s);
        QVERIFY(!f.hasStored(u"parallel"_s));
        slider->setFocus();
        wheelUp(slider);
        QCOMPARE(f.storedField(1), u"1"_s);
    }

    // One copy at a time; the lock of a copy that died is taken over.
    void singleInstance()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"kelvara.lock"_s);
        {
            SingleInstance first(path);
            QVERIFY(first.acquire());
            SingleInstance second(path);
            QVERIFY(!second.acquire());
        }
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        // The pid of a process that has ended: a child we started and waited for.
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(0);
        }
        QVERIFY(child > 0);
        int status = 0;
        ::waitpid(child, &status, 0);
        stale.write(QByteArray::number(child) + "\ntst_settingsstore\n" + QSysInfo::machineHostName().toUtf8() + '\n');
        stale.close();
        SingleInstance third(path);
        QVERIFY(third.acquire());
    }
};

QTEST_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
