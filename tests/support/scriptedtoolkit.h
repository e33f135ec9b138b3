#pragma once

#include "toolkit.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

// A toolkit for tests: answers dialogs from queues, records what was shown, and runs scripted actions
// at chosen event yields (for example "stop the run at the 5th yield"), so tests drive nested
// handlers without sleeps.
class ScriptedToolkit : public Toolkit
{
public:
    struct Shown
    {
        QString text;
        MsgButtons buttons;
        MsgIcon icon;
        QString title;
    };

    // Runs `action` during the `n`th call of DoEvents (counting from 1).
    void atYield(int n, std::function<void()> action) { actions_[n] = std::move(action); }
    // Runs `action` during every call of DoEvents from now on (after any one-off action).
    void onEveryYield(std::function<void()> action) { every_ = std::move(action); }
    int yields() const { return yields_; }
    // Also process Qt events at every yield (needed while network replies are delivered).
    void setProcessEvents(bool on) { processEvents_ = on; }

    void queueAnswer(MsgResult r) { answers_.append(r); }
    void queueInput(const QString& text) { inputs_.append(text); }
    void queueSaveName(const QString& path) { saveNames_.append(path); }
    void setTime(double seconds) { time_ = seconds; }

    const QList<Shown>& messages() const { return messages_; }
    const QStringList& opened() const { return opened_; }
    const QList<QStringList>& commands() const { return commands_; }
    int busyChanges() const { return busyChanges_; }
    bool busy() const { return busy_; }

    void DoEvents() override;
    double Timer() const override { return time_; }
    MsgResult MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString SaveFileName(const QString& title, const QString& filter, const QString& defaultExt,
                         const QString& defaultName) override;
    // Every address is taken, unless no program opens anything (setOpenFails).
    void OpenUrl(const QString& address, const std::function<void()>& failed) override
    {
        opened_.append(address);
        if (openFails_ && failed) {
            failed();
        }
    }
    void setOpenFails(bool fails) { openFails_ = fails; }
    void RunCommand(const QString& program, const QStringList& arguments) override;
    void SetBusy(bool busy) override;

    QString lastSaveTitle, lastSaveFilter, lastSaveDefaultExt, lastSaveDefaultName;
    QString lastInputPrompt, lastInputTitle;

private:
    std::map<int, std::function<void()>> actions_;
    std::function<void()> every_;
    int yields_ = 0;
    bool processEvents_ = true;
    QList<MsgResult> answers_;
    QStringList inputs_;
    QStringList saveNames_;
    double time_ = 0;
    QList<Shown> messages_;
    QStringList opened_;
    bool openFails_ = false;
    QList<QStringList> commands_;
    int busyChanges_ = 0;
    bool busy_ = false;
};
