#pragma once

#include "overviewreport.h"

#include <QByteArray>
#include <QList>

#include <cstdio>

// The state column of the group's text table.
QString GroupStateText(const SiteOutcome& outcome);
// One row per site (site, links, dead, new dead, mended, time, state), then one summary line.
void PrintGroupTable(const QList<SiteOutcome>& sites, qint64 elapsedMs, std::FILE* out);
// The last line of the group's JSON Lines: {"sitesSummary": {...}}.
QByteArray GroupSummaryLine(const QList<SiteOutcome>& sites, qint64 elapsedMs);
