#pragma once

#include <QAbstractItemModel>
#include <QSet>
#include <QTimer>

#include <set>
#include <vector>

class ResultTree;

// A tree model over one result list of the link store. The list only ever grows by appended nodes or
// is cleared whole, so the model keeps its own count of the children it has published per node and
// announces new rows in batches (every batch interval, or on flush()), which keeps a run of many
// thousand nodes from drowning the view in single-row inserts.
class ResultTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Role { NodeIndexRole = Qt::UserRole + 1, StatusRole };

    explicit ResultTreeModel(const ResultTree& tree, QObject* parent = nullptr);

    const ResultTree& tree() const { return tree_; }
    // Dead links at these URLs are shown with "新" in front: dead now, not in the last check.
    void setNewDead(const QSet<QString>& urls);
    void setBatchInterval(int ms) { timer_.setInterval(ms); }
    // Publishes every node added so far.
    void flush();
    // The model index of node `node`, publishing pending nodes first; invalid when there is none.
    QModelIndex indexOfNode(int node);
    // The node index behind a model index; 0 for the invisible root.
    static int nodeOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void onNodeAdded(int node);
    void onNodeChanged(int node);
    void onAboutToClear();
    void onCleared();
    bool isPublished(int node) const;
    QModelIndex makeIndex(int node) const;

    const ResultTree& tree_;
    std::vector<int> published_; // [0]: top-level rows; [n]: children of node n on show
    // [n]: node n is known to be on show. Only a reset takes a node off, so the answer is kept: a change
    // deep in a site of many levels costs no walk up to the top.
    mutable std::vector<char> onShow_;
    std::set<int> pending_;      // nodes (0 = root) with children not yet published
    QTimer timer_;
    QSet<QString> newDead_;
};
