#pragma once

#include <QString>

// Texts of the run states and status-bar panels, exactly as the window shows them.
namespace RunText {
inline QString ready() { return QStringLiteral("就绪"); }
inline QString inProgress() { return QStringLiteral("进行中..."); }
inline QString stopping() { return QStringLiteral("正在停止..."); }
inline QString paused() { return QStringLiteral("已暂停"); }
inline QString timedOut() { return QStringLiteral("查询超时"); }
inline QString serverWait(int seconds) { return QStringLiteral("服务器要求稍候…") + QString::number(seconds) + u'秒'; }

inline QString checking(const QString& url) { return QStringLiteral("正在检测链接：") + url; }
inline QString tested(qint64 n) { return QStringLiteral("累计已检测链接：") + QString::number(n) + u'个'; }
inline QString parsed(qint64 n) { return QStringLiteral("已解析链接：") + QString::number(n) + u'个'; }
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
} // namespace RunText
