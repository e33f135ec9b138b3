#pragma once

#include "browserform.h"
#include "prober.h"
#include "resulttree.h"
#include "runenv.h"
#include "urlops.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct TakenLink;
struct TakenPage;

// Where a fetched page came from: the address that answered with it and the character set it was
// decoded in. Links resolve against that address, their queries are requested in that charset.
struct PageOrigin
{
    QString url;     // empty: the page node's own URL
    QString charset; // empty: UTF-8
    bool rendered = false; // the document as the browser drew it: its hash routes are pages of their own
};

// Why a page scan ended.
enum class ScanEnd
{
    Finished,   // every anchor handled
    BatchLimit, // the list grew past the batch limit: go to the check sweep
    Stopped     // the running flag was cleared: pause the run
};

// Links without a query resolve alike on every page (absolute links) or on every page of one server or
// folder (relative ones): menus and footers repeat them on all pages of a site. A run keeps a bounded
// number of them for all its batches, by the link as written with what its resolving depends on, and by
// the address it resolves to.
//
// A page read ahead is taken apart for its links before the run comes to it; the scan that reads it
// later takes the same text from the same address, so it finds them here by the page's address.
struct ResolvedLinks
{
    QHash<QString, ResolvedLink> byLink;
    ResolvedUrls byUrl;
    struct AheadPage
    {
        QString text;
        QString charset;
        bool rendered = false;
        bool resources = false;
        std::shared_ptr<const TakenPage> links;
        qsizetype chars = 0; // what the page and its links hold
    };
    QHash<QString, AheadPage> aheadPages;
    qsizetype aheadChars = 0;
};

// Takes the anchors of one fetched page apart and adds a node for every usable link under the page's
// node; when the settings ask for resources, the links of images, scripts, style sheets, frames and
// media too, in document order with the anchors and counted among them for the resume position.
// Honours the run's stop points and batch limit between anchors.
class PageScan
{
public:
    // Without `resolved`, the scan keeps its own for as long as it lives.
    explicit PageScan(const RunEnv& env, ResolvedLinks* resolved = nullptr)
        : env_(env), resolved_(resolved ? resolved : &ownResolved_)
    {
    }
    PageScan(const PageScan&) = delete;
    PageScan& operator=(const PageScan&) = delete;

    // `anchorStart` is the first anchor to look at (1 for a whole page); `batchCounter` is raised when
    // the batch limit is met. On BatchLimit and Stopped the resume position names the anchor not yet
    // handled, so that the continued run picks up there instead of re-adding the page's links.
    // Links resolve against the address the page came from, or its <base href> when it has one, as a
    // browser resolves them; two links a browser requests alike are one link.
    ScanEnd scan(const QString& pageText, int pageNode, int anchorStart, int levelCounter, int& batchCounter,
                 const PageOrigin& origin = {});

    // The probes of the links a scan of this page would add at `depth` that the store does not hold yet
    // (repeats within the page included), as the check sweep will ask for them; the store is not
    // touched. For asking ahead while the run waits for another page. `judged` tells of a page link,
    // by its request and whether it is of the site, whether judging its content reads it.
    using PageJudged = std::function<bool(const QString& request, bool siteLink)>;
    std::vector<PlannedProbe> newLinks(const QString& pageText, const PageOrigin& origin, int depth,
                                       const PageJudged& judged) const;

    // The final address of the home page, when it moved: its host counts as the site too.
    void setHomeAddress(const QString& finalUrl);
    // Whether the absolute `url` belongs to the site under check, so that its page is scanned.
    bool isSiteUrl(QStringView url) const;

    // Node count above which a run with `batchCounter` full batches hands over to the check sweep.
    static bool overBatchLimit(int nodeCount, int batchCounter);

private:
    int addNode(int pageNode, const TakenLink& taken, int depth, bool siteLink, int status = NoStatus);
    // The page's anchors, each with the link the scan takes from it and where that resolves, from the
    // first to resolve on. `ahead`: the page is read ahead of the scan, which will find it kept.
    std::shared_ptr<const TakenPage> takenApart(const QString& pageText, const QString& pageUrl,
                                                const PageOrigin& origin, size_t firstResolved, bool ahead) const;
    // Through the run's kept links, which the scan ahead and the scan proper share: `resolved_` is a cache.
    ResolvedLink resolve(const LinkBase& base, const QString& link, const QString& charset) const;

    RunEnv env_;
    QString homeHost_; // bare host (and port) of the home page's final address; empty when it did not move
    // The site test, made again when the site or the subdomain setting changes.
    mutable std::optional<SiteMatcher> site_;
    mutable QString siteText_;
    mutable bool siteSubdomains_ = false;
    ResolvedLinks ownResolved_;
    ResolvedLinks* resolved_;
};
