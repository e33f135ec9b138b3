// A deterministic synthetic website on loopback for benchmarks: pages linking to pages, dead links
// and links to a second ("outside") host. Writes the ground truth (every dead URL) to a file.
//
//   kelvara-sitegen --pages 2000 --links 20 --dead 0.05 --ext 0.10 --latency 0 --seed 1 \
//                   --port 18090 --truth dead.txt [--max-seconds 3600]
//
// Home page: http://127.0.0.1:PORT/ ; pages /p/N.html ; dead links /missing/N-J.html (404);
// outside links http://127.0.0.2:PORT/ext/K.html (200).
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options
{
    int pages = 2000;
    int links = 20;
    double dead = 0.05;
    double ext = 0.10;
    int latencyMs = 0;
    unsigned seed = 1;
    int port = 18090;
    std::string truth;
    int maxSeconds = 3600;
};

// The first links of page i lead to pages i*B+1 .. i*B+B (B = 12, or fewer links per page), so every
// page is reachable within a few levels.
constexpr int kMaxBranching = 12;

std::string pagePath(int i)
{
    return i == 0 ? "/" : "/p/" + std::to_string(i) + ".html";
}

struct Site
{
    std::vector<std::string> html;
    std::set<std::string> deadUrls;
};

Site generate(const Options& o)
{
    Site site;
    std::mt19937 rng(o.seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const std::string internal = "http://127.0.0.1:" + std::to_string(o.port);
    const std::string outside = "http://127.0.0.2:" + std::to_string(o.port);
    const int branching = std::min(kMaxBranching, o.links);
    for (int i = 0; i < o.pages; ++i) {
        std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Page " + std::to_string(i) +
                           "</title></head><body><h1>Page " + std::to_string(i) + "</h1><ul>\n";
        for (int j = 0; j < o.links; ++j) {
            std::string href;
            const int child = i * branching + j + 1;
            const double r = uniform(rng);
            if (j < branching && child < o.pages) {
                href = pagePath(child);
            } else if (r < o.dead) {
                href = "/missing/" + std::to_string(i) + "-" + std::to_string(j) + ".html";
                site.deadUrls.insert(internal + href);
            } else if (r < o.dead + o.ext) {
                href = outside + "/ext/" + std::to_string(std::uniform_int_distribution<int>(0, 199)(rng)) + ".html";
            } else {
                href = pagePath(std::uniform_int_distribution<int>(0, o.pages - 1)(rng));
            }
            page += "<li><a href=\"" + href + "\">link " + std::to_string(j) + "</a></li>\n";
        }
        page += "</ul></body></html>\n";
        site.html.push_back(std::move(page));
    }
    return site;
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const char* v = argv[i + 1];
        if (a == "--pages") o.pages = std::atoi(v);
        else if (a == "--links") o.links = std::atoi(v);
        else if (a == "--dead") o.dead = std::atof(v);
        else if (a == "--ext") o.ext = std::atof(v);
        else if (a == "--latency") o.latencyMs = std::atoi(v);
        else if (a == "--seed") o.seed = static_cast<unsigned>(std::atoi(v));
        else if (a == "--port") o.port = std::atoi(v);
        else if (a == "--truth") o.truth = v;
        else if (a == "--max-seconds") o.maxSeconds = std::atoi(v);
        else return false;
    }
    return o.pages > 0 && o.links > 0 && o.port > 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: kelvara-sitegen [--pages N] [--links L] [--dead F] [--ext F] [--latency MS] "
                             "[--seed S] [--port P] [--truth FILE] [--max-seconds S]\n");
        return 2;
    }
    const Site site = generate(o);
    if (!o.truth.empty()) {
        std::ofstream out(o.truth);
        for (const std::string& url : site.deadUrls) {
            out << url << "\n";
        }
    }

    std::atomic<long> requests{0};
    const auto delay = [&] {
        requests++;
        if (o.latencyMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(o.latencyMs));
        }
    };
    httplib::Server inside;
    httplib::Server outside;
    int listenSockets[2] = {-1, -1};
    for (int k = 0; k < 2; ++k) {
        httplib::Server* s = k == 0 ? &inside : &outside;
        // httplib listens with a backlog of 5: a burst of connects would see dropped SYNs and one-second
        // retransmits, so the socket listens again with the system's maximum below.
        s->set_socket_options([&listenSockets, k](int sock) {
            httplib::default_socket_options(sock);
            listenSockets[k] = sock;
        });
        s->new_task_queue = [] { return new httplib::ThreadPool(64); };
        s->set_tcp_nodelay(true); // headers and body go out in separate writes
    }
    inside.Get(R"(/|/p/(\d+)\.html)", [&](const httplib::Request& req, httplib::Response& res) {
        delay();
        const int i = req.matches.size() > 1 && req.matches[1].length() > 0 ? std::stoi(req.matches[1]) : 0;
        if (i < 0 || i >= o.pages) {
            res.status = 404;
            return;
        }
        res.set_content(site.html[static_cast<size_t>(i)], "text/html; charset=utf-8");
    });
    inside.set_error_handler([&](const httplib::Request&, httplib::Response& res) {
        delay();
        res.set_content("<html><body>Not here</body></html>", "text/html");
    });
    outside.Get(R"(/ext/(\d+)\.html)", [&](const httplib::Request&, httplib::Response& res) {
        delay();
        res.set_content("<html><body>Outside page</body></html>", "text/html");
    });

    if (!inside.bind_to_port("127.0.0.1", o.port) || !outside.bind_to_port("127.0.0.2", o.port)) {
        std::fprintf(stderr, "cannot listen on port %d\n", o.port);
        return 1;
    }
    for (int sock : listenSockets) {
        ::listen(sock, SOMAXCONN);
    }
    std::thread t1([&] { inside.listen_after_bind(); });
    std::thread t2([&] { outside.listen_after_bind(); });
    std::printf("serving %d pages on http://127.0.0.1:%d/ (%zu dead URLs)\n", o.pages, o.port, site.deadUrls.size());
    std::fflush(stdout);

    std::mutex m;
    std::condition_variable cv;
    std::unique_lock<std::mutex> lock(m);
    cv.wait_for(lock, std::chrono::seconds(o.maxSeconds));
    inside.stop();
    outside.stop();
    t1.join();
    t2.join();
    std::printf("requests served: %ld\n", requests.load());
    return 0;
}
