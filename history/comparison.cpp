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

RunChange CompareRuns(const QString& previous, const QStringList& previousDead, const ResultTree& full,
                      const QStringList& deadNow)
{
    RunChange change;
    change.previous = previous;
    const QSet<QString> before(previousDead.begin(), previousDead.end());
    for (const QString& url : deadNow) {
        if (!before.contains(url)) {
            change.newDead << url;
        }
    }
    // The verdict now of each URL dead then: that of its first node, and dead when any node of it is.
    QHash<QString, int> now;
    now.reserve(before.size());
    for (int i = 1; i <= full.count(); ++i) {
        const ResultNode* node = full.node(i);
        if (!before.contains(node->record.url)) {
            continue;
        }
        const auto it = now.find(node->record.url);
        if (it == now.end()) {
            now.insert(node->record.url, node->status);
        } else if (node->status == StatusDead) {
            *it = StatusDead;
        }
    }
    QSet<QString> listed; // a URL stored twice is mended once
    for (const QString& url : previousDead) {
        if (listed.contains(url)) {
            continue;
        }
        listed.insert(url);
        const auto status = now.constFind(url);
        if (status == now.constEnd() || *status == StatusValid) {
            change.fixed << url;
        }
    }
    return change;
}
