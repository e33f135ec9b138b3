#include "testserver.h"

#include <QDateTime>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QScopeGuard>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/socket.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// httplib's own pool has a fixed, small number of threads, so a few silent handlers would stall every
// other request. This one starts a worker whenever a job finds no idle worker, up to `max`.
class GrowingPool : public httplib::TaskQueue
{
public:
    explicit GrowingPool(size_t max) : max_(max) {}

    void enqueue(std::function<void()> fn) override
    {
        std::unique_lock lock(mutex_);
        jobs_.push_back(std::move(fn));
        if (jobs_.size() > idle_ && threads_.size() < max_) {
            threads_.emplace_back([this] { work(); });
        }
        cond_.notify_one();
    }

    void shutdown() override
    {
        {
            std::unique_lock lock(mutex_);
            shutdown_ = true;
        }
        cond_.notify_all();
        for (std::thread& t : threads_) {
            t.join();
        }
        threads_.clear();
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(mutex_);
                ++idle_;
                cond_.wait(lock, [this] { return !jobs_.empty() || shutdown_; });
                --idle_;
                if (jobs_.empty()) {
                    return;
                }
                fn = std::move(jobs_.front());
                jobs_.pop_front();
            }
            fn();
        }
    }

    const size_t max_;
    size_t idle_ = 0;
    bool shutdown_ = false;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_; // touched only under mutex_ or after shutdown_
    std::mutex mutex_;
    std::condition_variable cond_;
};

std::string toStd(const QByteArray& bytes)
{
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QByteArray toBytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// The path of a request target. A target in absolute form ("http://bbs.site.test:8080/a", as sent to a
// proxy) gives its path, so that a test may name other hosts and have this server answer for them all.
QString originPath(const std::string& path)
{
    const QString p = QString::fromStdString(path);
    if (!p.startsWith(u"http://")) {
        return p;
    }
    const qsizetype slash = p.indexOf(u'/', 7);
    return slash < 0 ? u"/"_s : p.mid(slash);
}

const QByteArray kNotFoundPage = "<html><head><title>404 Not Found</title></head>"
                                 "<body><h1>Not Found</h1></body></html>";

} // namespace

struct TestServer::Impl
{
    httplib::Server server;
    std::thread listener;
    quint16 port = 0;
    socket_t listenSocket = INVALID_SOCKET;

    mutable std::mutex mutex; // guards everything below
    std::condition_variable wake;
    bool stopping = false;
    QMap<QString, Response> routes;
    QList<Request> log;
    int waiting = 0;
    mutable std::atomic<qint64> generated{0};
    Limits limits;
    int active = 0;
    int maxActive = 0;
    int refusals = 0;
    std::deque<std::chrono::steady_clock::time_point> recent; // starts of the requests of the last second
    std::chrono::steady_clock::time_point serialFree{};

    bool refuse(httplib::Response& res);
    void serve();

    void handle(const httplib::Request& req, httplib::Response& res);
    void record(const httplib::Request& req);
    Response lookup(const QString& path, const std::string& target) const;
    void waitFor(const Response& route);
    void answer(const Response& route, httplib::Response& res) const;
    bool isStopping() const
    {
        std::lock_guard lock(mutex);
        return stopping;
    }
};

void TestServer::Impl::record(const httplib::Request& req)
{
    Request r;
    r.method = QString::fromStdString(req.method);
    r.path = originPath(req.path);
    const size_t q = req.target.find('?');
    if (q != std::string::npos) {
        r.query = QString::fromStdString(req.target.substr(q + 1));
    }
    for (const auto& [name, value] : req.headers) {
        r.headers.insert(toBytes(name).toLower(), toBytes(value));
    }
    r.body = toBytes(req.body);
    std::lock_guard lock(mutex);
    log.append(r);
}

