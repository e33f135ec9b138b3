#pragma once

#include "browserrenderer.h"
#include "checkrun.h"
#include "linkstore.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class BannerPane;
class ConfigStore;
class HistoryDb;
class RunRecorder;
class HoverLinkLabel;
class QComboBox;
class QGroupBox;
class QPushButton;
class QScrollArea;
class ResultsPanel;
class SettingsPanel;
class SiteList;
class SiteListView;
class StatusPanels;
class Toolkit;
class UrlList;
class WebCommands;

// The main window: sites, check settings, results, export and instructions on the left, the result
// list on the right with the dead and timed-out URL pickers under it, the banner and the status bar at
// the bottom. It owns the link store and the check run, which runs inside the start command's click.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(Toolkit& toolkit, ConfigStore& config, CheckRun::ProberFactory proberFactory,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: the stored settings and sites are applied to the controls; nothing is written back
    // except the default record on a first start.
    void load();
    // Hands over the web-page, about and export commands (kept by the caller).
    void setWebCommands(WebCommands* commands);
    // Hands over the kept checks (kept by the caller; the recorder records this window's run). A check
    // left unfinished when the program last closed is taken up again, paused where it stood, so the
    // start command continues it as it would have in that session.
    void setHistory(HistoryDb* history, RunRecorder* recorder);

    LinkStore& store() { return store_; }
    CheckRun& run() { return run_; }
    ResultsPanel& results() { return *results_; }
    SiteList& siteList() { return *sites_; }

    void Command5_Click();
    // "检测全部网站": the sites of the list one after another, in a dialog of their own.
    void openSiteGroup();
    void ListView11_DblClick() { Command5_Click(); }
    void SaveSettings();
    void SaveSites();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildLeftColumn();
    QWidget* buildRightColumn();
    QGroupBox* buildSiteFrame();
    QGroupBox* buildExportFrame();
    QGroupBox* buildInstructions();
    QWidget* buildLinks();
    void buildMenus();
    void fitToScreen();
    QComboBox* urlPicker(const QString& name, UrlList& list);
    void selectNodeOf(QComboBox* picker, int entry);
    void setRunControlsEnabled(bool enabled);
    void onRunFinished();
    void startRun(const QString& site, int timeout);
    // The timeout typed in the settings, when it is in range; otherwise says so and returns false.
    bool acceptedTimeout(int* timeout);
    void takeUpKeptCheck();
    void watchBusyCheck();
    void offerToForget(const QString& site);
    void showHistoryFailure();
    void showLastCheck();
    void warnOfCertificates();

    Toolkit& toolkit_;
    ConfigStore& config_;
    std::unique_ptr<WebCommands> pending_;
    WebCommands* web_;
    HistoryDb* history_ = nullptr;
    RunRecorder* recorder_ = nullptr;
    QString historyFailure_; // shown once the run that met it has returned
    // The kept check another program runs, taken up when it stops while panel 1 still says so.
    qint64 busyRun_ = 0;
    QString busySite_;
    QTimer busyWatch_;
    LinkStore store_;
    // Started when the first page built by scripts is drawn, kept for the runs that follow.
    BrowserRenderer renderer_;
    CheckRun run_;

    ResultsPanel* results_;
    SiteListView* listView11_ = nullptr;
    SiteList* sites_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;
    QPushButton* checkAll_ = nullptr;
    SettingsPanel* frame4_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    StatusPanels* stbar_ = nullptr;
    QScrollArea* leftScroll_ = nullptr;
    QList<HoverLinkLabel*> linkLabels_;
    bool certificatesWarned_ = false;
    bool groupRunning_ = false; // the site group dialog is checking its sites with run_
    bool showingLastCheck_ = false; // the store holds the last finished check read from the history
};
