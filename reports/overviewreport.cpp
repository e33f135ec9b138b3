#include "overviewreport.h"

#include "linkstore.h"
#include "runtexts.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"网站群死链接检测总览"_s;
const QString kHeader = u"<tr><th>网站</th><th>链接数</th><th>死链接</th><th>新增死链接</th><th>已修复</th>"
                        u"<th>用时</th><th>状态</th><th>报告</th></tr>"_s;
constexpr int kRowHeight = 22;
constexpr int kLabelWidth = 260;
constexpr int kBarRoom = 420;

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString countText(int n)
{
    return n < 0 ? u"—"_s : QString::number(n);
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1) + u" 秒"_s;
}

// Two bars a site: its dead links, and under them those new since the last check.
QString barChart(const QList<SiteOutcome>& sites)
{
    int most = 1;
    for (const SiteOutcome& s : sites) {
        most = std::max({most, s.dead, s.newDead});
    }
    const int height = int(sites.size()) * kRowHeight * 2 + 30;
    QString svg = u"<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2' role='img' aria-label='%3'>"_s
                      .arg(kLabelWidth + kBarRoom + 60)
                      .arg(height)
                      .arg(u"各网站死链接数"_s);
    svg += u"<rect x='%1' y='4' width='12' height='12' fill='#d33'/><text x='%2' y='15'>死链接</text>"
           u"<rect x='%3' y='4' width='12' height='12' fill='#f90'/><text x='%4' y='15'>新增死链接</text>"_s
               .arg(kLabelWidth)
               .arg(kLabelWidth + 16)
               .arg(kLabelWidth + 90)
               .arg(kLabelWidth + 106);
    int y = 26;
    for (const SiteOutcome& s : sites) {
        const auto bar = [&](int value, const QString& colour, int top) {
            const int width = value <= 0 ? 0 : std::max(1, value * kBarRoom / most);
            svg += u"<rect x='%1' y='%2' width='%3' height='%4' fill='%5'/><text x='%6' y='%7'>%8</text>"_s
                       .arg(kLabelWidth)
                       .arg(top)
                       .arg(width)
                       .arg(kRowHeight - 6)
                       .arg(colour)
                       .arg(kLabelWidth + width + 4)
                       .arg(top + kRowHeight - 10)
                       .arg(countText(value));
        };
        svg += u"<text x='%1' y='%2' text-anchor='end'>%3</text>"_s.arg(kLabelWidth - 6)
                   .arg(y + kRowHeight)
                   .arg(escaped(s.site));
        bar(s.dead, u"#d33"_s, y);
        bar(s.newDead, u"#f90"_s, y + kRowHeight);
        y += kRowHeight * 2;
    }
    return svg + u"</svg>"_s;
}

QString row(const SiteOutcome& s)
{
    const QString report =
        s.report.isEmpty() ? QString()
                           : u"<a href=\""_s + escaped(QString::fromUtf8(QUrl::toPercentEncoding(s.report, "/-._~"))) +
                                 u"\">报告</a>"_s;
    const QString cls = s.needsAttention() ? u" class='bad'"_s : QString();
    return u"<tr%1><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td><td>%8</td><td>%9</td></tr>\n"_s
        .arg(cls, escaped(s.site), QString::number(s.links), QString::number(s.dead), countText(s.newDead),
             countText(s.fixed), s.state == SiteOutcome::State::NotChecked ? QString() : seconds(s.elapsedMs),
             escaped(OverviewStateText(s)), report);
}

} // namespace

SiteOutcome OutcomeOf(const LinkStore& store, const QString& site, qint64 elapsedMs)
{
    SiteOutcome o;
    o.site = site;
    o.elapsedMs = elapsedMs;
    o.links = store.full().count();
    o.dead = store.deads().count();
    o.state = store.panel(1) == RunText::paused() ? SiteOutcome::State::Stopped : SiteOutcome::State::Finished;
    if (const ResultNode* home = store.full().node(1);
        home && (home->status == StatusDead || home->status == StatusTimedOut)) {
        o.state = SiteOutcome::State::Unreachable;
        o.reason = home->record.statusText;
    }
    if (!store.change().isEmpty()) {
        o.newDead = int(store.change().newDead.size());
        o.fixed = int(store.change().fixed.size());
    }
    return o;
}

QString SiteOutcome::stateText(const std::array<QString, 5>& words) const
{
    switch (state) {
    case State::NotChecked:
        break;
    case State::Finished:
        return words[1];
    case State::Stopped:
        return words[2];
    case State::Unreachable:
        return words[3] + reason;
    case State::Failed:
        return words[4] + reason;
    }
    return words[0];
}

QString OverviewStateText(const SiteOutcome& s)
{
    return s.stateText({u"未检测"_s, u"已完成"_s, u"已停止"_s, u"无法访问："_s, u"检测失败："_s});
}

QByteArray OverviewHtml(const QList<SiteOutcome>& sites, const QString& generated)
{
    int dead = 0;
    int newDead = 0;
    int attention = 0;
    for (const SiteOutcome& s : sites) {
        dead += s.dead;
        newDead += std::max(0, s.newDead);
        attention += s.needsAttention() ? 1 : 0;
    }
    QString page = u"<!DOCTYPE html>\n<html lang='zh-CN'><head><meta charset='utf-8'><title>"_s + kTitle +
                   u"</title><style>body{font:14px sans-serif;margin:1em}table{border-collapse:collapse}"
                   u"td,th{border:1px solid #ccc;padding:3px 8px}td:nth-child(n+2):nth-child(-n+6){text-align:right}"
                   u"tr.bad td:first-child{color:#c00}svg text{font:12px sans-serif}</style></head><body>\n<h1>"_s +
                   kTitle + u"</h1>\n<p>生成时间："_s + escaped(generated) + u"；网站"_s +
                   QString::number(sites.size()) + u"个，需要处理"_s + QString::number(attention) + u"个；死链接"_s +
                   QString::number(dead) + u"个，新增死链接"_s + QString::number(newDead) + u"个。</p>\n"_s +
                   barChart(sites) + u"\n<table>\n"_s + kHeader + u'\n';
    for (const SiteOutcome& s : sites) {
        page += row(s);
    }
    return (page + u"</table></body></html>\n"_s).toUtf8();
}

WriteResult WriteOverview(const QList<SiteOutcome>& sites, const QString& fileName)
{
    return WriteReportFile(fileName,
                           OverviewHtml(sites, QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s)));
}

QString SiteReportName(const QString& overviewFile, int number, const QString& site)
{
    const QFileInfo info(overviewFile);
    QString host = QUrl(LinkStore::homeUrl(site.trimmed())).host();
    host.replace(QRegularExpression(u"[^A-Za-z0-9.-]"_s), u"_"_s);
    return info.dir().filePath(info.completeBaseName() + u'-' + QString::number(number) + u'-' + host + u".html"_s);
}
