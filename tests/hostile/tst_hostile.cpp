#include "hostileserver.h"
#include "silentserver.h"

#include "checkrun.h"
#include "httpclient.h"
#include "link.h"
#include "linkstore.h"
#include "networkprober.h"
#include "toolkit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTryTime = 3;
constexpr qint64 kMaxPeakKb = 300 * 1024;
// Bytes of a huge or endless body a client may take on one connection: the body cap (20 MiB) and what
// the socket buffers of both ends hold beyond it.
constexpr qint64 kMaxBodyRead = 40LL * 1024 * 1024;
// Compressed bytes of the gzip bomb a client may take: a MiB of them inflates to about a GiB, far past
// the body cap, so decompression must have stopped long before.
constexpr qint64 kMaxGzipRead = 1024 * 1024;

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer freed memory sits in quarantine, so peak memory says nothing about the program.
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif

// Peak resident memory of this process (kB) since the last reset.
qint64 peakRssKb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QRegularExpression hwm(u"VmHWM:\\s+(\\d+) kB"_s);
    const QRegularExpressionMatch m = hwm.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

void resetPeakRss()
{
    QFile refs(u"/proc/self/clear_refs"_s);
    if (refs.open(QIODevice::WriteOnly)) {
        refs.write("5");
    }
}

QString verdict(int status)
{
    switch (status) {
    case StatusValid:
        return u"valid"_s;
    case StatusDead:
        return u"dead"_s;
    case StatusTimedOut:
        return u"timed out"_s;
    default:
        return u"not checked"_s;
    }
}

qint64 probeMs(const ResultNode& node)
{
    return node.record.queryTime; // milliseconds; whole seconds for a timed-out probe
}

struct Certificate
{
    QTemporaryDir dir;
    QString cert;
    QString key;
    QString error;
    bool ok = false;
    Certificate() { ok = MakeSelfSignedCertificate(dir.path(), &cert, &key, &error); }
};

} // namespace

// Servers that misbehave on purpose: every link ends within its timeout, the run goes on to the
// well-behaved page, and memory stays bounded.
class TstHostile : public QObject
{
    Q_OBJECT

