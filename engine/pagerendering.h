#pragma once

#include "renderer.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

class PageReading;

// True for HTML that a browser's scripts still have to draw: an empty mount point of an app, little or
// no visible text or links beside scripts, a <noscript> notice on a page that shows next to nothing
// else, or links that are a router's hash routes. A page without scripts never is.
bool LooksScriptBuilt(const PageReading& page);
bool LooksScriptBuilt(QStringView html);

// The route of a hash-routed address ("#/news/1", "#!/news/1"): where it begins in `url`, or -1 when
// the fragment is not such a route.
qsizetype HashRouteAt(QStringView url);

// Which pages of a run are drawn by the browser, and the drawing itself: a page is drawn when the mode
// says so (automatic: only when its HTML looks built by scripts). Once a page of the run has been drawn,
// pages that are about to be read may be asked ahead, so that several are drawn at once; until then
// nothing is asked ahead, so a site built on the server is never drawn at all.
class PageRendering
{
public:
    PageRendering(Renderer* renderer, RenderMode mode)
        : renderer_(mode == RenderMode::Never ? nullptr : renderer), mode_(mode)
    {
    }

    // Whether a page whose HTML is `html` is to be drawn.
    bool wants(const PageReading& page) const;
    bool wants(QStringView html) const;
    // The page at `url` as drawn; a page drawn for an earlier question of this run (judging it, then
    // reading it) is not drawn again.
    RenderedPage render(const QString& url, int tryTime);
    // `html` as the browser draws the page at `url` when it is to be drawn and can be; else `html`.
    QString drawnOr(const QString& url, const QString& html, int tryTime);
    // Asks ahead for pages that will be read soon, when pages of this run are being drawn.
    void prefetch(const QStringList& urls, int tryTime);
    bool drawing() const { return renderer_ && (mode_ == RenderMode::Always || drawn_); }
    int parallel() const { return renderer_ ? renderer_->parallel() : 0; }
    void finish();

private:
    Renderer* renderer_;
    RenderMode mode_;
    bool drawn_ = false;
    QHash<QString, RenderedPage> recent_;
    QStringList recentOrder_;
    qsizetype recentChars_ = 0;
};
