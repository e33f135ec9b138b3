// What a crash, a damaged file or a folder without write access leaves behind must not cost the user
// the settings and sites that survived it, nor stop the next start.
#include "configstore.h"
#include "settingsrecord.h"
#include "singleinstance.h"
#include "windowfixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSlider>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kIniName = u"Kelvara.ini"_s;
const QByteArray kGoodIni = "[Software]\n"
                            "Maroven\\V1.0.0\\Config\\setting=3|1|0|1|15|2\n"
                            "Maroven\\V1.0.0\\Config\\sites=$www.a.com$www.b.com\n";
constexpr uid_t kNobody = 65534;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Whether an account with no rights of its own (nobody) can reach `path`: every folder above it lets
// others pass, and the path itself lets others in (run a file, enter a folder).
bool othersCanReach(const QString& path)
{
    QFileInfo info(path);
    if (!info.permission(QFile::ExeOther)) {
        return false;
    }
    for (QDir dir = info.absoluteDir(); !dir.isRoot(); dir = QFileInfo(dir.absolutePath()).absoluteDir()) {
        if (!QFileInfo(dir.absolutePath()).permission(QFile::ExeOther)) {
            return false;
        }
    }
    return true;
}

// Helper mode, run as another process: reads both values, tries to save new ones, reads again, and
// prints the four texts, one a line.
int storeInFolderWithoutWriteAccess(const QString& folder)
{
    ConfigStore store(RegHive::IniFile(folder + u'/' + kIniName));
    const QString setting = store.loadSettingText();
    const QString sites = store.loadSitesText();
    store.saveSettingText(u"5|0|0|0|30|0"_s);
    store.saveSitesText(u"$www.new.com"_s);
    ConfigStore again(RegHive::IniFile(folder + u'/' + kIniName));
    std::printf("%s\n%s\n%s\n%s\n", qPrintable(setting), qPrintable(sites), qPrintable(again.loadSettingText()),
                qPrintable(again.loadSitesText()));
    return 0;
}

// Helper mode: takes the single-instance lock, says so, and waits to be killed.
int holdLock(const QString& path)
{
    SingleInstance instance(path);
    std::printf("%s\n", instance.acquire() ? "locked" : "refused");
    std::fflush(stdout);
    ::pause();
    return 0;
}

QString selfPath()
{
    return QCoreApplication::applicationFilePath();
}

} // namespace