    std::unique_ptr<Certificate> certificate_;
    QTemporaryDir data_; // kelvara-check keeps its checks here, never in the user's own history

private slots:
    void initTestCase()
    {
        QVERIFY(data_.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.path()));
        certificate_ = std::make_unique<Certificate>();
        QVERIFY2(certificate_->ok, qPrintable(certificate_->error));
    }

    // Each failure has its own status text ({base}: the server's host and port); the pages that browsers
    // show are valid here too, and their links are found.
    void hostileLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("foundLink");
        // Bodies cut at the client's cap still came with a 200: the link works, the page is read in part.
        QTest::newRow("endless body") << u"/endless"_s << int(StatusValid) << u"OK"_s << QString();
        // A status that came in time is the answer, however slowly its page follows.
        QTest::newRow("body dripping a byte a second")
            << u"/drip"_s << int(StatusValid) << u"OK（超时，页面未读完）"_s << QString();
        QTest::newRow("gzip bomb") << u"/gzip"_s << int(StatusValid) << u"OK"_s << QString();
        QTest::newRow("100 MB page") << u"/big"_s << int(StatusValid) << u"OK"_s << QString();
        QTest::newRow("redirect loop") << u"/loop"_s << int(StatusDead) << u"重定向次数过多"_s << QString();
        QTest::newRow("redirect to ftp") << u"/ftp"_s << int(StatusDead)
                                         << u"重定向到不支持的协议（ftp://{base}/file.zip）"_s << QString();
        QTest::newRow("redirect to an app")
            << u"/weixin"_s << int(StatusDead) << u"重定向到不支持的协议（weixin://dl/chat）"_s << QString();
        QTest::newRow("malformed status line")
            << u"/badstatus"_s << int(StatusDead) << u"服务器响应无效"_s << QString();
        QTest::newRow("thousands of headers") << u"/headers"_s << int(StatusValid) << u"OK"_s << QString();
        QTest::newRow("head beyond browsers' bound")
            << u"/bigheaders"_s << int(StatusDead) << u"响应头过大"_s << QString();
        QTest::newRow("reset in the middle of the body")
            << u"/reset"_s << int(StatusDead) << u"连接被重置"_s << QString();
        QTest::newRow("self-signed certificate") << u"{tls}/"_s << int(StatusDead) << u"证书不受信任"_s << QString();
        QTest::newRow("refused port") << u"{closed}/"_s << int(StatusDead) << u"连接被拒绝"_s << QString();
        QTest::newRow("unknown host") << u"http://nothing.invalid/"_s << int(StatusDead) << u"无法解析域名"_s
                                      << QString();
        QTest::newRow("404") << u"/nothing"_s << int(StatusDead) << u"404 Not Found（页面不存在）"_s << QString();
        QTest::newRow("unknown content coding")
            << u"/badcoding"_s << int(StatusValid) << u"OK"_s << u"/found-in-coding.html"_s;
        QTest::newRow("redirect in raw GBK") << u"/gbk"_s << int(StatusValid) << u"OK"_s << u"/found-in-gbk.html"_s;
    }

    // One check run per case over a home page that links to the hostile endpoint and a normal page;
    // at depth 2 both are read as pages of the site, body included.
    void hostileLink()
    {
        QFETCH(QString, link);
        QFETCH(int, expected);
        QFETCH(QString, statusText);
        QFETCH(QString, foundLink);
        const ClosedPort closed;
        link.replace(u"{closed}"_s, closed.baseUrl());
        HostileServer server({link}, certificate_->cert, certificate_->key);
        const QString url = link.startsWith(u"{tls}"_s)  ? server.tlsUrl(link.mid(5))
                            : link.startsWith(u"http"_s) ? link
                                                         : server.url(link);

        LinkStore store;
        CoreToolkit toolkit;
        CheckRun run(store, toolkit, [] { return MakeNetworkProber(); });
        CheckSettings settings;
        settings.depth = 2;
        settings.timeout = kTryTime;
        run.setSettings(settings);

        resetPeakRss();
        QElapsedTimer clock;
        clock.start();
        run.start(server.url(u""_s));
        const qint64 runMs = clock.elapsed();
        const qint64 peakKb = peakRssKb();

        QVERIFY(!run.isActive());
        const ResultNode* home = store.full().node(1);
        QVERIFY(home);
        QCOMPARE(home->status, int(StatusValid));
        const ResultNode* ok = store.full().node(store.checktext(server.url(u"/ok.html"_s)));
        QVERIFY2(ok, "the run did not reach the page after the hostile link");
        QCOMPARE(ok->status, int(StatusValid));
        const ResultNode* hostile = store.full().node(store.checktext(url));
        QVERIFY(hostile);
        qInfo("%s: %s after %lld ms (run %lld ms), peak %lld MB, %lld body bytes sent", QTest::currentDataTag(),
              qPrintable(verdict(hostile->status)), probeMs(*hostile), runMs, peakKb / 1024,
              server.bodyBytesSent(link));

        QCOMPARE(verdict(hostile->status), verdict(expected));
        QCOMPARE(hostile->record.statusText, statusText.replace(u"{base}"_s, server.url(u""_s).mid(7)));
        QVERIFY(foundLink.isEmpty() || store.checktext(server.url(foundLink)) != 0);
        // A link ends within its timeout and the half second the rounding rule allows, plus a margin.
        QVERIFY2(probeMs(*hostile) <= (kTryTime + 1) * 1000, qPrintable(QString::number(probeMs(*hostile))));
        QVERIFY2(runMs < 3 * (kTryTime + 2) * 1000, qPrintable(QString::number(runMs)));
        QVERIFY(server.bodyBytesSent(link) < (link == u"/gzip"_s ? kMaxGzipRead : kMaxBodyRead));
        if (kMeasureMemory) {
            QVERIFY2(peakKb > 0 && peakKb < kMaxPeakKb, qPrintable(QString::number(peakKb)));
        }
    }

    // A reset in the middle of a body is a race between the data and the reset (Qt 6.4 took a third of
    // them for complete replies): every try must end as a failed request, never as a short page.
    void resetBodyIsNeverAPage()
    {
        HostileServer server({});
        HttpClient client;
        for (int i = 0; i < 30; ++i) {
            HttpRequest request;
            request.url = server.url(u"/reset"_s);
            request.tryTime = kTryTime;
            const HttpResult r = client.fetch(request);
            QVERIFY2(!r.completed, qPrintable(QString::number(i)));
            QCOMPARE(r.error, HttpError::Transport);
            QVERIFY(r.body.isEmpty());
        }
    }

    // The certificate is trusted once SSL_CERT_FILE names it, as in other OpenSSL-based tools; the
    // page over https is then read like any other.
    void certificateFromTheEnvironment()
    {
        HostileServer server({}, certificate_->cert, certificate_->key);
        qputenv("SSL_CERT_FILE", certificate_->cert.toLocal8Bit());
        const auto unset = qScopeGuard([] { qunsetenv("SSL_CERT_FILE"); });
        HttpClient client;
        HttpRequest request;
        request.url = server.tlsUrl(u"/ok.html"_s);
        request.tryTime = kTryTime;
        const HttpResult r = client.fetch(request);
        QVERIFY2(r.completed, qPrintable(r.errorText));
        QCOMPARE(r.status, 200);
        QVERIFY(!r.body.isEmpty());
        // Trusted, but issued for 127.0.0.1 only.
        request.url.replace(u"127.0.0.1"_s, u"localhost"_s);
        QCOMPARE(Link::Classify(client.fetch(request)).statusText, u"证书与域名不符"_s);
    }

    // kelvara-check over one site that links to every hostile endpoint at once: the run ends, every
    // link has its verdict in the report, and the process stays small.
    void wholeSiteFromTheCommandLine()
    {
        const QStringList links{u"/endless"_s, u"/drip"_s, u"/gzip"_s, u"/big"_s, u"/loop"_s, u"/ftp"_s,
                                u"/badstatus"_s, u"/headers"_s, u"/reset"_s, u"{tls}/"_s};
        HostileServer server(links, certificate_->cert, certificate_->key);
        QTemporaryDir dir;
        const QString report = dir.filePath(u"report.txt"_s);

        QProcess check;
        check.start(QStringLiteral(KELVARA_CHECK), {u"--depth"_s, u"2"_s, u"--timeout"_s, QString::number(kTryTime),
                                                    u"--txt"_s, report, server.url(u""_s)});
        QVERIFY(check.waitForFinished(120'000));
        QCOMPARE(check.exitStatus(), QProcess::NormalExit);

        rusage usage{};
        QCOMPARE(::getrusage(RUSAGE_CHILDREN, &usage), 0);
        qInfo("kelvara-check over all hostile links: peak %ld MB", usage.ru_maxrss / 1024);
        if (kMeasureMemory) {
            QVERIFY2(usage.ru_maxrss < kMaxPeakKb, qPrintable(QString::number(usage.ru_maxrss)));
        }

        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QStringDecoder("GB18030").decode(file.readAll());
        const auto showReport = qScopeGuard([&] {
            if (QTest::currentTestFailed()) {
                qInfo("%s\n%s", qPrintable(text), check.readAll().constData());
            }
        });
        const auto rowOf = [&](const QString& url) {
            for (const QString& row : text.split(u"\r\n"_s)) {
                if (row.startsWith(url + u' ')) {
                    return row;
                }
            }
            return QString();
        };
        QVERIFY(rowOf(server.url(u"/ok.html"_s)).contains(u"有效链接"_s));
        QVERIFY(rowOf(server.url(u"/drip"_s)).contains(u"OK（超时，页面未读完）"_s));
        for (const QString& dead : {u"/loop"_s, u"/ftp"_s, u"/badstatus"_s, u"/reset"_s}) {
            QVERIFY2(rowOf(server.url(dead)).contains(u"死链接"_s), qPrintable(dead));
        }
        QVERIFY(rowOf(server.tlsUrl(u"/"_s)).contains(u"死链接"_s));
        for (const QString& valid : {u"/endless"_s, u"/gzip"_s, u"/big"_s, u"/headers"_s}) {
            QVERIFY2(rowOf(server.url(valid)).contains(u"有效链接"_s), qPrintable(valid));
        }
        QCOMPARE(check.exitCode(), 1); // dead links found
    }
};

QTEST_GUILESS_MAIN(TstHostile)
#include "tst_hostile.moc"
