#pragma once

#include "renderframes.h"

#include <QObject>

class QSocketNotifier;

// The renderer's end of the pipe to the checker: requests come in on standard input, answers go out on
// a copy of standard output taken before anything else could write to it (Chromium and Qt write their
// diagnostics to standard output or error; a stray line there must not break a frame).
class StdioPipe : public QObject
{
    Q_OBJECT
public:
    // Takes standard output for the answers and points file descriptor 1 at standard error.
    explicit StdioPipe(QObject* parent = nullptr);

    void send(const QJsonObject& message);

signals:
    void received(const QJsonObject& message);
    // The checker closed its end, or wrote what is not a frame: the renderer has no one to serve.
    void closed();

private:
    void readAvailable();

    int out_ = -1;
    QSocketNotifier* in_ = nullptr;
    RenderFrames::Reader reader_;
};
