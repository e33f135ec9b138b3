#include "textreport.h"

#include "reportrows.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// Texts of the plain-text report.
const QString kTxtBanner =
    u"@@@@@@@@@@@@   txt格式的数据导出显示效果较差，如需较好的效果请导出为Excel或Html格式  @@@@@@@@@@@@ "_s;
const QString kTxtHeader = u"检测链接        链接状态    状态描述    链接深度    查询耗时    上级链接（导入链接）"_s;
const QString kTxtValid = u"有效链接"_s;
const QString kTxtDead = u"死链接"_s;
const QString kTxtTimedOut = u"超时检测"_s;
const QString kTxtUnchecked = u"未检测"_s;
const QString kTxtExcluded = u"已排除"_s; // only kelvara-check excludes links
const QString kLineBreak = u"\r\n"_s;

// Texts of the Html report.
const QString kHtmlHead = u"<html><title>网页死链接检测报告</title>"
                          u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" /><body>"
                          u"<table width='100%' border='0' style='font-size:12px'>"
                          u"<tr align=center style='font-weight:bold'>"
                          u"<td width='32%' height='25'>检测链接</td><td width='11%'>链接状态</td>"
                          u"<td width='12%'>状态描述</td><td width='8%'>链接深度</td>"
                          u"<td width='11%'>查询耗时</td><td width='26%'>上级链接（导入链接）</td></tr>"_s;
const QString kHtmlTail = u"</table></body></html>"_s;

// Texts of the comparison with the last check.
const QString kChangeTitle = u"与上次检测相比"_s;
const QString kChangePrevious = u"上次检测时间："_s;
const QString kChangeNewDead = u"新增死链接："_s;
const QString kChangeFixed = u"已修复链接："_s;
const QString kCountUnit = u"个"_s;
const QString kHtmlValid = u"<td style='color:#0000FF'>有效链接</td>"_s;
const QString kHtmlDead = u"<td style='color:#FF0000'>死链接</td>"_s;
const QString kHtmlTimedOut = u"<td style='color:#990000'>超时链接</td>"_s;
const QString kHtmlUnchecked = u"<td>未检测</td>"_s;
const QString kHtmlExcluded = u"<td>已排除</td>"_s;

// Every stored query time is in milliseconds, a timed-out probe's included.
const QString kMilliseconds = u"毫秒"_s;

bool IsProbed(const NodeRecord& record)
{
    return record.fieldCount() > 3;
}

const QString& TxtStatusWord(int status)
{
    switch (status) {
    case StatusValid:
        return kTxtValid;
    case StatusDead:
        return kTxtDead;
    case StatusTimedOut:
        return kTxtTimedOut;
    case StatusExcluded:
        return kTxtExcluded;
    default:
        return kTxtUnchecked;
    }
}

const QString& HtmlStatusCell(int status)
{
    switch (status) {
    case StatusValid:
        return kHtmlValid;
    case StatusDead:
        return kHtmlDead;
    case StatusTimedOut:
        return kHtmlTimedOut;
    case StatusExcluded:
        return kHtmlExcluded;
    default:
        return kHtmlUnchecked;
    }
}

// URLs and texts come from crawled pages, so they must not be able to open tags or leave a
// quoted attribute.
QString Escaped(const QString& text)
{
    // Most addresses and texts hold none of them: the text itself is shared, not copied a character at a time.
    const auto special = [](QChar c) {
        const char16_t u = c.unicode();
        return u == u'&' || u == u'<' || u == u'>' || u == u'"' || u == u'\'';
    };
    if (std::none_of(text.cbegin(), text.cend(), special)) {
        return text;
    }
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\'':
            out += u"&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void AppendTxtRow(QString& text, const ResultTree& list, int index)
{
    const ResultNode& node = *list.node(index);
    const NodeRecord& record = node.record;
    const QString spaces8 = u"        "_s;
    text += kLineBreak + record.field(1) + u"    " + TxtStatusWord(node.status) + spaces8;
    text += ReportDescription(record, IsProbed(record) ? record.field(4) : u"-"_s) + spaces8;
    text += record.field(0) + spaces8;
    if (IsProbed(record)) {
        text += record.field(3) + kMilliseconds + spaces8;
    } else {
        text += u"-         "_s;
    }
    text += ParentLink(list, index);
}

void AppendHtmlRow(QString& text, const ResultTree& list, int index)
{
    const ResultNode& node = *list.node(index);
    const NodeRecord& record = node.record;
    const QString url = Escaped(record.field(1));
    text += u"<tr align='center'><td><a href=\"" + url + u"\" target='_blank'>" + url + u"</a></td>";
    text += HtmlStatusCell(node.status);
    text += u"<td>" + Escaped(ReportDescription(record, IsProbed(record) ? record.field(4) : QString())) + u"</td>";
    text += u"<td>" + record.field(0) + u"</td>";
    if (IsProbed(record)) {
        text += u"<td>" + record.field(3) + kMilliseconds + u"</td>";
    } else {
        text += u"<td></td>"_s;
    }
    text += (index == 1 ? u"<td>"_s : u"<td> "_s) + Escaped(ParentLink(list, index)) + u"</td></tr>";
}

void AppendTxtChange(QString& text, const RunChange& change)
{
    text += kLineBreak + kLineBreak + kChangeTitle + kLineBreak + kChangePrevious + change.previousShown();
    for (const auto& [title, urls] : {std::pair{kChangeNewDead, &change.newDead}, {kChangeFixed, &change.fixed}}) {
        text += kLineBreak + title + QString::number(urls->size()) + kCountUnit;
        for (const QString& url : *urls) {
            text += kLineBreak + url;
        }
    }
}

void AppendHtmlChange(QString& text, const RunChange& change)
{
    text += u"<h3>"_s + kChangeTitle + u"</h3><p>"_s + kChangePrevious + Escaped(change.previousShown()) + u"</p>"_s;
    for (const auto& [title, urls] : {std::pair{kChangeNewDead, &change.newDead}, {kChangeFixed, &change.fixed}}) {
        text += u"<p>"_s + title + QString::number(urls->size()) + kCountUnit + u"</p><ul>"_s;
        for (const QString& url : *urls) {
            const QString u = Escaped(url);
            text += u"<li><a href=\""_s + u + u"\" target='_blank'>"_s + u + u"</a></li>"_s;
        }
        text += u"</ul>"_s;
    }
}

QString TxtReport(const ResultTree& list, const RunChange& change)
{
    QString text = kTxtBanner + kLineBreak + kLineBreak + kTxtHeader;
    for (int i = 1; i <= list.count(); ++i) {
        AppendTxtRow(text, list, i);
    }
    if (!change.isEmpty()) {
        AppendTxtChange(text, change);
    }
    return text;
}

QString HtmlReport(const ResultTree& list, const RunChange& change)
{
    QString text = kHtmlHead;
    for (int i = 1; i <= list.count(); ++i) {
        AppendHtmlRow(text, list, i);
    }
    if (change.isEmpty()) {
        return text + kHtmlTail;
    }
    text += u"</table>"_s;
    AppendHtmlChange(text, change);
    return text + u"</body></html>"_s;
}

} // namespace

QString TextReportText(const ResultTree& list, int format, const RunChange& change)
{
    return format == ReportHtml ? HtmlReport(list, change) : TxtReport(list, change);
}

WriteResult WriteTextReport(const ResultTree& list, const QString& fileName, int format, const RunChange& change)
{
    return WriteAnsiLine(fileName, TextReportText(list, format, change));
}
