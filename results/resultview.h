#pragma once

#include <QTreeView>

class ResultTreeModel;

// A result list on screen: one column, no header, nodes shown expanded as they were added, and no
// label editing (every edit request is cancelled).
class ResultView : public QTreeView
{
    Q_OBJECT
public:
    ResultView(const QString& objectName, ResultTreeModel* model, QWidget* parent = nullptr);

    ResultTreeModel* resultModel() const { return model_; }
    // Selects node `node` and scrolls to it; false when the node is not in the list.
    bool selectNode(int node);

signals:
    // A node was clicked (its index in the list).
    void nodeClicked(int node);

private:
    void expandNewParents(const QModelIndex& parent);

    ResultTreeModel* model_;
};
