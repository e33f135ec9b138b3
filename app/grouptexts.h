#pragma once

#include <QString>
#include <QStringList>

// Texts of the site group dialog, exactly as they are shown.
namespace GroupText {
inline QString command()
{
    return QStringLiteral("检测全部网站");
}
inline QString title()
{
    return QStringLiteral("检测全部网站");
}
inline QString start()
{
    return QStringLiteral("开始检测");
}
inline QString stop()
{
    return QStringLiteral("停止检测");
}
inline QString overview()
{
    return QStringLiteral("生成总览");
}
inline QString close()
{
    return QStringLiteral("关闭");
}
inline QString hint()
{
    return QStringLiteral("逐个检测勾选的网站，每个网站检测完成后在下表显示结果。");
}
inline QStringList columns()
{
    return {QStringLiteral("网站"),   QStringLiteral("链接数"), QStringLiteral("死链接"), QStringLiteral("新增死链接"),
            QStringLiteral("已修复"), QStringLiteral("用时"),   QStringLiteral("状态")};
}
inline QString checking()
{
    return QStringLiteral("检测中...");
}
inline QString waiting()
{
    return QStringLiteral("等待检测");
}
inline QString noSites()
{
    return QStringLiteral("网站列表为空，请先添加网站！");
}
inline QString noneTicked()
{
    return QStringLiteral("请勾选要检测的网站！");
}
inline QString noneChecked()
{
    return QStringLiteral("还没有检测完成的网站。");
}
inline QString saveTitle()
{
    return QStringLiteral("生成总览");
}
inline QString saveFilter()
{
    return QStringLiteral("Html文件(*.html)");
}
inline QString defaultName()
{
    return QStringLiteral("网站群检测总览.html");
}
inline QString written()
{
    return QStringLiteral("总览已生成，是否打开？");
}
inline QString notWritten(const QString& why)
{
    return QStringLiteral("总览无法写入：") + why;
}
inline QString runningNoClose()
{
    return QStringLiteral("正在检测，请先停止检测。");
}
} // namespace GroupText
