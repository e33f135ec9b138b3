#pragma once

#include <QHash>
#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <functional>

class QSocketNotifier;

// libcurl's multi interface driven by the thread's event loop: a socket notifier for every socket that
// libcurl wants watched and one timer for its timeouts, so that nothing polls and every callback runs on
// the thread that owns this object. One share handle gives every transfer the same cookies (as in one
// browser), DNS cache and TLS sessions; the multi handle keeps connections open between transfers.
class CurlMulti : public QObject
{
    Q_OBJECT
public:
    // Called once per transfer that libcurl reports done, with its result code.
    using DoneHandler = std::function<void(CURL* easy, CURLcode code)>;

    explicit CurlMulti(QObject* parent = nullptr);
    ~CurlMulti() override;
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    void setDoneHandler(DoneHandler handler) { done_ = std::move(handler); }
    // Ties `easy` to the shared cookies and caches; the handle must be freed before this object.
    void share(CURL* easy) const;
    // Empties the cookie jar all transfers share.
    void clearCookies() const;
    // Starts `easy`; its end comes through the done handler. False when libcurl refuses it.
    bool add(CURL* easy);
    // Stops `easy` (no done call follows). Never call from inside a libcurl callback.
    void remove(CURL* easy);

private:
    struct Watch;

    static int onSocket(CURL* easy, curl_socket_t socket, int what, void* self, void* socketData);
    static int onTimer(CURLM* multi, long timeoutMs, void* self);
    void watch(curl_socket_t socket, int what);
    void act(curl_socket_t socket, int events);
    void reportDone();

    CURLM* multi_ = nullptr;
    CURLSH* share_ = nullptr;
    QTimer timer_;
    DoneHandler done_;
    QHash<curl_socket_t, Watch*> watches_;
    bool acting_ = false;  // inside curl_multi_socket_action: new actions wait for the timer
};
