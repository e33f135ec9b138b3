#include "pagescan.h"

#include "browserform.h"
#include "linkelements.h"
#include "linkstore.h"
#include "pagerendering.h"
#include "runtexts.h"
#include "textops.h"
#include "toolkit.h"
#include "urlops.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kKeptLinks = 16384;
// Pages read ahead and not scanned yet, bounded in number and in what they hold. The run scans them about in the
// order they were read: when the bound is met, the pages read first are kept rather than the last.
constexpr qsizetype kKeptAheadPages = 4096;
constexpr qsizetype kKeptAheadChars = 8 * 1024 * 1024;
// What a link kept with its strings and its resolution holds, in characters of two bytes (measured: about
// 400 bytes): a page of many short links weighs more than its text.
constexpr qsizetype kCharsPerAnchor = 192;

// Links that cannot be tested: script, favourites, mail and messenger links. The rules read the text
// of an <a> element; other elements are judged by the scheme of their URL alone, so that a script
// named /javascripts/app.js is checked.
bool isUntestable(const Anchor& a)
{
    // Made once: a page holds many anchors.
    static const CaselessWord script("javascript"_L1);
    static const CaselessWord favourite("addfavorite"_L1);
    static const CaselessWord mail("mailto"_L1);
    static const CaselessWord messenger("tencent:"_L1);
    return a.aTag &&
           (script.in(a.href) || favourite.in(a.hrefText) || mail.in(a.hrefText) || messenger.in(a.hrefText));
}

// The href value cleaned: white space a browser ignores, quotes and the fragment removed, back
// slashes turned into slashes. With `keepRoutes`, a fragment that is a router's route other than its
// root stays: on a page drawn by its scripts, "#/news/1" is a page of its own.
QString cleanLink(const QString& href, bool keepRoutes)
{
    QString link(href.size(), Qt::Uninitialized);
    QChar* out = link.data();
    for (QChar c : href) {
        if (c == u'\'' || c == u'"' || c == u'\t' || c == u'\n' || c == u'\r') {
            continue;
        }
        *out++ = c == u'\\' ? QChar(u'/') : c;
    }
    link.truncate(out - link.constData());
    qsizetype from = 0;
    qsizetype to = link.size();
    while (from < to && IsHtmlSpace(link[from])) {
        ++from;
    }
    while (to > from && IsHtmlSpace(link[to - 1])) {
        --to;
    }
    link = link.mid(from, to - from);
    const qsizetype hash = link.indexOf(u'#');
    const qsizetype route = keepRoutes ? HashRouteAt(link) : -1;
    const QStringView fragment = QStringView(link).mid(hash + 1);
    if (hash >= 0 && (route < 0 || fragment == u"/" || fragment == u"!/")) {
        link.truncate(hash);
    }
    return link;
}

// A new link gets no node when it names a download, a bracketed template or only the root.
bool isAddable(const QString& link)
{
    // Made once, as the words above: every link of a page read ahead is asked.
    static const CaselessWord download(".exe"_L1);
    return !ContainsChar(link, u']') && !download.in(link) && link != u"#" && link != u"/" && !link.isEmpty();
}

// The address the links of a page resolve against: its <base href> when that names an http(s) address,
// otherwise the address the page came from.
QString PageBase(const QString& baseHref, QStringView pageUrl)
{
    const QString href = baseHref.trimmed();
    if (!href.isEmpty()) {
        const QString base = ResolveLink(href, pageUrl);
        if (IsHttpUrl(base)) {
            return base;
        }
    }
    return pageUrl.toString();
}

// The link of one anchor as the scan takes it; empty for an anchor the scan skips. A drawn page's
// router routes are links of their own.
QString ScannedLink(const Anchor& anchor, bool drawn)
{
    const QString link = anchor.usable && !isUntestable(anchor) ? cleanLink(anchor.href, drawn) : QString();
    return link.isEmpty() || (HasScheme(link) && !IsHttpUrl(link)) ? QString() : link;
}

} // namespace

// One anchor as the scan takes it: its link (empty: one the scan skips), where that resolves, and what a
// node of it shows. The rest of the anchor is let go once read: a page may be kept a while.
struct TakenLink
{
    QString link;
    ResolvedLink resolved;
    QString innerHtml;
    LinkKind kind = LinkKind::Page;
};

