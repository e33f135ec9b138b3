#pragma once

#include <map>
#include <string>

// The pages of the demo site, by path: body, content type and how long the server waits before it
// answers. Paths not in the map answer 404.
struct DemoPage
{
    std::string body;
    std::string contentType = "text/html; charset=utf-8";
    int status = 200;
    int delaySeconds = 0;
};

std::map<std::string, DemoPage> DemoSitePages();
