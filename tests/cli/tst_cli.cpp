#include "testserver.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <csignal>

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


    // Rows of an RFC 4180 text: quoted fields may hold separators, doubled quotes and line breaks.
    static QList<QStringList> parseCsv(const QString& text)
    {
        QList<QStringList> rows;
        QStringList row;
        QString field;
        bool quoted = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                    field += c;
                    ++i;
                } else if (c == u'"') {
                    quoted = false;
                } else {
                    field += c;
                }
            } else if (c == u'"') {
                quoted = true;
            } else if (c == u',') {
                row << std::exchange(field, QString());
            } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                row << std::exchange(field, QString());
                rows << std::exchange(row, QStringList());
                ++i;
            } else {
                field += c;
            }
        }
        return rows;
    }

    // Verdicts of the text output: URL -> "dead" or "excluded", and the summary line.
    static QMap<QString, QString> textVerdicts(const QString& out, QString* summary)
    {
        QMap<QString, QString> verdicts;
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(u"links parsed: "_s)) {
                *summary = line;
                continue;
            }
            const QStringList parts = line.trimmed().split(u"  "_s);
            if (parts.size() == 2) {
                verdicts[parts[0]] = parts[1] == u"已排除"_s ? u"excluded"_s : u"dead"_s;
            }
        }
        return verdicts;
    }

    static QJsonObject jsonSummary(const QStringList& args)
    {
        const Result r = run(QStringList{u"--format"_s, u"json"_s} + args);
        return QJsonDocument::fromJson(r.out.toUtf8()).object()[u"summary"_s].toObject();
    }

    QTemporaryDir data_; // the data folder of every run: checks are kept there, never in the user's own