// A page's anchors in document order.
struct TakenPage
{
    std::vector<TakenLink> links;
};

bool PageScan::overBatchLimit(int nodeCount, int batchCounter)
{
    return static_cast<qint64>(nodeCount) > (static_cast<qint64>(batchCounter) + 1) * 200 - 1;
}

void PageScan::setHomeAddress(const QString& finalUrl)
{
    const QUrl home(finalUrl, QUrl::TolerantMode);
    const QString host = HostOf(finalUrl);
    homeHost_ =
        host.isEmpty() ? QString() : host + (home.port() >= 0 ? u':' + QString::number(home.port()) : QString());
    site_.reset();
}

bool PageScan::isSiteUrl(QStringView url) const
{
    const QString siteText = env_.store.full().nodeUrl(1);
    if (!site_ || siteText != siteText_ || env_.settings.subdomains != siteSubdomains_) {
        site_.emplace(homeHost_, siteText, env_.settings.subdomains);
        siteText_ = siteText;
        siteSubdomains_ = env_.settings.subdomains;
    }
    return site_->contains(url);
}

ScanEnd PageScan::scan(const QString& pageText, int pageNode, int anchorStart, int levelCounter, int& batchCounter,
                       const PageOrigin& origin)
{
    LinkStore& store = env_.store;
    const ResultNode* page = store.full().node(pageNode);
    if (!page) {
        return ScanEnd::Finished;
    }
    const int first = anchorStart < 1 ? 1 : anchorStart;
    const std::shared_ptr<const TakenPage> taken =
        takenApart(pageText, origin.url.isEmpty() ? page->record.url : origin.url, origin, first - 1, false);

    // The node count the parsed-links panel was last set to, while nothing else has run since: a link the
    // store holds already changes neither.
    int shownCount = -1;
    // The anchor being scanned is the resume point while a node of it is added and the window has its turn;
    // between anchors it is "1". Most anchors add nothing, and are scanned without a word to the store.
    const auto atAnchor = [&store](int j) { store.setResume(LinkStore::Badlink2, QString::number(j)); };
    const int last = static_cast<int>(taken->links.size());
    for (int j = first; j <= last; ++j) {
        if (overBatchLimit(store.full().count(), batchCounter)) {
            ++batchCounter;
            atAnchor(j);
            return ScanEnd::BatchLimit;
        }
        if (!env_.running) {
            atAnchor(j);
            return ScanEnd::Stopped;
        }
        const TakenLink& taking = taken->links[static_cast<size_t>(j - 1)];
        const QString& link = taking.link;
        if (!link.isEmpty()) {
            const QString& url = taking.resolved.url;
            const QString& request = taking.resolved.request;
            const int found = store.checktext(request);
            const int depth = levelCounter + 1;
            if (found == 0) {
                if (isAddable(link)) {
                    const int status = env_.settings.excludes(url) ? StatusExcluded : NoStatus;
                    atAnchor(j);
                    addNode(pageNode, taking, depth, isSiteUrl(url), status);
                    env_.toolkit.DoEvents();
                    shownCount = -1; // what ran in the window's turn may have set the panels
                }
            } else if (!env_.settings.noRepeats) {
                // A repeat shows the verdict its URL already has; it is never probed or scanned again.
                atAnchor(j);
                const int index = addNode(pageNode, taking, depth, isSiteUrl(url));
                store.copyVerdict(index, found);
            }
            if (store.full().count() != shownCount) {
                shownCount = store.full().count();
                store.setPanel(4, RunText::parsed(shownCount));
            }
        }
        store.setResume(LinkStore::Badlink2, QStringLiteral("1"));
    }
    return ScanEnd::Finished;
}

