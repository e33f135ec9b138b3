#include "reportrows.h"

#include "runtexts.h"

QString ReportDescription(const NodeRecord& record, const QString& description)
{
    return KindTag(record.kind) + description + (record.rendered ? RunText::renderedMark() : QString());
}

QString ParentLink(const ResultTree& list, int index)
{
    const ResultNode* node = list.node(index);
    if (!node) {
        return {};
    }
    // A page at the top of a list of copies has its parent in the list it was copied from.
    if (node->parent == 0 && list.origin()) {
        if (const int copied = list.origin()->findKey(node->keyNumber)) {
            return ParentLink(*list.origin(), copied);
        }
    }
    if (index == 1) {
        return node->text;
    }
    const ResultNode* parent = list.node(node->parent);
    return parent ? parent->record.field(1) : node->record.field(1);
}
