#include "resultview.h"

#include "resultmodel.h"
#include "resulttree.h"

ResultView::ResultView(const QString& objectName, ResultTreeModel* model, QWidget* parent)
    : QTreeView(parent), model_(model)
{
    setObjectName(objectName);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setModel(model);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int, int) { expandNewParents(parent); });
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { emit nodeClicked(ResultTreeModel::nodeOf(index)); });
}

void ResultView::expandNewParents(const QModelIndex& parent)
{
    const ResultNode* n = model_->tree().node(ResultTreeModel::nodeOf(parent));
    if (n && n->expanded && !isExpanded(parent)) {
        expand(parent);
    }
}

bool ResultView::selectNode(int node)
{
    const QModelIndex index = model_->indexOfNode(node);
    if (!index.isValid()) {
        return false;
    }
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}
