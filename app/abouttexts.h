#pragma once

#include <QString>

// Texts of the about window, exactly as they are shown.
namespace AboutText {
inline QString title() { return QStringLiteral("关于软件"); }
inline QString product() { return QStringLiteral("KelvaraV1.0"); }
inline QString thanks() { return QStringLiteral("在此感谢一直关心和支持我们的朋友！"); }
inline QString legal()
{
    return QStringLiteral("警告：本软件受著作权法和国际公约保护。未经许可，任何单位或个人不得复制、修改、"
                          "传播本软件的全部或部分内容，否则将依法追究其法律责任。");
}
inline QString maker() { return QStringLiteral("Maroven 工作室 出品 · www.maroven.example"); }
} // namespace AboutText
