#include "webpages.h"

namespace {

// All under the maker's one domain; .example is reserved, so no real site is ever reached by mistake.
const QString kSite = QStringLiteral("https://www.maroven.example/");

} // namespace

QString PageAddress(WebCommands::Page page)
{
    switch (page) {
    case WebCommands::Page::Author:
        return kSite + QStringLiteral("kelvara/");
    case WebCommands::Page::Portal:
        return kSite;
    case WebCommands::Page::Market:
        return kSite + QStringLiteral("links/");
    case WebCommands::Page::Tools:
        return kSite + QStringLiteral("tools/");
    case WebCommands::Page::OnlineHelp:
        return kSite + QStringLiteral("kelvara/help/");
    case WebCommands::Page::Bug:
        return kSite + QStringLiteral("kelvara/feedback/");
    case WebCommands::Page::OnlineCheck:
        return kSite + QStringLiteral("tools/deadlink/");
    case WebCommands::Page::Sitemap:
        return kSite + QStringLiteral("sitemap-maker/");
    case WebCommands::Page::Ranking:
        return kSite + QStringLiteral("tools/rank/");
    }
    return kSite;
}
