// Local sites that behave like the ones people really have, for timing a link checker against its
// peers on loopback: each scenario is one site, served until the time bound, with its truth written out.
//
//   kelvara-pacesites SCENARIO --port 18100 --truth dead.txt [--max-seconds 600] [--log requests.txt]
//
//   cms     200 pages that take 300 ms each, two removed pages linked from each and 40 from the home
//           page among its pages, that answer 404 at once
//   pdf     120 quick pages, every tenth links a 30 MB PDF served at 3 MB/s
//   slow    200 quick pages and one page that answers after 13 s
//   stall   133 quick pages, the fourth of which the home page links answers after 10 s
//   date    300 quick pages behind a limit of 20 requests a second, answered 429 with Retry-After as an
//           HTTP date (IMF-fixdate, GMT)
//   refuse  50 quick pages linking 100 pages of a partner host (127.0.0.2) that answers every request 429
//           with Retry-After: 999999
//   silent  a home page linking 150 pages of a host whose connections never open (port PORT+1: a full
//           listen queue that is never accepted) and 150 of a host that accepts and never answers (PORT+2)
//
// The truth file lists every dead URL, one a line, sorted. The first line on standard output is
// "serving http://127.0.0.1:PORT/". With --log, every request is written to a file as it comes, as
// milliseconds since the start and its path. Everything listens on loopback only and stops by itself.
#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Route
{
    int status = 200;
    std::string body;
    int delayMs = 0;
    long long pdfBytes = 0; // > 0: a PDF of this size, sent at kPdfBytesPerSecond
};

constexpr long long kPdfBytesPerSecond = 3'000'000;

struct Site
{
    std::string name;
    std::map<std::string, Route> routes; // by path
    std::set<std::string> dead;
    int perSecond = 0; // over it: 429 with Retry-After as an HTTP date
    bool partner = false;
};

std::string page(const std::vector<std::string>& hrefs)
{
    std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>页面</title></head><body>\n";
    for (const std::string& h : hrefs) {
        html += "<a href=\"" + h + "\">" + h + "</a>\n";
    }
    return html + "</body></html>\n";
}

std::string pagePath(int i)
{
    return "/p/" + std::to_string(i) + ".html";
}

// `count` pages under the home page: each links a menu of the first ten, the next page and, every
// `deadEvery` pages, `deadPerPage` removed pages.
Site pages(const std::string& base, int count, int delayMs, int deadEvery, int deadPerPage)
{
    Site s;
    std::vector<std::string> all;
    for (int i = 1; i <= count; ++i) {
        all.push_back(pagePath(i));
    }
    s.routes["/"] = {200, page(all), delayMs, 0};
    for (int i = 1; i <= count; ++i) {
        std::vector<std::string> links(all.begin(), all.begin() + std::min(count, 10));
        links.push_back(pagePath(i % count + 1));
        if (deadEvery > 0 && i % deadEvery == 0) {
            for (int d = 0; d < deadPerPage; ++d) {
                const std::string gone = "/missing/" + std::to_string(i) + "-" + std::to_string(d) + ".html";
                links.push_back(gone);
                s.dead.insert(base + gone);
            }
        }
        s.routes[pagePath(i)] = {200, page(links), delayMs, 0};
    }
    return s;
}

