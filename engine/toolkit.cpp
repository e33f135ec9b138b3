#include "toolkit.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTime>

void EventTurns::turn()
{
    if (since_.isValid() && since_.nsecsElapsed() < intervalNs_) {
        return;
    }
    QCoreApplication::processEvents();
    since_.start();
}

void CoreToolkit::DoEvents()
{
    events_.turn();
}

double CoreToolkit::Timer() const
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

MsgResult CoreToolkit::MsgBox(const QString&, MsgButtons buttons, MsgIcon, const QString&)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::OkCancel:
        return MsgResult::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgResult::No;
    }
    return MsgResult::Cancel;
}

QString CoreToolkit::InputBox(const QString&, const QString&, const QString&)
{
    return {};
}

QString CoreToolkit::SaveFileName(const QString&, const QString&, const QString&, const QString&)
{
    return {};
}

void CoreToolkit::OpenUrl(const QString& address, const std::function<void()>& failed)
{
    // No desktop session to ask in a headless run; the desktop program overrides this.
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {address}) && failed) {
        failed();
    }
}

void CoreToolkit::RunCommand(const QString& program, const QStringList& arguments)
{
    QProcess::startDetached(program, arguments);
}

void CoreToolkit::SetBusy(bool) {}
