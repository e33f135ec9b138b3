// Scans a 1 MB page holding 10,000 anchors into a store that already holds 100,000 nodes, and times
// checktext against stores of growing size to show that a lookup does not grow with the store.
#include "linkstore.h"
#include "pagescan.h"
#include "toolkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>

namespace {

class NullToolkit : public CoreToolkit
{
public:
    void DoEvents() override {}
};

void fillStore(LinkStore& store, int nodes)
{
    store.startList(QStringLiteral("www.site.test"));
    for (int i = 2; i <= nodes; ++i) {
        store.addLinkNode(1 + (i / 20), QStringLiteral("p%1.htm").arg(i), 1,
                          QStringLiteral("http://www.site.test/old/p%1.htm").arg(i), true);
    }
}

QString makePage(int anchors)
{
    QString page = QStringLiteral("<html><head><title>t</title></head><body>");
    for (int i = 0; i < anchors; ++i) {
        // Every tenth link is one the store already holds, the rest are new.
        const QString href = i % 10 == 0 ? QStringLiteral("/old/p%1.htm").arg(i + 2)
                                         : QStringLiteral("/new/section-%1/page-%2.html").arg(i % 37).arg(i);
        page += QStringLiteral("<div class=\"item\"><a class=\"link\" href=\"%1\" title=\"Item %2\">Item number %2</a>"
                               " <span>text</span></div>\n")
                    .arg(href)
                    .arg(i);
    }
    return page + QStringLiteral("</body></html>");
}

double timeLookups(int storeSize)
{
    LinkStore store;
    fillStore(store, storeSize);
    QElapsedTimer t;
    t.start();
    int found = 0;
    const int lookups = 100000;
    for (int i = 0; i < lookups; ++i) {
        const int n = 2 + int(QRandomGenerator::global()->bounded(storeSize - 1));
        found += store.checktext(QStringLiteral("http://www.site.test/old/p%1.htm").arg(n)) != 0;
    }
    const double ns = double(t.nsecsElapsed()) / lookups;
    if (found != lookups) {
        std::fprintf(stderr, "lookup failed\n");
    }
    return ns;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LinkStore store;
    fillStore(store, 100000);
    NullToolkit toolkit;
    CheckSettings settings;
    settings.noRepeats = true;
    bool running = true;
    const QString page = makePage(10000);

    QElapsedTimer t;
    t.start();
    PageScan scan(RunEnv{store, toolkit, settings, running});
    int batch = 1000000; // no batch limit in this measurement
    scan.scan(page, 1, 1, 0, batch);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("page scan: %.1f KiB, 10000 anchors, store of 100000 nodes -> %d nodes in %.1f ms\n",
                double(page.toUtf8().size()) / 1024.0, store.full().count(), ms);

    for (int size : {1000, 10000, 100000, 1000000}) {
        std::printf("checktext with %7d nodes: %.0f ns per lookup\n", size, timeLookups(size));
    }
    return 0;
}