class TstDataSafety : public QObject
{
    Q_OBJECT

private slots:
    // A file cut short or damaged by a crash or an editor: whatever still reads is used, the start
    // goes on, and saving one value keeps the other as it was read.
    void damagedIniFile_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("setting"); // as read
        QTest::addColumn<QString>("sites");
        QTest::newRow("intact") << kGoodIni << u"3|1|0|1|15|2"_s << u"$www.a.com$www.b.com"_s;
        QTest::newRow("cut in the sites line") << kGoodIni.left(kGoodIni.size() - 12) << u"3|1|0|1|15|2"_s
                                               << u"$www.a.co"_s;
        QTest::newRow("cut in the setting line") << kGoodIni.left(44) << u"3|1"_s << QString();
        QTest::newRow("cut in the section name") << kGoodIni.left(5) << u"1|0|1|0|10|0"_s << QString();
        QTest::newRow("zero bytes after a crash") << QByteArray(300, '\0') << u"1|0|1|0|10|0"_s << QString();
        QTest::newRow("binary junk before the values")
            << QByteArray("\xff\xfe\x00\x01junk=[[\n", 12) + kGoodIni << u"3|1|0|1|15|2"_s << u"$www.a.com$www.b.com"_s;
        QTest::newRow("unterminated quote") << QByteArray("[Software]\nMaroven\\V1.0.0\\Config\\setting=\"2|0|1\n")
                                            << u"2|0|1\n"_s << QString();
    }

    void damagedIniFile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, setting);
        QFETCH(QString, sites);
        WindowFixture f;
        const QString path = f.config->hive().location;
        QVERIFY(writeFile(path, ini));

        QCOMPARE(f.config->loadSettingText(), setting);
        QCOMPARE(f.config->loadSitesText(), sites);
        f.config->saveSitesText(u"$www.c.com"_s);
        QCOMPARE(ConfigStore(f.config->hive()).loadSettingText(), setting);
        QCOMPARE(ConfigStore(f.config->hive()).loadSitesText(), u"$www.c.com"_s);

        // The window starts over the same file and shows what was read.
        f.open();
        QCOMPARE(f.find<QSlider>(u"Slider1"_s)->value(), SettingsRecord::parse(setting).depth.value_or(1));
    }

    // A configuration folder that cannot be created: the window starts with the defaults, the user's
    // changes are kept on screen, and nothing fails in front of them.
    void folderThatCannotBeCreated()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(u"not-a-folder"_s);
        QVERIFY(writeFile(blocker, "a file where the folder should be"));
        WindowFixture f;
        f.config = std::make_unique<ConfigStore>(RegHive::IniFile(blocker + u"/Maroven/"_s + kIniName));
        f.open();
        auto* slider = f.find<QSlider>(u"Slider1"_s);
        QCOMPARE(slider->value(), 1);
        slider->setValue(4);
        QCOMPARE(slider->value(), 4);
        QCOMPARE(readFile(blocker), QByteArray("a file where the folder should be"));
        QVERIFY(f.shownTexts().isEmpty());
    }

    // A folder the user may read but not write: the stored values still load, saving fails quietly,
    // the values set stay in effect for the session, and the file keeps its bytes. Run by another user
    // when this one is root (root writes anyway).
    void folderWithoutWriteAccess()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(kIniName);
        QVERIFY(writeFile(ini, kGoodIni));
        QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QFile::Permissions readOnlyFolder = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                  QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), readOnlyFolder));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(dir.path(), readOnlyFolder | QFile::WriteOwner); });

        QProcess helper;
        if (::geteuid() == 0) {
            // As root the helper runs as nobody, who must be able to start this program and see the folder.
            if (!othersCanReach(selfPath()) || !othersCanReach(dir.path())) {
                QSKIP("run as root from a folder that the nobody account cannot reach: no other account to test with");
            }
            helper.setChildProcessModifier([] {
                if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                    ::_exit(3);
                }
            });
        }
        helper.start(selfPath(), {u"--store-without-write-access"_s, dir.path()});
        QVERIFY(helper.waitForFinished(30'000));
        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper.exitCode(), 0);
        const QStringList lines = QString::fromLocal8Bit(helper.readAllStandardOutput()).split(u'\n');
        QCOMPARE(lines.mid(0, 4), (QStringList{u"3|1|0|1|15|2"_s, u"$www.a.com$www.b.com"_s, u"5|0|0|0|30|0"_s,
                                               u"$www.new.com"_s}));
        QCOMPARE(readFile(ini), kGoodIni);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kIniName});
    }

    // A copy that crashed leaves its lock file behind; the next start takes it over. A live copy's
    // lock is never taken.
    void lockOfACrashedCopy()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"kelvara.lock"_s);
        QProcess holder;
        holder.start(selfPath(), {u"--hold-lock"_s, path});
        QVERIFY(holder.waitForReadyRead(30'000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));

        QVERIFY(!SingleInstance(path).acquire());
        ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(30'000));
        QVERIFY(QFile::exists(path)); // a killed copy cleans nothing up

        SingleInstance next(path);
        QVERIFY(next.acquire());
        QVERIFY(!SingleInstance(path).acquire());
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--store-without-write-access") == 0) {
        QCoreApplication app(argc, argv);
        return storeInFolderWithoutWriteAccess(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        QCoreApplication app(argc, argv);
        return holdLock(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TstDataSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datasafety.moc"