TestServer::Response TestServer::Impl::lookup(const QString& path, const std::string& target) const
{
    std::lock_guard lock(mutex);
    const auto it = routes.constFind(path);
    const size_t q = target.find('?');
    const QByteArray query = q == std::string::npos ? QByteArray() : toBytes(target.substr(q + 1));
    const auto withQuery = routes.constFind(path + u'?' + QString::fromUtf8(query));
    if (!query.isEmpty() && withQuery != routes.constEnd()) {
        return *withQuery;
    }
    if (it != routes.constEnd() && (it->onlyQuery.isEmpty() || it->onlyQuery == query)) {
        return *it;
    }
    // A folder's own fallback ("/news/*") answers the names in that folder, not deeper; then "*".
    const QString folderRoute = path.left(path.lastIndexOf(u'/') + 1) + u'*';
    for (const QString& name : {folderRoute, u"*"_s}) {
        if (routes.contains(name)) {
            Response fallback = routes.value(name);
            fallback.body.replace("{path}", path.toUtf8());
            fallback.body.replace(
                "{n}", QByteArray(1, char('a' + log.size() % 26))); // a letter that differs from answer to answer
            return fallback;
        }
    }
    Response notFound;
    notFound.status = 404;
    notFound.body = kNotFoundPage;
    return notFound;
}

// Waits on a condition variable, not a sleep, so that stopping the server ends every wait at once.
void TestServer::Impl::waitFor(const Response& route)
{
    std::unique_lock lock(mutex);
    ++waiting;
    if (route.silent) {
        wake.wait(lock, [this] { return stopping; });
    } else if (route.delayMs > 0) {
        const auto delay = std::chrono::milliseconds(std::min(route.delayMs, kMaxDelayMs));
        wake.wait_for(lock, delay, [this] { return stopping; });
    }
    --waiting;
}

void TestServer::Impl::answer(const Response& route, httplib::Response& res) const
{
    res.status = route.status;
    for (const auto& [name, value] : route.headers) {
        res.set_header(toStd(name).c_str(), toStd(value));
    }
    if (route.generatedSize >= 0) {
        const std::string pattern = route.body.isEmpty() ? std::string("x") : toStd(route.body);
        res.set_content_provider(
            static_cast<size_t>(route.generatedSize), toStd(route.contentType).c_str(),
            [this, pattern](size_t offset, size_t length, httplib::DataSink& sink) {
                std::string chunk;
                chunk.reserve(std::min<size_t>(length, 64 * 1024));
                while (chunk.size() < chunk.capacity()) {
                    chunk += pattern[(offset + chunk.size()) % pattern.size()];
                }
                generated += static_cast<qint64>(chunk.size());
                sink.write(chunk.data(), chunk.size());
                return !isStopping();
            });
        return;
    }
    if (route.contentType.isEmpty()) {
        res.body = toStd(route.body);
    } else {
        res.set_content(toStd(route.body), toStd(route.contentType).c_str());
    }
}

// Answers the request at once with 429 or 503 when it is over a limit of the server.
bool TestServer::Impl::refuse(httplib::Response& res)
{
    std::lock_guard lock(mutex);
    const auto now = std::chrono::steady_clock::now();
    if (limits.perSecond > 0) {
        while (!recent.empty() && now - recent.front() >= std::chrono::seconds(1)) {
            recent.pop_front();
        }
        if (static_cast<int>(recent.size()) >= limits.perSecond) {
            res.status = 429;
            const QDateTime next = QDateTime::currentDateTimeUtc().addSecs(1);
            const QString date = QLocale::c().toString(next, u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s);
            res.set_header("Retry-After", limits.retryAfterDate ? date.toStdString() : std::string("1"));
            ++refusals;
            return true;
        }
        recent.push_back(now);
    }
    if (limits.concurrent > 0 && active >= limits.concurrent) {
        res.status = 503;
        ++refusals;
        return true;
    }
    ++active;
    maxActive = std::max(maxActive, active);
    return false;
}

// One worker behind a queue: each request waits for the ones before it, then takes its own time.
void TestServer::Impl::serve()
{
    std::unique_lock lock(mutex);
    if (limits.serialMs <= 0) {
        return;
    }
    const auto start = std::max(std::chrono::steady_clock::now(), serialFree);
    serialFree = start + std::chrono::milliseconds(limits.serialMs);
    const auto done = serialFree;
    wake.wait_until(lock, done, [this] { return stopping; });
}

