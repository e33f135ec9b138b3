#include "linkdetail.h"

#include "resulttexts.h"
#include "resulttree.h"
#include "runtexts.h"

namespace {

void describeStatus(int status, ResultList kind, LinkDetail& d)
{
    if (status == StatusValid) {
        d.status = ResultText::valid();
        d.icon = LinkDetail::Icon::Valid;
    } else if (status == StatusDead) {
        d.status = ResultText::dead();
        d.icon = LinkDetail::Icon::Dead;
    } else if (status == StatusTimedOut && kind == ResultList::Full) {
        d.status = ResultText::checkTimedOut();
        d.icon = LinkDetail::Icon::TimedOut;
    } else {
        d.status = ResultText::notChecked();
    }
}

} // namespace

LinkDetail DescribeNode(const ResultTree& list, int node, ResultList kind)
{
    LinkDetail d;
    const ResultNode* n = list.node(node);
    if (!n) {
        return d;
    }
    const NodeRecord& record = n->record;
    d.link = record.field(1);
    if (node == 1) {
        d.parentLink = record.field(1);
    } else if (const ResultNode* parent = list.node(n->parent)) {
        d.parentLink = parent->record.field(1);
    }
    if (record.probed) {
        d.description = record.field(4) + (record.rendered ? RunText::renderedMark() : QString());
        d.queryTime = record.field(3) + ResultText::milliseconds();
    }
    describeStatus(n->status, kind, d);
    d.depth = record.field(0);
    d.kind = KindLabel(record.kind);
    return d;
}
