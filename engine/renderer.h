#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// When the pages of a site are drawn by a browser before they are read: only when their HTML looks
// built by scripts, always, or never.
enum class RenderMode
{
    Auto,
    Always,
    Never
};
// "auto", "always", "never": how the mode is written on the command line, in JSON and in the settings.
inline QString RenderModeName(RenderMode mode)
{
    return mode == RenderMode::Always  ? QStringLiteral("always")
           : mode == RenderMode::Never ? QStringLiteral("never")
                                       : QStringLiteral("auto");
}
inline std::optional<RenderMode> ParseRenderMode(QStringView name)
{
    for (RenderMode mode : {RenderMode::Auto, RenderMode::Always, RenderMode::Never}) {
        if (name == RenderModeName(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

// A page as a browser draws it, once its scripts have run.
struct RenderedPage
{
    bool ok = false;
    QString html;         // the document as it stood when the page settled (or the time ran out)
    QString finalUrl;     // where the browser ended, its route after "#" included
    QString failure;      // why it could not be drawn, when not ok
    bool stopped = false; // not drawn because the run was stopped: asked again when it resumes
};

// What the check run asks of a browser. The run keeps to one thread: a render that is awaited runs the
// event loop until its answer comes, and pages may be asked for ahead so that several are drawn at once.
class Renderer
{
public:
    virtual ~Renderer() = default;
    // Pages drawn at once at most.
    virtual int parallel() const = 0;
    // Starts drawing `url` unless it is under way or drawn already and not yet taken.
    virtual void prefetch(const QString& url, int tryTime) = 0;
    // The page at `url`, drawn within `tryTime` seconds: the one asked ahead, else drawn now.
    virtual RenderedPage render(const QString& url, int tryTime) = 0;
    // Forgets pages asked ahead that were not taken.
    virtual void dropPrefetched() = 0;
    // The run was stopped: waits end at once with a failed page.
    virtual void interruptWaits() = 0;
    // Waits may go on again (a new start of the run).
    virtual void resumeWaits() = 0;
};
