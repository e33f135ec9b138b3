#pragma once

#include <QStatusBar>
#include <QTimer>

class LinkStore;
class QLabel;
class QProgressBar;

// The status bar: the five panels of the link store, and beside them, while a run goes on, a
// progress bar of links tested out of links parsed (the numbers of panels 3 and 4, shown together with
// them) and the countdown of a server's wait.
class StatusPanels : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusPanels(LinkStore& store, QWidget* parent = nullptr);

    QLabel* panelLabel(int number) const;
    QLabel* changeNote() const { return changeNote_; }
    QProgressBar* progress() const { return progress_; }

private:
    void showPanel(int number, const QString& text);
    void refresh();
    void updateProgress();

    LinkStore& store_;
    QLabel* panels_[5] = {};
    QProgressBar* progress_;
    QLabel* waitNote_; // a server asked the run to wait; hidden otherwise
    QLabel* renderedNote_; // pages of the run drawn by the browser; hidden while there are none
    QLabel* changeNote_; // what the last finished check changed; hidden when it had nothing to compare with
    QTimer refreshTimer_;
};

// The number inside a counter text such as "累计已检测链接：12个"; 0 when there is none.
qint64 CounterValue(const QString& panelText);
