#include "deadlinkfile.h"
#include "reportfixtures.h"
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

// Only dead links of the site's own hosts, once each, in the form a browser requests them, in both files.
void TestDeadLinkFile::listsOwnDeadLinks_data()
{
    QTest::addColumn<TreeSpec>("tree");
    QTest::addColumn<QByteArray>("txt");
    QTest::addColumn<QByteArray>("xml");

    const NodeSpec home{0, kHome, StatusValid, Probed(0, kHome, 20, u"OK"_s)};
    const QByteArray xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    QTest::newRow("own and external hosts")
        << TreeSpec{home,
                    Dead(kHome + u"/gone.html"),
                    Dead(u"http://other.example.org/gone.html"_s, false),
                    Dead(u"http://www.example.com:8080/gone.html"_s, false),
                    {1, u"slow"_s, StatusTimedOut, Unprobed(1, kHome + u"/slow")},
                    Dead(u"https://www.example.com/gone.html"_s),
                    Dead(kHome + u"/gone.html")}
        << QByteArray("http://www.example.com/gone.html\nhttps://www.example.com/gone.html\n")
        << xmlHead + "<url><loc>http://www.example.com/gone.html</loc></url>\n"
                     "<url><loc>https://www.example.com/gone.html</loc></url>\n</urlset>\n";
    // The run's site flag says whether subdomains were checked; a <base href> elsewhere does not count.
    QTest::newRow("subdomains") << TreeSpec{home, Dead(u"http://blog.example.com/a"_s),
                                            Dead(u"http://shop.example.com/b"_s, false),
                                            Dead(u"http://cdn.example.net/c"_s)}
                                << QByteArray("http://blog.example.com/a\n")
                                << xmlHead + "<url><loc>http://blog.example.com/a</loc></url>\n</urlset>\n";
    QTest::newRow("chinese path and & in the query")
        << TreeSpec{home,
                    Dead(kHome + u"/旧/a.php?x=1&q=中", true, u"http://www.example.com/%E6%97%A7/a.php?x=1&q=%D6%D0"_s)}
        << QByteArray("http://www.example.com/%E6%97%A7/a.php?x=1&q=%D6%D0\n")
        << xmlHead + "<url><loc>http://www.example.com/%E6%97%A7/a.php?x=1&amp;q=%D6%D0</loc></url>\n</urlset>\n";
    const QString idn = u"http://例子.中国/首页"_s;
    QTest::newRow("home page as typed, international host")
        << TreeSpec{{0, idn, StatusDead, Probed(0, idn, 20, u"Not Found"_s)}}
        << QByteArray("http://xn--fsqu00a.xn--fiqs8s/%E9%A6%96%E9%A1%B5\n")
        << xmlHead + "<url><loc>http://xn--fsqu00a.xn--fiqs8s/%E9%A6%96%E9%A1%B5</loc></url>\n</urlset>\n";
}

void TestDeadLinkFile::listsOwnDeadLinks()
{
    QFETCH(TreeSpec, tree);
    QFETCH(QByteArray, txt);
    QFETCH(QByteArray, xml);
    ResultTree full;
    Fill(full, tree);
    QTemporaryDir dir;
    for (const QString& name : {u"silian.txt"_s, u"silian.xml"_s}) {
        const DeadLinkFileResult r = WriteDeadLinkFile(DeadLinkUrls(full), dir.filePath(name));
        QVERIFY2(r.write.ok, qPrintable(r.write.error));
        QCOMPARE(r.files, 1);
    }
    QCOMPARE(ReadAll(dir.filePath(u"silian.txt"_s)), txt);
    QCOMPARE(ReadAll(dir.filePath(u"silian.xml"_s)), xml);
}

// 50,000 URLs or 10 MB a file: a run with one URL more goes on in a second file beside the first.
void TestDeadLinkFile::splitsAtTheLimits()
{
    ResultTree full;
    full.add(0, 1, kHome, StatusDead, Unprobed(0, kHome));
    for (int i = 2; i <= kDeadLinkFileMaxUrls + 1; ++i) {
        const QString url = kHome + u"/p" + QString::number(i);
        full.add(1, i, url, StatusDead, Unprobed(1, url));
    }
    QTemporaryDir dir;
    const DeadLinkFileResult r = WriteDeadLinkFile(DeadLinkUrls(full), dir.filePath(u"silian.txt"_s));
    QCOMPARE(r.files, 2);
    QCOMPARE(FilesIn(dir.path()), (QStringList{u"silian.txt"_s, u"silian_2.txt"_s}));
    QCOMPARE(ReadAll(dir.filePath(u"silian.txt"_s)).count('\n'), kDeadLinkFileMaxUrls);
    QCOMPARE(ReadAll(dir.filePath(u"silian_2.txt"_s)), (kHome + u"/p50001\n").toUtf8());

    // Long URLs fill 10 MB first; no file goes over it, the head and tail of the XML included.
    const QStringList longUrls(3000, kHome + u'/' + QString(4000, u'a'));
    const QList<QByteArray> files = DeadLinkFileContents(longUrls, DeadLinkFormat::Xml);
    QCOMPARE(files.size(), 2);
    QVERIFY(files[0].size() <= kDeadLinkFileMaxBytes);
    QVERIFY(files[0].size() > kDeadLinkFileMaxBytes - 5000);
    QCOMPARE(files[0].count("<loc>") + files[1].count("<loc>"), 3000);
    QVERIFY(files[1].endsWith("</urlset>\n"));
}
