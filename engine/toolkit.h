#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

// The windowing operations the program relies on, behind one small interface so that the engine
// runs headless and tests can answer dialogs from a script.

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Question, Critical };
enum class MsgResult { Ok, Cancel, Yes, No };

class Toolkit
{
public:
    virtual ~Toolkit() = default;

    // Processes the pending user-interface events and returns.
    virtual void DoEvents() = 0;
    // Seconds since midnight, with fractions.
    virtual double Timer() const = 0;

    virtual MsgResult MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) = 0;
    // Returns the text entered (an empty, not null, text for an empty entry), or a null text when the
    // user cancels.
    virtual QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // Returns the chosen path, or the empty text when the user cancels. `defaultName` is the file name the
    // dialog proposes (empty: none).
    virtual QString SaveFileName(const QString& title, const QString& filter, const QString& defaultExt,
                                 const QString& defaultName) = 0;
    // Opens a web address or a document in the desktop's default program. `failed`, when given, is
    // called (now or once the desktop has said so) when no program could open it.
    virtual void OpenUrl(const QString& address, const std::function<void()>& failed) = 0;
    // Starts a program without waiting for it.
    virtual void RunCommand(const QString& program, const QStringList& arguments) = 0;
    // The busy (hourglass) pointer for the whole screen, or the default pointer again.
    virtual void SetBusy(bool busy) = 0;
};

// Turns the event loop at most once an interval: a run yields after every link and probe, and each turn
// looks at every socket (and, in the window, repaints it). What is left waits for the next turn or for
// the next wait for an answer.
class EventTurns
{
public:
    explicit EventTurns(qint64 intervalNs) : intervalNs_(intervalNs) {}
    void turn();

private:
    qint64 intervalNs_;
    QElapsedTimer since_;
};

// Headless implementation: events of the Qt event loop, the wall clock, no dialogs (every question is
// answered with its negative button, input and file dialogs come back cancelled).
class CoreToolkit : public Toolkit
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
    EventTurns events_{1'000'000};
};
