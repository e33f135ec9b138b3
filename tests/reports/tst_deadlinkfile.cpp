#include "deadlinkfile.h"
#include "reportfixtures.h"
#include "runtexts.h"
#include "tst_reports.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kHome = u"http://www.example.com"_s;

NodeSpec Dead(const QString& url, bool siteLink = true, const QString& request = {})
{
    return {1, url, StatusDead, Unprobed(1, url, siteLink), request};
}

} // namespace

// Only dead links of the site's own hosts, once each, in the form a browser requests them.
void TestTextReport::deadLinkUrls_data()
{
    QTest::addColumn<TreeSpec>("tree");
    QTest::addColumn<QStringList>("expected");
    const NodeSpec home{0, kHome, StatusValid, Probed(0, kHome, 20, u"OK"_s)};
    const QString gone = kHome + u"/gone.html";
    QTest::newRow("own and external hosts")
        << TreeSpec{home, Dead(gone), Dead(u"http://other.example.org/gone.html"_s, false),
                    Dead(u"http://www.example.com:8080/gone.html"_s, false), Dead(u"https://www.example.com/gone.html"_s),
                    {1, u"slow"_s, StatusTimedOut, Unprobed(1, kHome + u"/slow")}, Dead(gone)}
        << QStringList{gone, u"https://www.example.com/gone.html"_s};
    NodeSpec sameAsHome = Dead(kHome + u"/old.html"_s);
    sameAsHome.record.statusText = RunText::contentSameAsHome();
    sameAsHome.record.contentDead = true;
    NodeSpec sentHome = Dead(kHome + u"/moved.html"_s);
    sentHome.record.statusText = RunText::contentHome();
    sentHome.record.contentDead = true;
    QTest::newRow("content dead on the weakest evidence")
        << TreeSpec{home, sameAsHome, sentHome} << QStringList{kHome + u"/moved.html"_s};
    // The run's site flag says whether subdomains were checked; a <base href> elsewhere does not count.
    QTest::newRow("subdomains") << TreeSpec{home, Dead(u"http://blog.example.com/a"_s),
                                            Dead(u"http://shop.example.com/b"_s, false), Dead(u"http://cdn.example.net/c"_s)}
                                << QStringList{u"http://blog.example.com/a"_s};
    const QString request = u"http://www.example.com/%E6%97%A7/a.php?x=1&q=%D6%D0"_s;
    QTest::newRow("chinese path and & in the query")
        << TreeSpec{home, Dead(kHome + u"/旧/a.php?x=1&q=中", true, request)} << QStringList{request};
    const QString idn = u"http://例子.中国/首页"_s;
    QTest::newRow("home page as typed, international host")
        << TreeSpec{{0, idn, StatusDead, Probed(0, idn, 20, u"Not Found"_s)}}
        << QStringList{u"http://xn--fsqu00a.xn--fiqs8s/%E9%A6%96%E9%A1%B5"_s};
}

void TestTextReport::deadLinkUrls()
{
    QFETCH(TreeSpec, tree);
    QFETCH(QStringList, expected);
    ResultTree full;
    Fill(full, tree);
    QCOMPARE(DeadLinkUrls(full), expected);
}

// UTF-8 without a byte-order mark, "&" escaped in the XML; 50,000 URLs or 10 MB a file, then the next.
void TestTextReport::deadLinkFiles()
{
    const QStringList urls{u"http://www.example.com/a?x=1&q=%D6%D0"_s, u"http://www.example.com/b"_s};
    QCOMPARE(DeadLinkFileContents(urls, DeadLinkFormat::Xml),
             QList<QByteArray>{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
                               "<url><loc>http://www.example.com/a?x=1&amp;q=%D6%D0</loc></url>\n"
                               "<url><loc>http://www.example.com/b</loc></url>\n</urlset>\n"});
    ResultTree full;
    for (int i = 1; i <= kDeadLinkFileMaxUrls + 1; ++i) {
        const QString url = kHome + u"/p" + QString::number(i);
        full.add(i == 1 ? 0 : 1, i, url, StatusDead, Unprobed(1, url));
    }
    QTemporaryDir dir;
    QCOMPARE(WriteDeadLinkFile(DeadLinkUrls(full), dir.filePath(u"silian.txt"_s)).files, 2);
    QCOMPARE(FilesIn(dir.path()), (QStringList{u"silian.txt"_s, u"silian_2.txt"_s}));
    QCOMPARE(ReadAll(dir.filePath(u"silian_2.txt"_s)), (kHome + u"/p50001\n").toUtf8());
    const QList<QByteArray> files =
        DeadLinkFileContents(QStringList(3000, kHome + QString(4000, u'a')), DeadLinkFormat::Xml);
    QCOMPARE(files.size(), 2);
    QVERIFY(files[0].size() <= kDeadLinkFileMaxBytes && files[0].size() > kDeadLinkFileMaxBytes - 5000);
    QCOMPARE(files[0].count("<loc>") + files[1].count("<loc>"), 3000);
}
