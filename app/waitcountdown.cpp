#include "waitcountdown.h"

#include <QLabel>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

constexpr int kTickMs = 250;

// Where the number before the last "秒" of `note` starts and how long it is; a length of 0 when
// there is none.
std::pair<qsizetype, qsizetype> SecondsIn(const QString& note)
{
    const qsizetype unit = note.lastIndexOf(u'秒');
    qsizetype start = unit;
    while (start > 0 && note.at(start - 1).isDigit()) {
        --start;
    }
    return {start, unit < 0 ? 0 : unit - start};
}

} // namespace

QString WaitNoteLeft(const QString& note, int secondsLeft)
{
    const auto [start, length] = SecondsIn(note);
    if (length == 0) {
        return note;
    }
    QString shown = note;
    return shown.replace(start, length, QString::number(secondsLeft));
}

WaitCountdown::WaitCountdown(QLabel* label) : QObject(label), label_(label)
{
    ticker_.setInterval(kTickMs);
    connect(&ticker_, &QTimer::timeout, this, &WaitCountdown::tick);
}

void WaitCountdown::show(const QString& note)
{
    note_ = note;
    label_->setVisible(!note.isEmpty());
    if (note.isEmpty()) {
        ticker_.stop();
        label_->clear();
        return;
    }
    const auto [start, length] = SecondsIn(note);
    if (length == 0) {
        ticker_.stop();
        label_->setText(note);
        return;
    }
    const int seconds = QStringView(note).mid(start, length).toInt();
    deadline_ = QDeadlineTimer(std::chrono::seconds(seconds));
    ticker_.start();
    tick();
}

void WaitCountdown::tick()
{
    // Rounded up, and never below one while the note stands: the wait ends when the run says so.
    const qint64 leftMs = deadline_.remainingTime();
    const int left = static_cast<int>(std::max<qint64>(1, (leftMs + 999) / 1000));
    label_->setText(WaitNoteLeft(note_, left));
}
