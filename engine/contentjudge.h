#pragma once

#include "notfoundpattern.h"
#include "pagereading.h"
#include "renderer.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class PageRendering;
class Prober;
struct ProbeResult;

// Tells a valid answer that is a missing page in disguise (a content dead link): a server that answers
// 200 with a "page not found" text, or redirects to its home page or to an error page, for an address
// that no longer exists. A link is dead only on positive evidence: its answer is what its host gives for
// made-up addresses of the same folder and form (the same final place, or the same text where those
// answers agree), that text differs from the pages of the host the run knows to be good, and the link is
// not one that leads elsewhere by design (a sign-in, a home or language variant, a page number). A deep
// link sent to the home page is dead whatever the made-up addresses do. In doubt a link stays valid.
//
// It asks each folder pattern of a host two made-up addresses at most (one host-wide question settles a
// host that answers them with an error status; another is asked only when a page of a folder reads as
// missing or was sent elsewhere), an outside host two in all (one a pattern, so its not-found page must
// say that it is one), through the run's prober and so its pacing.
class ContentJudge
{
public:
    ContentJudge(Prober& prober, int tryTime) : prober_(prober), tryTime_(tryTime) {}
    // Pages that scripts build are judged on what the browser draws (made-up addresses of their pattern
    // too): their source reads the same for every address. Without a drawing they are not judged.
    void setRendering(PageRendering* rendering) { rendering_ = rendering; }

    struct Subject
    {
        QString request;
        const ProbeResult* answer = nullptr; // valid
        bool siteHost = true;                // on a host of the site; an outside host is asked less
        bool pageKept = false;               // the probe kept its page for the crawl
    };
    struct Verdict
    {
        bool dead = false;
        bool rendered = false;       // judged on the page as the browser drew it
        QString statusText;          // why, when dead; what the link leads to when it stays valid for it
        std::optional<QString> page; // the page text, when judging read it with a request of its own
    };
    Verdict judge(const Subject& subject);

    // Where the run's home page ended; links sent there are sent home.
    void setHomeAddress(const QString& url) { homeAddress_ = url; }
    // A page the run read and found good: what it shows is no evidence against its siblings.
    void noteGoodPage(const QString& url, const QString& html, bool drawn);
    // Whether the probe of `url` should read its page because judging it may: a host that answers made-up
    // addresses with an error needs none, and reading a page with its probe costs no request of its own.
    bool wantsPage(const QString& url, bool siteHost) const;

    // The page `html` as read for the checks of its content; the steps that ask about one page share it.
    std::shared_ptr<const PageReading> reading(const QString& html) const { return readings_.of(html); }

    // Made-up patterns a host is asked at most, made-up addresses an outside host is asked at most, and
    // pages read only to judge them.
    static constexpr int kMaxPatternsPerHost = 24;
    static constexpr int kMaxMadeUpOutside = 2;
    static constexpr int kMaxPageReadsPerHost = 2000;

private:
    struct Answer // how a host answers made-up addresses of one pattern
    {
        enum class Kind { Unknown, Missing, Redirect, Page } kind = Kind::Unknown;
        QString target; // Redirect: where they end (host and path)
        bool targetHome = false;
        bool viaPage = false; // Redirect: by a refresh or a script in the page, not by HTTP
        QStringList texts;    // Page: the blocks both answers show, in order,
        QStringList keys;     // and their keys
        QSet<QString> all;    // every block of both
        QString title;        // the title, when both have the same
        QString titleKey;
        int noise = 0; // blocks in which the two answers differ
        bool sameAsHome = false;
    };
    struct Host
    {
        bool pathAsked = false; // a made-up path was asked
        bool settled = false;   // it answered with an error: other folders are asked only on suspicion
        int patterns = 0;
        int madeUp = 0; // made-up addresses asked
        int pageReads = 0;
        std::optional<QSet<QString>> homeKeys;
        QSet<QString> goodKeys; // blocks of pages found good
        QHash<QString, QSet<QString>> patternGood;
        QHash<QString, Answer> answers;
    };
    struct Fetched
    {
        bool answered = false; // a status came back
        bool valid = false;
        bool moved = false; // by a refresh or a script in the page
        bool huge = false;  // a page too long to be a not-found page, not read further
        bool drawn = false; // the text is the page as the browser drew it
        QString finalUrl;
        QString text;
    };

    const Answer* answerFor(const NotFoundPattern& pattern, Host& host, const Subject& s,
                            const std::optional<QString>& page);
    Answer learn(const NotFoundPattern& pattern, Host& host, bool siteHost);
    Answer learnRedirect(const NotFoundPattern& pattern, const Fetched& first, const Fetched& second) const;
    Answer learnPage(const NotFoundPattern& pattern, Host& host, const Fetched& first, const Fetched& second);
    Fetched fetch(const QString& url);
    const QSet<QString>& homeKeys(Host& host, const QString& hostKey);
    bool isHome(const QString& url) const;
    bool looksMissing(Host& host, const QString& hostKey, const QString& html, const QStringList& addresses);
    Verdict judgeRedirect(const Answer& a, const QString& request, const QString& finalUrl) const;
    Verdict judge(const Subject& s, std::optional<RenderedPage>& drawn);
    Verdict judgePage(const Answer& a, Host& host, const NotFoundPattern& pattern, const Subject& s,
                      const QString& html, bool drawn);
    std::optional<RenderedPage> draw(const QString& url, const QString& html);
    NotFoundPattern patternOf(const QString& url) const;

    Prober& prober_;
    PageRendering* rendering_ = nullptr;
    int tryTime_;
    QString homeAddress_;
    QHash<QString, Host> hosts_;
    // The patterns of the links last asked about: a link is planned, probed and read, and each asks.
    mutable QHash<QString, NotFoundPattern> patterns_;
    mutable PageReadings readings_;
};
