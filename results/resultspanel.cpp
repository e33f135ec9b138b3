#include "resultspanel.h"

#include "badlinkdialog.h"
#include "linkstore.h"
#include "resultmodel.h"
#include "resulttexts.h"
#include "resultview.h"
#include "statusicons.h"

#include <QCheckBox>
#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

namespace {

QLabel* legendIcon(const QString& name, int statusCode)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setPixmap(StatusIcons::pixmap(statusCode, 16));
    return label;
}

QLabel* legendText(const QString& name, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

void recolour(ResultTree& tree, bool red)
{
    for (int n = 1; n <= tree.count(); ++n) {
        if (tree.node(n)->status == StatusDead) {
            tree.setRed(n, red);
        }
    }
}

} // namespace

ResultsPanel::ResultsPanel(LinkStore& store, QObject* parent) : QObject(parent), store_(store)
{
    stack_ = new QStackedWidget;
    full_ = new ResultView(QStringLiteral("TreeView1"), new ResultTreeModel(store.full(), stack_));
    dead_ = new ResultView(QStringLiteral("TreeView2"), new ResultTreeModel(store.dead(), stack_));
    stack_->addWidget(full_);
    stack_->addWidget(dead_);
    connect(full_, &ResultView::nodeClicked, this, [this](int node) { showDetail(ResultList::Full, node); });
    connect(dead_, &ResultView::nodeClicked, this, [this](int node) { showDetail(ResultList::Dead, node); });
    frame_ = buildFrame();
    keepDeadRed(store.full());
    keepDeadRed(store.dead());
    connect(&store, &LinkStore::changeChanged, this, [this] {
        const QStringList& urls = store_.change().newDead;
        const QSet<QString> newDead(urls.begin(), urls.end());
        fullModel()->setNewDead(newDead);
        deadModel()->setNewDead(newDead);
    });
}

// While "dead links in red" is ticked, a link found dead later turns red as it is marked.
void ResultsPanel::keepDeadRed(ResultTree& tree)
{
    const auto paint = [this, &tree](int n) {
        const ResultNode* node = tree.node(n);
        if (check12_->isChecked() && node && node->status == StatusDead) {
            tree.setRed(n, true);
        }
    };
    connect(&tree, &ResultTree::nodeAdded, this, paint);
    connect(&tree, &ResultTree::nodeChanged, this, paint);
}

// The window owns the widgets once it has placed them.
ResultsPanel::~ResultsPanel() = default;

QGroupBox* ResultsPanel::buildFrame()
{
    auto* frame = new QGroupBox(ResultText::frame());
    frame->setObjectName(QStringLiteral("frame28"));
    command6_ = new QPushButton(ResultText::clearResults());
    command6_->setObjectName(QStringLiteral("command6"));
    check11_ = new QCheckBox(ResultText::onlyDead());
    check11_->setObjectName(QStringLiteral("Check11"));
    check12_ = new QCheckBox(ResultText::deadInRed());
    check12_->setObjectName(QStringLiteral("Check12"));
    connect(command6_, &QPushButton::clicked, this, &ResultsPanel::Command6_Click);
    connect(check11_, &QCheckBox::clicked, this, &ResultsPanel::Check11_Click);
    connect(check12_, &QCheckBox::clicked, this, &ResultsPanel::Check12_Click);

    auto* options = new QHBoxLayout;
    options->addWidget(check11_);
    options->addWidget(check12_);
    options->addStretch();
    options->addWidget(command6_);
    auto* legend = new QHBoxLayout;
    legend->addWidget(legendIcon(QStringLiteral("Image2"), StatusValid));
    legend->addWidget(legendText(QStringLiteral("Label4"), ResultText::legendValid()));
    legend->addSpacing(8);
    legend->addWidget(legendIcon(QStringLiteral("Image3"), StatusDead));
    legend->addWidget(legendText(QStringLiteral("Label27"), ResultText::legendDead()));
    legend->addSpacing(8);
    legend->addWidget(legendIcon(QStringLiteral("Image1"), StatusTimedOut));
    legend->addWidget(legendText(QStringLiteral("Label7"), ResultText::legendTimedOut()));
    legend->addStretch();
    auto* rows = new QVBoxLayout(frame);
    rows->setSpacing(4);
    rows->addLayout(options);
    rows->addLayout(legend);
    return frame;
}

QWidget* ResultsPanel::lists() const
{
    return stack_;
}

ResultTreeModel* ResultsPanel::fullModel() const
{
    return full_->resultModel();
}

ResultTreeModel* ResultsPanel::deadModel() const
{
    return dead_->resultModel();
}

const ResultTree& ResultsPanel::selectedList() const
{
    return check11_->isChecked() ? store_.dead() : store_.full();
}

void ResultsPanel::showDetail(ResultList kind, int node)
{
    const ResultTree& list = kind == ResultList::Full ? store_.full() : store_.dead();
    // No owner: the window is loaded afresh for every click and closed with its own close box.
    BadLinkDialog dialog(DescribeNode(list, node, kind));
    connect(&dialog, &BadLinkDialog::linkClicked, this, &ResultsPanel::detailLinkClicked);
    dialog.exec();
}

void ResultsPanel::Command6_Click()
{
    store_.clearResults();
}

void ResultsPanel::Check11_Click()
{
    stack_->setCurrentWidget(check11_->isChecked() ? static_cast<QWidget*>(dead_) : full_);
}

void ResultsPanel::Check12_Click()
{
    const bool red = check12_->isChecked();
    recolour(store_.full(), red);
    recolour(store_.dead(), red);
    emit deadInRedChanged(red);
}

void ResultsPanel::setOnlyDead(bool onlyDead)
{
    check11_->setChecked(onlyDead);
    Check11_Click();
}

void ResultsPanel::setDeadInRed(bool red)
{
    check12_->setChecked(red);
    recolour(store_.full(), red);
    recolour(store_.dead(), red);
}
