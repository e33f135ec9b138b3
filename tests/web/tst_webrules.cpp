#include "httpurl.h"
#include "timeoutrule.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 kMs = 1'000'000;
constexpr qint64 kSecond = 1'000 * kMs;
} // namespace

class WebRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void roundHalfEven_data()
    {
        QTest::addColumn<qint64>("numerator");
        QTest::addColumn<qint64>("denominator");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("0.5 down to even") << qint64(5) << qint64(10) << qint64(0);
        QTest::newRow("1.5 up to even") << qint64(15) << qint64(10) << qint64(2);
        QTest::newRow("2.5 down to even") << qint64(25) << qint64(10) << qint64(2);
        QTest::newRow("2.51 up") << qint64(251) << qint64(100) << qint64(3);
        QTest::newRow("2.49 down") << qint64(249) << qint64(100) << qint64(2);
        QTest::newRow("exact") << qint64(30) << qint64(10) << qint64(3);
        QTest::newRow("150.5 ms") << qint64(150'500'000) << kMs << qint64(150);
    }

    void roundHalfEven()
    {
        QFETCH(qint64, numerator);
        QFETCH(qint64, denominator);
        QFETCH(qint64, expected);
        QCOMPARE(RoundHalfEven(numerator, denominator), expected);
    }

    // A request times out at the first instant its rounded elapsed seconds exceed the allowed time:
    // exactly half a second later when tryTime is odd, just after that when it is even.
    void timeoutInstant_data()
    {
        QTest::addColumn<qint32>("tryTime");
        QTest::addColumn<qint64>("first");
        QTest::newRow("1 s") << 1 << 1'500 * kMs;
        QTest::newRow("2 s") << 2 << 2'500 * kMs + 1;
        QTest::newRow("10 s") << 10 << 10'500 * kMs + 1;
        QTest::newRow("11 s") << 11 << 11'500 * kMs;
        QTest::newRow("0 s") << 0 << 500 * kMs + 1;
        QTest::newRow("negative") << -3 << qint64(0);
    }

    void timeoutInstant()
    {
        QFETCH(qint32, tryTime);
        QFETCH(qint64, first);
        QCOMPARE(FirstTimeoutNs(tryTime), first);
        QVERIFY(IsTimedOut(first, tryTime));
        if (first > 0) {
            QVERIFY(!IsTimedOut(first - 1, tryTime));
        }
        QCOMPARE(RoundedSeconds(first), qMax<qint64>(tryTime + 1, 0));
    }

    void timeoutNeverOverflows()
    {
        const qint32 big = std::numeric_limits<qint32>::max();
        QVERIFY(FirstTimeoutNs(big) > qint64(big) * kSecond);
        QVERIFY(!IsTimedOut(qint64(big) * kSecond, big));
    }

    void withHttpScheme_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("host") << u"www.Site.test/A?b=C"_s << u"http://www.Site.test/A?b=C"_s;
        QTest::newRow("http") << u"http://site.test/"_s << u"http://site.test/"_s;
        QTest::newRow("https kept") << u"https://site.test/"_s << u"https://site.test/"_s;
        QTest::newRow("upper-case scheme") << u"HTTPS://site.test/"_s << u"HTTPS://site.test/"_s;
        QTest::newRow("host and port") << u"site.test:8080/x"_s << u"http://site.test:8080/x"_s;
        QTest::newRow("address and port") << u"127.0.0.1:81"_s << u"http://127.0.0.1:81"_s;
        QTest::newRow("other scheme kept") << u"ftp://site.test/"_s << u"ftp://site.test/"_s;
        QTest::newRow("http inside query is no scheme") << u"site.test/?u=http://x"_s
                                                        << u"http://site.test/?u=http://x"_s;
    }

    void withHttpScheme()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(WithHttpScheme(text), expected);
    }
};

QTEST_GUILESS_MAIN(WebRulesTest)
#include "tst_webrules.moc"
