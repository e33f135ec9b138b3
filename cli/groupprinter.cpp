#include "groupprinter.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString count(int n)
{
    return n < 0 ? u"-"_s : QString::number(n);
}

struct Totals
{
    int withDead = 0;
    int unreachable = 0;
    int failed = 0;
    int notChecked = 0;
    int dead = 0;
    int newDead = 0;
    int fixed = 0;
};

Totals totalsOf(const QList<SiteOutcome>& sites)
{
    Totals t;
    for (const SiteOutcome& s : sites) {
        t.withDead += s.dead > 0 ? 1 : 0;
        t.unreachable += s.state == SiteOutcome::State::Unreachable ? 1 : 0;
        t.failed += s.state == SiteOutcome::State::Failed ? 1 : 0;
        t.notChecked += s.state == SiteOutcome::State::NotChecked ? 1 : 0;
        t.dead += s.dead;
        t.newDead += std::max(0, s.newDead);
        t.fixed += std::max(0, s.fixed);
    }
    return t;
}

} // namespace

QString GroupStateText(const SiteOutcome& s)
{
    return s.stateText({u"not checked"_s, u"finished"_s, u"stopped"_s, u"unreachable: "_s, u"failed: "_s});
}

void PrintGroupTable(const QList<SiteOutcome>& sites, qint64 elapsedMs, std::FILE* out)
{
    qsizetype width = 4;
    for (const SiteOutcome& s : sites) {
        width = std::max(width, s.site.size());
    }
    const auto line = [&](const QString& site, const QStringList& cells) {
        QString text = site.leftJustified(width);
        const int widths[] = {7, 6, 9, 7, 9};
        for (int i = 0; i < 5; ++i) {
            text += cells[i].rightJustified(widths[i]);
        }
        text += u"  "_s + cells[5];
        std::fprintf(out, "%s\n", text.toLocal8Bit().constData());
    };
    line(u"site"_s, {u"links"_s, u"dead"_s, u"new dead"_s, u"mended"_s, u"time"_s, u"state"_s});
    for (const SiteOutcome& s : sites) {
        const bool ran = s.state != SiteOutcome::State::NotChecked && s.state != SiteOutcome::State::Failed;
        line(s.site,
             {ran ? QString::number(s.links) : u"-"_s, ran ? QString::number(s.dead) : u"-"_s, count(s.newDead),
              count(s.fixed),
              s.state == SiteOutcome::State::NotChecked ? u"-"_s
                                                        : QString::number(double(s.elapsedMs) / 1000.0, 'f', 1) + u's',
              GroupStateText(s)});
    }
    const Totals t = totalsOf(sites);
    std::fprintf(out,
                 "sites: %lld, with dead links: %d, unreachable: %d, failed: %d, not checked: %d, dead: %d, "
                 "new dead: %d, mended: %d, time: %.1fs\n",
                 static_cast<long long>(sites.size()), t.withDead, t.unreachable, t.failed, t.notChecked, t.dead,
                 t.newDead, t.fixed, double(elapsedMs) / 1000.0);
}

QByteArray GroupSummaryLine(const QList<SiteOutcome>& sites, qint64 elapsedMs)
{
    const Totals t = totalsOf(sites);
    bool finished = true;
    for (const SiteOutcome& s : sites) {
        finished = finished && s.state != SiteOutcome::State::NotChecked && s.state != SiteOutcome::State::Stopped;
    }
    const QJsonObject summary{
        {u"sites"_s, int(sites.size())}, {u"withDead"_s, t.withDead}, {u"unreachable"_s, t.unreachable},
        {u"failed"_s, t.failed},         {u"dead"_s, t.dead},         {u"newDead"_s, t.newDead},
        {u"fixed"_s, t.fixed},           {u"elapsedMs"_s, elapsedMs}, {u"finished"_s, finished}};
    return QJsonDocument(QJsonObject{{u"sitesSummary"_s, summary}}).toJson(QJsonDocument::Compact);
}
