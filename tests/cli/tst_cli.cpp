#include "testserver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// kelvara-check as a user runs it: arguments, output, exit status.
class TestCli : public QObject
{
    Q_OBJECT

    struct Result
    {
        int code = -1;
        QString out;
        QString err;
    };

    static Result run(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(KELVARA_CHECK), args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

private slots:
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no site") << QStringList{};
        QTest::newRow("depth out of range") << QStringList{u"--depth"_s, u"6"_s, u"a.test"_s};
        QTest::newRow("timeout not a number") << QStringList{u"--timeout"_s, u"abc"_s, u"a.test"_s};
        QTest::newRow("unknown option") << QStringList{u"--fast"_s, u"a.test"_s};
        QTest::newRow("two sites") << QStringList{u"a.test"_s, u"b.test"_s};
        QTest::newRow("other scheme") << QStringList{u"ftp://a.test"_s};
        QTest::newRow("option without value") << QStringList{u"a.test"_s, u"--depth"_s};
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        const Result r = run(args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(u"kelvara-check: "_s));
        QVERIFY(r.out.isEmpty());
    }

    void help()
    {
        const Result r = run({u"--help"_s});
        QCOMPARE(r.code, 0);
        for (const char* option : {"--depth", "--timeout", "--subdomains", "--show-repeats", "--link-text", "--parallel",
                                   "--txt", "--html", "--xlsx", "--dead-only"}) {
            QVERIFY2(r.out.contains(QLatin1StringView(option)), option);
        }
    }

    // Dead links are listed under their page, the summary counts, and the exit status tells.
    void deadLinksGrouped()
    {
        TestServer site;
        site.setPage(u"/"_s, "<a href=/a.htm>a</a><a href=/gone1.htm>g</a>");
        site.setPage(u"/a.htm"_s, "<a href=/gone2.htm>g</a><a href=/>home</a>");
        const Result r = run({u"--depth"_s, u"2"_s, site.baseUrl()});
        QCOMPARE(r.code, 1);
        const QString expected = site.baseUrl() + u"\n    "_s + site.url(u"/gone1.htm"_s) + u"  Not Found\n"_s +
                                 site.url(u"/a.htm"_s) + u"\n    "_s + site.url(u"/gone2.htm"_s) +
                                 u"  Not Found\nlinks parsed: 4, tested: 4, dead: 2, timed out: 0, retried: 0, confirmed: 0\n"_s;
        QCOMPARE(r.out, expected);
    }

    void cleanSite()
    {
        TestServer site;
        site.setPage(u"/"_s, "<a href=/a.htm>a</a>");
        site.setPage(u"/a.htm"_s, "a");
        const Result r = run({site.baseUrl()});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"links parsed: 2, tested: 2, dead: 0, timed out: 0, retried: 0, confirmed: 0\n"_s);
    }

    // Reports go through the same writers; one that cannot be written is an error.
    void reports()
    {
        TestServer site;
        site.setPage(u"/"_s, "<a href=/gone.htm>g</a>");
        QTemporaryDir dir;
        const QString txt = dir.filePath(u"r.txt"_s);
        const QString html = dir.filePath(u"r.htm"_s);
        const Result r = run({u"--txt"_s, txt, u"--html"_s, html, u"--dead-only"_s, site.baseUrl()});
        QCOMPARE(r.code, 1);
        QFile t(txt);
        QVERIFY(t.open(QIODevice::ReadOnly));
        const QByteArray text = t.readAll();
        QCOMPARE(text.count("\r\n"), 5); // banner, empty line, header, page row, dead row, final line end
        QVERIFY(text.contains(site.url(u"/gone.htm"_s).toLatin1()));
        QVERIFY(QFile::exists(html));

        const Result bad = run({u"--txt"_s, dir.filePath(u"missing/dir/r.txt"_s), site.baseUrl()});
        QCOMPARE(bad.code, 2);
        QVERIFY(bad.err.contains(u"cannot write"_s));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
