#pragma once

#include "linkdetail.h"

#include <QObject>

class LinkStore;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QStackedWidget;
class QWidget;
class ResultTree;
class ResultTreeModel;
class ResultView;

// The results frame and the two result lists: clear results, "only dead links", "dead links in red",
// the legend, and the detail window of a clicked node. The lists and the frame are separate widgets
// so the window can place them apart.
class ResultsPanel : public QObject
{
    Q_OBJECT
public:
    explicit ResultsPanel(LinkStore& store, QObject* parent = nullptr);
    ~ResultsPanel() override;

    QGroupBox* frame() const { return frame_; }  // frame28, for the window's layout
    QWidget* lists() const;                      // TreeView1 and TreeView2, one on show
    ResultView* fullView() const { return full_; }
    ResultView* deadView() const { return dead_; }
    ResultTreeModel* fullModel() const;
    ResultTreeModel* deadModel() const;
    QPushButton* clearButton() const { return command6_; }

    // The list the reports take: the dead-link list while only dead links are shown.
    const ResultTree& selectedList() const;

    void showDetail(ResultList kind, int node);  // TreeView1_NodeClick / TreeView2_NodeClick
    void Command6_Click();
    void Check11_Click();
    void Check12_Click();
    // Shows the dead-link list (true) or the full list, as a click on "only dead links" would.
    void setOnlyDead(bool onlyDead);
    // The tick as it was left last time, applied without telling anyone to store it again.
    void setDeadInRed(bool red);

signals:
    // A link of the detail window was clicked.
    void detailLinkClicked(const QString& address);
    // The user ticked or cleared "dead links in red".
    void deadInRedChanged(bool red);

private:
    QGroupBox* buildFrame();
    void keepDeadRed(ResultTree& tree);

    LinkStore& store_;
    QStackedWidget* stack_;
    ResultView* full_;
    ResultView* dead_;
    QGroupBox* frame_;
    QPushButton* command6_ = nullptr;
    QCheckBox* check11_ = nullptr;
    QCheckBox* check12_ = nullptr;
};
