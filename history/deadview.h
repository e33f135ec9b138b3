#pragma once

#include <QByteArray>

class LinkStore;
struct RunChange;

// What a finished check keeps so that it can be shown and exported again later: the dead-link list, the
// dead and timed-out links of the full list under the pages that lead to them from the home page, the
// two URL lists, the counters and what the check changed since the one before. The valid links are left
// out: they are most of a site, and what is looked at again is what was found broken.
QByteArray PackDeadView(const LinkStore& store, const RunChange& change);

// Fills `store` with a packed view, paused at nothing (panel 1 says ready). False when the bytes are not
// a view this version can read; the store is then left cleared.
bool UnpackDeadView(const QByteArray& packed, LinkStore& store);