private slots:
    void initTestCase()
    {
        QVERIFY(data_.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.path()));
        qputenv("TZ", "Asia/Shanghai");
    }

    // A second check names the links that went dead and the ones mended since the first; a check with
    // other settings has nothing to be compared with.
    void changeSinceLastCheck()
    {
        TestServer site;
        site.setPage(u"/"_s, "<a href=/a.htm>a</a><a href=/gone.htm>g</a>");
        site.setPage(u"/a.htm"_s, "a");
        QVERIFY(!jsonSummary({site.baseUrl()}).contains(u"change"_s));
        site.setPage(u"/gone.htm"_s, "mended");
        site.setStatus(u"/a.htm"_s, 404);
        QTemporaryDir dir;
        const QString txt = dir.filePath(u"r.txt"_s);
        const QJsonObject change = jsonSummary({u"--txt"_s, txt, site.baseUrl()})[u"change"_s].toObject();
        QCOMPARE(change[u"newDead"_s].toArray(), QJsonArray{site.url(u"/a.htm"_s)});
        QCOMPARE(change[u"fixed"_s].toArray(), QJsonArray{site.url(u"/gone.htm"_s)});
        QVERIFY(QDateTime::fromString(change[u"previous"_s].toString(), Qt::ISODate).isValid());
        QFile report(txt);
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString section = QStringDecoder("GB18030").decode(report.readAll());
        // Shown in the user's time zone (Beijing time here), kept in UTC.
        const QString shown = QDateTime::fromString(change[u"previous"_s].toString(), Qt::ISODate)
                                  .toOffsetFromUtc(8 * 3600)
                                  .toString(u"yyyy-MM-dd HH:mm:ss"_s);
        QVERIFY(section.contains(u"与上次检测相比\r\n"_s + u"上次检测时间："_s + shown + u"\r\n新增死链接：1个\r\n"_s +
                                 site.url(u"/a.htm"_s) + u"\r\n已修复链接：1个\r\n"_s + site.url(u"/gone.htm"_s)));
        QVERIFY(!jsonSummary({u"--depth"_s, u"2"_s, site.baseUrl()}).contains(u"change"_s));
    }

    // Three levels and more than 200 links, each answered after a while: batches, sweeps that read pages
    // for the next pass, answers fetched ahead; a check of it lasts a few seconds.
    static QMap<QString, QString> serveSlowSite(TestServer& site)
    {
        QByteArray home;
        for (int i = 0; i < 30; ++i) {
            const QByteArray page = "/p" + QByteArray::number(i);
            home += "<a href=" + page + ".htm>p</a>";
            TestServer::Response r;
            r.delayMs = 100;
            for (int j = 0; j < 8; ++j) {
                r.body += "<a href=" + page + '-' + QByteArray::number(j) + ".htm>q</a>";
                TestServer::Response leaf = r;
                leaf.body = "x";
                site.setRoute(QString::fromLatin1(page + '-' + QByteArray::number(j) + ".htm"), leaf);
            }
            r.body += "<a href=/gone" + QByteArray::number(i % 5) + ".htm>g</a>";
            site.setRoute(QString::fromLatin1(page + ".htm"), r);
        }
        site.setPage(u"/"_s, home);
        QString summary;
        const QMap<QString, QString> dead =
            textVerdicts(run({u"--no-history"_s, u"--depth"_s, u"5"_s, site.baseUrl()}).out, &summary);
        return dead;
    }

    // Stopped with Ctrl-C, or killed, and continued with --resume: the same dead links as an uninterrupted
    // check. After Ctrl-C no page is asked again but those in flight at the stop or answered just before
    // it (an answer on its way, not yet read); after a kill, none that was asked more than a second before
    // it. Answers are written every half second, so only the write at the stop keeps the Ctrl-C bound.
    void resumeAfterInterrupt_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("after"); // requests the first check makes before it is stopped
        for (int after : {60, 200}) {
            QTest::addRow("Ctrl-C after %d requests", after) << int(SIGINT) << after;
            QTest::addRow("killed after %d requests", after) << int(SIGKILL) << after;
        }
    }
    void resumeAfterInterrupt()
    {
        QFETCH(int, signal);
        QFETCH(int, after);
        TestServer site;
        const QMap<QString, QString> expected = serveSlowSite(site);
        QCOMPARE(expected.size(), 5);
        const qsizetype before = site.requests().size();

        QProcess first;
        first.start(QStringLiteral(KELVARA_CHECK), {u"--depth"_s, u"5"_s, u"--parallel"_s, u"8"_s, site.baseUrl()});
        QElapsedTimer clock;
        clock.start();
        QList<std::pair<qint64, qsizetype>> seen; // requests by then
        QVERIFY(QTest::qWaitFor(
            [&] {
                seen.append({clock.elapsed(), site.requests().size() - before});
                return seen.last().second >= after;
            },
            30000));
        const qint64 stoppedAt = clock.elapsed();
        ::kill(static_cast<pid_t>(first.processId()), signal);
        QVERIFY(first.waitForFinished(30000));
        const qsizetype afterStop = site.requests().size();
        // Requests asked before this many ms ahead of the stop must not be asked again. An answer takes
        // 100 ms; a loaded machine may read it a little later.
        const qint64 settledMs = signal == SIGINT ? 300 : 1000;
        qsizetype settled = 0;
        for (const auto& [ms, count] : seen) {
            settled = ms <= stoppedAt - settledMs ? count : settled;
        }

        const Result resumed = run({u"--resume"_s, u"--depth"_s, u"0"_s, site.baseUrl()});
        QCOMPARE(resumed.code, 1);
        QString summary;
        QCOMPARE(textVerdicts(resumed.out, &summary), expected);
        const QList<TestServer::Request> requests = site.requests();
        QHash<QString, qsizetype> firstAsked;
        for (qsizetype i = before; i < afterStop; ++i) {
            firstAsked.insert(requests[i].path, i - before);
        }
        QStringList again;
        for (qsizetype i = afterStop; i < requests.size(); ++i) {
            if (firstAsked.value(requests[i].path, settled) < settled) {
                again << requests[i].path;
            }
        }
        QVERIFY2(again.isEmpty(), qPrintable(again.join(u' ') + u"; "_s + resumed.err));
    }

    // Two checks of one site at once: a resume while the first runs finds nothing to take over, a fresh
    // check beside it leaves it alone, and the first, killed, is resumed with its own settings. Every
    // finished check is kept once and a mended link is reported once.
    void twoProcesses()
    {
        TestServer site;
        const QMap<QString, QString> dead = serveSlowSite(site);
        const QStringList args{u"--format"_s, u"json"_s, u"--depth"_s, u"5"_s, u"--parallel"_s, u"4"_s};
        QProcess first;
        first.start(QStringLiteral(KELVARA_CHECK), args + QStringList{site.baseUrl()});
        const qsizetype before = site.requests().size();
        QVERIFY(QTest::qWaitFor([&] { return site.requests().size() > before + 20; }, 30000));
        // Held still while the others run, so that what it has checked does not depend on their pace.
        ::kill(static_cast<pid_t>(first.processId()), SIGSTOP);

        const Result busy = run({u"--resume"_s, site.baseUrl() + u'/'});
        QCOMPARE(busy.code, 2);
        QVERIFY2(busy.err.contains(u"another program (pid "_s + QString::number(first.processId())),
                 qPrintable(busy.err));
        QVERIFY(busy.out.isEmpty());
        const Result beside = run(args + QStringList{site.baseUrl()});
        QCOMPARE(beside.code, 1);
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(30000));

        site.setPage(u"/gone0.htm"_s, "mended");
        const Result resumed = run({u"--resume"_s, u"--format"_s, u"json"_s, site.baseUrl()});
        QCOMPARE(resumed.code, 1);
        const QJsonObject json = QJsonDocument::fromJson(resumed.out.toUtf8()).object();
        QCOMPARE(json[u"settings"_s][u"depth"_s].toInt(), 5);
        QCOMPARE(json[u"summary"_s][u"dead"_s].toInt(), dead.size() - 1);
        QCOMPARE(json[u"summary"_s][u"change"_s][u"fixed"_s].toArray(), QJsonArray{site.url(u"/gone0.htm"_s)});
        QCOMPARE(run({u"--resume"_s, site.baseUrl()}).code, 2); // finished: nothing left to resume
        QVERIFY(run({u"--resume-or-start"_s, u"--depth"_s, u"0"_s, site.baseUrl()}).err.contains(u"from the start"_s));
    }

    // A damaged database, one of a later layout, or another program's keeps no check but stops none; the
    // file is left as it was.
    void unusableHistory_data()
    {
        QTest::addColumn<int>("userVersion"); // the layout mark in the file's header; -1: no database at all
        QTest::newRow("damaged") << -1;
        QTest::newRow("later layout") << 7;
        QTest::newRow("another program's, unmarked") << 0;
    }

    void unusableHistory()
    {
        QFETCH(int, userVersion);
        TestServer site;
        site.setPage(u"/"_s, "<a href=/gone.htm>g</a>");
        QFile file(data_.filePath(u"kelvara/history.sqlite"_s));
        QByteArray bytes(8192, 'x');
        if (userVersion >= 0) {
            QCOMPARE(run({site.baseUrl()}).code, 1);
            QVERIFY(file.open(QIODevice::ReadOnly));
            bytes = file.readAll();
            file.close();
            QVERIFY(bytes.startsWith("SQLite format 3"));
            QCOMPARE(QFileInfo(file).permissions() &
                         ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
                     QFile::Permissions());
            bytes[63] = char(userVersion); // the header's user version, big-endian at offset 60
        }
        QVERIFY(QDir().mkpath(data_.filePath(u"kelvara"_s)));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        const Result r = run({site.baseUrl()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(u"checking without history"_s), qPrintable(r.err));
        QVERIFY(r.out.contains(site.url(u"/gone.htm"_s)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
        file.close();
        QVERIFY(file.remove());
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("names"); // what the message must point at
        QTest::newRow("no site") << QStringList{} << u"SITE"_s;
        QTest::newRow("depth out of range") << QStringList{u"--depth"_s, u"6"_s, u"a.test"_s} << u"6"_s;
        QTest::newRow("depth neither a number nor all")
            << QStringList{u"--depth"_s, u"whole"_s, u"a.test"_s} << u"or all"_s;
        QTest::newRow("timeout not a number") << QStringList{u"--timeout"_s, u"abc"_s, u"a.test"_s} << u"abc"_s;
        QTest::newRow("unknown option") << QStringList{u"--fast"_s, u"a.test"_s} << u"--fast"_s;
        QTest::newRow("two sites") << QStringList{u"a.test"_s, u"b.test"_s} << u"SITE"_s;
        QTest::newRow("other scheme") << QStringList{u"ftp://a.test"_s} << u"ftp://a.test"_s;
        QTest::newRow("scheme without slashes") << QStringList{u"mailto:x@a.test"_s} << u"mailto:x@a.test"_s;
        QTest::newRow("port out of range") << QStringList{u"a.test:99999"_s} << u"a.test:99999"_s;
        QTest::newRow("option without value") << QStringList{u"a.test"_s, u"--depth"_s} << u"--depth"_s;
        QTest::newRow("unknown format") << QStringList{u"--format"_s, u"xml"_s, u"a.test"_s} << u"xml"_s;
        QTest::newRow("invalid pattern")
            << QStringList{u"--exclude"_s, u"/ok/"_s, u"--exclude"_s, u"/gone/(["_s, u"a.test"_s} << u"/gone/(["_s;
        QTest::newRow("dead-link file not .txt or .xml") << QStringList{u"--dead-link-file"_s, u"a.csv"_s} << u"a.csv"_s;
        QTest::newRow("empty pattern") << QStringList{u"--exclude"_s, u""_s, u"a.test"_s} << u"--exclude"_s;
        QTest::newRow("SITE and --sites") << QStringList{u"--sites"_s, u"s.txt"_s, u"a.test"_s} << u"--sites"_s;
        QTest::newRow("--shard alone") << QStringList{u"--shard"_s, u"0/2"_s, u"a.test"_s} << u"--shard"_s;
        QTest::newRow("shard out of range") << QStringList{u"--sites"_s, u"s.txt"_s, u"--shard"_s, u"2/2"_s} << u"2/2"_s;
        QTest::newRow("one report file for many sites")
            << QStringList{u"--sites"_s, u"s.txt"_s, u"--html"_s, u"r.htm"_s} << u"--overview"_s;
        QTest::newRow("notify to another scheme") << QStringList{u"--notify"_s, u"ftp://h/"_s, u"a.test"_s} << u"ftp://h/"_s;
        QTest::newRow("unknown notify format")
            << QStringList{u"--notify-format"_s, u"slack"_s, u"a.test"_s} << u"slack"_s;
        QTest::newRow("unreadable sites file") << QStringList{u"--sites"_s, u"/nonexistent/s.txt"_s} << u"/nonexistent"_s;
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, names);
        const Result r = run(args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(u"kelvara-check: "_s));
        QVERIFY2(r.err.contains(names), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    void help()
    {
        QVERIFY(run({u"--version"_s}).out.startsWith(u"kelvara-check 1."_s));
        const Result r = run({u"--help"_s});
        QCOMPARE(r.code, 0);
        for (const char* option :
             {"--depth",     "--timeout",  "--subdomains", "--show-repeats", "--link-text", "--parallel",  "--txt",
              "--html",      "--xlsx",     "--dead-only",  "--format",       "--exclude",   "--resources", "--version",
              "queryTimeMs", "statusText", "parent",       "linkText",       "kind",        "httpStatus",
              "--dead-link-file", "--no-content-check", "deadKind", "--resume", "--no-history", "--sites",
              "--sites-parallel", "--shard", "--overview", "--notify", "--notify-format", "--history"}) {
            QVERIFY2(r.out.contains(QLatin1StringView(option)), option);
        }
    }

    // Dead links are listed under their page, the summary counts, and the exit status tells.
    void deadLinksGrouped()
    {
        TestServer site;
        site.setPage(u"/"_s, "<a href=/a.htm>a</a><a href=/gone1.htm>g</a>");
        site.setPage(u"/a.htm"_s, "<a href=/gone2.htm>g</a><a href=/>home</a>");
        const Result r = run({u"--depth"_s, u"all"_s, site.baseUrl()});
        QCOMPARE(r.code, 1);
        const QString expected =
            site.baseUrl() + u"\n    "_s + site.url(u"/gone1.htm"_s) + u"  404 Not Found（页面不存在）\n"_s +
            site.url(u"/a.htm"_s) + u"\n    "_s + site.url(u"/gone2.htm"_s) +
            u"  404 Not Found（页面不存在）\nlinks parsed: 4, tested: 4, dead: 2, timed out: 0, retried: 0, confirmed: 0\n"_s;
        QCOMPARE(r.out, expected);
    }

    // JSON and CSV carry the same verdicts as the text output, with Chinese, commas and quotes intact,
    // and an excluded link is never requested.
    void machineFormats_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("json") << u"json"_s;
        QTest::newRow("csv") << u"csv"_s;
    }
    void machineFormats()
    {
        QFETCH(QString, format);
        TestServer site;
        site.setPage(u"/"_s, "<meta charset=utf-8><a href=/a.htm>\xe4\xb8\xad\xe6\x96\x87, \"q\"</a>"
                             "<a href=/gone1.htm>g</a><a href=/gone/x.htm>x</a>");
        site.setPage(u"/a.htm"_s, "<a href=/gone2.htm>g</a><a href=/gone/y.htm>y</a><a href=/>home</a>");
        const QStringList args{u"--depth"_s, u"2"_s, u"--link-text"_s, u"--exclude"_s, u"/gone/"_s, site.baseUrl()};
        const Result text = run(args);
        QCOMPARE(text.code, 1);
        QCOMPARE(site.hits(u"/gone/x.htm"_s) + site.hits(u"/gone/y.htm"_s), 0);
        QString summary;
        const QMap<QString, QString> expected = textVerdicts(text.out, &summary);
        QCOMPARE(expected.size(), 4);
        QCOMPARE(summary, u"links parsed: 6, tested: 4, dead: 2, timed out: 0, retried: 0, confirmed: 0, excluded: 2"_s);

        QProcess p;
        p.start(QStringLiteral(KELVARA_CHECK), QStringList{u"--format"_s, format} + args);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        const QByteArray bytes = p.readAllStandardOutput();
        QList<QJsonObject> links;
        if (format == u"json") {
            QJsonParseError error;
            const QJsonObject doc = QJsonDocument::fromJson(bytes, &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            const QJsonObject sum = doc[u"summary"_s].toObject();
            QCOMPARE(sum[u"links"_s].toInt(), 6);
            QCOMPARE(sum[u"tested"_s].toInt(), 4);
            QCOMPARE(sum[u"dead"_s].toInt(), 2);
            QCOMPARE(sum[u"excluded"_s].toInt(), 2);
            QCOMPARE(sum[u"finished"_s].toBool(), true);
            QCOMPARE(doc[u"settings"_s][u"exclude"_s].toArray(), QJsonArray{u"/gone/"_s});
            for (const QJsonValue& v : doc[u"links"_s].toArray()) {
                links << v.toObject();
            }
        } else {
            const QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes));
            QVERIFY(!rows.isEmpty());
            const QStringList header = rows.first();
            for (const QStringList& row : rows.mid(1)) {
                QCOMPARE(row.size(), header.size());
                QJsonObject o;
                for (qsizetype c = 0; c < header.size(); ++c) {
                    o[header[c]] = row[c];
                }
                links << o;
            }
        }
        // Tree order: each page is followed by the links found on it.
        QStringList urls;
        QMap<QString, QString> verdicts;
        const QMap<QString, QString> words{{u"valid"_s, u"有效链接"_s},
                                           {u"dead"_s, u"死链接"_s},
                                           {u"excluded"_s, u"已排除"_s}};
        for (const QJsonObject& o : links) {
            const QString url = o[u"url"_s].toString();
            const QString cls = o[u"class"_s].toString();
            urls << url.mid(site.baseUrl().size());
            QCOMPARE(o[u"status"_s].toString(), words.value(cls));
            if (cls != u"valid") {
                verdicts[url] = cls;
            }
        }
        QCOMPARE(urls, (QStringList{u""_s, u"/a.htm"_s, u"/gone2.htm"_s, u"/gone/y.htm"_s, u"/gone1.htm"_s,
                                    u"/gone/x.htm"_s}));
        QCOMPARE(verdicts, expected);
        QCOMPARE(links[1][u"linkText"_s].toString(), u"中文, \"q\""_s);
        QCOMPARE(links[1][u"kind"_s].toString(), u"page"_s);
        QCOMPARE(links[2][u"parent"_s].toString(), site.url(u"/a.htm"_s));
        QCOMPARE(links[2][u"statusText"_s].toString(), u"404 Not Found（页面不存在）"_s);
        QCOMPARE(links[2][u"httpStatus"_s].toVariant().toString(), u"404"_s);
        QCOMPARE(links[3][u"httpStatus"_s].toVariant().toString(), QString()); // excluded: nothing answered
        QCOMPARE(links[2][u"deadKind"_s].toString(), u"protocol"_s);
        QCOMPARE(links[1][u"deadKind"_s].toString(), QString()); // null in JSON, empty in CSV
    }

    // A certificate setting that names nothing readable stops the check before any request.
    void unreadableCertificates()
    {
        qputenv("SSL_CERT_DIR", "/nonexistent/certs");
        const Result r = run({u"a.test"_s});
        qunsetenv("SSL_CERT_DIR");
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(u"SSL_CERT_DIR=/nonexistent/certs"_s), qPrintable(r.err));
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

    // Several sites in one run, one of them unreachable: each site's dead links are those of its own
    // check, the unreachable one is a row with its reason, and the overview links every site's report.
    void sitesFile()
    {
        TestServer a, b;
        a.setPage(u"/"_s, "<a href=/a.htm>a</a><a href=/gone1.htm>g</a>");
        a.setPage(u"/a.htm"_s, "<a href=/gone2.htm>g</a>");
        b.setPage(u"/"_s, "<a href=/b.htm>b</a>");
        b.setPage(u"/b.htm"_s, "b");
        QString closed;
        {
            TestServer gone;
            closed = gone.baseUrl();
        }
        QTemporaryDir dir;
        QFile list(dir.filePath(u"sites.txt"_s));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write((u"# the group\n"_s + a.baseUrl() + u"\n\n"_s + closed + u"  # gone\n"_s + b.baseUrl() + u'\n').toUtf8());
        list.close();
        const QStringList args{u"--depth"_s, u"all"_s, u"--no-history"_s, u"--sites"_s, list.fileName()};
        const Result r = run(QStringList{u"--format"_s, u"json"_s, u"--overview"_s, dir.filePath(u"o/all.html"_s)} + args);
        QCOMPARE(r.code, 1);
        QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        const QJsonObject total = QJsonDocument::fromJson(lines.takeLast().toUtf8())[u"sitesSummary"_s].toObject();
        QCOMPARE(total[u"sites"_s].toInt(), 3);
        QCOMPARE(total[u"unreachable"_s].toInt(), 1);
        QCOMPARE(total[u"dead"_s].toInt(), 3);
        QMap<QString, QMap<QString, QString>> bySite;
        for (const QString& line : lines) {
            const QJsonObject doc = QJsonDocument::fromJson(line.toUtf8()).object();
            QMap<QString, QString>& verdicts = bySite[doc[u"settings"_s][u"site"_s].toString()];
            for (const QJsonValue& v : doc[u"links"_s].toArray()) {
                verdicts[v[u"url"_s].toString()] = v[u"class"_s].toString() + v[u"statusText"_s].toString();
            }
        }
        QString summary;
        for (const QString& site : {a.baseUrl(), b.baseUrl(), closed}) {
            QMap<QString, QString> own;
            for (const QJsonValue& v : QJsonDocument::fromJson(run({u"--format"_s, u"json"_s, u"--depth"_s, u"all"_s,
                                                                     u"--no-history"_s, site})
                                                                 .out.toUtf8())[u"links"_s]
                                           .toArray()) {
                own[v[u"url"_s].toString()] = v[u"class"_s].toString() + v[u"statusText"_s].toString();
            }
            QCOMPARE(bySite.value(site), own);
        }
        QFile overview(dir.filePath(u"o/all.html"_s));
        QVERIFY(overview.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(overview.readAll());
        QVERIFY(page.contains(u"<svg"_s) && !page.contains(u"<script"_s));
        for (const char* report : {"all-1-127.0.0.1.html", "all-3-127.0.0.1.html"}) {
            QVERIFY2(page.contains(u"href=\""_s + QLatin1StringView(report)) &&
                         QFile::exists(dir.filePath(u"o/"_s + QLatin1StringView(report))),
                     report);
        }
        const Result table = run(args);
        QCOMPARE(table.out.count(u'\n'), 5);
        QVERIFY2(table.out.contains(QRegularExpression(QRegularExpression::escape(closed) +
                                                       u" +1 +1 +- +- +[0-9.]+s  unreachable: 连接被拒绝\n"_s)),
                 qPrintable(table.out));
    }

    // After a check that changed something, the receiver gets the new dead links once, in the format
    // asked for and within its size; a robot that refuses is said on standard error and fails nothing.
    void notify_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("newDead");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray ok = "{\"errcode\":0,\"errmsg\":\"ok\"}";
        QTest::newRow("json") << u"json"_s << 3 << QByteArray("{}");
        QTest::newRow("wecom") << u"wecom"_s << 3 << ok;
        QTest::newRow("dingtalk") << u"dingtalk"_s << 3 << ok;
        QTest::newRow("feishu") << u"feishu"_s << 3 << QByteArray("{\"code\":0,\"msg\":\"success\"}");
        QTest::newRow("wecom, more than fits") << u"wecom"_s << 150 << ok;
        QTest::newRow("refused") << u"dingtalk"_s << 1 << QByteArray("{\"errcode\":310000,\"errmsg\":\"keywords not in content\"}");
    }
    void notify()
    {
        QFETCH(QString, format);
        QFETCH(int, newDead);
        QFETCH(QByteArray, answer);
        TestServer site, receiver;
        QByteArray home = "<a href=/ok.htm>ok</a>";
        QStringList dead;
        for (int i = 0; i < newDead; ++i) {
            const QString path = u"/page-with-a-rather-long-name-"_s + QString::number(i) + u".htm"_s;
            home += "<a href=" + path.toUtf8() + ">p</a>";
            site.setPage(path, "p");
            dead << site.url(path);
        }
        site.setPage(u"/"_s, home);
        site.setPage(u"/ok.htm"_s, "ok");
        TestServer::Response robot;
        robot.contentType = "application/json";
        robot.body = answer;
        receiver.setRoute(u"/hook"_s, robot);
        const QStringList args{u"--notify"_s, receiver.url(u"/hook?key=secret"_s), u"--notify-format"_s, format,
                               site.baseUrl()};
        QCOMPARE(run(args).code, 0); // nothing to compare with: nothing posted
        for (int i = 0; i < newDead; ++i) {
            site.setStatus(dead[i].mid(site.baseUrl().size()), 404);
        }
        const Result changed = run(args);
        QCOMPARE(changed.code, 1);
        QCOMPARE(run(args).code, 1); // the same dead links again: nothing new to tell
        QCOMPARE(receiver.requests().size(), 1);
        const QJsonObject posted = QJsonDocument::fromJson(receiver.requests()[0].body).object();
        QCOMPARE(receiver.requests()[0].headers.value("content-type"), QByteArray("application/json; charset=utf-8"));
        if (format == u"json") {
            QStringList urls;
            for (const QJsonValue& v : posted[u"newDead"_s].toArray()) {
                urls << v[u"url"_s].toString();
                QCOMPARE(v[u"statusText"_s].toString(), u"404 Not Found（页面不存在）"_s);
            }
            QCOMPARE(urls, dead);
            return;
        }
        const QString text = format == u"feishu" ? posted[u"content"_s][u"text"_s].toString()
                                                 : posted[u"text"_s][u"content"_s].toString();
        QCOMPARE(posted[format == u"feishu" ? u"msg_type"_s : u"msgtype"_s].toString(), u"text"_s);
        QVERIFY(text.toUtf8().size() <= (format == u"wecom" ? 2048 : 18000));
        QStringList listed;
        for (const QString& line : text.split(u'\n')) {
            if (line.startsWith(site.baseUrl())) {
                listed << line.section(u"  "_s, 0, 0);
            }
        }
        QCOMPARE(listed, dead.first(listed.size()));
        QCOMPARE(listed.size() < newDead, text.contains(u"另有"_s + QString::number(newDead - listed.size()) + u"行未列出"_s));
        QVERIFY(newDead > 100 || listed.size() == newDead);
        QCOMPARE(changed.err.contains(u"could not post the notice to 127.0.0.1: refused with errcode 310000"_s),
                 answer.contains("310000"));
        QVERIFY(!changed.err.contains(u"secret"_s));
    }

    // Two machines' shards of one sites file sharing one PostgreSQL history, twice, with links changed
    // between: the second round names exactly what changed on every site, and each check is kept once.
    void sharedHistory()
    {
        QFile address(QStringLiteral(KELVARA_PG_STATE ".url"));
        if (!address.open(QIODevice::ReadOnly)) {
            QSKIP("no throwaway PostgreSQL cluster (ctest starts one)");
        }
        const QString history = QString::fromUtf8(address.readAll().trimmed());
        std::array<TestServer, 5> sites;
        QTemporaryDir dir;
        QFile list(dir.filePath(u"sites.txt"_s));
        QVERIFY(list.open(QIODevice::WriteOnly));
        for (TestServer& site : sites) {
            site.setPage(u"/"_s, "<a href=/a.htm>a</a><a href=/b.htm>b</a>");
            site.setPage(u"/a.htm"_s, "a");
            list.write((site.baseUrl() + u'\n').toUtf8());
        }
        list.close();
        const auto round = [&] {
            QMap<QString, QJsonObject> changes;
            std::array<QProcess, 2> shards;
            for (int i = 0; i < 2; ++i) {
                shards[i].start(QStringLiteral(KELVARA_CHECK),
                                {u"--sites"_s, list.fileName(), u"--shard"_s, QString::number(i) + u"/2"_s,
                                 u"--history"_s, history, u"--format"_s, u"json"_s});
            }
            for (QProcess& shard : shards) {
                shard.waitForFinished(60000);
                for (const QByteArray& line : shard.readAllStandardOutput().split('\n')) {
                    const QJsonObject doc = QJsonDocument::fromJson(line).object();
                    if (doc.contains(u"settings"_s)) {
                        changes[doc[u"settings"_s][u"site"_s].toString()] = doc[u"summary"_s][u"change"_s].toObject();
                    }
                }
            }
            return changes;
        };
        QCOMPARE(round().size(), 5);
        for (TestServer& site : sites) {
            site.setStatus(u"/a.htm"_s, 404);
            site.setPage(u"/b.htm"_s, "mended");
        }
        const QMap<QString, QJsonObject> changes = round();
        QCOMPARE(changes.size(), 5);
        for (TestServer& site : sites) {
            QCOMPARE(changes[site.baseUrl()][u"newDead"_s].toArray(), QJsonArray{site.url(u"/a.htm"_s)});
            QCOMPARE(changes[site.baseUrl()][u"fixed"_s].toArray(), QJsonArray{site.url(u"/b.htm"_s)});
        }
        const QUrl url(history);
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"check"_s);
        db.setHostName(url.host());
        db.setPort(url.port());
        db.setUserName(url.userName());
        db.setDatabaseName(url.path().mid(1));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"SELECT site, count(*), min(state), max(state) FROM runs GROUP BY site"_s));
        int kept = 0;
        while (q.next()) {
            if (q.value(0).toString().startsWith(u"http://127.0.0.1:"_s) && changes.contains(q.value(0).toString())) {
                ++kept;
                QCOMPARE(q.value(1).toInt(), 2);
                QCOMPARE(q.value(2).toInt(), 2); // finished, both
                QCOMPARE(q.value(3).toInt(), 2);
            }
        }
        QCOMPARE(kept, 5);
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
