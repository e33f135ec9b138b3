// Check runs against local sites that limit their clients the way small hosting does, with the
// default parallel setting: per site, the links wrongly reported dead or timed out, the dead links
// missed, and the wall time against the least time the site's own limit allows.
//   bench_limited [rate|connections|slow ...]    (all three when none is named)
#include "checkrun.h"
#include "linkstore.h"
#include "networkprober.h"
#include "testserver.h"
#include "toolkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

struct Site
{
    QString name;
    int pages;
    TestServer::Limits limits;
    int delayMs;       // each page's own time to answer
    double boundSeconds(int requests) const
    {
        if (limits.serialMs > 0) {
            return requests * limits.serialMs / 1000.0;
        }
        if (limits.perSecond > 0) {
            return double(requests) / limits.perSecond;
        }
        return requests * delayMs / 1000.0 / limits.concurrent;
    }
};

QByteArray page(const QStringList& hrefs)
{
    QByteArray html = "<html><body>";
    for (const QString& h : hrefs) {
        html += "<a href=\"" + h.toUtf8() + "\">x</a>\n";
    }
    return html + "</body></html>";
}

// The home page links every page; each page links a menu of the first ten and the next page, and every
// fifth page also a removed page.
void build(TestServer& s, const Site& site, QSet<QString>* deadTruth, int* requests)
{
    QStringList menu;
    for (int i = 0; i < std::min(10, site.pages); ++i) {
        menu << u"/p"_s + QString::number(i) + u".html"_s;
    }
    QStringList all;
    for (int i = 0; i < site.pages; ++i) {
        const QString self = u"/p"_s + QString::number(i) + u".html"_s;
        QStringList links = menu;
        links << u"/p"_s + QString::number((i + 1) % site.pages) + u".html"_s;
        if (i % 5 == 0) {
            const QString gone = u"/gone"_s + QString::number(i) + u".html"_s;
            links << gone;
            deadTruth->insert(s.url(gone));
        }
        TestServer::Response r;
        r.body = page(links);
        r.delayMs = site.delayMs;
        s.setRoute(self, r);
        all << self;
    }
    s.setPage(u"/"_s, page(all));
    *requests = 1 + site.pages + int(deadTruth->size());
    s.setLimits(site.limits);
}

void run(const Site& site)
{
    TestServer server;
    QSet<QString> deadTruth;
    int requests = 0;
    build(server, site, &deadTruth, &requests);

    LinkStore store;
    CoreToolkit toolkit;
    ProbeStats stats;
    CheckRun check(store, toolkit, [&stats] { return MakeNetworkProber(&stats); });
    CheckSettings settings;
    settings.depth = 5;
    settings.timeout = 10;
    check.setSettings(settings);
    QElapsedTimer clock;
    clock.start();
    check.start(server.baseUrl());
    const double wall = clock.nsecsElapsed() / 1e9;
    int falseDead = 0;
    int found = 0;
    for (int i = 0; i < store.deads().count(); ++i) {
        const QString url = store.deads().entry(i).url;
        deadTruth.contains(url) ? ++found : ++falseDead;
    }
    const double bound = site.boundSeconds(requests);
    std::printf("| %s | %d | %d | %d | %d | %.1f | %.1f | %.2f | %d | %d | %d |\n", qPrintable(site.name), requests,
                falseDead, store.timeouts().count(), int(deadTruth.size()) - found, wall, bound, wall / bound,
                stats.retried, stats.confirmed, server.maxConcurrent());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QList<Site> sites{
        {u"rate"_s, 300, {20, 0, 0}, 0},          // 429 with Retry-After: 1 above 20 requests a second
        {u"connections"_s, 300, {0, 4, 0}, 50},   // 503 above 4 at once, 50 ms a page
        {u"slow"_s, 60, {0, 0, 400}, 0},          // one request at a time, 0.4 s each
    };
    QStringList wanted = app.arguments().mid(1);
    std::printf("| site | requests needed | false dead | false timeouts | missed dead | wall s | bound s | "
                "wall/bound | retried | confirmed | max in flight at server |\n|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Site& s : sites) {
        if (wanted.isEmpty() || wanted.contains(s.name)) {
            run(s);
        }
    }
    return 0;
}
