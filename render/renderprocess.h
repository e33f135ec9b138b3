#pragma once

#include "renderframes.h"

#include <QObject>
#include <QProcess>

// Memory a process holds, as its share of the pages it uses (bytes); 0 when unknown.
qint64 ProcessMemoryBytes(qint64 pid);

// The checker's end of the pipe to the renderer: starts kelvara-render, sends it requests, hands out
// its answers and says when it is gone. It knows nothing of what the requests mean.
class RenderProcess : public QObject
{
    Q_OBJECT
public:
    explicit RenderProcess(QObject* parent = nullptr);
    ~RenderProcess() override;

    // Where kelvara-render is: beside the program that runs, where it is installed, or where it was built.
    static QString HelperPath();

    // Starts the helper with `pages` pages drawn at once; false (and `error`) when it cannot be run.
    bool start(int pages, QString* error);
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    void send(const QJsonObject& message);
    // Ends the helper and every process of Chromium's under it, at once.
    void kill();
    // Memory held by the helper and the processes it started (resident set, bytes); 0 when unknown.
    qint64 memoryBytes() const;

signals:
    void received(const QJsonObject& message);
    // The helper ended or broke its side of the pipe; it is not running any more.
    void died(const QString& why);

private:
    void readAvailable();
    QList<qint64> descendants() const;

    QProcess process_;
    RenderFrames::Reader reader_;
    bool killing_ = false;
};
