#include "pagescan.h"

#include "anchors.h"
#include "linkstore.h"
#include "runtexts.h"
#include "textops.h"
#include "toolkit.h"
#include "urlops.h"

namespace {

// Links that cannot be tested: script, favourites, mail and messenger links.
bool isUntestable(const Anchor& a)
{
    return a.href.contains(u"javascript", Qt::CaseInsensitive) ||
           a.hrefText.contains(u"addfavorite", Qt::CaseInsensitive) ||
           a.hrefText.contains(u"mailto", Qt::CaseInsensitive) ||
           a.hrefText.contains(u"tencent:", Qt::CaseInsensitive);
}

bool isHtmlSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// The href value cleaned: white space a browser ignores, quotes and the fragment removed, back
// slashes turned into slashes.
QString cleanLink(const QString& href)
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
    while (from < to && isHtmlSpace(link[from])) {
        ++from;
    }
    while (to > from && isHtmlSpace(link[to - 1])) {
        --to;
    }
    link = link.mid(from, to - from);
    const qsizetype hash = link.indexOf(u'#');
    if (hash >= 0) {
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

} // namespace

bool PageScan::overBatchLimit(int nodeCount, int batchCounter)
{
    return static_cast<qint64>(nodeCount) > (static_cast<qint64>(batchCounter) + 1) * 200 - 1;
}

ScanEnd PageScan::scan(QStringView pageText, int pageNode, int anchorStart, int levelCounter, int& batchCounter)
{
    LinkStore& store = env_.store;
    const std::vector<Anchor> anchors = ExtractAnchors(pageText);

    const ResultNode* page = store.full().node(pageNode);
    if (!page) {
        return ScanEnd::Finished;
    }
    QString pageTitle = page->text;
    if (pageNode > 1 && pageTitle.contains(u'(')) {
        pageTitle.truncate(pageTitle.indexOf(u'('));
    }
    const QString pagePath = StripHttp(pageTitle);
    const QString siteText = store.full().nodeText(1);

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
        const QString link = anchor.usable && !isUntestable(anchor) ? cleanLink(anchor.href) : QString();
        if (!link.isEmpty() && (!HasScheme(link) || IsHttpUrl(link))) {
            const QString url = ResolveLink(link, store.full(), pageNode);
            const bool siteLink = IsSiteLink(link, pagePath, siteText, env_.settings.subdomains);
            const int found = store.checktext(url);
            const int depth = levelCounter + 1;
            if (found == 0) {
                if (isAddable(link)) {
                    const int status = env_.settings.excludes(url) ? StatusExcluded : NoStatus;
                    addNode(pageNode, link, anchor.innerHtml, depth, url, siteLink, status);
                    env_.toolkit.DoEvents();
                }
            } else if (!env_.settings.noRepeats) {
                const ResultNode* original = store.full().node(found);
                addNode(pageNode, link, anchor.innerHtml, depth, url, siteLink, original ? original->status : 0);
            }
            store.setPanel(4, RunText::parsed(store.full().count()));
        }
        store.setResume(LinkStore::Badlink2, QStringLiteral("1"));
    }
    return ScanEnd::Finished;
}

void PageScan::addNode(int pageNode, const QString& link, const QString& innerHtml, int depth, const QString& url,
                       bool siteLink, int status)
{
    const bool withText = env_.settings.linkText;
    const QString text = withText ? link + u'(' + innerHtml + u')' : link;
    const int index = env_.store.addLinkNode(pageNode, text, depth, url, siteLink, withText ? innerHtml : QString());
    if (index != 0 && status != NoStatus) {
        env_.store.full().setStatus(index, status);
    }
}
