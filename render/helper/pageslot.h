#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QUrl>

class QWebEnginePage;
class QWebEngineProfile;

// One browser page that renders one address at a time: it loads the address, lets the page's scripts
// run until the page settles (no request of its scripts in flight and the document unchanged for a
// moment, or the time allowed is up) and hands back the document as it then stands. A page that hangs,
// crashes or is cut off is thrown away and the next address gets a fresh one.
class PageSlot : public QObject
{
    Q_OBJECT
public:
    PageSlot(QWebEngineProfile& profile, QObject* parent = nullptr);
    ~PageSlot() override;

    bool busy() const { return state_ != State::Idle; }
    // Renders `url` within `timeoutMs`; done() follows, always, with `id`.
    void start(qint64 id, const QUrl& url, int timeoutMs);

signals:
    void done(const QJsonObject& answer);

private:
    enum class State
    {
        Idle,
        Blanking,
        Loading,
        Settling,
        Capturing
    };

    QWebEnginePage* page();
    void onLoadFinished(bool ok);
    void poll();
    void capture();
    void onDeadline();
    void fail(const QString& why, bool discardPage);
    void finish(QJsonObject answer);

    QWebEngineProfile& profile_;
    QWebEnginePage* page_ = nullptr;
    State state_ = State::Idle;
    qint64 id_ = 0;
    quint64 generation_ = 0; // answers of scripts from an earlier address are dropped
    QUrl url_;
    QTimer deadline_;
    QTimer poll_;
    QElapsedTimer clock_;
    bool cutOff_ = false; // the time ran out before the page settled
};
