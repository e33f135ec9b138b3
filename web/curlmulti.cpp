#include "curlmulti.h"

#include <QSocketNotifier>

// The notifiers of one socket number, made when libcurl first asks for it and kept switched off while it
// does not: a kept connection is watched again by each transfer it carries, and a socket opened later
// under the same number takes them over.
struct CurlMulti::Watch
{
    explicit Watch(curl_socket_t socket) : read(socket, QSocketNotifier::Read), write(socket, QSocketNotifier::Write) {}
    QSocketNotifier read;
    QSocketNotifier write;
};

namespace {

struct GlobalInit
{
    GlobalInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

} // namespace

CurlMulti::CurlMulti(QObject* parent) : QObject(parent)
{
    static const GlobalInit init; // once per process, before the first handle, on the first thread that asks
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    // Idle connections kept for reuse: enough for the widest run to many hosts.
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 256L);

    share_ = curl_share_init();
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    timer_.stop();
    // Every transfer was removed by its owner; what remains are idle connections, closed here.
    curl_multi_cleanup(multi_);
    curl_share_cleanup(share_);
    qDeleteAll(watches_);
}

void CurlMulti::share(CURL* easy) const
{
    curl_easy_setopt(easy, CURLOPT_SHARE, share_);
}

void CurlMulti::clearCookies() const
{
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_SHARE, share_);
    curl_easy_setopt(easy, CURLOPT_COOKIELIST, "ALL");
    curl_easy_cleanup(easy);
}

bool CurlMulti::add(CURL* easy)
{
    // libcurl asks for a timer of 0 ms from inside add, so the transfer starts from the event loop.
    return curl_multi_add_handle(multi_, easy) == CURLM_OK;
}

void CurlMulti::remove(CURL* easy)
{
    curl_multi_remove_handle(multi_, easy);
}

int CurlMulti::onSocket(CURL* /*easy*/, curl_socket_t socket, int what, void* self, void* /*socketData*/)
{
    static_cast<CurlMulti*>(self)->watch(socket, what);
    return 0;
}

int CurlMulti::onTimer(CURLM* /*multi*/, long timeoutMs, void* self)
{
    auto* me = static_cast<CurlMulti*>(self);
    if (timeoutMs < 0) {
        me->timer_.stop();
    } else {
        // 0 ms: libcurl wants to be called as soon as possible, but not from inside this callback.
        me->timer_.start(static_cast<int>(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
    }
    return 0;
}

void CurlMulti::watch(curl_socket_t socket, int what)
{
    Watch* w = watches_.value(socket);
    if (!w) {
        if (what == CURL_POLL_REMOVE) {
            return;
        }
        w = new Watch(socket);
        connect(&w->read, &QSocketNotifier::activated, this, [this, socket] { act(socket, CURL_CSELECT_IN); });
        connect(&w->write, &QSocketNotifier::activated, this, [this, socket] { act(socket, CURL_CSELECT_OUT); });
        watches_.insert(socket, w);
    }
    w->read.setEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
    w->write.setEnabled(what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
}

void CurlMulti::act(curl_socket_t socket, int events)
{
    if (acting_) {
        timer_.start(0); // a handler of a finished transfer ran an event loop: come back afterwards
        return;
    }
    acting_ = true;
    int running = 0;
    curl_multi_socket_action(multi_, socket, events, &running);
    acting_ = false;
    reportDone();
}

void CurlMulti::reportDone()
{
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
        if (msg->msg != CURLMSG_DONE) {
            continue;
        }
        CURL* easy = msg->easy_handle;
        const CURLcode code = msg->data.result;
        curl_multi_remove_handle(multi_, easy);
        if (done_) {
            done_(easy, code);
        }
    }
}
