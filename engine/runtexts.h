#pragma once

#include <QString>

// Texts of the run states and status-bar panels, exactly as the window shows them.
namespace RunText {
inline QString ready() { return QStringLiteral("就绪"); }
inline QString inProgress() { return QStringLiteral("进行中..."); }
inline QString stopping() { return QStringLiteral("正在停止..."); }
inline QString paused() { return QStringLiteral("已暂停"); }
inline QString timedOut() { return QStringLiteral("查询超时"); }
// While the run waits for a slow page: the answers that came in ahead of it, shown in their turn.
inline QString answeredAhead(qint64 n)
{
    return QStringLiteral("已提前检测链接：") + QString::number(n) + u'个';
}
inline QString serverWait(int seconds) { return QStringLiteral("服务器要求稍候…") + QString::number(seconds) + u'秒'; }

inline QString checking(const QString& url) { return QStringLiteral("正在检测链接：") + url; }
inline QString tested(qint64 n) { return QStringLiteral("累计已检测链接：") + QString::number(n) + u'个'; }
inline QString parsed(qint64 n) { return QStringLiteral("已解析链接：") + QString::number(n) + u'个'; }
// A run that ended without the home page: why, in the status bar and a message.
inline QString homeUnreachable(const QString& why)
{
    return QStringLiteral("无法访问网站首页：") + why;
}
inline QString deadFound(qint64 n) { return QStringLiteral("已检测到死链接：") + QString::number(n) + u'个'; }
// Pages read as the browser drew them: the status bar's count, and the mark after a status description.
inline QString renderedPages(qint64 n)
{
    return QStringLiteral("已渲染页面：") + QString::number(n) + u'个';
}
inline QString renderedMark()
{
    return QStringLiteral("（已渲染）");
}
// A page that could not be drawn and was read as its HTML.
inline QString notRendered(const QString& why)
{
    return QStringLiteral("（未能渲染：") + why + QStringLiteral("，按HTML读取）");
}
inline QString leftSite()
{
    return QStringLiteral("页面跳转到站外");
}

// Why a page that answers normally is a content dead link, or, for a valid one, where it leads instead.
inline QString contentHome()
{
    return QStringLiteral("内容死链：跳转到首页");
}
inline QString contentRedirect(const QString& path)
{
    return QStringLiteral("内容死链：跳转到“") + path + u'”';
}
inline QString contentNotFound(const QString& says)
{
    return QStringLiteral("内容死链：与不存在页面相同（") + says + u'）';
}
// The weakest evidence: such links are dead but left out of the dead-link file for the search engines.
inline QString contentSameAsHome()
{
    return QStringLiteral("内容死链：页面内容与首页相同");
}
inline QString signInNeeded()
{
    return QStringLiteral("需要登录");
}
} // namespace RunText
