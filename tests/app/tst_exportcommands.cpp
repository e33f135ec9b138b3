#include "deadlinkfile.h"
#include "exportcommands.h"
#include "linkstore.h"
#include "runtexts.h"
#include "scriptedtoolkit.h"
#include "sheetreport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QStringDecoder>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using Report = WebCommands::Report;
Q_DECLARE_METATYPE(Report)

namespace {

const QString kHome = u"http://www.example.com"_s;
const QString kGone = u"http://www.example.com/旧页面.html"_s;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What each report file begins with, so a test can tell which writer produced it.
QByteArray leadOf(Report report)
{
    switch (report) {
    case Report::Txt:
        return "@@@@@@@@@@@@   ";
    case Report::Excel:
        return "PK"; // a zip archive: the workbook
    case Report::Html:
        return "<html><title>";
    case Report::DeadLinkFile:
        return "http://www.example.com/%E6%97%A7%E9%A1%B5%E9%9D%A2.html\n";
    }
    return {};
}

// A store with a probed home page and one dead link below it, and export commands over it.
struct Exporter
{
    Exporter()
    {
        const NodeRecord home{0, kHome, true, true, 120, u"OK"_s};
        const NodeRecord gone{1, kGone, true, true, 35, u"Not Found"_s};
        store.full().add(0, 1, kHome, StatusValid, home);
        store.full().add(1, 2, kGone, StatusDead, gone);
        store.setPanel(1, RunText::ready());
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void run(Report report) { commands.exportReport(report, store.full()); }
    QStringList texts() const
    {
        QStringList t;
        for (const auto& m : toolkit.messages()) {
            t.append(m.text);
        }
        return t;
    }

    QTemporaryDir dir;
    LinkStore store;
    ScriptedToolkit toolkit;
    ExportCommands commands{toolkit, store};
};

const QList<Report> kReports{Report::Txt, Report::Excel, Report::Html, Report::DeadLinkFile};

void addReportRows()
{
    QTest::addColumn<Report>("report");
    QTest::newRow("Command28 Txt") << Report::Txt;
    QTest::newRow("Command21 Excel") << Report::Excel;
    QTest::newRow("Command27 Html") << Report::Html;
    QTest::newRow("dead-link file") << Report::DeadLinkFile;
}

QString fileNameFor(Report report)
{
    return report == Report::Txt ? u"报告.txt"_s : report == Report::Excel ? u"报告.xlsx"_s
                                 : report == Report::Html ? u"报告.htm"_s : u"silian.txt"_s;
}

} // namespace

class TstExportCommands : public QObject
{
    Q_OBJECT
private slots:
    // Exports are refused without a word while a run is going or winding down, and go ahead otherwise.
    void runStateGuard_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("proceeds");
        QTest::newRow("in progress") << RunText::inProgress() << false;
        QTest::newRow("stopping") << RunText::stopping() << false;
        QTest::newRow("paused") << RunText::paused() << true;
        QTest::newRow("ready") << RunText::ready() << true;
        QTest::newRow("empty panel") << QString() << true;
    }
    void runStateGuard()
    {
        QFETCH(QString, state);
        QFETCH(bool, proceeds);
        for (Report report : kReports) {
            Exporter e;
            e.store.setPanel(1, state);
            const QString file = e.path(fileNameFor(report));
            e.toolkit.queueSaveName(file);
            e.run(report);
            QCOMPARE(QFile::exists(file), proceeds);
            QCOMPARE(!e.toolkit.lastSaveTitle.isEmpty(), proceeds);
            QCOMPARE(e.texts(), proceeds ? QStringList{u"导出完成，是否打开文件?"_s} : QStringList{});
        }
    }

