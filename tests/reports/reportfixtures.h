#pragma once

#include "resulttree.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One node to add to a result list: under `parent` (0: top level), with the next key number.
struct NodeSpec
{
    int parent = 0;
    QString text;
    int status = NoStatus;
    NodeRecord record;
};
using TreeSpec = QList<NodeSpec>;
Q_DECLARE_METATYPE(TreeSpec)

NodeRecord Unprobed(int depth, const QString& url, bool siteLink = true);
NodeRecord Probed(int depth, const QString& url, qint64 queryTime, const QString& statusText);
void Fill(ResultTree& tree, const TreeSpec& spec);

// Result lists that the report tests share.
TreeSpec HomePageAlone();
TreeSpec ProbedSite();       // valid pages, a dead link two levels down, an unprobed link, an odd code
TreeSpec TimedOutLink();     // the home page and one link whose probe timed out
TreeSpec DeadLinkList();     // two top-level pages, each with a dead link
TreeSpec HomePageProbedIn(qint64 queryTime);

// True when the current user can create files in `folder` even though it is read-only (root can).
bool WritesIgnorePermissions(const QString& folder);
