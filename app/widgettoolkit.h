#pragma once

#include "toolkit.h"

class QCoreApplication;

// Qt's own texts (standard buttons, the file dialog) in Chinese, from Qt's translations of the system.
// False when they are not installed: those texts then stay English.
bool InstallQtChineseTexts(QCoreApplication& app);

// The toolkit of the desktop program: Qt's dialogs, event loop, desktop services and pointers.
class WidgetToolkit : public Toolkit
{
public:
    void DoEvents() override;
    double Timer() const override;
    MsgResult MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString SaveFileName(const QString& title, const QString& filter, const QString& defaultExt,
                         const QString& defaultName) override;
    void OpenUrl(const QString& address, const std::function<void()>& failed) override;
    void RunCommand(const QString& program, const QStringList& arguments) override;
    void SetBusy(bool busy) override;

private:
    bool busy_ = false;
    // Handling the window's events (and repainting it) after every link would cost more than the checking
    // itself on a fast site; every 15 ms is as responsive to the user.
    EventTurns events_{15'000'000};
};
