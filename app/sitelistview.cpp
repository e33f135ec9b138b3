#include "sitelistview.h"

#include "maintexts.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

namespace {

// The check state last set, to tell a toggle from a text change in itemChanged.
constexpr int kKnownCheckRole = Qt::UserRole + 1;

// Hands a finished edit to the list's judge before it reaches the item.
class SiteEditDelegate : public QStyledItemDelegate
{
public:
    explicit SiteEditDelegate(SiteListView* view) : QStyledItemDelegate(view), view_(view) {}

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        // A message shown by the judge takes the focus from the editor, which commits it once more.
        if (!line || judging_) {
            return;
        }
        judging_ = true;
        const bool accepted = view_->judgeEdit(index.row(), line->text());
        judging_ = false;
        if (accepted) {
            model->setData(index, line->text(), Qt::EditRole);
        }
    }

private:
    SiteListView* view_;
    mutable bool judging_ = false;
};

} // namespace

SiteListView::SiteListView(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("ListView11"));
    setColumnCount(1);
    setHeaderLabels({MainText::siteColumn()});
    header()->setStretchLastSection(true);
    setRootIsDecorated(false);
    setToolTip(MainText::siteTip());
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setItemDelegate(new SiteEditDelegate(this));
    connect(this, &QTreeWidget::itemChanged, this, &SiteListView::onItemChanged);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (!toggledInRelease_) {
            emit rowClicked(indexOfTopLevelItem(item));
        }
    });
}

QString SiteListView::siteText(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(0) : QString();
}

bool SiteListView::isChecked(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void SiteListView::setChecked(int row, bool checked)
{
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item) {
        return;
    }
    const QSignalBlocker block(this);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    item->setData(0, kKnownCheckRole, checked);
}

void SiteListView::appendSite(const QString& text)
{
    auto* item = new QTreeWidgetItem({text});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
    {
        const QSignalBlocker block(this);
        addTopLevelItem(item);
    }
    setChecked(count() - 1, false);
}

// The new site is brought into view and given the focus, but not selected: a click on a selected site
// edits it, and the first click on a new one should only tick it.
void SiteListView::showNew(int row)
{
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item) {
        return;
    }
    clearSelection();
    selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
    scrollToItem(item);
}

void SiteListView::onItemChanged(QTreeWidgetItem* item)
{
    const bool checked = item->checkState(0) == Qt::Checked;
    if (item->data(0, kKnownCheckRole).toBool() == checked) {
        return; // a text change
    }
    item->setData(0, kKnownCheckRole, checked);
    toggledInRelease_ = true;
    emit checkToggled(indexOfTopLevelItem(item));
}

// A click on a check box both toggles it and delivers an item click; only the toggle counts, or a
// check mark could never be cleared with the mouse.
void SiteListView::mouseReleaseEvent(QMouseEvent* event)
{
    toggledInRelease_ = false;
    QTreeWidget::mouseReleaseEvent(event);
    toggledInRelease_ = false;
}

void SiteListView::keyPressEvent(QKeyEvent* event)
{
    const int row = indexOfTopLevelItem(currentItem());
    const int key = event->key();
    const bool start = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (row < 0 || state() == EditingState || (!start && key != Qt::Key_Delete)) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (start) {
        emit startKeyPressed(row);
    } else {
        emit deleteKeyPressed(row);
    }
}
