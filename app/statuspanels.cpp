#include "statuspanels.h"

#include "linkstore.h"
#include "maintexts.h"
#include "runtexts.h"

#include <QLabel>
#include <QProgressBar>

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
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setMaximumWidth(180);
    progress_->setFormat(QStringLiteral("%v/%m"));
    progress_->hide();
    waitNote_ = new QLabel;
    waitNote_->setObjectName(QStringLiteral("waitNote"));
    waitNote_->hide();
    changeNote_ = new QLabel;
    changeNote_->setObjectName(QStringLiteral("changeNote"));
    changeNote_->hide();
    addPermanentWidget(changeNote_);
    addPermanentWidget(waitNote_);
    connect(&store, &LinkStore::changeChanged, this, [this] {
        const RunChange& change = store_.change();
        changeNote_->setText(change.isEmpty() ? QString()
                                              : MainText::changeNote(change.newDead.size(), change.fixed.size()));
        changeNote_->setVisible(!change.isEmpty());
    });
    addPermanentWidget(progress_);
    connect(&store, &LinkStore::waitNoteChanged, this, [this](const QString& text) {
        waitNote_->setText(text);
        waitNote_->setVisible(!text.isEmpty());
    });

    progressTimer_.setSingleShot(true);
    progressTimer_.setInterval(200);
    connect(&progressTimer_, &QTimer::timeout, this, &StatusPanels::updateProgress);
    connect(&store, &LinkStore::panelChanged, this, &StatusPanels::showPanel);
}

QLabel* StatusPanels::panelLabel(int number) const
{
    return number >= 1 && number <= 5 ? panels_[number - 1] : nullptr;
}

void StatusPanels::showPanel(int number, const QString& text)
{
    if (QLabel* label = panelLabel(number)) {
        label->setText(text);
    }
    if (number == 1) {
        updateProgress();
    } else if (!progressTimer_.isActive()) {
        progressTimer_.start();
    }
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
    const qint64 parsed = qMax<qint64>(store_.full().count(), tested);
    progress_->setRange(0, static_cast<int>(qMax<qint64>(parsed, 1)));
    progress_->setValue(static_cast<int>(tested));
}
