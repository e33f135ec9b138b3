#pragma once

#include "httptypes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <curl/curl.h>

class HttpClient;

// True for a response that is followed to its Location (and so is not a final answer).
bool IsFollowedRedirect(int status, const QByteArray& location);

// One request in flight, redirects included, as one libcurl transfer per hop. It ends exactly once,
// emitting finished(): with a final response, a timeout (its own timer, armed for the first instant the
// timeout rule holds), a transport failure, a redirect that cannot be followed, or abort(). Deleting a
// reply that is still running aborts its request; finished() is emitted from the event loop, so a slot
// connected to it may delete the reply.
class HttpReply : public QObject
{
    Q_OBJECT

public:
    HttpReply(const HttpRequest& request, HttpClient* client);
    ~HttpReply() override;

    bool isFinished() const { return finished_; }
    // Complete once isFinished(); before that, what has arrived so far.
    const HttpResult& result() const { return result_; }
    // Ends the request now with HttpError::Aborted (no effect once finished).
    void abort();

signals:
    void finished();

private:
    friend class HttpClient;
    enum class Stop { None, HaveStatus, BodyFull, FollowNow };

    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    size_t header(QByteArrayView line);
    bool headDone(); // false: stop the transfer
    size_t body(const char* data, size_t n);
    void onDone(CURLcode code); // the client's call when libcurl has ended the transfer
    bool retry(CURLcode code);
    void clientGone();

    void send(const HttpRequest& hop);
    void configure(const HttpRequest& hop);
    void detach();
    // Frees the handle, or gives it back to the client for the next transfer.
    void dropHandle();
    void onTimer();
    void armTimer();
    void followRedirect();
    void fail(HttpError error);
    void finish();
    void endSniffing();
    void releaseBody();

    HttpRequest request_; // the hop being sent: redirects change its URL and may turn POST into GET
    QPointer<HttpClient> client_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    bool running_ = false; // easy_ is in the client's multi handle
    char error_[CURL_ERROR_SIZE] = {};
    QElapsedTimer clock_; // monotonic, so a change of the wall clock cannot shorten or stretch a wait
    QTimer timer_;
    Stop stop_ = Stop::None;
    bool finished_ = false;
    int redirects_ = 0;
    bool lookupRetried_ = false; // the host name was looked up a second time
    bool raw_ = false;           // the body is read as sent, without decoding its content coding

    // The response head being read (a hop may see interim 1xx heads before its final one).
    bool inHead_ = false;
    QByteArray reason_;
    QByteArray location_;
    QByteArray contentType_;
    QByteArray retryAfter_;
    QByteArray contentEncoding_;
    qint64 headBytes_ = 0;
    QByteArray* folding_ = nullptr; // the field a folded line continues; null for fields not kept
    bool redirecting_ = false; // the head read is a redirect that will be followed
    qint64 skipped_ = 0;        // body bytes read past and thrown away
    bool sniffing_ = false;     // a wanted body without Content-Type: is it a page?
    qint64 held_ = 0;           // body bytes counted in the client's bound of bodies in flight

    HttpResult result_;
};
