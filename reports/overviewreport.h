#pragma once

#include "reportfile.h"

#include <QList>
#include <QString>

#include <array>

class LinkStore;

// How the check of one site of a group ended, as the overview and the group's table show it.
struct SiteOutcome
{
    enum class State
    {
        NotChecked,  // the group was stopped before its turn
        Finished,    // checked to the end
        Stopped,     // stopped part way; the counts are what was found until then
        Unreachable, // its home page could not be read: `reason` says why
        Failed       // the check itself broke off: `reason` says how
    };

    QString site;
    State state = State::NotChecked;
    QString reason;
    int links = 0;
    int dead = 0;
    int newDead = -1; // -1: no earlier check to compare with
    int fixed = -1;
    qint64 elapsedMs = 0;
    QString report; // the site's own Html report, relative to the overview; empty when none

    bool needsAttention() const { return dead > 0 || state == State::Unreachable || state == State::Failed; }

    // The state in the words given for NotChecked, Finished, Stopped, Unreachable and Failed, in that
    // order; the last two are followed by the reason.
    QString stateText(const std::array<QString, 5>& words) const;
};

// The outcome of the check of `site` that `store` holds, as it stands.
SiteOutcome OutcomeOf(const LinkStore& store, const QString& site, qint64 elapsedMs);

// The state in the words of the overview page (and the window's table).
QString OverviewStateText(const SiteOutcome& outcome);

// One page for people: a bar chart (inline SVG) of the dead and the new dead links of every site, then
// a table with a row per site linking its own report. UTF-8, no script, nothing loaded from elsewhere.
QByteArray OverviewHtml(const QList<SiteOutcome>& sites, const QString& generated);
WriteResult WriteOverview(const QList<SiteOutcome>& sites, const QString& fileName);

// The name of the `number`-th site's own Html report beside the overview `overviewFile`:
// "<overview without .html>-<number>-<host>.html".
QString SiteReportName(const QString& overviewFile, int number, const QString& site);
