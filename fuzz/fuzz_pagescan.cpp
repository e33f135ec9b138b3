// A fetched page is whatever the server sent: anchor extraction, the page scan and the reading of its
// visible text must take any text, and a scan split by batch limits must still give every link one node
// when repeats are off.
#include "fuzzinput.h"

#include "checksettings.h"
#include "linkelements.h"
#include "linkstore.h"
#include "pagescan.h"
#include "pagetext.h"
#include "toolkit.h"

namespace {

void checkAnchors(QStringView page, bool withResources)
{
    for (const Anchor& a : ExtractLinks(page, withResources).links) {
        FUZZ_CHECK(a.hrefText.size() <= page.size());
        FUZZ_CHECK(a.innerHtml.size() <= page.size());
    }
}

// Scans the page under the home node the way a run does: each batch limit ends a scan, the next one
// resumes at the anchor it names.
void scanWhole(LinkStore& store, const RunEnv& env, const QString& page)
{
    PageScan scan(env);
    int batchCounter = 0;
    int start = 1;
    for (int round = 0; round < 1000; ++round) {
        if (scan.scan(page, 1, start, 0, batchCounter) != ScanEnd::BatchLimit) {
            return;
        }
        start = store.resume(LinkStore::Badlink2).toInt();
    }
    FUZZ_CHECK(false); // every batch limit adds room for 200 more nodes, so the scan must end
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.byte();
    CheckSettings settings;
    settings.subdomains = (flags & 1) != 0;
    settings.noRepeats = (flags & 2) == 0;
    settings.linkText = (flags & 4) != 0;
    settings.resources = (flags & 8) != 0;
    const QString site = in.line();
    const QString page = in.rest();

    checkAnchors(page, settings.resources);
    // The visible text of any page, with any address taken out of it, is read to its end.
    const PagePrint print = MakePagePrint(page, {site});
    FUZZ_CHECK(print.texts.size() == print.keys.size() && print.textChars <= page.size());

    LinkStore store;
    CoreToolkit toolkit;
    const bool running = true;
    const RunEnv env{store, toolkit, settings, running};
    store.startList(site);
    scanWhole(store, env, page);

    const ResultTree& tree = store.full();
    for (int i = 2; i <= tree.count(); ++i) {
        FUZZ_CHECK(tree.node(i)->parent == 1);
        if (settings.noRepeats) {
            FUZZ_CHECK(store.checktext(tree.node(i)->requestUrl()) == i);
        }
    }
    return 0;
}
