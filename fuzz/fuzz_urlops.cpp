// Links, page paths and site texts come from crawled pages and from the user: the URL operations
// must take any text, and their bare forms must be stable.
#include "fuzzinput.h"

#include "resulttree.h"
#include "urlops.h"

#include <QStringList>

namespace {

// A page tree of three levels whose texts and URLs come from the input.
void buildTree(ResultTree& tree, const QString& site, const QString& pageText, const QString& pageUrl)
{
    NodeRecord home;
    home.url = site;
    tree.add(0, 1, site, 0, home);
    NodeRecord page;
    page.depth = 1;
    page.url = pageUrl;
    tree.add(1, 2, pageText, 0, page);
    NodeRecord link; // a node without a URL of its own: resolution falls back to its page
    link.depth = 2;
    tree.add(2, 3, pageText, 0, link);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const bool subdomains = (in.byte() & 1) != 0;
    const QString link = in.line();
    const QString pagePath = in.line();
    const QString site = in.line();
    const QString pageUrl = in.rest();

    HasScheme(link);
    qsizetype after = -1;
    if (IsHttpUrl(link, &after)) {
        FUZZ_CHECK(after > 0 && after <= link.size());
    }
    NormalizeHostCase(link);

    const QString bare = StripHttp(link);
    // Lower-casing the host may lengthen it (U+0130 becomes "i" and a combining dot), never more than
    // lower-casing the whole link does.
    FUZZ_CHECK(bare.size() <= link.toLower().size());
    const QString parent = GetParentDomain(bare);
    IsSubdomainOf(link, parent);
    IsSiteLink(link, pagePath, site, subdomains);
    SiteExists(link, QStringList{site, pagePath});

    ResultTree tree;
    buildTree(tree, site, pagePath, pageUrl);
    for (int node = 0; node <= tree.count() + 1; ++node) {
        FindPageNode(tree, node);
        ResolveLink(link, tree, node);
    }
    return 0;
}
