#pragma once

#include "notfoundpattern.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

class PageRendering;
class Prober;
struct ProbeResult;

// Tells a valid answer that is a missing page in disguise (a content dead link): a server that answers
// 200 with a "page not found" text, or redirects to its home page or to an error page, for an address
// that no longer exists. It learns how each host answers made-up addresses of the link's form (a few
// requests per host and form, through the run's prober and so its pacing; one per host that answers
// 404 properly) and compares the link's answer with that: the same final address, or the same visible
// text once the address and what the home page also shows are set aside. In doubt a link stays valid.
class ContentJudge
{
public:
    ContentJudge(Prober& prober, int tryTime) : prober_(prober), tryTime_(tryTime) {}
    // Pages built by scripts are judged on what the browser draws, made-up addresses too; without it (or
    // when they cannot be drawn) they are not judged.
    void setRendering(PageRendering* rendering) { rendering_ = rendering; }

    struct Verdict
    {
        bool dead = false;
        bool rendered = false;       // judged on the page as the browser drew it
        QString statusText;          // why, when dead
        std::optional<QString> page; // the page text, when judging read it
    };
    // Judges the valid answer of `request`. `pageKept`: the probe kept its page, so reading it costs no
    // request.
    Verdict judge(const QString& request, const ProbeResult& answer, bool pageKept);

    // Made-up addresses a host is asked at most for, and pages read only to judge them.
    static constexpr int kMaxPatternsPerHost = 12;
    static constexpr int kMaxPageReadsPerHost = 2000;

private:
    struct Answer // how a host answers made-up addresses of one form
    {
        enum class Kind { Unknown, Missing, Redirect, Page } kind = Kind::Unknown;
        QString target; // Redirect: where they end (host and path)
        bool targetHome = false;
        QSet<QString> stable; // Page: the blocks both answers show
        QSet<QString> all;
        QSet<QString> marks; // the stable blocks beyond the home page that say the page is missing
        bool sameTitle = false; // both answers have the same title,
        QString titleKey;       // this one
        int noise = 0;    // blocks in which the two answers differ
        QString summary;  // what the page says, for the status text
        bool sameAsHome = false;
    };
    struct Host
    {
        bool pathAsked = false;    // a made-up path was asked
        bool pathsSettled = false; // the first made-up path got an error or no answer: no path needs judging
        int patterns = 0;
        int pageReads = 0;
        std::optional<QSet<QString>> homeKeys;
        QHash<QString, Answer> answers;
    };
    struct Fetched
    {
        bool answered = false; // a status came back
        bool valid = false;
        QString finalUrl;
        QString text;
    };

    Answer learn(const NotFoundPattern& pattern, Host& host);
    Answer learnPage(const NotFoundPattern& pattern, Host& host, const Fetched& first, const Fetched& second);
    static QString fixedPlace(const NotFoundPattern& pattern, const Fetched& f, const QString& asked);
    Fetched fetch(const QString& url);
    const QSet<QString>& homeKeys(Host& host, const QString& hostKey);
    Verdict judgePage(const Answer& a, Host& host, const QString& request, const ProbeResult& answer, bool pageKept);

    QString drawnOr(const QString& url, const QString& html);

    Prober& prober_;
    PageRendering* rendering_ = nullptr;
    int tryTime_;
    QHash<QString, Host> hosts_;
};
