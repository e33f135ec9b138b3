#include "statuspanels.h"

#include "linkstore.h"
#include "maintexts.h"
#include "runtexts.h"
#include "waitcountdown.h"

#include <QLabel>
#include <QProgressBar>

namespace {

constexpr int kRefreshMs = 100;

// Links tested out of links parsed, as panels 3 and 4 count them. Its own "%v/%m" text would repaint
// the bar at once for every link; this text is painted with the rest of the window instead.
class CountBar : public QProgressBar
{
public:
    CountBar()
    {
        setFormat(QString());
        setTextVisible(true);
    }
    QString text() const override { return QString::number(value()) + u'/' + QString::number(maximum()); }
};

} // namespace

qint64 CounterValue(const QString& panelText)
{
    qint64 value = 0;
    bool seen = false;
    for (QChar c : panelText) {
        if (c.isDigit()) {
            value = value * 10 + c.digitValue();
            seen = true;
        } else if (seen) {
            break;
        }
    }
    return value;
}

StatusPanels::StatusPanels(LinkStore& store, QWidget* parent) : QStatusBar(parent), store_(store)
{
    setObjectName(QStringLiteral("stbar"));
    setSizeGripEnabled(true);
    const int stretches[5] = {1, 4, 2, 2, 2};
    for (int i = 0; i < 5; ++i) {
        panels_[i] = new QLabel(store.panel(i + 1));
        panels_[i]->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        panels_[i]->setFrameShape(QFrame::StyledPanel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        panels_[i]->setMinimumWidth(60);
        addWidget(panels_[i], stretches[i]);
    }
    progress_ = new CountBar;
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setMaximumWidth(180);
    progress_->hide();
    waitNote_ = new QLabel;
    waitNote_->setObjectName(QStringLiteral("waitNote"));
    waitNote_->hide();
    changeNote_ = new QLabel;
    changeNote_->setObjectName(QStringLiteral("changeNote"));
    changeNote_->hide();
    renderedNote_ = new QLabel;
    renderedNote_->setObjectName(QStringLiteral("renderedNote"));
    renderedNote_->hide();
    connect(&store, &LinkStore::renderedChanged, this, [this](int count) {
        renderedNote_->setText(RunText::renderedPages(count));
        renderedNote_->setVisible(count > 0);
    });
    addPermanentWidget(changeNote_);
    addPermanentWidget(renderedNote_);
    addPermanentWidget(waitNote_);
    connect(&store, &LinkStore::changeChanged, this, [this] {
        const RunChange& change = store_.change();
        changeNote_->setText(change.isEmpty() ? QString()
                                              : MainText::changeNote(change.newDead.size(), change.fixed.size()));
        changeNote_->setVisible(!change.isEmpty());
    });
    addPermanentWidget(progress_);
    auto* countdown = new WaitCountdown(waitNote_);
    connect(&store, &LinkStore::waitNoteChanged, countdown, &WaitCountdown::show);
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &StatusPanels::refresh);
    connect(&store, &LinkStore::panelChanged, this, &StatusPanels::showPanel);
}

QLabel* StatusPanels::panelLabel(int number) const
{
    return number >= 1 && number <= 5 ? panels_[number - 1] : nullptr;
}

// The state shows at once. The counters change for every link, hundreds of times a second: they are
// shown a few times a second, all together with the bar, so that what is on screen always agrees.
void StatusPanels::showPanel(int number, const QString& text)
{
    if (number == 1) {
        panels_[0]->setText(text);
        refresh();
    } else if (!refreshTimer_.isActive()) {
        refreshTimer_.start();
    }
}

void StatusPanels::refresh()
{
    refreshTimer_.stop();
    for (int number = 2; number <= 5; ++number) {
        panels_[number - 1]->setText(store_.panel(number));
    }
    updateProgress();
}

void StatusPanels::updateProgress()
{
    const QString state = store_.panel(1);
    const bool running = state == RunText::inProgress() || state == RunText::stopping();
    progress_->setVisible(running);
    if (!running) {
        return;
    }
    const qint64 tested = CounterValue(store_.panel(3));
    const qint64 parsed = qMax(CounterValue(store_.panel(4)), tested);
    progress_->setRange(0, static_cast<int>(parsed));
    progress_->setValue(static_cast<int>(tested));
    progress_->update();
}
