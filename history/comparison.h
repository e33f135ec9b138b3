#pragma once

#include "runchange.h"

class ResultTree;

// The dead URLs of a full result list in index order, each once.
QStringList DeadUrls(const ResultTree& full);

// `full`, whose dead URLs are `deadNow` (as DeadUrls gives them), against the dead URLs of an earlier
// check that finished at `previous`: links dead now that were not dead then, and links dead then that
// are valid now or no longer linked at all. A link that timed out or went unchecked now is neither:
// nothing says it was mended.
RunChange CompareRuns(const QString& previous, const QStringList& previousDead, const ResultTree& full,
                      const QStringList& deadNow);
