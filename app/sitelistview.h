#pragma once

#include <QTreeWidget>

#include <functional>

// The site list control: one column of site URLs with a check box each, edited in place by a click
// on the selected item. It tells apart a toggle of a check box from a plain click on an item, and asks
// before an in-place edit is taken over.
class SiteListView : public QTreeWidget
{
    Q_OBJECT
public:
    // Decides on an edited text: true takes it over, false keeps the old text.
    using EditJudge = std::function<bool(int row, const QString& newText)>;

    explicit SiteListView(QWidget* parent = nullptr);

    void setEditJudge(EditJudge judge) { judge_ = std::move(judge); }
    bool judgeEdit(int row, const QString& newText) const { return !judge_ || judge_(row, newText); }

    int count() const { return topLevelItemCount(); }
    QString siteText(int row) const;
    bool isChecked(int row) const;
    // Sets a check mark without reporting it as the user's toggle.
    void setChecked(int row, bool checked);
    void appendSite(const QString& text);
    // Brings a newly added site into view, with the focus but without selecting it.
    void showNew(int row);

signals:
    // The user toggled the check box of `row`.
    void checkToggled(int row);
    // The user clicked `row` elsewhere than on its check box.
    void rowClicked(int row);
    // Enter or Return on `row`, outside an edit.
    void startKeyPressed(int row);
    // Delete on `row`.
    void deleteKeyPressed(int row);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onItemChanged(QTreeWidgetItem* item);

    EditJudge judge_;
    bool toggledInRelease_ = false;
};
