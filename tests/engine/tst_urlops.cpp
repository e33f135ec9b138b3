#include "browserform.h"
#include "resulttree.h"
#include "urlops.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestUrlOps : public QObject
{
    Q_OBJECT

    // node 1: home page; node 2: /dir/page.htm; node 3: /d1/d2/p.htm; node 4: /dir/ ; node 5: index.htm
    ResultTree tree;
    int addPage(const QString& text, const QString& url)
    {
        NodeRecord r;
        r.url = url;
        r.siteLink = true;
        return tree.add(tree.count() == 0 ? 0 : 1, tree.count() + 1, text, NoStatus, r);
    }

private slots:
    void initTestCase()
    {
        addPage(u"http://www.site.test"_s, u"http://www.site.test"_s);
        addPage(u"dir/page.htm"_s, u"http://www.site.test/dir/page.htm"_s);
        addPage(u"/d1/d2/p.htm(Text)"_s, u"http://www.site.test/d1/d2/p.htm"_s);
        addPage(u"dir/"_s, u"http://www.site.test/dir/"_s);
        addPage(u"index.htm"_s, u"http://www.site.test/index.htm"_s);
        addPage(u"https://secure.site.test/a/b"_s, u"https://secure.site.test/a/b"_s);
    }

    void stripHttp_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("bare");
        QTest::newRow("upper case host") << u"HTTP://WWW.SITE.TEST/"_s << u"www.site.test"_s;
        QTest::newRow("one slash only") << u"http://site.test//"_s << u"site.test/"_s;
        QTest::newRow("second scheme cuts") << u"http://site.test/?u=http://b.test"_s << u"site.test/?u="_s;
        QTest::newRow("https, path case kept") << u"https://Site.Test/Dir/Page.HTM"_s << u"site.test/Dir/Page.HTM"_s;
        QTest::newRow("no scheme, trimmed") << u"  WWW.Site.test/A/ "_s << u"www.site.test/A"_s;
    }
    void stripHttp()
    {
        QFETCH(QString, url);
        QFETCH(QString, bare);
        QCOMPARE(StripHttp(url), bare);
    }

    void parentDomain_data()
    {
        QTest::addColumn<QString>("bare");
        QTest::addColumn<QString>("parent");
        QTest::newRow("www") << u"www.site.test/x.htm"_s << u"site.test"_s;
        QTest::newRow("two labels") << u"example.com"_s << u"example.com"_s;
        QTest::newRow("second-level suffix") << u"shop.example.com.cn"_s << u"example.com.cn"_s;
        QTest::newRow("repeated label") << u"aa.aa.test"_s << u"aa.test"_s;
        QTest::newRow("port") << u"www.site.test:8080/x"_s << u"site.test"_s;
        QTest::newRow("localhost") << u"localhost:8080/x.htm"_s << QString();
        QTest::newRow("IP address") << u"127.0.0.1:8080"_s << QString();
        QTest::newRow("public suffix") << u"com.cn"_s << QString();
    }
    void parentDomain()
    {
        QFETCH(QString, bare);
        QFETCH(QString, parent);
        QCOMPARE(GetParentDomain(bare), parent);
    }

    void subdomain()
    {
        QVERIFY(IsSubdomainOf(u"http://site.test/x", u"site.test"));
        QVERIFY(IsSubdomainOf(u"HTTP://BBS.SITE.TEST:8080/x", u"site.test"));
        QVERIFY(!IsSubdomainOf(u"http://bbs.othersite.test/x", u"site.test"));
        QVERIFY(!IsSubdomainOf(u"http://site.test/x", u""));
    }

    void siteLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("plain");
        QTest::addColumn<bool>("withSubdomains");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("home"); // where the home page moved, or empty
        QTest::newRow("host relative") << u"/x.htm"_s << true << true << QString() << QString();
        QTest::newRow("page relative") << u"x.htm"_s << true << true << QString() << QString();
        QTest::newRow("climbing") << u"../x.htm"_s << true << true << QString() << QString();
        QTest::newRow("same site") << u"http://www.site.test/y.htm"_s << true << true << QString() << QString();
        QTest::newRow("subdomain") << u"http://bbs.site.test/y.htm"_s << false << true << QString() << QString();
        QTest::newRow("other site") << u"http://other.test/"_s << false << false << QString() << QString();
        QTest::newRow("https same site") << u"https://www.site.test/y.htm"_s << true << true << QString() << QString();
        QTest::newRow("host in capitals") << u"HTTP://WWW.SITE.TEST/Y.htm"_s << true << true << QString() << QString();
        QTest::newRow("protocol relative, same") << u"//www.site.test/z"_s << true << true << QString() << QString();
        QTest::newRow("protocol relative, other")
            << u"//cdn.other.test/z"_s << false << false << QString() << QString();
        QTest::newRow("longer host") << u"http://www.site.test.evil.test/"_s << false << false << QString()
                                     << QString();
        QTest::newRow("query holds a URL")
            << u"go.php?u=http://other.test/"_s << true << true << QString() << QString();
        QTest::newRow("other scheme") << u"ftp://www.site.test/f"_s << false << false << QString() << QString();
        QTest::newRow("parent domain") << u"http://site.test/"_s << false << true << QString() << QString();
        const QString com = u"http://example.com"_s;
        QTest::newRow("same suffix") << u"http://other.com/"_s << false << false << com << QString();
        QTest::newRow("under a two-label site") << u"http://www.example.com/"_s << false << true << com << QString();
        const QString cn = u"http://shop.example.com.cn"_s;
        QTest::newRow("same second-level suffix") << u"http://other.com.cn/"_s << false << false << cn << QString();
        QTest::newRow("sibling under .com.cn") << u"http://www.example.com.cn/"_s << false << true << cn << QString();
        const QString port = u"http://www.site.test:8080"_s;
        QTest::newRow("subdomain, same port") << u"http://bbs.site.test:8080/f"_s << false << true << port << QString();
        QTest::newRow("same host, other port") << u"http://www.site.test:81/"_s << false << true << port << QString();
        const QString ip = u"http://127.0.0.1:8080"_s;
        QTest::newRow("IP site") << u"http://127.0.0.1:8080/a"_s << true << true << ip << QString();
        QTest::newRow("name under an IP") << u"http://x.127.0.0.1:8080/"_s << false << false << ip << QString();
        QTest::newRow("under localhost") << u"http://bbs.localhost:8080/"_s << false << false
                                         << u"http://localhost:8080"_s << QString();
        QTest::newRow("where the home page moved")
            << u"http://www.site.test/a"_s << true << true << u"http://site.test"_s << u"www.site.test"_s;
    }
    void siteLink()
    {
        QFETCH(QString, link);
        QFETCH(bool, plain);
        QFETCH(bool, withSubdomains);
        QFETCH(QString, site);
        QFETCH(QString, home);
        if (site.isEmpty()) {
            site = u"http://www.site.test"_s;
            home = u"www.site.test/dir/page.htm"_s;
        }
        QCOMPARE(IsSiteLink(link, home, site, false), plain);
        QCOMPARE(IsSiteLink(link, home, site, true), withSubdomains);
    }

    void resolve_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("url");
        const QString h = u"http://www.site.test"_s;
        QTest::newRow("host relative") << 2 << u"/x.htm"_s << h + u"/x.htm";
        QTest::newRow("page relative") << 2 << u"x.htm"_s << h + u"/dir/x.htm";
        QTest::newRow("one up") << 2 << u"../x.htm"_s << h + u"/x.htm";
        QTest::newRow("above the root") << 2 << u"../../x.htm"_s << h + u"/x.htm";
        QTest::newRow("absolute, trimmed") << 2 << u"  http://Other.test/A  "_s << u"http://Other.test/A"_s;
        QTest::newRow("https absolute") << 2 << u"https://www.site.test/s"_s << u"https://www.site.test/s"_s;
        QTest::newRow("dot segment") << 2 << u"./x"_s << h + u"/dir/x";
        QTest::newRow("query only") << 2 << u"?q=1"_s << h + u"/dir/page.htm?q=1";
        QTest::newRow("up and down") << 2 << u"a/../b"_s << h + u"/dir/b";
        QTest::newRow("protocol relative") << 2 << u"//cdn.test/a.js"_s << u"http://cdn.test/a.js"_s;
        QTest::newRow("protocol relative on https") << 6 << u"//cdn.test/a"_s << u"https://cdn.test/a"_s;
        QTest::newRow("https page relative") << 6 << u"c"_s << u"https://secure.site.test/a/c"_s;
        QTest::newRow("letter case kept") << 2 << u"News/Index.HTML"_s << h + u"/dir/News/Index.HTML";
        QTest::newRow("home page") << 1 << u"x.htm"_s << h + u"/x.htm";
        QTest::newRow("file at the root") << 5 << u"x.htm"_s << h + u"/x.htm";
        QTest::newRow("directory page") << 4 << u"x.htm"_s << h + u"/dir/x.htm";
        QTest::newRow("nested page") << 3 << u"x.htm"_s << h + u"/d1/d2/x.htm";
        QTest::newRow("nested page, one up") << 3 << u"../x.htm"_s << h + u"/d1/x.htm";
        QTest::newRow("non-ASCII path") << 2 << u"新闻/a.htm"_s << h + u"/dir/新闻/a.htm";
    }
    void resolve()
    {
        QFETCH(int, page);
        QFETCH(QString, link);
        QFETCH(QString, url);
        QCOMPARE(ResolveLink(link, tree, page), url);
    }

    // What a browser requests for a link on the page http://www.site.test/dir/page.htm written in a charset:
    // the query in that charset, the path in UTF-8, what is already encoded as written.
    void requestForm_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QString>("request");
        const QString d = u"http://www.site.test/dir/"_s;
        QTest::newRow("gb2312 query") << u"search.php?q=中文"_s << u"gb2312"_s << d + u"search.php?q=%D6%D0%CE%C4";
        QTest::newRow("big5 query") << u"search.php?q=中文"_s << u"big5"_s << d + u"search.php?q=%A4%A4%A4%E5";
        QTest::newRow("utf-8 query") << u"search.php?q=中文"_s << u"utf-8"_s << d + u"search.php?q=%E4%B8%AD%E6%96%87";
        QTest::newRow("no charset: utf-8") << u"?q=中"_s << QString() << d + u"page.htm?q=%E4%B8%AD";
        QTest::newRow("path in utf-8, query in gbk")
            << u"/新闻/a.htm?tag=新闻"_s << u"gbk"_s
            << u"http://www.site.test/%E6%96%B0%E9%97%BB/a.htm?tag=%D0%C2%CE%C5"_s;
        QTest::newRow("already encoded") << u"s.php?q=%d6%d0&x=%E4"_s << u"utf-8"_s << d + u"s.php?q=%d6%d0&x=%E4";
        QTest::newRow("outside GBK") << u"s.php?q=中😀"_s << u"gb2312"_s << d + u"s.php?q=%D6%D0%26%23128512%3B";
        QTest::newRow("query set") << u"s.php?a=b c\"<>'"_s << u"gb2312"_s << d + u"s.php?a=b%20c%22%3C%3E%27";
        QTest::newRow("host alone: the root path") << u"HTTP://Other.test"_s << QString() << u"http://other.test/"_s;
        QTest::newRow("absolute, international host")
            << u"http://例子.test/a?q=中"_s << u"gb2312"_s << u"http://xn--fsqu00a.test/a?q=%D6%D0"_s;
    }
    void requestForm()
    {
        QFETCH(QString, link);
        QFETCH(QString, charset);
        QFETCH(QString, request);
        QCOMPARE(RequestForm(link, u"http://www.site.test/dir/page.htm", charset), request);
    }

    // A page's links resolved together, with the short cut for plain paths, as one at a time.
    void linkBase_data()
    {
        QTest::addColumn<QString>("base");
        QTest::newRow("folder page") << u"http://www.site.test/dir/page.htm"_s;
        QTest::newRow("host alone") << u"http://www.site.test"_s;
        QTest::newRow("port, user, query") << u"https://u:p@Site.test:8443/a/b/?x=1#f"_s;
        QTest::newRow("encoded folder") << u"http://site.test/%E6%96%B0%20x/p"_s;
        QTest::newRow("international host") << u"http://例子.test/新闻/p.htm"_s;
        QTest::newRow("no scheme") << u"www.site.test/dir/"_s;
        QTest::newRow("dot segments") << u"http://site.test/a/./b/../c/p.htm"_s;
    }
    void linkBase()
    {
        QFETCH(QString, base);
        const LinkBase together(base);
        ResolvedUrls known;
        for (const QString& link : {u"x.htm"_s, u"/x.htm"_s, u"A/B-c_d~e.HTML"_s, u"..."_s, u"a/.../b"_s, u"a//b"_s,
                                    u"a/"_s, u"./x"_s, u"a/../b"_s, u"."_s, u".."_s, u"a/."_s, u"//cdn.test/a"_s,
                                    u"../x"_s, u"../../../x"_s, u"/a/./b/../"_s, u"a/.."_s, u"x y.htm"_s, u"新闻.htm"_s,
                                    u"%41.htm"_s, u"x.php?q=中"_s, u"#top"_s, u"  x.htm "_s}) {
            const ResolvedLink r = together.resolve(link, u"gbk", &known);
            QCOMPARE(r.url, ResolveLink(link, base));
            QCOMPARE(r.request, RequestForm(link, base, u"gbk"));
        }
    }

    void findPageNode()
    {
        QCOMPARE(FindPageNode(tree, 0), 1);
        QCOMPARE(FindPageNode(tree, 1), 1);
        QCOMPARE(FindPageNode(tree, 2), 1); // "dir/page.htm" has no scheme: its parent, the home page
        QCOMPARE(FindPageNode(tree, 6), 6);
    }

    void siteExists()
    {
        const QStringList sites{u"www.a.test"_s, u"www.b.test"_s};
        QVERIFY(SiteExists(u"  www.b.test "_s, sites));
        QVERIFY(!SiteExists(u"WWW.B.TEST"_s, sites));
        QVERIFY(!SiteExists(u"www.b.test"_s, {}));
    }
};

QTEST_GUILESS_MAIN(TestUrlOps)
#include "tst_urlops.moc"
