#pragma once

#include <QString>

// What a link points at: a page (an anchor, or an element that links like one) or a resource the page
// loads. Only pages and frames of the site are read for further links; every other resource is probed
// for its status alone.
enum class LinkKind : quint8
{
    Page,
    Image,
    Script,
    Style,
    Frame,
    Media,
    Other
};

// True for the kinds whose valid site links are read and scanned like pages.
inline bool IsPageKind(LinkKind kind)
{
    return kind == LinkKind::Page || kind == LinkKind::Frame;
}

// The word a person reads ("图片"); empty for a page, which needs no label.
QString KindLabel(LinkKind kind);
// The label set in front of a text about the link ("【图片】"), so that a reader tells a resource from
// a page at a glance; empty for a page, whose texts stay as they are.
QString KindTag(LinkKind kind);
// The name a program reads ("image", "page").
QString KindName(LinkKind kind);
