#include "linkkind.h"

QString KindLabel(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Page:
        return {};
    case LinkKind::Image:
        return QStringLiteral("图片");
    case LinkKind::Script:
        return QStringLiteral("脚本");
    case LinkKind::Style:
        return QStringLiteral("样式");
    case LinkKind::Frame:
        return QStringLiteral("框架");
    case LinkKind::Media:
        return QStringLiteral("媒体");
    case LinkKind::Other:
        break;
    }
    return QStringLiteral("资源");
}

QString KindTag(LinkKind kind)
{
    const QString label = KindLabel(kind);
    return label.isEmpty() ? label : u'【' + label + u'】';
}

QString KindName(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Page:
        return QStringLiteral("page");
    case LinkKind::Image:
        return QStringLiteral("image");
    case LinkKind::Script:
        return QStringLiteral("script");
    case LinkKind::Style:
        return QStringLiteral("style");
    case LinkKind::Frame:
        return QStringLiteral("frame");
    case LinkKind::Media:
        return QStringLiteral("media");
    case LinkKind::Other:
        break;
    }
    return QStringLiteral("other");
}
