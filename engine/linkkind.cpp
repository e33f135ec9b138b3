#include "linkkind.h"

#include <array>

namespace {

struct KindTexts
{
    QStringView label;
    QStringView name;
};

// In the order of LinkKind.
constexpr std::array<KindTexts, 7> kTexts{{{u"", u"page"},
                                           {u"图片", u"image"},
                                           {u"脚本", u"script"},
                                           {u"样式", u"style"},
                                           {u"框架", u"frame"},
                                           {u"媒体", u"media"},
                                           {u"资源", u"other"}}};

const KindTexts& textsOf(LinkKind kind)
{
    const auto i = static_cast<size_t>(kind);
    return kTexts[i < kTexts.size() ? i : kTexts.size() - 1];
}

} // namespace

QString KindLabel(LinkKind kind)
{
    return textsOf(kind).label.toString();
}

QString KindTag(LinkKind kind)
{
    const QStringView label = textsOf(kind).label;
    return label.isEmpty() ? QString() : u'【' + label.toString() + u'】';
}

QString KindName(LinkKind kind)
{
    return textsOf(kind).name.toString();
}
