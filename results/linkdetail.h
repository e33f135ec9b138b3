#pragma once

#include <QString>

class ResultTree;

// What the detail window shows for one node of a result list.
struct LinkDetail
{
    enum class Icon { None, Valid, Dead, TimedOut };

    QString link;        // mysite
    QString parentLink;  // linksite
    QString status;      // Label3
    QString description; // Label6
    QString queryTime;   // Label8
    QString depth;       // Label9
    Icon icon = Icon::None;
    QString kind = {}; // what a resource is ("图片"); empty for a page
};

enum class ResultList { Full, Dead };

// The detail of node `node` of `list`. The dead-link list tells valid and dead apart only; a node that
// is not there gives every field empty.
LinkDetail DescribeNode(const ResultTree& list, int node, ResultList kind);
