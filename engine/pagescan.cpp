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

namespace {

// Links that cannot be tested: script, favourites, mail and messenger links. The rules read the text
// of an <a> element; other elements are judged by the scheme of their URL alone, so that a script
// named /javascripts/app.js is checked.
bool isUntestable(const Anchor& a)
{
    return a.aTag && (a.href.contains(u"javascript", Qt::CaseInsensitive) ||
                      a.hrefText.contains(u"addfavorite", Qt::CaseInsensitive) ||
                      a.hrefText.contains(u"mailto", Qt::CaseInsensitive) ||
                      a.hrefText.contains(u"tencent:", Qt::CaseInsensitive));
}

// The href value cleaned: white space a browser ignores, quotes and the fragment removed, back
// slashes turned into slashes. With `keepRoutes`, a fragment that is a router's route other than its
// root stays: on a page drawn by its scripts, "#/news/1" is a page of its own.
QString cleanLink(const QString& href, bool keepRoutes)
{
    QString link;
    link.reserve(href.size());
    for (QChar c : href) {
        if (c == u'\'' || c == u'"' || c == u'\t' || c == u'\n' || c == u'\r') {
            continue;
        }
        link += c == u'\\' ? QChar(u'/') : c;
    }
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
    return !link.contains(u']') && !link.contains(u".exe", Qt::CaseInsensitive) && link != u"#" && link != u"/" &&
           !link.isEmpty();
}

// The address the links of a page resolve against: its <base href> when that names an http(s) address,
// otherwise the address the page came from.
QString PageBase(QStringView pageText, QStringView pageUrl)
{
    const QString href = FindBaseHref(pageText).trimmed();
    if (!href.isEmpty()) {
        const QString base = ResolveLink(href, pageUrl);
        if (IsHttpUrl(base)) {
            return base;
        }
    }
    return pageUrl.toString();
}

} // namespace

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
}

bool PageScan::isSiteUrl(QStringView url) const
{
    return IsSiteLink(url, homeHost_, env_.store.full().nodeUrl(1), env_.settings.subdomains);
}

ScanEnd PageScan::scan(QStringView pageText, int pageNode, int anchorStart, int levelCounter, int& batchCounter,
                       const PageOrigin& origin)
{
    LinkStore& store = env_.store;
    const std::vector<Anchor> anchors = ExtractLinks(pageText, env_.settings.resources);

    const ResultNode* page = store.full().node(pageNode);
    if (!page) {
        return ScanEnd::Finished;
    }
    const QString base = PageBase(pageText, origin.url.isEmpty() ? page->record.url : origin.url);

    const int first = anchorStart < 1 ? 1 : anchorStart;
    for (int j = first; j <= static_cast<int>(anchors.size()); ++j) {
        if (overBatchLimit(store.full().count(), batchCounter)) {
            ++batchCounter;
            store.setResume(LinkStore::Badlink2, QString::number(j));
            return ScanEnd::BatchLimit;
        }
        if (!env_.running) {
            store.setResume(LinkStore::Badlink2, QString::number(j));
            return ScanEnd::Stopped;
        }
        store.setResume(LinkStore::Badlink2, QString::number(j));

        const Anchor& anchor = anchors[static_cast<size_t>(j - 1)];
        const QString link =
            anchor.usable && !isUntestable(anchor) ? cleanLink(anchor.href, origin.rendered) : QString();
        if (!link.isEmpty() && (!HasScheme(link) || IsHttpUrl(link))) {
            const QString url = ResolveLink(link, base);
            const QString request = RequestForm(link, base, origin.charset);
            const bool siteLink = isSiteUrl(url);
            const int found = store.checktext(request);
            const int depth = levelCounter + 1;
            if (found == 0) {
                if (isAddable(link)) {
                    const int status = env_.settings.excludes(url) ? StatusExcluded : NoStatus;
                    addNode(pageNode, link, anchor, depth, url, siteLink, request, status);
                    env_.toolkit.DoEvents();
                }
            } else if (!env_.settings.noRepeats) {
                // A repeat shows the verdict its URL already has; it is never probed or scanned again.
                const int index = addNode(pageNode, link, anchor, depth, url, siteLink, request);
                store.copyVerdict(index, found);
            }
            store.setPanel(4, RunText::parsed(store.full().count()));
        }
        store.setResume(LinkStore::Badlink2, QStringLiteral("1"));
    }
    return ScanEnd::Finished;
}

int PageScan::addNode(int pageNode, const QString& link, const Anchor& anchor, int depth, const QString& url,
                      bool siteLink, const QString& request, int status)
{
    const bool withText = env_.settings.linkText;
    const QString& innerHtml = anchor.innerHtml;
    const QString text = withText ? link + u'(' + innerHtml + u')' : link;
    const int index = env_.store.addLinkNode(pageNode, text, depth, url, siteLink, withText ? innerHtml : QString(),
                                             request, anchor.kind);
    if (index != 0 && status != NoStatus) {
        env_.store.full().setStatus(index, status);
    }
    return index;
}
