#include "linkstore.h"
#include "pagereading.h"
#include "pagescan.h"
#include "scriptedtoolkit.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Scans pages of the home page http://www.site.test into a fresh store.
class TestPageScan : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        LinkStore store;
        ScriptedToolkit toolkit;
        CheckSettings settings;
        bool running = true;
        int batch = 0;

        Fixture() { store.startList(u"www.site.test"_s); }
        ScanEnd scan(const QString& page, int anchorStart = 1, int pageNode = 1)
        {
            PageScan scan(RunEnv{store, toolkit, settings, running});
            return scan.scan(page, pageNode, anchorStart, 0, batch);
        }
        QStringList texts() const
        {
            QStringList t;
            for (int i = 2; i <= store.full().count(); ++i) {
                t << store.full().node(i)->text;
            }
            return t;
        }
        QStringList urls() const
        {
            QStringList t;
            for (int i = 2; i <= store.full().count(); ++i) {
                t << store.full().node(i)->record.url;
            }
            return t;
        }
    };

private slots:
    // Which anchors give which link, written as they stand on the page.
    void links_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("links");
        QTest::newRow("quoted with target")
            << u"<p><a href=\"/news/1.html\" target=\"_blank\">News</a>"_s << QStringList{u"/news/1.html"_s};
        QTest::newRow("capitals") << u"<A HREF=\"/News/X.htm\">x</A>"_s << QStringList{u"/News/X.htm"_s};
        QTest::newRow("attribute before href") << u"<a class=\"c\" href=a.htm>a</a>"_s << QStringList{u"a.htm"_s};
        QTest::newRow("no closing tag before the next") << u"<a href=a.htm>a <a href=b.htm>b</a>"_s
                                                         << QStringList{u"b.htm"_s};
        QTest::newRow("spaces around =") << u"<a href = \"a.htm\">a</a>"_s << QStringList{u"a.htm"_s};
        QTest::newRow("line break after <a") << u"<a\r\n  href=\"a.htm\">a</a>"_s << QStringList{u"a.htm"_s};
        QTest::newRow("fragment cut") << u"<a href='page.html#top'>t</a>"_s << QStringList{u"page.html"_s};
        QTest::newRow("space inside quotes") << u"<a href=\"a b.htm\">t</a>"_s << QStringList{u"a b.htm"_s};
        QTest::newRow("character reference") << u"<a href=\"p.php?a=1&amp;b=2\">t</a>"_s
                                             << QStringList{u"p.php?a=1&b=2"_s};
        QTest::newRow("back slashes") << u"<a href=\"dir\\a.htm\">t</a>"_s << QStringList{u"dir/a.htm"_s};
        QTest::newRow("untestable kinds")
            << u"<a href=\"#top\">t</a><a href=mailto:x@y.test>m</a><a class=x href=\"javascript:go()\">j</a>"
               "<a href=\"a.htm\">write to mailto us</a><a href='tel:123'>t</a><a href=\"ftp://f.test/\">f</a>"
               "<a href=\"tencent://message\">q</a><a href=\"sms:1\">s</a><a href=\"b.htm\">b</a>"_s
            << QStringList{u"b.htm"_s};
        QTest::newRow("not added when new")
            << u"<a href=\"setup.EXE\">x</a><a href=\"a[1].htm\">y</a><a href=\"/\">r</a><a href=\"ok.htm\">k</a>"_s
            << QStringList{u"ok.htm"_s};
        QTest::newRow("unterminated quote") << u"<a href=\"a.htm>a</a>"_s << QStringList{};
        QTest::newRow("no href") << u"<a name=\"top\">t</a><abbr>x</abbr><a\thref=c.htm>c</a>"_s
                                 << QStringList{u"c.htm"_s};
    }
    void links()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, links);
        Fixture f;
        QCOMPARE(f.scan(page), ScanEnd::Finished);
        QCOMPARE(f.texts(), links);
    }

    // With resources, the links of every loading element join the anchors in document order, each with
    // its kind; written as "kind link".
    void resources_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("links");
        QTest::newRow("img src and srcset candidates")
            << u"<IMG SRC='a.png' srcset=\"b.png 2x, c.png 640w,d.png, data:image/png;base64,AA== 3x\">"_s
            << QStringList{u"image a.png"_s, u"image b.png"_s, u"image c.png"_s, u"image d.png"_s};
        QTest::newRow("srcset before src, descriptor with parentheses")
            << u"<img srcset=\"x.png 1x (a, b), y.png\" src=z.png>"_s
            << QStringList{u"image x.png"_s, u"image y.png"_s, u"image z.png"_s};
        QTest::newRow("picture and media sources, poster")
            << u"<picture><source srcset=\"p.webp\" type=image/webp><img src=p.jpg></picture>"
               "<video poster=v.jpg src=v.mp4><source src=v.webm></video><audio src=a.mp3></audio>"_s
            << QStringList{u"image p.webp"_s, u"image p.jpg"_s,  u"image v.jpg"_s,
                           u"media v.mp4"_s,  u"media v.webm"_s, u"media a.mp3"_s};
        QTest::newRow("script and link rels")
            << u"<link rel=stylesheet href=s.css><link rel=\"shortcut icon\" href=/favicon.ico>"
               "<link rel=preload as=font href=f.woff2><link rel=modulepreload href=m.js>"
               "<link rel=canonical href=/c.htm><link rel=alternate hreflang=en href=/en/>"
               "<link rel=pingback href=/xmlrpc.php><link rel=preconnect href=https://cdn.test>"
               "<script src=j/javascripts/app.js></script>"_s
            << QStringList{u"style s.css"_s,
                           u"image /favicon.ico"_s,
                           u"other f.woff2"_s,
                           u"script m.js"_s,
                           u"page /c.htm"_s,
                           u"page /en/"_s,
                           u"script j/javascripts/app.js"_s};
        QTest::newRow("frames, areas, embeds, objects")
            << u"<iframe src=\"f.htm\"></iframe><frameset><frame src=g.htm></frameset>"
               "<map><area shape=rect href=m.htm></map><embed src=e.swf><object data=o.pdf></object>"_s
            << QStringList{u"frame f.htm"_s, u"frame g.htm"_s, u"page m.htm"_s, u"media e.swf"_s, u"media o.pdf"_s};
        QTest::newRow("anchors around and between")
            << u"<a href=a.htm><img src=i.png>x</a><img src=j.png><a href=b.htm>b</a>"_s
            << QStringList{u"page a.htm"_s, u"image i.png"_s, u"image j.png"_s, u"page b.htm"_s};
        QTest::newRow("quotes, white space, references, fragments")
            << u"<img\n src = ' sp ace.png#f ' ><img src=\"q.png?a=1&amp;b=2\"><img src=\"dir\\r.png\">"_s
            << QStringList{u"image sp ace.png"_s, u"image q.png?a=1&b=2"_s, u"image dir/r.png"_s};
        QTest::newRow("nothing a browser loads")
            << u"<!-- <img src=c.png> --><script>document.write('<img src=\"' + u + '\">')</script>"
               "<iframe src=\"about:blank\"></iframe><img src=\"\"><img alt=x><imgx src=n.png><img src=ok.png>"_s
            << QStringList{u"image ok.png"_s};
        QTest::newRow("unterminated quote") << u"<img src=\"a.png <img src=b.png>"_s << QStringList{u"image b.png"_s};
    }
    void resources()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, links);
        Fixture f;
        f.settings.resources = true;
        QCOMPARE(f.scan(page), ScanEnd::Finished);
        QStringList found;
        for (int i = 2; i <= f.store.full().count(); ++i) {
            const ResultNode* n = f.store.full().node(i);
            found << KindName(n->record.kind) + u' ' + n->text;
        }
        QCOMPARE(found, links);
    }

    // The address links resolve against: the one that answered with the page, or its <base href>.
    void bases_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("pageUrl");
        QTest::addColumn<QString>("url");
        const QString link = u"<a href=x.htm>x</a>"_s;
        QTest::newRow("the node's URL") << link << QString() << u"http://www.site.test/x.htm"_s;
        QTest::newRow("after a redirect")
            << link << u"http://www.site.test/sub/"_s << u"http://www.site.test/sub/x.htm"_s;
        QTest::newRow("base href") << u"<head><BASE href=\"http://cdn.site.test/b/\"></head>"_s + link
                                   << u"http://www.site.test/sub/"_s << u"http://cdn.site.test/b/x.htm"_s;
        QTest::newRow("relative base href")
            << u"<base href='/c/'>"_s + link << u"http://www.site.test/sub/"_s << u"http://www.site.test/c/x.htm"_s;
        QTest::newRow("base without href")
            << u"<base target=_blank><base href=/d/>"_s + link << QString() << u"http://www.site.test/d/x.htm"_s;
        QTest::newRow("base of another scheme")
            << u"<base href=\"javascript:x\">"_s + link << QString() << u"http://www.site.test/x.htm"_s;
    }
    void bases()
    {
        QFETCH(QString, page);
        QFETCH(QString, pageUrl);
        QFETCH(QString, url);
        Fixture f;
        PageScan scan(RunEnv{f.store, f.toolkit, f.settings, f.running});
        QCOMPARE(scan.scan(page, 1, 1, 0, f.batch, PageOrigin{pageUrl, {}}), ScanEnd::Finished);
        QCOMPARE(f.urls(), QStringList{url});
    }

    // Pages read ahead and then scanned: each scan takes the links of the text it is given, whether the
    // page came back as it was read ahead or changed since.
    void readAhead()
    {
        Fixture f;
        PageScan scan(RunEnv{f.store, f.toolkit, f.settings, f.running});
        const PageOrigin same{u"http://www.site.test/s/p.htm"_s, {}};
        const PageOrigin changed{u"http://www.site.test/c/p.htm"_s, {}};
        QCOMPARE(scan.newLinks(u"<a href=a.htm>a</a>"_s, same, 1, {}).at(0).url, u"http://www.site.test/s/a.htm"_s);
        QCOMPARE(scan.newLinks(u"<a href=a.htm>a</a>"_s, changed, 1, {}).size(), 1u);
        QCOMPARE(scan.scan(u"<a href=b.htm>b</a>"_s, 1, 1, 0, f.batch, changed), ScanEnd::Finished);
        QCOMPARE(scan.scan(u"<a href=a.htm>a</a>"_s, 1, 1, 0, f.batch, same), ScanEnd::Finished);
        QCOMPARE(f.urls(), (QStringList{u"http://www.site.test/c/b.htm"_s, u"http://www.site.test/s/a.htm"_s}));
    }

    // Node records: depth, resolved URL and site flag; node text with the anchor text when asked.
    void nodeContents()
    {
        Fixture f;
        f.settings.linkText = true;
        f.scan(u"<a href=\"/News/1.html\" target=\"_blank\">Top <b>News</b></a><a href=http://other.test/>o</a>"_s);
        QCOMPARE(f.texts(), (QStringList{u"/News/1.html(Top <b>News</b>)"_s, u"http://other.test/(o)"_s}));
        QCOMPARE(f.store.full().node(2)->record.render(), u"1$http://www.site.test/News/1.html$1"_s);
        QCOMPARE(f.store.full().node(3)->record.render(), u"1$http://other.test/$0"_s);
        QCOMPARE(f.store.full().node(2)->parent, 1);
        QCOMPARE(f.store.panel(4), u"已解析链接：3个"_s);
        QCOMPARE(f.toolkit.yields(), 2); // one yield per new node
    }

    // Repeated URLs: a second node with the first one's verdict, or none when repeats are hidden.
    void duplicates()
    {
        const QString page = u"<a href=a.htm>1</a><a href=/a.htm>2</a><a href=x.exe>3</a>"_s;
        Fixture shown;
        shown.settings.noRepeats = false;
        shown.scan(u"<a href=a.htm>1</a>"_s);
        shown.store.recordProbe(2, StatusDead, 5, u"Not Found"_s);
        shown.scan(page);
        QCOMPARE(shown.texts(), (QStringList{u"a.htm"_s, u"a.htm"_s, u"/a.htm"_s}));
        QCOMPARE(shown.store.full().node(4)->status, int(StatusDead));
        QCOMPARE(shown.store.full().node(4)->record.statusText, u"Not Found"_s);
        QVERIFY(shown.store.checkkey(u"node4")); // in the dead-link list under its page too
        QCOMPARE(shown.toolkit.yields(), 1); // duplicates give no yield

        Fixture hidden;
        hidden.scan(page + page);
        QCOMPARE(hidden.texts(), QStringList{u"a.htm"_s});
    }

    // Skipped anchors leave the parsed-links panel alone.
    void panelOnlyForLinks()
    {
        Fixture f;
        f.scan(u"<a href=\"#x\">x</a><a href=\"\">e</a>"_s);
        QCOMPARE(f.store.panel(4), QString());
        QCOMPARE(f.store.resume(LinkStore::Badlink2), u"1"_s);
    }

    // The batch limit: the scan hands over once the list holds 200 nodes, and notes where it stood.
    void batchLimit()
    {
        Fixture f;
        for (int i = 2; i <= 198; ++i) {
            f.store.addLinkNode(1, u"x"_s, 1, u"http://www.site.test/n"_s + QString::number(i), true);
        }
        QString page;
        for (int i = 0; i < 5; ++i) {
            page += u"<a href=p"_s + QString::number(i) + u".htm>x</a>"_s;
        }
        QCOMPARE(f.scan(page), ScanEnd::BatchLimit);
        QCOMPARE(f.store.full().count(), 200);
        QCOMPARE(f.batch, 1);
        QCOMPARE(f.store.resume(LinkStore::Badlink2), u"3"_s);
        // Continuing at the noted anchor adds the rest, once each.
        QCOMPARE(f.scan(page, 3), ScanEnd::Finished);
        QCOMPARE(f.store.full().count(), 203);
    }

    // A stop is seen before the next anchor; the yield that cleared the flag came after a new node.
    void stopPoint()
    {
        Fixture f;
        f.toolkit.atYield(2, [&f] { f.running = false; });
        QCOMPARE(f.scan(u"<a href=a>a</a><a href=b>b</a><a href=c>c</a>"_s), ScanEnd::Stopped);
        QCOMPARE(f.texts(), (QStringList{u"a"_s, u"b"_s}));
        QCOMPARE(f.store.resume(LinkStore::Badlink2), u"3"_s);
    }

    // Clearing the results while the scan yields leaves nothing half-added.
    void clearedDuringScan()
    {
        Fixture f;
        f.toolkit.atYield(1, [&f] { f.store.clearResults(); });
        QCOMPARE(f.scan(u"<a href=a>a</a><a href=b>b</a>"_s), ScanEnd::Finished);
        QCOMPARE(f.store.full().count(), 0);
    }

    // A page read again, decoded anew, long after its first reading takes the words it was read with; a
    // page of the same length with other words takes its own.
    void readingsRemembered()
    {
        PageReadings readings;
        const QString form = u"<form><input type=password></form>"_s;
        const QString other = u"<form><input type=checkbox></form>"_s;
        QVERIFY(readings.of(form)->mayHold(PageReading::Password));
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!readings.of(QString::number(i))->mayHold(PageReading::Password));
        }
        QVERIFY(!readings.of(other)->mayHold(PageReading::Password));
        QVERIFY(readings.of(QString(form.constData(), form.size()))->mayHold(PageReading::Password));
    }
};

QTEST_GUILESS_MAIN(TestPageScan)
#include "tst_pagescan.moc"
