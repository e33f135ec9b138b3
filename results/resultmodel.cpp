#include "resultmodel.h"

#include "resulttree.h"
#include "statusicons.h"

#include <QBrush>
#include <QFont>

void ResultTreeModel::setNewDead(const QSet<QString>& urls)
{
    if (urls == newDead_) {
        return;
    }
    // Only texts change: the views keep their expansion and selection.
    emit layoutAboutToBeChanged();
    newDead_ = urls;
    emit layoutChanged();
}

ResultTreeModel::ResultTreeModel(const ResultTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree), published_(1, 0)
{
    timer_.setSingleShot(true);
    timer_.setInterval(150);
    connect(&timer_, &QTimer::timeout, this, &ResultTreeModel::flush);
    connect(&tree_, &ResultTree::nodeAdded, this, &ResultTreeModel::onNodeAdded);
    connect(&tree_, &ResultTree::nodeChanged, this, &ResultTreeModel::onNodeChanged);
    connect(&tree_, &ResultTree::aboutToClear, this, &ResultTreeModel::onAboutToClear);
    connect(&tree_, &ResultTree::cleared, this, &ResultTreeModel::onCleared);
    // Nodes that were there before the model.
    for (int n = 1; n <= tree_.count(); ++n) {
        onNodeAdded(n);
    }
    flush();
}

void ResultTreeModel::onNodeAdded(int node)
{
    published_.resize(static_cast<size_t>(tree_.count()) + 1, 0);
    onShow_.resize(published_.size(), 0);
    const ResultNode* n = tree_.node(node);
    if (!n) {
        return;
    }
    pending_.insert(n->parent);
    if (!timer_.isActive()) {
        timer_.start();
    }
}

// Parents are published in ascending order: a node's parent always has the smaller index, so by the
// time the children of a node are announced the node itself is on show.
void ResultTreeModel::flush()
{
    timer_.stop();
    std::set<int> pending;
    pending.swap(pending_);
    for (int parent : pending) {
        const int actual = static_cast<int>(tree_.childrenOf(parent).size());
        int& shown = published_[static_cast<size_t>(parent)];
        if (actual <= shown) {
            continue;
        }
        beginInsertRows(makeIndex(parent), shown, actual - 1);
        shown = actual;
        endInsertRows();
    }
}

void ResultTreeModel::onNodeChanged(int node)
{
    if (isPublished(node)) {
        const QModelIndex i = makeIndex(node);
        emit dataChanged(i, i);
    }
}

void ResultTreeModel::onAboutToClear()
{
    beginResetModel();
}

void ResultTreeModel::onCleared()
{
    timer_.stop();
    pending_.clear();
    published_.assign(1, 0);
    onShow_.assign(1, 0);
    endResetModel();
}

bool ResultTreeModel::isPublished(int node) const
{
    const auto known = [this](int n) {
        return n == 0 || (static_cast<size_t>(n) < onShow_.size() && onShow_[static_cast<size_t>(n)] != 0);
    };
    for (int n = node; !known(n);) {
        const ResultNode* r = tree_.node(n);
        if (!r || r->row >= published_[static_cast<size_t>(r->parent)]) {
            return false;
        }
        n = r->parent;
    }
    for (int n = node; !known(n); n = tree_.node(n)->parent) {
        onShow_[static_cast<size_t>(n)] = 1;
    }
    return true;
}

QModelIndex ResultTreeModel::makeIndex(int node) const
{
    const ResultNode* n = tree_.node(node);
    return n ? createIndex(n->row, 0, static_cast<quintptr>(node)) : QModelIndex();
}

QModelIndex ResultTreeModel::indexOfNode(int node)
{
    flush();
    return isPublished(node) ? makeIndex(node) : QModelIndex();
}

int ResultTreeModel::nodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<int>(index.internalId()) : 0;
}

QModelIndex ResultTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || row >= rowCount(parent)) {
        return {};
    }
    const int child = tree_.childrenOf(nodeOf(parent))[static_cast<size_t>(row)];
    return createIndex(row, 0, static_cast<quintptr>(child));
}

QModelIndex ResultTreeModel::parent(const QModelIndex& child) const
{
    const ResultNode* n = tree_.node(nodeOf(child));
    return n ? makeIndex(n->parent) : QModelIndex();
}

int ResultTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) {
        return 0;
    }
    const int node = nodeOf(parent);
    if (node < 0 || static_cast<size_t>(node) >= published_.size()) {
        return 0;
    }
    return published_[static_cast<size_t>(node)];
}

int ResultTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ResultTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant ResultTreeModel::data(const QModelIndex& index, int role) const
{
    const ResultNode* n = tree_.node(nodeOf(index));
    if (!n) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        // A resource's kind in front: an image or a script is told from a page at a glance.
        {
            const QString text =
                n->record.kind == LinkKind::Page ? n->text : QString(KindTag(n->record.kind) + n->text);
            const bool isNew = n->status == StatusDead && !newDead_.isEmpty() && newDead_.contains(n->record.url);
            return isNew ? QStringLiteral("新 ") + text : text;
        }
    case Qt::DecorationRole:
        return StatusIcons::icon(n->status);
    case Qt::FontRole:
        if (n->bold) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ForegroundRole:
        // Not red: the view's own text colour, which a dark theme keeps readable.
        return n->red ? QVariant(QBrush(QColor(255, 0, 0))) : QVariant();
    case Qt::ToolTipRole:
        // Why a link is dead or timed out, without opening its details.
        return (n->status == StatusDead || n->status == StatusTimedOut) && !n->record.statusText.isEmpty()
                   ? QString(n->record.url + u'\n' + n->record.statusText)
                   : n->record.url;
    case NodeIndexRole:
        return nodeOf(index);
    case StatusRole:
        return n->status;
    default:
        return {};
    }
}

Qt::ItemFlags ResultTreeModel::flags(const QModelIndex& index) const
{
    // Read only: the dead-link list refuses every label edit, and nothing relies on editing the other.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
