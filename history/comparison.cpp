#include "comparison.h"

#include "resulttree.h"

#include <QHash>
#include <QSet>

QStringList DeadUrls(const ResultTree& full)
{
    QStringList urls;
    QSet<QString> seen;
    for (int i = 1; i <= full.count(); ++i) {
        const ResultNode* node = full.node(i);
        if (node->status == StatusDead && !seen.contains(node->record.url)) {
            seen.insert(node->record.url);
            urls << node->record.url;
        }
    }
    return urls;
}

RunChange CompareRuns(const QString& previous, const QStringList& previousDead, const ResultTree& full)
{
    // A URL's verdict is that of its first node; repeats share it.
    QHash<QString, int> status;
    for (int i = 1; i <= full.count(); ++i) {
        const ResultNode* node = full.node(i);
        status.insert(node->record.url, status.value(node->record.url, node->status));
        if (node->status == StatusDead) {
            status.insert(node->record.url, StatusDead);
        }
    }
    RunChange change;
    change.previous = previous;
    const QSet<QString> before(previousDead.begin(), previousDead.end());
    for (const QString& url : DeadUrls(full)) {
        if (!before.contains(url)) {
            change.newDead << url;
        }
    }
    QSet<QString> listed; // a URL stored twice is mended once
    for (const QString& url : previousDead) {
        if (listed.contains(url)) {
            continue;
        }
        listed.insert(url);
        const auto now = status.constFind(url);
        if (now == status.constEnd() || *now == StatusValid) {
            change.fixed << url;
        }
    }
    return change;
}
