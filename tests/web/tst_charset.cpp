#include "charset.h"
#include "charsetlabels.h"

#include <QTest>

using namespace Qt::StringLiterals;

class CharsetTest : public QObject
{
    Q_OBJECT

private slots:
    void sniff_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");

        // Declarations in the page, cut at the first character that cannot belong to the name.
        QTest::newRow("content attribute") << QByteArray()
            << QByteArray(R"(<meta http-equiv="Content-Type" content="text/html; charset=UTF-8">)") << u"utf-8"_s;
        QTest::newRow("bare name") << QByteArray() << QByteArray("<meta charset=big5>") << u"big5"_s;
        QTest::newRow("self-closing tag") << QByteArray() << QByteArray("<meta charset=utf-8 />") << u"utf-8"_s;
        QTest::newRow("html5 quoted") << QByteArray() << QByteArray(R"(<meta charset="utf-8">)") << u"utf-8"_s;
        QTest::newRow("single quotes") << QByteArray() << QByteArray("<meta charset='utf-8'>") << u"utf-8"_s;
        QTest::newRow("upper case") << QByteArray() << QByteArray("<META CHARSET=GB2312>") << u"gb2312"_s;
        QTest::newRow("space after equals") << QByteArray() << QByteArray("<meta charset= shift_jis>")
                                            << u"shift_jis"_s;
        QTest::newRow("semicolon") << QByteArray() << QByteArray("charset=euc-kr;x") << u"euc-kr"_s;
        QTest::newRow("first wins") << QByteArray()
            << QByteArray("<script>var a='charset=big5'</script><meta charset=utf-8>") << u"big5"_s;
        QTest::newRow("space before equals is no declaration") << QByteArray()
            << QByteArray("<meta charset =utf-8>") << u"gb2312"_s;
        QTest::newRow("empty value") << QByteArray() << QByteArray(R"(<meta charset="">)") << u"gb2312"_s;
        QTest::newRow("nothing") << QByteArray() << QByteArray("<html><body>hi</body></html>") << u"gb2312"_s;
        QTest::newRow("empty page") << QByteArray() << QByteArray() << u"gb2312"_s;
        QTest::newRow("undeclared utf-8") << QByteArray()
            << QByteArray("<a href=\"/\xE6\x96\xB0\">\xE4\xB8\xAD</a>") << u"utf-8"_s;
        QTest::newRow("undeclared gbk") << QByteArray()
            << QByteArray("<a href=\"/\xD0\xC2\">\xD6\xD0</a>") << u"gb2312"_s;
        // The header wins over everything in the body; a byte-order mark over the page's declaration.
        QTest::newRow("header") << QByteArray("text/html; charset=Big5") << QByteArray("<meta charset=utf-8>")
                                << u"big5"_s;
        QTest::newRow("header quoted") << QByteArray(R"(text/html;charset="UTF-8")") << QByteArray()
                                       << u"utf-8"_s;
        QTest::newRow("header without charset") << QByteArray("text/html")
                                                << QByteArray("<meta charset=big5>") << u"big5"_s;
        QTest::newRow("utf-8 bom") << QByteArray() << QByteArray("\xEF\xBB\xBF<meta charset=gb2312>")
                                   << u"utf-8"_s;
        QTest::newRow("utf-16le bom") << QByteArray() << QByteArray("\xFF\xFE<\0h\0", 6) << u"utf-16le"_s;
        QTest::newRow("header over bom") << QByteArray("text/html; charset=gbk")
                                         << QByteArray("\xEF\xBB\xBFx") << u"gbk"_s;
        QTest::newRow("runaway value is cut") << QByteArray() << QByteArray("charset=" + QByteArray(500, 'a'))
                                              << QString(40, u'a');
    }

    void sniff()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(SniffCharset(contentType, body), expected);
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QString>("expected");

        // "中文" in each encoding; gb2312 and gbk decode as the GB18030 superset, as browsers do.
        QTest::newRow("gb2312") << QByteArray("\xD6\xD0\xCE\xC4") << u"gb2312"_s << u"中文"_s;
        QTest::newRow("gb2312 label, GBK-only character") << QByteArray("\x86\xB4") << u"gb2312"_s << u"喆"_s;
        QTest::newRow("GBK upper case") << QByteArray("\xD6\xD0\xCE\xC4") << u"GBK"_s << u"中文"_s;
        QTest::newRow("big5") << QByteArray("\xA4\xA4\xA4\xE5") << u"big5"_s << u"中文"_s;
        QTest::newRow("utf-8") << QByteArray("\xE4\xB8\xAD\xE6\x96\x87") << u"utf-8"_s << u"中文"_s;
        QTest::newRow("utf-8 bom dropped") << QByteArray("\xEF\xBB\xBF" "a") << u"utf-8"_s << u"a"_s;
        QTest::newRow("shift_jis") << QByteArray("\x93\xFA\x96\x7B") << u"shift_jis"_s << u"日本"_s;
        QTest::newRow("euc-kr") << QByteArray("\xC7\xD1\xB1\xB9") << u"euc-kr"_s << u"한국"_s;
        QTest::newRow("latin1 is windows-1252") << QByteArray("\x80") << u"iso-8859-1"_s << u"€"_s;
        QTest::newRow("windows-1251") << QByteArray("\xC4\xE0") << u"windows-1251"_s << u"Да"_s;
        QTest::newRow("iso-8859-2") << QByteArray("\xB1") << u"iso-8859-2"_s << u"ą"_s;
        QTest::newRow("utf-16le") << QByteArray("-N\x87\x65", 4) << u"utf-16le"_s << u"中文"_s;
        // Names that no decoder knows still give text: UTF-8 when the bytes are valid UTF-8, else GB18030.
        QTest::newRow("unknown, utf-8 bytes") << QByteArray("\xE4\xB8\xAD") << u"no-such-set"_s << u"中"_s;
        QTest::newRow("unknown, gbk bytes") << QByteArray("\xD6\xD0") << u"x-bogus"_s << u"中"_s;
        QTest::newRow("empty name") << QByteArray("\xD6\xD0") << QString() << u"中"_s;
        QTest::newRow("invalid bytes") << QByteArray("a\xFF" "b") << u"utf-8"_s << u"a\uFFFDb"_s;
        QTest::newRow("empty body") << QByteArray() << u"utf-8"_s << QString();
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, charset);
        QFETCH(QString, expected);
        QCOMPARE(DecodeBytes(bytes, charset), expected);
    }

    // Labels map to one decoder per encoding, whatever their case or surrounding space.
    void labels()
    {
        QCOMPARE(DecoderNameFor(u" X-GBK "), QByteArray("GB18030"));
        QCOMPARE(DecoderNameFor(u"gb_2312-80"), QByteArray("GB18030"));
        QCOMPARE(DecoderNameFor(u"US-ASCII"), QByteArray("windows-1252"));
        QCOMPARE(DecoderNameFor(u"ks_c_5601-1987"), QByteArray("windows-949"));
        QCOMPARE(DecoderNameFor(u"Cp1251"), QByteArray("windows-1251"));
        QCOMPARE(DecoderNameFor(u"Something-Else"), QByteArray("something-else"));
        QCOMPARE(DecoderNameFor(u""), QByteArray());
    }
};

QTEST_GUILESS_MAIN(CharsetTest)
#include "tst_charset.moc"
