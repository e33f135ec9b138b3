#pragma once

#include "configstore.h"
#include "mainwindow.h"
#include "scriptedtoolkit.h"

#include <QTemporaryDir>

#include <memory>

// A main window over a settings file of its own in a temporary folder, with dialogs answered by a
// scripted toolkit and the real network prober.
struct WindowFixture
{
    WindowFixture();

    // Stores a value before the window opens.
    void store(const QString& name, const QString& text);
    bool hasStored(const QString& name) const;
    QString stored(const QString& name) const;
    QString storedField(int number) const; // field of the settings record, counted from 1

    MainWindow& open();
    template <typename T> T* find(const QString& name) const
    {
        T* w = window->findChild<T*>(name);
        if (!w) {
            qFatal("no widget %s", qPrintable(name));
        }
        return w;
    }
    QStringList shownTexts() const;

    QTemporaryDir dir;
    ScriptedToolkit toolkit;
    std::unique_ptr<ConfigStore> config;
    std::unique_ptr<MainWindow> window;
};