    // An empty list: one information box, no dialog, nothing written.
    void emptyList_data() { addReportRows(); }
    void emptyList()
    {
        QFETCH(Report, report);
        Exporter e;
        e.store.full().setStatus(2, StatusValid); // the dead-link file reads the whole run
        e.toolkit.queueSaveName(e.path(fileNameFor(report)));
        e.commands.exportReport(report, e.store.dead());
        QCOMPARE(e.toolkit.messages().size(), 1);
        const auto& shown = e.toolkit.messages().first();
        QCOMPARE(shown.text, u"没有数据需要导出！"_s);
        QCOMPARE(shown.title, u"导出数据"_s);
        QCOMPARE(shown.icon, MsgIcon::Information);
        QCOMPARE(shown.buttons, MsgButtons::Ok);
        QVERIFY(e.toolkit.lastSaveTitle.isEmpty());
        QVERIFY(QDir(e.dir.path()).isEmpty());
    }

    // Each button asks with its own filter and extension; cancelling the dialog ends the export quietly.
    void dialogAndCancel_data()
    {
        QTest::addColumn<Report>("report");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("extension");
        QTest::newRow("Command28 Txt") << Report::Txt << u"Txt   (*.txt)|*.txt"_s << u"*.txt"_s;
        QTest::newRow("Command21 Excel") << Report::Excel << u"Excel   (*.xlsx)|*.xlsx"_s << u"*.xlsx"_s;
        QTest::newRow("Command27 Html") << Report::Html << u"Html   (*.htm)|*.htm"_s << u"*.htm"_s;
        QTest::newRow("dead-link file") << Report::DeadLinkFile << u"Txt   (*.txt)|*.txt|Xml   (*.xml)|*.xml"_s
                                        << u"*.txt"_s;
    }
    void dialogAndCancel()
    {
        QFETCH(Report, report);
        QFETCH(QString, filter);
        QFETCH(QString, extension);
        Exporter e;
        e.run(report); // no name queued: the user cancels
        QCOMPARE(e.toolkit.lastSaveTitle, u"Save   Export   File"_s);
        QCOMPARE(e.toolkit.lastSaveFilter, filter);
        QCOMPARE(e.toolkit.lastSaveDefaultExt, extension);
        QCOMPARE(e.toolkit.lastSaveDefaultName, report == Report::DeadLinkFile ? u"silian.txt"_s : QString());
        QVERIFY(e.toolkit.messages().isEmpty());
        QCOMPARE(e.toolkit.busyChanges(), 0);
        QVERIFY(QDir(e.dir.path()).isEmpty());
    }

    // A chosen name that exists is asked about: Cancel leaves the file as it was, OK replaces it.
    void overwrite_data()
    {
        QTest::addColumn<Report>("report");
        QTest::addColumn<bool>("confirm");
        for (Report r : kReports) {
            const QByteArray name = fileNameFor(r).toUtf8();
            QTest::addRow("%s Cancel", name.constData()) << r << false;
            QTest::addRow("%s OK", name.constData()) << r << true;
        }
    }
    void overwrite()
    {
        QFETCH(Report, report);
        QFETCH(bool, confirm);
        Exporter e;
        const QString file = e.path(fileNameFor(report));
        QVERIFY(writeAll(file, "an older report"));
        e.toolkit.queueSaveName(file);
        e.toolkit.queueAnswer(confirm ? MsgResult::Ok : MsgResult::Cancel);
        e.run(report);

        const auto& question = e.toolkit.messages().first();
        QCOMPARE(question.text, u"该文件已经存在，是否覆盖?"_s);
        QCOMPARE(question.buttons, MsgButtons::OkCancel);
        QCOMPARE(question.title, u"Kelvara"_s);
        if (confirm) {
            QVERIFY(readAll(file).startsWith(leadOf(report)));
            QCOMPARE(e.texts(), (QStringList{u"该文件已经存在，是否覆盖?"_s, u"导出完成，是否打开文件?"_s}));
        } else {
            QCOMPARE(readAll(file), QByteArray("an older report"));
            QCOMPARE(e.toolkit.messages().size(), 1);
            QCOMPARE(e.toolkit.busyChanges(), 0);
        }
    }

