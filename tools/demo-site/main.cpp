// kelvara-demo-site: serves the demo site on 127.0.0.1 (port 8077, or the one given with --port)
// until it is stopped.
#include "demosite.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char* argv[])
{
    int port = 8077;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0) {
            port = std::atoi(argv[i + 1]);
        }
    }
    const auto pages = DemoSitePages();
    httplib::Server server;
    server.Get(".*", [&pages](const httplib::Request& request, httplib::Response& response) {
        const auto it = pages.find(request.path);
        if (it == pages.end()) {
            response.status = 404;
            response.set_content("<html><body><h1>404 Not Found</h1></body></html>", "text/html");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(it->second.delaySeconds));
        response.status = it->second.status;
        response.set_content(it->second.body, it->second.contentType.c_str());
    });
    std::printf("Demo site on http://127.0.0.1:%d/ - add the site 127.0.0.1:%d in Kelvara.\n", port, port);
    std::fflush(stdout);
    if (!server.listen("127.0.0.1", port)) {
        std::fprintf(stderr, "Cannot listen on 127.0.0.1:%d (in use?)\n", port);
        return 1;
    }
    return 0;
}
