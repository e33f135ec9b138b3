#include "scriptedtoolkit.h"

#include <QCoreApplication>

void ScriptedToolkit::DoEvents()
{
    ++yields_;
    if (processEvents_) {
        QCoreApplication::processEvents();
    }
    const auto it = actions_.find(yields_);
    if (it != actions_.end()) {
        const std::function<void()> action = std::move(it->second);
        actions_.erase(it);
        action();
    }
    if (every_) {
        every_();
    }
}

MsgResult ScriptedToolkit::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title)
{
    messages_.append({text, buttons, icon, title});
    if (!answers_.isEmpty()) {
        return answers_.takeFirst();
    }
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
}

QString ScriptedToolkit::InputBox(const QString& prompt, const QString& title, const QString&)
{
    lastInputPrompt = prompt;
    lastInputTitle = title;
    return inputs_.isEmpty() ? QString() : inputs_.takeFirst();
}

QString ScriptedToolkit::SaveFileName(const QString& title, const QString& filter, const QString& defaultExt,
                                      const QString& defaultName)
{
    lastSaveDefaultName = defaultName;
    lastSaveTitle = title;
    lastSaveFilter = filter;
    lastSaveDefaultExt = defaultExt;
    return saveNames_.isEmpty() ? QString() : saveNames_.takeFirst();
}

void ScriptedToolkit::RunCommand(const QString& program, const QStringList& arguments)
{
    commands_.append(QStringList{program} + arguments);
}

void ScriptedToolkit::SetBusy(bool busy)
{
    busy_ = busy;
    ++busyChanges_;
}