    // A write that fails is reported, and no file is offered to open: one of that name is not this
    // export's.
    void failedWrite_data() { addReportRows(); }
    void failedWrite()
    {
        QFETCH(Report, report);
        Exporter e;
        const QString file = e.path(u"no such folder/"_s + fileNameFor(report));
        e.toolkit.queueSaveName(file);
        e.toolkit.queueAnswer(MsgResult::Ok); // the failure box
        e.run(report);

        QCOMPARE(e.toolkit.messages().size(), 1);
        const auto& failure = e.toolkit.messages().first();
        QCOMPARE(failure.text, u"导出失败，原因如下：\r\n\r\n无法写入文件：文件夹不存在"_s);
        QCOMPARE(failure.icon, MsgIcon::Critical);
        QCOMPARE(failure.title, SheetFailureTitle());
        QVERIFY(e.toolkit.opened().isEmpty());
        QVERIFY(!QFile::exists(file));
        QVERIFY(!e.toolkit.busy());
    }

    // OK at the completion question opens the written file in the desktop's program for its type.
    void openOnOk_data()
    {
        QTest::addColumn<Report>("report");
        QTest::addColumn<bool>("open");
        for (Report r : kReports) {
            const QByteArray name = fileNameFor(r).toUtf8();
            QTest::addRow("%s OK", name.constData()) << r << true;
            QTest::addRow("%s Cancel", name.constData()) << r << false;
        }
    }
    void openOnOk()
    {
        QFETCH(Report, report);
        QFETCH(bool, open);
        Exporter e;
        const QString file = e.path(fileNameFor(report));
        e.toolkit.queueSaveName(file);
        e.toolkit.queueAnswer(open ? MsgResult::Ok : MsgResult::Cancel);
        e.run(report);

        const auto& done = e.toolkit.messages().last();
        QCOMPARE(done.text, u"导出完成，是否打开文件?"_s);
        QCOMPARE(done.buttons, MsgButtons::OkCancel);
        QCOMPARE(done.title, u"Kelvara"_s);
        QVERIFY(readAll(file).startsWith(leadOf(report)));
        QVERIFY(e.toolkit.commands().isEmpty());
        if (!open) {
            QVERIFY(e.toolkit.opened().isEmpty());
            return;
        }
        QCOMPARE(e.toolkit.opened().size(), 1);
        const QUrl url(e.toolkit.opened().first());
        QVERIFY(url.isLocalFile());
        QCOMPARE(url.toLocalFile(), file);
    }

    // Only the workbook takes a while: the busy pointer is on while it is built and off afterwards.
    void busyPointer_data() { addReportRows(); }
    void busyPointer()
    {
        QFETCH(Report, report);
        Exporter e;
        e.toolkit.queueSaveName(e.path(fileNameFor(report)));
        e.run(report);
        QCOMPARE(e.toolkit.busyChanges(), report == Report::Excel ? 2 : 0);
        QVERIFY(!e.toolkit.busy());
    }

    // A dead-link file too long for one file: the completion question says how many were written.
    void deadLinkFileParts()
    {
        Exporter e;
        for (int i = 3; i <= kDeadLinkFileMaxUrls + 2; ++i) {
            const QString url = kHome + u"/p"_s + QString::number(i);
            e.store.full().add(1, i, url, StatusDead, {1, url, true, true, 9, u"Not Found"_s});
        }
        e.toolkit.queueSaveName(e.path(u"silian.txt"_s));
        e.run(Report::DeadLinkFile);
        QCOMPARE(e.texts(), QStringList{u"导出完成，共写入2个文件，是否打开第一个文件?"_s});
    }

    // The list handed over is the one written: the dead link's own row, not the whole site, with the
    // page it was found on as its parent.
    void writesTheGivenList()
    {
        Exporter e;
        e.store.dead().add(0, 2, kGone, StatusDead, NodeRecord{1, kGone, true, true, 35, u"Not Found"_s});
        const QString file = e.path(u"dead.htm"_s);
        e.toolkit.queueSaveName(file);
        e.commands.Command27_Click(e.store.dead());
        const QString html = QStringDecoder("GB18030").decode(readAll(file));
        QCOMPARE(html.count(u"<tr align='center'>"_s), 1);
        QVERIFY(html.contains(u">"_s + kGone + u"</a>"_s));
        QVERIFY(html.endsWith(u"<td>"_s + kHome + u"</td></tr></table></body></html>\r\n"_s));
    }
};

QTEST_MAIN(TstExportCommands)
#include "tst_exportcommands.moc"