std::vector<PlannedProbe> PageScan::newLinks(const QString& pageText, const PageOrigin& origin, int depth,
                                            const PageJudged& judged) const
{
    const LinkStore& store = env_.store;
    const std::shared_ptr<const TakenPage> taken = takenApart(pageText, origin.url, origin, 0, true);
    std::vector<PlannedProbe> probes;
    for (size_t i = 0; i < taken->links.size(); ++i) {
        const TakenLink& taking = taken->links[i];
        if (taking.link.isEmpty() || !isAddable(taking.link)) {
            continue;
        }
        const ResolvedLink& s = taking.resolved;
        if (store.checktext(s.request) != 0 || env_.settings.excludes(s.url)) {
            continue;
        }
        const bool siteLink = isSiteUrl(s.url);
        const bool pageWanted = IsPageKind(taking.kind) &&
                                ((siteLink && env_.settings.readsPagesAt(depth)) || (judged && judged(s.request, siteLink)));
        probes.push_back({s.request, pageWanted, env_.settings.timeout});
    }
    return probes;
}

std::shared_ptr<const TakenPage> PageScan::takenApart(const QString& pageText, const QString& pageUrl,
                                                      const PageOrigin& origin, size_t firstResolved, bool ahead) const
{
    using AheadPage = ResolvedLinks::AheadPage;
    const bool resources = env_.settings.resources;
    QHash<QString, AheadPage>& aheadPages = resolved_->aheadPages;
    const auto same = [&](const AheadPage& kept) {
        return kept.charset == origin.charset && kept.rendered == origin.rendered && kept.resources == resources &&
               kept.text == pageText;
    };
    if (const auto kept = aheadPages.find(pageUrl); kept != aheadPages.end()) {
        std::shared_ptr<const TakenPage> links = same(*kept) ? kept->links : nullptr;
        if (!ahead) {
            resolved_->aheadChars -= kept->chars;
            aheadPages.erase(kept); // scanned: its links are in the store now
        }
        if (links) {
            return links;
        }
    }
    PageLinks found = ExtractLinks(pageText, resources);
    const LinkBase base(PageBase(found.baseHref, pageUrl));
    auto taken = std::make_shared<TakenPage>();
    taken->links.reserve(found.links.size());
    for (size_t i = 0; i < found.links.size(); ++i) {
        Anchor& anchor = found.links[i];
        QString link = ScannedLink(anchor, origin.rendered);
        ResolvedLink resolved;
        if (!link.isEmpty() && i >= firstResolved) {
            resolved = resolve(base, link, origin.charset);
        }
        taken->links.push_back({std::move(link), std::move(resolved), std::move(anchor.innerHtml), anchor.kind});
    }
    const qsizetype chars = pageText.size() + kCharsPerAnchor * static_cast<qsizetype>(taken->links.size());
    if (ahead && aheadPages.size() < kKeptAheadPages && resolved_->aheadChars + chars <= kKeptAheadChars) {
        const AheadPage replaced = aheadPages.take(pageUrl);
        aheadPages.insert(pageUrl, {pageText, origin.charset, origin.rendered, resources, taken, chars});
        resolved_->aheadChars += chars - replaced.chars;
    }
    return taken;
}

int PageScan::addNode(int pageNode, const TakenLink& taken, int depth, bool siteLink, int status)
{
    const bool withText = env_.settings.linkText;
    const QString& innerHtml = taken.innerHtml;
    const QString text = withText ? taken.link + u'(' + innerHtml + u')' : taken.link;
    const int index = env_.store.addLinkNode(pageNode, text, depth, taken.resolved.url, siteLink,
                                             withText ? innerHtml : QString(), taken.resolved.request, taken.kind);
    if (index != 0 && status != NoStatus) {
        env_.store.full().setStatus(index, status);
    }
    return index;
}

ResolvedLink PageScan::resolve(const LinkBase& base, const QString& link, const QString& charset) const
{
    if (std::optional<ResolvedLink> r = base.joined(link)) {
        return *r;
    }
    if (link.contains(u'?')) {
        return base.resolve(link, charset); // its query is encoded in the page's charset
    }
    // Keyed by what the resolution depends on; a new line is never part of a cleaned link.
    const QString key = HasScheme(link) ? link : base.scopeOf(link) + u'\n' + link;
    if (key.startsWith(u'\n')) {
        return base.resolve(link, charset);
    }
    QHash<QString, ResolvedLink>& byLink = resolved_->byLink;
    if (const auto known = byLink.constFind(key); known != byLink.constEnd()) {
        return *known;
    }
    if (byLink.size() >= kKeptLinks) {
        byLink.clear();
    }
    return *byLink.insert(key, base.resolve(link, charset, &resolved_->byUrl));
}
