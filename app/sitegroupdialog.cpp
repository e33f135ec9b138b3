#include "sitegroupdialog.h"

#include "exportcommands.h"
#include "grouptexts.h"
#include "linkstore.h"
#include "maintexts.h"
#include "runtexts.h"
#include "textreport.h"
#include "toolkit.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <exception>

using namespace Qt::StringLiterals;

namespace {

QString count(int n)
{
    return n < 0 ? QString() : QString::number(n);
}

} // namespace

SiteGroupDialog::SiteGroupDialog(const QStringList& sites, CheckRun& run, LinkStore& store, Toolkit& toolkit,
                                 SettingsSource settings, QWidget* parent)
    : QDialog(parent), run_(run), store_(store), toolkit_(toolkit), settings_(std::move(settings))
{
    setObjectName(u"frm_group"_s);
    setWindowTitle(GroupText::title());
    table_ = new QTableWidget(int(sites.size()), int(GroupText::columns().size()));
    table_->setObjectName(u"tblSites"_s);
    table_->setHorizontalHeaderLabels(GroupText::columns());
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    // The site and its state are the long texts; the numbers take what they need.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(6, QHeaderView::Stretch);
    for (int row = 0; row < sites.size(); ++row) {
        SiteOutcome o;
        o.site = sites[row];
        outcomes_ << o;
        reports_ << QString();
        auto* site = new QTableWidgetItem(sites[row]);
        site->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        site->setCheckState(Qt::Checked);
        table_->setItem(row, 0, site);
        showRow(row);
    }

    startButton_ = new QPushButton(GroupText::start());
    startButton_->setObjectName(u"cmdGroupStart"_s);
    overviewButton_ = new QPushButton(GroupText::overview());
    overviewButton_->setObjectName(u"cmdOverview"_s);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(startButton_, QDialogButtonBox::ActionRole);
    buttons->addButton(overviewButton_, QDialogButtonBox::ActionRole);
    buttons->addButton(GroupText::close(), QDialogButtonBox::RejectRole);
    connect(startButton_, &QPushButton::clicked, this, [this] { running_ ? stopGroup() : startGroup(); });
    connect(overviewButton_, &QPushButton::clicked, this, &SiteGroupDialog::writeOverview);
    connect(buttons, &QDialogButtonBox::rejected, this, &SiteGroupDialog::reject);

    auto* box = new QVBoxLayout(this);
    box->addWidget(new QLabel(GroupText::hint()));
    box->addWidget(table_, 1);
    box->addWidget(buttons);
    resize(860, 420);
}

void SiteGroupDialog::showRow(int row)
{
    const SiteOutcome& o = outcomes_[row];
    const bool ran = o.state != SiteOutcome::State::NotChecked;
    const QStringList cells{ran ? QString::number(o.links) : QString(),
                            ran ? QString::number(o.dead) : QString(),
                            count(o.newDead),
                            count(o.fixed),
                            ran ? QString::number(double(o.elapsedMs) / 1000.0, 'f', 1) + u" 秒"_s : QString(),
                            ran ? OverviewStateText(o) : QString()};
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setToolTip(cells[c]);
        table_->setItem(row, c + 1, item);
    }
}

void SiteGroupDialog::startGroup()
{
    QList<int> rows;
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (table_->item(row, 0)->checkState() == Qt::Checked) {
            rows << row;
        }
    }
    if (rows.isEmpty()) {
        toolkit_.MsgBox(GroupText::noneTicked(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        return;
    }
    running_ = true;
    stopAsked_ = false;
    startButton_->setText(GroupText::stop());
    overviewButton_->setEnabled(false);
    table_->setEnabled(false);
    emit runningChanged(true);
    for (int row : rows) {
        table_->setItem(row, 6, new QTableWidgetItem(GroupText::waiting()));
    }
    for (int row : rows) {
        if (stopAsked_) {
            break;
        }
        checkRow(row);
    }
    running_ = false;
    startButton_->setText(GroupText::start());
    overviewButton_->setEnabled(true);
    table_->setEnabled(true);
    for (int row : rows) {
        showRow(row);
    }
    emit runningChanged(false);
}

// One site with the window's run, which returns once the site is checked or stopped.
void SiteGroupDialog::checkRow(int row)
{
    table_->setItem(row, 6, new QTableWidgetItem(GroupText::checking()));
    QElapsedTimer clock;
    clock.start();
    try {
        run_.start(outcomes_[row].site, settings_());
    } catch (const std::exception& e) {
        // One site's failure is its row; the next site is checked all the same.
        outcomes_[row].state = SiteOutcome::State::Failed;
        outcomes_[row].reason = QString::fromLocal8Bit(e.what());
        store_.setPanel(1, RunText::ready());
        showRow(row);
        return;
    }
    outcomes_[row] = OutcomeOf(store_, outcomes_[row].site, clock.elapsed());
    const QString report = reportDir_.filePath(QString::number(row + 1) + u".html"_s);
    reports_[row] = WriteTextReport(store_.full(), report, ReportHtml, store_.change()).ok ? report : QString();
    showRow(row);
}

void SiteGroupDialog::stopGroup()
{
    stopAsked_ = true;
    run_.stop();
}

void SiteGroupDialog::writeOverview()
{
    QList<SiteOutcome> checked;
    QList<int> rows;
    for (int row = 0; row < outcomes_.size(); ++row) {
        if (outcomes_[row].state != SiteOutcome::State::NotChecked) {
            checked << outcomes_[row];
            rows << row;
        }
    }
    if (checked.isEmpty()) {
        toolkit_.MsgBox(GroupText::noneChecked(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        return;
    }
    const QString file =
        toolkit_.SaveFileName(GroupText::saveTitle(), GroupText::saveFilter(), u"html"_s, GroupText::defaultName());
    if (file.isEmpty()) {
        return;
    }
    for (int i = 0; i < checked.size(); ++i) {
        const QString beside = SiteReportName(file, int(i + 1), checked[i].site);
        QFile::remove(beside);
        if (!reports_[rows[i]].isEmpty() && QFile::copy(reports_[rows[i]], beside)) {
            checked[i].report = QFileInfo(beside).fileName();
        }
    }
    const WriteResult r = WriteOverview(checked, file);
    if (!r.ok) {
        toolkit_.MsgBox(GroupText::notWritten(r.error), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
    } else if (toolkit_.MsgBox(GroupText::written(), MsgButtons::YesNo, MsgIcon::Question, MainText::notice()) ==
               MsgResult::Yes) {
        toolkit_.OpenUrl(QUrl::fromLocalFile(file).toString(), NoProgramNotice(toolkit_, file));
    }
}

void SiteGroupDialog::reject()
{
    if (running_) {
        toolkit_.MsgBox(GroupText::runningNoClose(), MsgButtons::Ok, MsgIcon::None, MainText::appTitle());
        return;
    }
    QDialog::reject();
}
