#pragma once

#include "runenv.h"

#include <QStringView>

// Why a page scan ended.
enum class ScanEnd {
    Finished,   // every anchor handled
    BatchLimit, // the list grew past the batch limit: go to the check sweep
    Stopped     // the running flag was cleared: pause the run
};

// Takes the anchors of one fetched page apart and adds a node for every usable link under the page's
// node. Honours the run's stop points and batch limit between anchors.
class PageScan
{
public:
    explicit PageScan(const RunEnv& env) : env_(env) {}

    // `anchorStart` is the first anchor to look at (1 for a whole page); `batchCounter` is raised when
    // the batch limit is met. On BatchLimit and Stopped the resume position names the anchor not yet
    // handled, so that the continued run picks up there instead of re-adding the page's links.
    ScanEnd scan(QStringView pageText, int pageNode, int anchorStart, int levelCounter, int& batchCounter);

    // Node count above which a run with `batchCounter` full batches hands over to the check sweep.
    static bool overBatchLimit(int nodeCount, int batchCounter);

private:
    void addNode(int pageNode, const QString& link, const QString& innerHtml, int depth, const QString& url,
                 bool siteLink, int status);

    RunEnv env_;
};
