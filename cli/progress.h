#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <cstdio>

class LinkStore;

// Shows the progress of a run on standard error: one line rewritten in place on a terminal,
// otherwise a line now and then, so logs stay short.
class Progress : public QObject
{
    Q_OBJECT
public:
    Progress(const LinkStore& store, std::FILE* out, bool terminal, QObject* parent = nullptr);
    // Ends the progress line so that later output starts on a fresh line.
    void finish();

private:
    void update();
    QString line() const;

    const LinkStore& store_;
    std::FILE* out_;
    bool terminal_;
    QElapsedTimer sinceLast_;
    int lastWidth_ = 0;
    bool shown_ = false;
};
