#include "lastcheck.h"

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
    run.prepare(u"SELECT id, finished FROM runs WHERE site_key = ? AND state = ? ORDER BY id DESC LIMIT 1"_s);
    run.addBindValue(HistoryDb::siteKey(site));
    run.addBindValue(int(HistoryDb::Finished));
    if (!run.exec() || !run.next()) {
        return {};
    }
    LastCheck check;
    check.finished = run.value(1).toString();
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

void ShowLastCheck(LinkStore& store, const QString& site, const LastCheck& check)
{
    store.clearResults();
    store.startList(site);
    const QString home = store.full().node(1)->record.url;
    int key = 1;
    for (const QString& url : check.deadUrls) {
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
    store.setPanel(5, RunText::deadFound(check.deadUrls.size()));
    const QDateTime finished = QDateTime::fromString(check.finished, Qt::ISODate);
    store.setPanel(2, MainText::lastCheckNote(finished.toLocalTime().toString(u"yyyy-MM-dd HH:mm"_s)));
}
