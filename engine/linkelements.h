#pragma once

#include "anchors.h"

#include <QStringList>

// The links of a page in document order: its anchors and, with `withResources`, the links of the
// elements that load something into it or link like an anchor (images with their srcset candidates,
// picture and media sources, scripts, style sheets, icons and preloads, frames, image-map areas,
// video posters, embedded objects). One entry per link, so an image with a srcset gives several.
// Anchor j of the page (split at every "<a" followed by white space, any letter case) is anchor j - 1
// of the list without resources. Beside them, the href of the page's <base>, found in the same pass.
struct PageLinks
{
    std::vector<Anchor> links;
    QString baseHref; // of the first <base> element that has one, character references decoded
};
PageLinks ExtractLinks(QStringView page, bool withResources);

// The URLs of a srcset attribute value, in order, without their width or density descriptors.
QStringList SrcsetUrls(QStringView srcset);
