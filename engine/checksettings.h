#pragma once

#include "renderer.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

// Requests in flight at most: the top of the setting, and its default. Fewer go to a host that answers
// slower under load or asks us to slow down.
inline constexpr int kMaxParallel = 128;
inline constexpr int kDefaultParallel = 128;
// The top of the depth setting, which lifts the depth limit: the whole site is crawled.
inline constexpr int kWholeSiteDepth = 5;

// The check settings a run reads; the window keeps them unchangeable while a run is active.
struct CheckSettings
{
    int depth = 1;          // 0 to 5; 5 (kWholeSiteDepth) means the whole site, however deep
    bool subdomains = false; // pages of subdomains count as pages of the site
    bool noRepeats = true;  // a URL already in the list gets no second node
    bool linkText = false;  // node text shows the anchor text after the link
    int timeout = 10;       // seconds allowed for one request
    int parallel = kDefaultParallel; // requests in flight at most
    bool resources = false;          // images, scripts, style sheets, frames and media are checked as links too
    // Pages that answer normally but are missing pages in disguise count as dead (content dead links).
    bool contentCheck = true;
    // Which pages are read as a browser draws them.
    RenderMode render = RenderMode::Auto;
    // Links whose resolved URL any of these matches (anywhere in it) are listed as excluded and never
    // requested: logout links, calendars, hosts that refuse robots. The window sets none.
    QList<QRegularExpression> exclusions;

    // Whether a page found at `nodeDepth` is read for further links.
    bool readsPagesAt(int nodeDepth) const { return depth >= kWholeSiteDepth || nodeDepth < depth; }

    bool excludes(const QString& url) const
    {
        for (const QRegularExpression& re : exclusions) {
            if (re.match(url).hasMatch()) {
                return true;
            }
        }
        return false;
    }
};
