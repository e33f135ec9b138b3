#include "lastcheck.h"

#include "deadview.h"
#include "historydb.h"
#include "linkstore.h"
#include "maintexts.h"
#include "runtexts.h"

#include <QDateTime>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

LastCheck ReadLastCheck(HistoryDb& history, const QString& site)
{
    if (!history.isOpen()) {
        return {};
    }
    QSqlQuery run(history.database());
    // The check that finished last: on a shared database one started earlier may end later.
    run.prepare(u"SELECT id, finished, data FROM runs LEFT JOIN dead_views ON dead_views.run = runs.id"
                u" WHERE site_key = ? AND state = ? ORDER BY finished DESC, id DESC LIMIT 1"_s);
    run.addBindValue(HistoryDb::siteKey(site));
    run.addBindValue(int(HistoryDb::Finished));
    if (!run.exec() || !run.next()) {
        return {};
    }
    LastCheck check;
    check.finished = run.value(1).toString();
    check.view = run.value(2).toByteArray();
    QSqlQuery dead(history.database());
    dead.prepare(u"SELECT url FROM dead_urls WHERE run = ? ORDER BY rowid"_s);
    dead.addBindValue(run.value(0).toLongLong());
    if (!dead.exec()) {
        return {};
    }
    while (dead.next()) {
        check.deadUrls << dead.value(0).toString();
    }
    return check;
}

namespace {

// What an earlier version kept of a finished check.
void ShowDeadUrls(LinkStore& store, const QString& site, const QStringList& deadUrls)
{
    store.clearResults();
    store.startList(site);
    const QString home = store.full().node(1)->record.url;
    int key = 1;
    for (const QString& url : deadUrls) {
        const bool isHome = url == home;
        if (isHome) {
            store.full().setStatus(1, StatusDead);
        }
        // Without its page a dead link stands on its own: the reports give its own address as its
        // parent, and its depth as that of a link of the home page unless it is the home page.
        NodeRecord record;
        record.depth = isHome ? 0 : 1;
        record.url = url;
        store.dead().add(0, isHome ? 1 : ++key, url, StatusDead, record);
        store.deads().add(url, isHome ? 1 : 0);
    }
    store.setPanel(5, RunText::deadFound(deadUrls.size()));
}

} // namespace

void ShowLastCheck(LinkStore& store, const QString& site, const LastCheck& check)
{
    if (check.view.isEmpty() || !UnpackDeadView(check.view, store)) {
        ShowDeadUrls(store, site, check.deadUrls);
    }
    const QDateTime finished = QDateTime::fromString(check.finished, Qt::ISODate);
    store.setPanel(2, MainText::lastCheckNote(finished.toLocalTime().toString(u"yyyy-MM-dd HH:mm"_s)));
}