void TestServer::Impl::handle(const httplib::Request& req, httplib::Response& res)
{
    record(req);
    if (refuse(res)) {
        return;
    }
    serve();
    const auto leave = qScopeGuard([this] {
        std::lock_guard lock(mutex);
        --active;
    });
    const Response route = lookup(originPath(req.path), req.target);
    if (route.silent || route.delayMs > 0) {
        waitFor(route);
    }
    answer(route, res);
}

TestServer::TestServer() : d(std::make_unique<Impl>())
{
#ifndef _WIN32
    // A client that hangs up mid-body must not kill the test process with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    httplib::Server& s = d->server;
    s.new_task_queue = [] { return new GrowingPool(kMaxWorkers); };
    // One request per connection: an idle keep-alive connection would hold the destructor for the
    // keep-alive timeout, and clients that connect without sending give up after a second.
    s.set_keep_alive_max_count(1);
    s.set_keep_alive_timeout(1);
    s.set_read_timeout(2);
    s.set_write_timeout(2);
#ifndef _WIN32
    // httplib listens with a backlog of 5; a burst of concurrent connects would see dropped SYNs and
    // one-second retransmits, so the socket listens again with the system's maximum.
    s.set_socket_options([this](socket_t sock) {
        httplib::default_socket_options(sock);
        d->listenSocket = sock;
    });
#endif
    const auto handler = [this](const httplib::Request& req, httplib::Response& res) { d->handle(req, res); };
    s.Get(".*", handler);
    s.Post(".*", handler);
    s.Put(".*", handler);
    s.Delete(".*", handler);
    s.Options(".*", handler);
    s.Patch(".*", handler);

    const int port = s.bind_to_any_port("127.0.0.1");
    d->port = port > 0 ? static_cast<quint16>(port) : 0;
#ifndef _WIN32
    if (port > 0) {
        ::listen(d->listenSocket, SOMAXCONN);
    }
#endif
    if (port > 0) {
        d->listener = std::thread([this] { d->server.listen_after_bind(); });
        // httplib's stop() does nothing until the listening loop has begun; a test that ends within
        // microseconds would otherwise leave the loop running and the destructor joining it forever.
        for (int i = 0; i < 5000 && !d->server.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

TestServer::~TestServer()
{
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    d->server.stop();
    if (d->listener.joinable()) {
        d->listener.join();
    }
}

quint16 TestServer::port() const
{
    return d->port;
}

QString TestServer::baseUrl() const
{
    return u"http://127.0.0.1:"_s + QString::number(d->port);
}

void TestServer::setRoute(const QString& path, const Response& r)
{
    std::lock_guard lock(d->mutex);
    d->routes.insert(path, r);
}

void TestServer::setPage(const QString& path, const QByteArray& html)
{
    Response r;
    r.body = html;
    setRoute(path, r);
}

void TestServer::setRedirect(const QString& path, const QString& location, int status)
{
    Response r;
    r.status = status;
    r.contentType.clear();
    r.headers.append({"Location", location.toUtf8()});
    setRoute(path, r);
}

void TestServer::setSilent(const QString& path)
{
    Response r;
    r.silent = true;
    setRoute(path, r);
}

void TestServer::setStatus(const QString& path, int status)
{
    Response r;
    r.status = status;
    r.contentType.clear();
    setRoute(path, r);
}

QList<TestServer::Request> TestServer::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->log;
}

int TestServer::hits(const QString& path) const
{
    std::lock_guard lock(d->mutex);
    return static_cast<int>(
        std::count_if(d->log.cbegin(), d->log.cend(), [&](const Request& r) { return r.path == path; }));
}

int TestServer::pending() const
{
    std::lock_guard lock(d->mutex);
    return d->waiting;
}

void TestServer::setLimits(const Limits& limits)
{
    std::lock_guard lock(d->mutex);
    d->limits = limits;
}

int TestServer::maxConcurrent() const
{
    std::lock_guard lock(d->mutex);
    return d->maxActive;
}

int TestServer::refusals() const
{
    std::lock_guard lock(d->mutex);
    return d->refusals;
}

qint64 TestServer::generatedBytes() const
{
    return d->generated;
}
