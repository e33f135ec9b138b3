#pragma once

#include "anchors.h"

#include <QStringList>

// The links of a page in document order: its anchors and, with `withResources`, the links of the
// elements that load something into it or link like an anchor (images with their srcset candidates,
// picture and media sources, scripts, style sheets, icons and preloads, frames, image-map areas,
// video posters, embedded objects). One entry per link, so an image with a srcset gives several.
// Anchors are taken apart exactly as ExtractAnchors does, so without resources this is its result.
std::vector<Anchor> ExtractLinks(QStringView page, bool withResources);

// The URLs of a srcset attribute value, in order, without their width or density descriptors.
QStringList SrcsetUrls(QStringView srcset);
