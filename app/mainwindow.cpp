#include "mainwindow.h"

#include "bannerpane.h"
#include "castore.h"
#include "configstore.h"
#include "historydb.h"
#include "hoverlink.h"
#include "lastcheck.h"
#include "maintexts.h"
#include "resultspanel.h"
#include "resultview.h"
#include "runrecorder.h"
#include "runtexts.h"
#include "grouptexts.h"
#include "settingspanel.h"
#include "sitegroupdialog.h"
#include "sitelist.h"
#include "sitelistview.h"
#include "statuspanels.h"
#include "textops.h"
#include "toolkit.h"
#include "webcommands.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

namespace {

template <typename W> W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

MainWindow::MainWindow(Toolkit& toolkit, ConfigStore& config, CheckRun::ProberFactory proberFactory,
                       QWidget* parent)
    : QMainWindow(parent), toolkit_(toolkit), config_(config), pending_(std::make_unique<PendingWebCommands>()),
      web_(pending_.get()), run_(store_, toolkit, std::move(proberFactory))
{
    setObjectName(QStringLiteral("frm_Main"));
    setWindowTitle(MainText::windowTitle());
    run_.setRenderer(&renderer_);
    results_ = new ResultsPanel(store_, this);
    connect(results_, &ResultsPanel::detailLinkClicked, this, [this](const QString& a) { web_->openAddress(a); });
    connect(results_, &ResultsPanel::deadInRedChanged, this, [this](bool red) { config_.saveDeadInRed(red); });

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(buildLeftColumn());
    splitter->addWidget(buildRightColumn());
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 0);
    column->addWidget(splitter, 1);
    column->addWidget(new BannerPane);
    setCentralWidget(central);

    stbar_ = new StatusPanels(store_, this);
    setStatusBar(stbar_);
    buildMenus();
    store_.setPanel(1, RunText::ready());
    connect(&run_, &CheckRun::runFinished, this, &MainWindow::onRunFinished);
    fitToScreen();
}

// Large enough that the left column needs no scroll bar and, as far as the screen allows, most of the
// screen: the room beyond the settings goes to the site list and the result list.
void MainWindow::fitToScreen()
{
    const QRect screen = this->screen()->availableGeometry();
    // Room for the title bar and borders that the window manager adds.
    const QSize room = screen.size() - QSize(16, 40);
    leftScroll_->setMinimumHeight(leftScroll_->widget()->minimumSizeHint().height());
    const QSize needed = minimumSizeHint();
    leftScroll_->setMinimumHeight(0);
    const QSize wanted(std::max(1340, screen.width() * 9 / 10), screen.height() * 9 / 10);
    resize(wanted.expandedTo(needed).boundedTo(room));
    move(screen.center() - rect().center());
}

MainWindow::~MainWindow()
{
    // The views, pickers and panels read the store: they go before the members they read.
    delete takeCentralWidget();
    delete stbar_;
}

void MainWindow::setWebCommands(WebCommands* commands)
{
    web_ = commands ? commands : pending_.get();
}

void MainWindow::setHistory(HistoryDb* history, RunRecorder* recorder)
{
    history_ = history;
    recorder_ = recorder;
    if (!history_) {
        return;
    }
    if (!history_->isOpen()) {
        toolkit_.MsgBox(MainText::historyUnavailable() + history_->error(), MsgButtons::Ok, MsgIcon::Information,
                        MainText::notice());
        return;
    }
    if (recorder_) {
        connect(recorder_, &RunRecorder::failed, this,
                [this](const QString& why) { historyFailure_ = MainText::historyUnavailable() + why; });
        connect(recorder_, &RunRecorder::keptLate, this,
                [this](const QString& why) { historyFailure_ = MainText::historyKeptLate() + why; });
        takeUpKeptCheck();
    }
}

