#include "pagerendering.h"

#include "pagereading.h"

#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Pages drawn lately and kept for a second question about the same address (a sweep judges a page, a
// later pass reads it).
constexpr int kRecentPages = 256;
constexpr qsizetype kRecentChars = 16 * 1024 * 1024;
// Below these a page shows next to nothing of its own: its scripts draw what a visitor sees.
constexpr int kFewTextChars = 150;
constexpr int kNoticeTextChars = 400;
constexpr int kFewLinks = 3;

} // namespace

bool LooksScriptBuilt(QStringView html)
{
    // A page read ahead is asked about alone: one search, not the pass for all the words, passes over a page
    // without scripts.
    return html.contains(u"<script", Qt::CaseInsensitive) && LooksScriptBuilt(PageReading(html));
}

bool LooksScriptBuilt(const PageReading& page)
{
    // Most pages have no script at all: the pass for the words of the page's patterns tells.
    const QStringView html = page.html();
    if (!page.mayHold(PageReading::ScriptTag) || !html.contains(u"<script", Qt::CaseInsensitive)) {
        return false;
    }
    if (IsScriptBuilt(page)) {
        return true;
    }
    static const QRegularExpression hashRoute(uR"(<a\b[^>]*\bhref\s*=\s*["']?#!?/)"_s,
                                              QRegularExpression::CaseInsensitiveOption);
    auto routes = hashRoute.globalMatch(html);
    int routeCount = 0;
    while (routes.hasNext() && routeCount < 2) {
        routes.next();
        ++routeCount;
    }
    if (routeCount >= 2) {
        return true;
    }
    static const QRegularExpression anchor(uR"(<a\b[^>]*\bhref\s*=)"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression notice(uR"(<noscript\b[^>]*>[^<]*(javascript|脚本|js))"_s,
                                           QRegularExpression::CaseInsensitiveOption);
    const int chars = page.visibleChars();
    if (chars < kFewTextChars) {
        int links = 0;
        auto anchors = anchor.globalMatch(html);
        while (anchors.hasNext() && links < kFewLinks) {
            anchors.next();
            ++links;
        }
        if (links < kFewLinks) {
            return true;
        }
    }
    return chars < kNoticeTextChars && notice.match(html).hasMatch();
}

qsizetype HashRouteAt(QStringView url)
{
    const qsizetype hash = url.indexOf(u'#');
    if (hash < 0) {
        return -1;
    }
    const QStringView route = url.mid(hash + 1);
    return route.startsWith(u'/') || route.startsWith(u"!/") ? hash : -1;
}

bool PageRendering::wants(const PageReading& page) const
{
    return renderer_ && (mode_ == RenderMode::Always || LooksScriptBuilt(page));
}

bool PageRendering::wants(QStringView html) const
{
    return renderer_ && (mode_ == RenderMode::Always || LooksScriptBuilt(html));
}

RenderedPage PageRendering::render(const QString& url, int tryTime)
{
    if (!renderer_) {
        return {};
    }
    const auto kept = recent_.constFind(url);
    if (kept != recent_.cend()) {
        return *kept;
    }
    drawn_ = true;
    RenderedPage page = renderer_->render(url, tryTime);
    if (page.stopped) {
        return page;
    }
    recent_.insert(url, page);
    recentOrder_ << url;
    recentChars_ += page.html.size();
    while (recentOrder_.size() > kRecentPages || recentChars_ > kRecentChars) {
        recentChars_ -= recent_.take(recentOrder_.takeFirst()).html.size();
    }
    return page;
}

QString PageRendering::drawnOr(const QString& url, const QString& html, int tryTime)
{
    if (!wants(html)) {
        return html;
    }
    RenderedPage page = render(url, tryTime);
    return page.ok ? page.html : html;
}

void PageRendering::prefetch(const QStringList& urls, int tryTime)
{
    if (!drawing()) {
        return;
    }
    // Addresses that name a file a browser does not draw (a PDF, an archive) are left to their probe.
    static const QRegularExpression file(
        uR"(\.(pdf|zip|rar|7z|gz|docx?|xlsx?|pptx?|jpe?g|png|gif|webp|svg|mp4|mp3|apk|exe)$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& url : urls) {
        if (!recent_.contains(url) && !file.match(QUrl(url).path()).hasMatch()) {
            renderer_->prefetch(url, tryTime);
        }
    }
}

void PageRendering::finish()
{
    if (renderer_) {
        renderer_->dropPrefetched();
    }
}
