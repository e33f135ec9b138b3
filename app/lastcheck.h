#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class HistoryDb;
class LinkStore;

// The last finished check of a site as the history keeps it: when it finished, its dead URLs in the
// order they were found and, unless an earlier version checked it, its packed dead-link view.
struct LastCheck
{
    QString finished; // ISO 8601, UTC; empty when the site has no finished check
    QStringList deadUrls;
    QByteArray view;

    bool isEmpty() const { return finished.isEmpty(); }
};

LastCheck ReadLastCheck(HistoryDb& history, const QString& site);

// Shows `check` of `site` in an idle store, with when it finished in panel 2: its dead-link view, or
// without one its dead URLs, each on its own, as their pages are not known.
void ShowLastCheck(LinkStore& store, const QString& site, const LastCheck& check);
