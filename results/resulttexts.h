#pragma once

#include <QString>

// Texts of the result views and the link detail window, exactly as they are shown.
namespace ResultText {
inline QString detailTitle() { return QStringLiteral("链接详细信息"); }
inline QString linkCaption() { return QStringLiteral("检测链接URL："); }
inline QString parentCaption() { return QStringLiteral("上级链接URL：（导入链接）"); }
inline QString statusCaption() { return QStringLiteral("链接状态："); }
inline QString descriptionCaption() { return QStringLiteral("状态描述："); }
inline QString queryTimeCaption() { return QStringLiteral("查询耗时："); }
inline QString depthCaption() { return QStringLiteral("检测深度："); }
inline QString kindCaption() { return QStringLiteral("资源类型："); }

inline QString valid() { return QStringLiteral("有效链接"); }
inline QString dead() { return QStringLiteral("死链接"); }
inline QString checkTimedOut()
{
    return QStringLiteral("超时链接");
}
inline QString notChecked() { return QStringLiteral("未检测"); }
inline QString milliseconds() { return QStringLiteral(" 毫秒"); }

// The results frame.
inline QString frame() { return QStringLiteral("检测结果"); }
inline QString clearResults() { return QStringLiteral("清空结果"); }
inline QString onlyDead() { return QStringLiteral("只显示死链接"); }
inline QString deadInRed() { return QStringLiteral("死链接加红显示"); }

// Legend of the results frame.
inline QString legendValid() { return QStringLiteral("有效链接"); }
inline QString legendDead() { return QStringLiteral("死链接"); }
inline QString legendTimedOut() { return QStringLiteral("查询超时链接"); }
} // namespace ResultText
