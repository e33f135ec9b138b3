#pragma once

#include <QString>
#include <QStringList>

class HistoryDb;
class LinkStore;

// The last finished check of a site as the history keeps it: when it finished and its dead URLs in the
// order they were found. The pages they were found on and the other links are not kept.
struct LastCheck
{
    QString finished; // ISO 8601, UTC; empty when the site has no finished check
    QStringList deadUrls;

    bool isEmpty() const { return finished.isEmpty(); }
};

LastCheck ReadLastCheck(HistoryDb& history, const QString& site);

// Shows `check` of `site` in an idle store: the home page in the full list, the dead URLs in the
// dead-link list (each on its own, as their pages are not known), the dead-link count, and when the
// check finished in panel 2.
void ShowLastCheck(LinkStore& store, const QString& site, const LastCheck& check);