Site build(const std::string& scenario, int port)
{
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    Site s;
    if (scenario == "cms") {
        // The home page links removed pages among its pages, so quick 404s come in with the first pages.
        s = pages(base, 200, 300, 1, 2);
        std::vector<std::string> home;
        for (int i = 1; i <= 200; ++i) {
            home.push_back(pagePath(i));
            if (i % 5 == 0) {
                home.push_back("/removed/" + std::to_string(i) + ".html");
                s.dead.insert(base + home.back());
            }
        }
        s.routes["/"].body = page(home);
    } else if (scenario == "pdf") {
        s = pages(base, 120, 0, 5, 1);
        for (int i = 10; i <= 120; i += 10) {
            const std::string pdf = "/doc/" + std::to_string(i) + ".pdf";
            Route& r = s.routes[pagePath(i)];
            r.body.insert(r.body.find("</body>"), "<a href=\"" + pdf + "\">pdf</a>\n");
            s.routes[pdf] = {200, "", 0, 30'000'000};
        }
    } else if (scenario == "slow") {
        s = pages(base, 200, 0, 5, 1);
        Route& home = s.routes["/"];
        home.body.insert(home.body.find("</body>"), "<a href=\"/slow.html\">slow</a>\n");
        s.routes["/slow.html"] = {200, page({}), 13'000, 0};
    } else if (scenario == "stall") {
        s = pages(base, 133, 0, 5, 1);
        s.routes[pagePath(4)].delayMs = 10'000;
    } else if (scenario == "date") {
        s = pages(base, 300, 0, 5, 1);
        s.perSecond = 20;
    } else if (scenario == "refuse") {
        s = pages(base, 50, 0, 0, 0);
        std::vector<std::string> partner;
        for (int i = 1; i <= 100; ++i) {
            partner.push_back("http://127.0.0.2:" + std::to_string(port) + "/x/" + std::to_string(i) + ".html");
        }
        s.routes["/"].body = page(partner);
        Route& home = s.routes["/"];
        std::string more;
        for (int i = 1; i <= 50; ++i) {
            more += "<a href=\"" + pagePath(i) + "\">p</a>\n";
        }
        home.body.insert(home.body.find("</body>"), more);
        s.partner = true;
    } else if (scenario == "silent") {
        std::vector<std::string> links;
        for (int i = 1; i <= 150; ++i) {
            links.push_back("http://127.0.0.1:" + std::to_string(port + 1) + "/hang/" + std::to_string(i) + ".html");
            links.push_back("http://127.0.0.1:" + std::to_string(port + 2) + "/mute/" + std::to_string(i) + ".html");
        }
        s.routes["/"] = {200, page(links), 0, 0};
    } else {
        std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
        std::exit(2);
    }
    s.name = scenario;
    return s;
}

std::string httpDate(std::time_t t)
{
    char text[64];
    std::tm tm{};
    gmtime_r(&t, &tm);
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

class RateLimit
{
public:
    explicit RateLimit(int perSecond) : perSecond_(perSecond) {}
    bool admit()
    {
        if (perSecond_ <= 0) {
            return true;
        }
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        while (!recent_.empty() && now - recent_.front() >= std::chrono::seconds(1)) {
            recent_.pop_front();
        }
        if (static_cast<int>(recent_.size()) >= perSecond_) {
            return false;
        }
        recent_.push_back(now);
        return true;
    }

private:
    int perSecond_;
    std::mutex mutex_;
    std::deque<Clock::time_point> recent_;
};

// The requests as they come: milliseconds since the start, and the path.
class RequestLog
{
public:
    explicit RequestLog(const std::string& path) : start_(Clock::now())
    {
        if (!path.empty()) {
            out_.open(path);
        }
    }
    void note(const std::string& path)
    {
        if (!out_.is_open()) {
            return;
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
        std::lock_guard lock(mutex_);
        out_ << ms << ' ' << path << std::endl;
    }

private:
    Clock::time_point start_;
    std::mutex mutex_;
    std::ofstream out_;
};

void serve(const Site& site, httplib::Server& server, RateLimit& limit, RequestLog& log, const Clock::time_point& end)
{
    server.new_task_queue = [] { return new httplib::ThreadPool(256); };
    server.set_keep_alive_max_count(1000);
    server.Get(".*", [&site, &limit, &log, &end](const httplib::Request& req, httplib::Response& res) {
        log.note(req.path);
        if (!limit.admit()) {
            res.status = 429;
            res.set_header("Retry-After", httpDate(std::time(nullptr) + 1));
            return;
        }
        const auto it = site.routes.find(req.path);
        if (it == site.routes.end()) {
            res.status = 404;
            res.set_content("<html><body>Not Found</body></html>", "text/html");
            return;
        }
        const Route& r = it->second;
        if (r.delayMs > 0) {
            std::this_thread::sleep_until(std::min(end, Clock::now() + std::chrono::milliseconds(r.delayMs)));
        }
        res.status = r.status;
        if (r.pdfBytes > 0) {
            res.set_content_provider(
                static_cast<size_t>(r.pdfBytes), "application/pdf",
                [&end](size_t offset, size_t length, httplib::DataSink& sink) {
                    // 30 KB every 10 ms: 3 MB a second.
                    std::string chunk(std::min<size_t>(length, 30'000), offset == 0 ? '%' : 'x');
                    if (offset == 0) {
                        chunk.replace(0, 8, "%PDF-1.4");
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    return Clock::now() < end && sink.write(chunk.data(), chunk.size());
                });
            return;
        }
        res.set_content(r.body, "text/html; charset=utf-8");
    });
}

int listenOn(int port, int backlog)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, backlog) != 0) {
        std::fprintf(stderr, "cannot listen on port %d\n", port);
        std::exit(1);
    }
    return fd;
}

// A host whose connections never open: its listen queue is filled by connections nobody accepts, so the
// system drops every later connection request, as a firewall that drops packets does.
std::vector<int> hangingHost(int port)
{
    std::vector<int> fds{listenOn(port, 0)};
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 8; ++i) {
        const int c = socket(AF_INET, SOCK_STREAM, 0);
        fcntl(c, F_SETFL, O_NONBLOCK);
        connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        fds.push_back(c);
    }
    return fds;
}

// A host that accepts every connection, reads what comes and never answers.
void muteHost(int port, Clock::time_point end)
{
    const int fd = listenOn(port, 1024);
    std::thread([fd, end] {
        std::vector<int> open;
        while (Clock::now() < end) {
            const int c = accept(fd, nullptr, nullptr);
            if (c >= 0) {
                fcntl(c, F_SETFL, O_NONBLOCK);
                open.push_back(c);
            }
        }
    }).detach();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kelvara-pacesites SCENARIO --port N --truth FILE [--max-seconds S]\n");
        return 2;
    }
    const std::string scenario = argv[1];
    int port = 18100;
    int maxSeconds = 600;
    std::string truth;
    std::string logPath;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--port") {
            port = std::atoi(argv[i + 1]);
        } else if (a == "--truth") {
            truth = argv[i + 1];
        } else if (a == "--log") {
            logPath = argv[i + 1];
        } else if (a == "--max-seconds") {
            maxSeconds = std::atoi(argv[i + 1]);
        }
    }
    const Site site = build(scenario, port);
    if (!truth.empty()) {
        std::ofstream out(truth);
        for (const std::string& url : site.dead) {
            out << url << '\n';
        }
    }
    const Clock::time_point end = Clock::now() + std::chrono::seconds(maxSeconds);
    RateLimit limit(site.perSecond);
    RequestLog log(logPath);
    httplib::Server main;
    serve(site, main, limit, log, end);
    // httplib listens with a backlog of 5, far below any real server's: a burst of connections would
    // see dropped SYNs and one-second retransmits that no real site causes.
    int mainSocket = -1;
    main.set_socket_options([&mainSocket](socket_t sock) {
        httplib::default_socket_options(sock);
        mainSocket = sock;
    });
    httplib::Server partner;
    partner.new_task_queue = [] { return new httplib::ThreadPool(64); };
    partner.Get(".*", [](const httplib::Request&, httplib::Response& res) {
        res.status = 429;
        res.set_header("Retry-After", "999999");
    });
    if (!main.bind_to_port("127.0.0.1", port) || (site.partner && !partner.bind_to_port("127.0.0.2", port))) {
        std::fprintf(stderr, "cannot listen on port %d\n", port);
        return 1;
    }
    listen(mainSocket, SOMAXCONN);
    std::vector<int> hanging;
    if (scenario == "silent") {
        hanging = hangingHost(port + 1);
        muteHost(port + 2, end);
    }
    std::thread other;
    if (site.partner) {
        other = std::thread([&partner] { partner.listen_after_bind(); });
    }
    std::thread stopper([&] {
        while (Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        main.stop();
        partner.stop();
    });
    std::printf("serving http://127.0.0.1:%d/\n", port);
    std::fflush(stdout);
    main.listen_after_bind();
    partner.stop();
    if (other.joinable()) {
        other.join();
    }
    stopper.detach();
    return 0;
}