// The newest unfinished check of a site of the list (the window could not continue another one): taken up
// paused when nobody runs it; while another program runs it, shown as such and taken up once it stops.
void MainWindow::takeUpKeptCheck()
{
    qint64 newest = 0;
    QString siteOfNewest;
    for (const QString& site : sites_->sites()) {
        const HistoryDb::Unfinished found = history_->unfinished(site);
        if (found.resumable > newest) {
            newest = found.resumable;
            siteOfNewest = site;
        }
        if (found.busyRun > busyRun_) {
            busyRun_ = found.busyRun;
            busySite_ = site;
        }
    }
    if (busyRun_ > newest) {
        store_.setPanel(1, MainText::busyElsewhere());
        connect(&busyWatch_, &QTimer::timeout, this, &MainWindow::watchBusyCheck, Qt::UniqueConnection);
        busyWatch_.start(2000);
        return;
    }
    busyRun_ = 0;
    // Named as the list names it, which is what the start command will pass.
    if (recorder_->restore(newest, siteOfNewest)) {
        // Kept at its last stop point, a check cut short still names the link it was checking.
        store_.setPanel(2, QString());
        return;
    }
    showLastCheck();
}

void MainWindow::watchBusyCheck()
{
    if (store_.panel(1) != MainText::busyElsewhere()) {
        busyWatch_.stop(); // another check started or the results were cleared: nothing to take up
        busyRun_ = 0;
        return;
    }
    const std::optional<LeaseHolder> holder = RunLease::holder(*history_, busyRun_);
    if (holder && holder->isAlive()) {
        return;
    }
    if (recorder_->restore(busyRun_, busySite_)) {
        busyWatch_.stop();
        busyRun_ = 0;
    } else if (recorder_->busyHolder().owner.isEmpty()) {
        busyWatch_.stop(); // finished meanwhile: nothing to continue
        busyRun_ = 0;
        store_.setPanel(1, RunText::ready());
        showLastCheck();
    }
}

// The last finished check of the ticked site, so that what was found is there to see and export
// again without checking anew. Only in place of nothing, or of another site's last check: never over
// the results of a run of this session or one that can be resumed.
void MainWindow::showLastCheck()
{
    // Nor while another program's check of a listed site is waited for.
    if (!history_ || !history_->isOpen() || run_.isActive() || busyRun_ != 0 ||
        (store_.full().count() > 0 && !showingLastCheck_)) {
        return;
    }
    bool ticked = false;
    const QString site = sites_->checkedSite(&ticked);
    const LastCheck check = ticked ? ReadLastCheck(*history_, site) : LastCheck();
    if (check.isEmpty()) {
        if (std::exchange(showingLastCheck_, false)) {
            store_.clearResults();
            results_->setOnlyDead(false);
        }
        return;
    }
    ShowLastCheck(store_, site, check);
    results_->setOnlyDead(true);
    showingLastCheck_ = true;
}

void MainWindow::offerToForget(const QString& site)
{
    if (history_ && history_->hasRuns(site) &&
        toolkit_.MsgBox(MainText::forgetHistory(), MsgButtons::YesNo, MsgIcon::Question, MainText::appTitle()) ==
            MsgResult::Yes) {
        history_->forgetSite(site);
    }
}

void MainWindow::showHistoryFailure()
{
    if (!historyFailure_.isEmpty()) {
        toolkit_.MsgBox(std::exchange(historyFailure_, QString()), MsgButtons::Ok, MsgIcon::Information,
                        MainText::notice());
    }
}

