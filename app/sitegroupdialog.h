#pragma once

#include "checkrun.h"
#include "overviewreport.h"

#include <QDialog>
#include <QTemporaryDir>

#include <functional>

class LinkStore;
class QPushButton;
class QTableWidget;
class Toolkit;

// "检测全部网站": checks the ticked sites of the list one after another with the window's own check run,
// so each shows in the result trees while it runs and is kept and compared as a check started by hand;
// a table gets a row's results as each finishes, and "生成总览" writes the overview with every site's
// Html report beside it.
class SiteGroupDialog : public QDialog
{
    Q_OBJECT
public:
    using SettingsSource = std::function<CheckSettings()>;

    SiteGroupDialog(const QStringList& sites, CheckRun& run, LinkStore& store, Toolkit& toolkit,
                    SettingsSource settings, QWidget* parent = nullptr);

    const QList<SiteOutcome>& outcomes() const { return outcomes_; }
    // Start half and stop half of the dialog's start/stop command.
    void startGroup();
    void stopGroup();
    // Asks for a file name and writes the overview of the sites checked so far.
    void writeOverview();

signals:
    // The group started (true) or ended (false): the window keeps its own run controls off meanwhile.
    void runningChanged(bool running);

protected:
    void reject() override;

private:
    void showRow(int row);
    void checkRow(int row);

    CheckRun& run_;
    LinkStore& store_;
    Toolkit& toolkit_;
    SettingsSource settings_;
    QList<SiteOutcome> outcomes_;
    QStringList reports_; // each site's Html report in the temporary folder, empty until it is written
    QTemporaryDir reportDir_;
    QTableWidget* table_;
    QPushButton* startButton_;
    QPushButton* overviewButton_;
    bool running_ = false;
    bool stopAsked_ = false;
};
