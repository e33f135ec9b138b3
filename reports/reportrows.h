#pragma once

#include "resulttree.h"

#include <QString>

// What every report shows in its last column for node `index` of `list`: node 1's own text for
// node 1, the URL of the page the link was found on for the others. A top-level page of the dead-link
// list shows what its node in the full result list shows; without that list, its own URL.
QString ParentLink(const ResultTree& list, int index);

// The status description as a report shows it: a resource's kind in front of it, so that the reports keep
// their columns and a reader still tells an image or a script from a page; a page's description as it is,
// marked when the page was read as the browser drew it.
QString ReportDescription(const NodeRecord& record, const QString& description);