QWidget* MainWindow::buildLeftColumn()
{
    auto* column = new QWidget;
    auto* box = new QVBoxLayout(column);
    box->setContentsMargins(0, 0, 4, 0);
    box->setSpacing(4);
    box->addWidget(buildSiteFrame(), 1);
    frame4_ = new SettingsPanel;
    connect(frame4_, &SettingsPanel::saveRequested, this, &MainWindow::SaveSettings);
    connect(frame4_, &SettingsPanel::parallelChanged, this, [this](int n) { config_.saveParallel(n); });
    connect(frame4_, &SettingsPanel::resourcesChanged, this, [this](bool on) { config_.saveResources(on); });
    connect(frame4_, &SettingsPanel::contentCheckChanged, this, [this](bool on) { config_.saveContentCheck(on); });
    connect(frame4_, &SettingsPanel::renderModeChanged, this,
            [this](RenderMode mode) { config_.saveRenderMode(mode); });
    connect(frame4_, &SettingsPanel::timeoutRefused, this, [this] {
        toolkit_.MsgBox(MainText::timeoutRange(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
    });
    box->addWidget(frame4_);
    box->addWidget(results_->frame());
    box->addWidget(buildExportFrame());
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildInstructions(), 1);
    bottom->addWidget(buildLinks());
    box->addLayout(bottom);

    // A safety net for large fonts and small screens; the default size leaves it without a scroll bar.
    leftScroll_ = new QScrollArea;
    leftScroll_->setWidget(column);
    leftScroll_->setWidgetResizable(true);
    leftScroll_->setFrameShape(QFrame::NoFrame);
    leftScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    leftScroll_->setMinimumWidth(column->minimumSizeHint().width());
    leftScroll_->setMaximumWidth(460);
    return leftScroll_;
}

QGroupBox* MainWindow::buildSiteFrame()
{
    auto* frame = named(new QGroupBox(MainText::siteFrame()), QStringLiteral("Frame8"));
    listView11_ = new SiteListView;
    listView11_->setMinimumHeight(80);
    sites_ = new SiteList(*listView11_, toolkit_, this);
    connect(sites_, &SiteList::saveSitesRequested, this, &MainWindow::SaveSites);
    connect(sites_, &SiteList::saveSettingsRequested, this, &MainWindow::SaveSettings);
    connect(sites_, &SiteList::siteRemoved, this, &MainWindow::offerToForget);
    connect(sites_, &SiteList::tickChanged, this, &MainWindow::showLastCheck);
    connect(listView11_, &QAbstractItemView::doubleClicked, this, &MainWindow::ListView11_DblClick);
    // The keys do what the mouse does: Enter ticks the site and starts it, Delete asks and deletes it.
    connect(listView11_, &SiteListView::startKeyPressed, this, [this](int row) {
        sites_->click(row);
        Command5_Click();
    });
    connect(listView11_, &SiteListView::deleteKeyPressed, this, [this](int row) {
        sites_->click(row);
        sites_->remove();
    });

    command3_ = named(new QPushButton(MainText::add()), QStringLiteral("Command3"));
    command4_ = named(new QPushButton(MainText::remove()), QStringLiteral("Command4"));
    command5_ = named(new QPushButton(MainText::start()), QStringLiteral("Command5"));
    connect(command3_, &QPushButton::clicked, sites_, &SiteList::add);
    connect(command4_, &QPushButton::clicked, sites_, &SiteList::remove);
    connect(command5_, &QPushButton::clicked, this, &MainWindow::Command5_Click);

    checkAll_ = named(new QPushButton(GroupText::command()), QStringLiteral("cmdCheckAll"));
    connect(checkAll_, &QPushButton::clicked, this, &MainWindow::openSiteGroup);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(command3_);
    buttons->addWidget(command4_);
    buttons->addWidget(command5_);
    auto* box = new QVBoxLayout(frame);
    box->addWidget(listView11_, 1);
    box->addLayout(buttons);
    box->addWidget(checkAll_);
    return frame;
}

QGroupBox* MainWindow::buildExportFrame()
{
    frame1_ = named(new QGroupBox(MainText::exportFrame()), QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(frame1_);
    const auto button = [&](const QString& name, const QString& caption, WebCommands::Report report, int row,
                            int column, int columns) {
        auto* b = named(new QPushButton(caption), name);
        connect(b, &QPushButton::clicked, this,
                [this, report] { web_->exportReport(report, results_->selectedList()); });
        grid->addWidget(b, row, column, 1, columns);
    };
    button(QStringLiteral("Command28"), MainText::exportTxt(), WebCommands::Report::Txt, 0, 0, 1);
    button(QStringLiteral("Command21"), MainText::exportExcel(), WebCommands::Report::Excel, 0, 1, 1);
    button(QStringLiteral("Command27"), MainText::exportHtml(), WebCommands::Report::Html, 0, 2, 1);
    // A row of its own: the left column keeps its width.
    button(QStringLiteral("cmdDeadLinkFile"), MainText::exportDeadLinkFile(), WebCommands::Report::DeadLinkFile, 1, 0,
           3);
    return frame1_;
}

QGroupBox* MainWindow::buildInstructions()
{
    auto* frame = named(new QGroupBox(MainText::instructionsFrame()), QStringLiteral("Frame12"));
    auto* box = new QVBoxLayout(frame);
    box->setSpacing(0);
    box->addWidget(named(new QLabel(MainText::instruction1()), QStringLiteral("Label12")));
    box->addWidget(named(new QLabel(MainText::instruction2()), QStringLiteral("Label1")));
    box->addWidget(named(new QLabel(MainText::instruction3()), QStringLiteral("Label22")));
    box->addWidget(named(new QLabel(MainText::instruction4()), QStringLiteral("Label26")));
    return frame;
}

// The three link labels above the about button, in one column beside the instructions.
QWidget* MainWindow::buildLinks()
{
    auto* area = new QWidget;
    auto* links = new QVBoxLayout(area);
    links->setContentsMargins(4, 8, 0, 0);
    links->setSpacing(2);
    const auto link = [&](const QString& name, const QString& text, WebCommands::Page page) {
        auto* label = new HoverLinkLabel(name, text, HoverLinkLabel::Style::RedItalic);
        connect(label, &HoverLinkLabel::clicked, this, [this, page] { web_->openPage(page); });
        linkLabels_.append(label);
        links->addWidget(label);
    };
    link(QStringLiteral("Label17"), MainText::onlineCheck(), WebCommands::Page::OnlineCheck);
    link(QStringLiteral("Label8"), MainText::toolSitemap(), WebCommands::Page::Sitemap);
    link(QStringLiteral("Label9"), MainText::toolRanking(), WebCommands::Page::Ranking);
    auto* command8 = named(new QPushButton(MainText::aboutButton()), QStringLiteral("Command8"));
    connect(command8, &QPushButton::clicked, this, [this] { web_->showAbout(this); });
    links->addStretch();
    links->addWidget(command8);
    return area;
}

QWidget* MainWindow::buildRightColumn()
{
    auto* column = new QWidget;
    auto* box = new QVBoxLayout(column);
    box->setContentsMargins(4, 0, 0, 0);
    box->addWidget(results_->lists(), 1);

    auto* pickers = new QGridLayout;
    pickers->addWidget(named(new QLabel(MainText::deadPicker()), QStringLiteral("Label2")), 0, 0);
    pickers->addWidget(urlPicker(QStringLiteral("Combo2"), store_.deads()), 0, 1);
    pickers->addWidget(named(new QLabel(MainText::timeoutPicker()), QStringLiteral("Label6")), 1, 0);
    pickers->addWidget(urlPicker(QStringLiteral("Combo1"), store_.timeouts()), 1, 1);
    pickers->setColumnStretch(1, 1);
    box->addLayout(pickers);
    return column;
}

QComboBox* MainWindow::urlPicker(const QString& name, UrlList& list)
{
    auto* picker = named(new QComboBox, name);
    picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    picker->setMinimumContentsLength(20);
    // A screenful of entries, then a scroll bar. Styles that open the list over the box as a menu
    // (Fusion among them) ignore the row limit and fill the screen's height, without a scroll bar; the
    // plain drop-down list keeps both.
    picker->setMaxVisibleItems(20);
    picker->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    picker->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(&list, &UrlList::entryAdded, picker, [picker, &list](int row) {
        picker->addItem(list.entry(row).url, list.entry(row).data);
    });
    connect(&list, &UrlList::cleared, picker, &QComboBox::clear);
    connect(picker, &QComboBox::activated, this, [this, picker](int entry) { selectNodeOf(picker, entry); });
    return picker;
}

void MainWindow::selectNodeOf(QComboBox* picker, int entry)
{
    results_->fullView()->selectNode(picker->itemData(entry).toInt());
}

void MainWindow::buildMenus()
{
    QMenu* system = menuBar()->addMenu(MainText::menuSystem());
    system->setObjectName(QStringLiteral("m_system"));
    named(system->addAction(MainText::minimise(), this, &QWidget::showMinimized), QStringLiteral("m_min"));
    system->addSeparator();
    named(system->addAction(MainText::exit(), this, &QWidget::close), QStringLiteral("m_exit"));

    const auto page = [this](QMenu* menu, const QString& name, const QString& caption, WebCommands::Page p) {
        named(menu->addAction(caption, this, [this, p] { web_->openPage(p); }), name);
    };
    QMenu* about = menuBar()->addMenu(MainText::menuAbout());
    about->setObjectName(QStringLiteral("m_about"));
    named(about->addAction(MainText::info(), this, [this] { web_->showAbout(this); }), QStringLiteral("m_info"));
    page(about, QStringLiteral("m_author"), MainText::author(), WebCommands::Page::Author);
    QMenu* support = about->addMenu(MainText::support());
    support->setObjectName(QStringLiteral("m_support"));
    page(support, QStringLiteral("m_pelmar"), MainText::portal(), WebCommands::Page::Portal);
    page(support, QStringLiteral("m_market"), MainText::market(), WebCommands::Page::Market);
    page(support, QStringLiteral("m_help"), MainText::webmasterTools(), WebCommands::Page::Tools);

    QMenu* help = menuBar()->addMenu(MainText::menuHelp());
    help->setObjectName(QStringLiteral("m_setting"));
    page(help, QStringLiteral("m_olhelp"), MainText::onlineHelp(), WebCommands::Page::OnlineHelp);
    page(help, QStringLiteral("m_bug"), MainText::bug(), WebCommands::Page::Bug);
}

void MainWindow::load()
{
    const SettingsRecord record = SettingsRecord::parse(config_.loadSettingText());
    frame4_->apply(record);
    frame4_->setParallel(config_.loadParallel());
    frame4_->setResources(config_.loadResources());
    frame4_->setContentCheck(config_.loadContentCheck());
    frame4_->setRenderMode(config_.loadRenderMode());
    results_->setDeadInRed(config_.loadDeadInRed());
    if (record.checkedSite) {
        sites_->setCheckedSiteIndex(*record.checkedSite);
    }
    sites_->load(DecodeSites(config_.loadSitesText()), sites_->checkedSiteIndex());
}

void MainWindow::SaveSettings()
{
    SettingsRecord record = frame4_->record();
    record.checkedSite = sites_->checkedSiteIndex();
    config_.saveSettingText(record.format());
}

void MainWindow::SaveSites()
{
    config_.saveSitesText(EncodeSites(sites_->sites()));
}

void MainWindow::Command5_Click()
{
    if (store_.panel(1) == RunText::stopping()) {
        return; // the last stop has not been acknowledged yet
    }
    bool ticked = false;
    const QString site = sites_->checkedSite(&ticked);
    if (!ticked) {
        toolkit_.MsgBox(MainText::chooseSite(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        return;
    }
    int timeout = 0;
    if (!acceptedTimeout(&timeout)) {
        return;
    }
    if (command5_->text() == MainText::start()) {
        if (busyRun_ != 0 && store_.panel(1) == MainText::busyElsewhere() &&
            HistoryDb::siteKey(site) == HistoryDb::siteKey(busySite_)) {
            const std::optional<LeaseHolder> holder = RunLease::holder(*history_, busyRun_);
            toolkit_.MsgBox(MainText::busyElsewhereNotice(holder ? holder->describe() : QString()), MsgButtons::Ok,
                            MsgIcon::Information, MainText::notice());
            return;
        }
        // A site stored before addresses were checked may be one that no check can start from.
        if (const QString problem = SiteAddressProblem(site); !problem.isEmpty()) {
            toolkit_.MsgBox(problem, MsgButtons::Ok, MsgIcon::Information, MainText::notice());
            return;
        }
        startRun(site, timeout);
    } else {
        setRunControlsEnabled(true);
        command5_->setText(MainText::start());
        run_.stop();
    }
}

bool MainWindow::acceptedTimeout(int* timeout)
{
    if (!ParseInt(frame4_->timeoutText(), timeout) || *timeout < kMinTimeout || *timeout > kMaxTimeout) {
        toolkit_.MsgBox(MainText::timeoutRange(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        frame4_->focusTimeout();
        return false;
    }
    return true;
}

void MainWindow::openSiteGroup()
{
    int timeout = 0;
    if (run_.isActive() || !acceptedTimeout(&timeout)) {
        return;
    }
    if (sites_->sites().isEmpty()) {
        toolkit_.MsgBox(GroupText::noSites(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        return;
    }
    warnOfCertificates();
    auto* dialog = new SiteGroupDialog(
        sites_->sites(), run_, store_, toolkit_, [this, timeout] { return frame4_->checkSettings(timeout); }, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &SiteGroupDialog::runningChanged, this, [this](bool running) {
        groupRunning_ = running;
        setRunControlsEnabled(!running);
        command5_->setEnabled(!running);
        if (!running) {
            showHistoryFailure();
        }
    });
    dialog->show();
}

void MainWindow::startRun(const QString& site, int timeout)
{
    warnOfCertificates();
    if (std::exchange(showingLastCheck_, false)) {
        results_->setOnlyDead(false); // the run fills the full list from its start
    }
    setRunControlsEnabled(false);
    command5_->setText(MainText::stop());
    try {
        run_.start(site, frame4_->checkSettings(timeout));
    } catch (const std::exception&) {
        // The run keeps its results; the window must come back usable whatever went wrong.
        store_.setPanel(1, RunText::paused());
        onRunFinished();
    }
    showHistoryFailure();
    // A run that could not even read the home page found nothing: one red node says too little.
    if (const QString why = run_.homeFailure(); store_.panel(1) == RunText::ready() && !why.isEmpty()) {
        toolkit_.MsgBox(RunText::homeUnreachable(why), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
    }
}

// Once a session, when the first run starts: with the certificates the user named unreadable, every https
// link would be dead for a reason of ours.
void MainWindow::warnOfCertificates()
{
    if (certificatesWarned_) {
        return;
    }
    certificatesWarned_ = true;
    const QStringList unreadable = CaStore::Unreadable();
    if (!unreadable.isEmpty()) {
        toolkit_.MsgBox(MainText::unreadableCertificates(unreadable.join(u"、")), MsgButtons::Ok, MsgIcon::Information,
                        MainText::notice());
    }
}

void MainWindow::onRunFinished()
{
    if (groupRunning_) {
        return; // the group goes on with its next site; it gives the controls back at its end
    }
    command5_->setEnabled(true);
    command5_->setText(MainText::start());
    setRunControlsEnabled(true);
}

void MainWindow::setRunControlsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{listView11_, command4_, command3_, checkAll_,
                                                      results_->clearButton(), frame1_, frame4_}) {
        w->setEnabled(enabled);
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (run_.isActive()) {
        toolkit_.MsgBox(MainText::runningNoExit(), MsgButtons::Ok, MsgIcon::None, MainText::appTitle());
        event->ignore();
        return;
    }
    if (toolkit_.MsgBox(MainText::reallyExit(), MsgButtons::YesNo, MsgIcon::Question, MainText::appTitle()) !=
        MsgResult::Yes) {
        event->ignore();
        return;
    }
    event->accept();
}
