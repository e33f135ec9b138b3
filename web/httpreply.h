#pragma once

#include "httptypes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QNetworkReply;

// True for a response that is followed to its Location (and so is not a final answer).
bool IsFollowedRedirect(int status, const QByteArray& location);

// One request in flight, redirects included. It ends exactly once, emitting finished(): with a final
// response, a timeout (its own timer, armed for the first instant the timeout rule holds), a transport
// failure, a redirect that cannot be followed, or abort(). Deleting a reply that is still running aborts
// its request; finished() is emitted from the event loop, so a slot connected to it may delete the reply.
class HttpReply : public QObject
{
    Q_OBJECT

public:
    // Sends one hop of the request; null when it cannot be sent.
    using Sender = std::function<QNetworkReply*(const HttpRequest&)>;

    HttpReply(const HttpRequest& request, Sender sender);
    ~HttpReply() override;

    bool isFinished() const { return finished_; }
    // Complete once isFinished(); before that, what has arrived so far.
    const HttpResult& result() const { return result_; }
    // Ends the request now with HttpError::Aborted (no effect once finished).
    void abort();

signals:
    void finished();

private:
    enum class Stop { None, Timeout, HaveStatus, BodyFull, Aborted };

    void send(const HttpRequest& hop);
    void detach();
    void onMetaDataChanged();
    void onReadyRead();
    void onNetworkFinished();
    void onTimer();
    void armTimer();
    void readStatus();
    void followRedirect();
    bool bodyCutShort() const;
    void stopWith(Stop why);
    void fail(HttpError error);
    void finish();

    HttpRequest request_; // the hop being sent: redirects change its URL and may turn POST into GET
    Sender send_;
    QPointer<QNetworkReply> reply_;
    QElapsedTimer clock_; // monotonic, so a change of the wall clock cannot shorten or stretch a wait
    QTimer timer_;
    Stop stop_ = Stop::None;
    bool finished_ = false;
    int redirects_ = 0;
    int redirectStatus_ = 0; // of the response at hand when it is a redirect
    QUrl redirectTarget_;
    HttpResult result_;
};
