#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl-C into a Qt signal delivered by the event loop (through a self-pipe), so the run can be
// stopped at its next stop point. A second Ctrl-C ends the program at once.
class Interrupt : public QObject
{
    Q_OBJECT
public:
    explicit Interrupt(QObject* parent = nullptr);
    ~Interrupt() override;

signals:
    void interrupted();

private:
    QSocketNotifier* notifier_ = nullptr;
};
