#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QLabel;

// Shows the note of a server that asked the run to wait, counting its seconds down. The run tells a
// wait when it begins and again only when it changes, so the seconds left are counted here.
class WaitCountdown : public QObject
{
public:
    explicit WaitCountdown(QLabel* label);

    // A new note, such as "服务器要求稍候…5秒"; empty when the run waits no more.
    void show(const QString& note);

private:
    void tick();

    QLabel* label_;
    QString note_;
    QDeadlineTimer deadline_;
    QTimer ticker_;
};

// `note` with the seconds it names (the number before its last "秒") replaced by `secondsLeft`; as it
// is when it names none.
QString WaitNoteLeft(const QString& note, int secondsLeft);
