#include "contentjudge.h"

#include "pagereading.h"
#include "pagerendering.h"
#include "prober.h"
#include "runtexts.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// An error page that shows less text than this tells nothing; one whose own text (beyond what good pages
// show) is longer than this is a page of content that ignores the address (an article whose router reads
// only its id), whatever it quotes.
constexpr int kMinTextChars = 4;
constexpr int kMaxOwnChars = 300;
constexpr int kSummaryChars = 20;
// A page longer than this is no not-found page, and what a good page shows beyond it adds nothing to the
// template. Reading all of a huge (or hostile) page would hold the run up for seconds, while the requests
// in flight are timed.
constexpr qsizetype kMaxReadChars = 512 * 1024;
// Blocks of good pages kept per host: enough for the template, the navigation and the boxes.
constexpr int kMaxGoodKeys = 5000;
// Patterns of links kept for their later questions.
constexpr qsizetype kKeptPatterns = 8192;

// Where an answer ended, as host and path: a redirect target is the same page whatever query it carries.
QString placeOf(const QString& url)
{
    const QUrl u(url);
    return u.host().toLower() + u':' + QString::number(u.port(0)) + u.path();
}

// A list or index by its own name: an old address of a list that now redirects to the list.
bool isListName(const QString& url)
{
    static const QRegularExpression name(
        u"^(list|lists|index|default|more|all|archive|archives)([_-]\\w+)?(\\.\\w+)?$"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QString path = QUrl(url).path();
    return path.endsWith(u'/') || name.match(path.section(u'/', -1)).hasMatch();
}

QStringView head(const QString& html)
{
    return QStringView(html).left(kMaxReadChars);
}

QString clipped(const QString& text)
{
    return text.size() <= kSummaryChars ? text : text.left(kSummaryChars) + u'…';
}

int countMissing(const QSet<QString>& from, const QSet<QString>& in)
{
    return static_cast<int>(std::count_if(from.begin(), from.end(), [&in](const QString& k) { return !in.contains(k); }));
}

// A hash route ("#/news/1") as the path it names: its pages are judged apart from the server's own
// paths (the app answers its routes, the server its files), as a host of their own.
struct Route
{
    QString marker; // "#" or "#!"; empty for an address that is no route
    QString prefix; // the address up to the route, marker included
    QString root;   // scheme and authority
    QString asPath; // the route as a path of the host; the address itself when no route
};

Route routeOf(const QString& url)
{
    const qsizetype at = HashRouteAt(url);
    if (at < 0) {
        return {QString(), QString(), QString(), url};
    }
    Route r;
    r.marker = url.mid(at, url.mid(at + 1).startsWith(u'!') ? 2 : 1);
    r.prefix = url.left(at) + r.marker;
    const QUrl page(url.left(at));
    r.root = page.scheme() + u"://"_s + page.authority();
    r.asPath = r.root + url.mid(at + r.marker.size());
    return r;
}

// The pattern of `url`; a hash route's made-up addresses are made-up routes of the same form.
NotFoundPattern routePatternOf(const QString& url, bool draw)
{
    const Route route = routeOf(url);
    NotFoundPattern p = PatternOf(route.asPath, draw);
    if (route.marker.isEmpty() || p.form == NotFoundPattern::Form::None) {
        return p;
    }
    const auto asRoute = [&route](const QString& made) {
        return made.startsWith(route.root) ? route.prefix + made.mid(route.root.size()) : made;
    };
    p.first = asRoute(p.first);
    p.second = asRoute(p.second);
    p.host += route.marker;
    p.key = route.marker + p.key;
    return p;
}

// What a good page shows is template for the pages of its host or pattern, except what says "missing":
// a page found good only in doubt may be a not-found page after all. A block known already is not read again.
void noteSibling(QSet<QString>& keys, const PagePrint& print)
{
    for (qsizetype i = 0; i < print.texts.size(); ++i) {
        if (!keys.contains(print.keys[i]) && !SaysMissing(print.texts[i])) {
            keys.insert(print.keys[i]);
        }
    }
}

ContentJudge::Verdict deadFor(const QString& reason)
{
    ContentJudge::Verdict v;
    v.dead = true;
    v.statusText = reason;
    return v;
}

ContentJudge::Verdict signInNeeded()
{
    ContentJudge::Verdict v;
    v.statusText = RunText::signInNeeded();
    return v;
}

} // namespace

NotFoundPattern ContentJudge::patternOf(const QString& url) const
{
    if (const auto known = patterns_.constFind(url); known != patterns_.constEnd()) {
        return *known;
    }
    if (patterns_.size() >= kKeptPatterns) {
        patterns_.clear();
    }
    return *patterns_.insert(url, routePatternOf(url, false));
}

ContentJudge::Fetched ContentJudge::fetch(const QString& url)
{
    const ProbeResult r = prober_.CheckUrl(url, tryTime_, true);
    Fetched f;
    f.valid = r.valid;
    f.answered = r.httpStatus > 0;
    f.finalUrl = r.finalUrl.isEmpty() ? url : r.finalUrl.toString();
    f.text = prober_.CheckLinks(url, tryTime_); // also lets the prober drop the page it kept
    f.huge = f.text.size() > kMaxReadChars;
    if (const std::optional<RenderedPage> drawn = f.huge ? std::nullopt : draw(url, f.text)) {
        f.drawn = true;
        f.text = drawn->html;
        f.moved = placeOf(drawn->finalUrl) != placeOf(f.finalUrl);
        f.finalUrl = drawn->finalUrl;
    } else if (const std::optional<QString> moved =
                   f.huge ? std::nullopt : PageRedirect(*reading(f.text), f.finalUrl)) {
        // A page that sends the browser on ends where it sends it.
        f.finalUrl = *moved;
        f.moved = true;
        f.text.clear();
    }
    return f;
}

// The page as the browser draws it, when its scripts build it and it can be drawn. The browser follows
// what sends it on by itself: where it ended is where the page went.
std::optional<RenderedPage> ContentJudge::draw(const QString& url, const QString& html)
{
    if (!rendering_ || !rendering_->wants(*reading(html))) {
        return std::nullopt;
    }
    RenderedPage page = rendering_->render(url, tryTime_);
    // Scripts that drew nothing (they did not load, or the app waits for what never comes) leave every
    // route showing the same shell: a drawn page tells nothing the HTML does not, and is judged as that.
    if (!page.ok || ReadVisibleText(page.html).blocks == reading(html)->visibleText().blocks) {
        return std::nullopt;
    }
    return page;
}

const QSet<QString>& ContentJudge::homeKeys(Host& host, const QString& hostKey)
{
    if (!host.homeKeys) {
        const QUrl u(hostKey);
        const QString home = u.scheme() + u"://"_s + u.authority() + u'/';
        const Fetched f = fetch(home);
        host.homeKeys = MakePagePrint(head(f.text), {home, f.finalUrl}).keySet;
    }
    return *host.homeKeys;
}

bool ContentJudge::isHome(const QString& url) const
{
    return IsHomeAlias(url) || (!homeAddress_.isEmpty() && placeOf(url) == placeOf(homeAddress_));
}

void ContentJudge::noteGoodPage(const QString& url, const QString& html, bool drawn)
{
    // A huge page is read as far as it can be a not-found page.
    const std::shared_ptr<const PageReading> page =
        html.size() > kMaxReadChars ? std::make_shared<const PageReading>(head(html)) : reading(html);
    if (!drawn && IsScriptBuilt(*page)) {
        return;
    }
    // Most pages have a pattern (kept from their judging), which names their host and says they are no
    // home page: only the others are parsed again.
    const NotFoundPattern pattern = patternOf(url);
    const bool patterned = pattern.form != NotFoundPattern::Form::None;
    const Route route = patterned ? Route() : routeOf(url);
    Host& host = hosts_[patterned ? pattern.host : HostKeyOf(url) + route.marker];
    const bool home = !patterned && IsHomeAlias(route.asPath) && !host.homeKeys;
    // The template, the navigation and the boxes show on the first pages already: a large site's
    // later pages add nothing but their cost.
    if (!home && host.goodKeys.size() >= kMaxGoodKeys) {
        return;
    }
    const PagePrint print = MakePagePrint(*page, {url});
    if (home) {
        host.homeKeys = print.keySet; // read for the crawl: no need to ask for it again
    }
    // A page found good only in doubt may be a not-found page after all: what says so is never template.
    noteSibling(host.goodKeys, print);
    if (patterned) {
        noteSibling(host.patternGood[pattern.key], print);
    }
}

bool ContentJudge::wantsPage(const QString& url, bool siteHost) const
{
    const NotFoundPattern pattern = patternOf(url);
    if (pattern.form == NotFoundPattern::Form::None) {
        return false;
    }
    // While nothing is known of the pattern its answer may need the page, and the probes of the first links
    // go out long before the made-up answers come back: each reads its page once, bounded as a page read for
    // the crawl is, rather than being asked again to be judged. A host that answers missing paths with an
    // error has the rest of its pages read no further than their status.
    const auto host = hosts_.constFind(pattern.host);
    if (host == hosts_.constEnd()) {
        return true;
    }
    const auto a = host->answers.constFind(pattern.key);
    if (a == host->answers.constEnd()) {
        const bool askable = siteHost ? host->patterns < kMaxPatternsPerHost : host->madeUp < kMaxMadeUpOutside;
        return askable && !(host->settled && pattern.form == NotFoundPattern::Form::Path);
    }
    return a->kind == Answer::Kind::Page || (a->kind == Answer::Kind::Redirect && a->viaPage);
}

// Whether a page's own text (beyond the home page and the good pages of its host) says it is missing: on
// a host that answers made-up addresses with an error, only such a page gets its folder asked.
bool ContentJudge::looksMissing(Host& host, const QString& hostKey, const QString& html, const QStringList& addresses)
{
    // The home page is among the good pages when the run read it; asked for only when a page says so.
    const std::shared_ptr<const PageReading> page = reading(html);
    if (!SaysMissing(*page)) {
        return false; // most pages: no block can say it either
    }
    const PagePrint print = MakePagePrint(*page, addresses);
    const auto own = [&](qsizetype i) { return !host.goodKeys.contains(print.keys[i]) && SaysMissing(print.texts[i]); };
    for (qsizetype i = 0; i < print.texts.size(); ++i) {
        if (own(i) && !homeKeys(host, hostKey).contains(print.keys[i])) {
            return true;
        }
    }
    return false;
}

ContentJudge::Answer ContentJudge::learn(const NotFoundPattern& pattern, Host& host, bool siteHost)
{
    // An outside host is asked one made-up address a pattern, two in all: a host of the site, two a pattern.
    const int asks = siteHost ? 2 : 1;
    if (host.patterns >= kMaxPatternsPerHost || (!siteHost && host.madeUp + asks > kMaxMadeUpOutside)) {
        return {};
    }
    ++host.patterns;
    host.madeUp += asks;
    const Fetched first = fetch(pattern.first);
    if (pattern.form == NotFoundPattern::Form::Path && !host.pathAsked) {
        host.pathAsked = true;
        host.settled = !first.valid;
    }
    if (!first.valid) {
        Answer a;
        a.kind = first.answered ? Answer::Kind::Missing : Answer::Kind::Unknown;
        return a;
    }
    const Fetched second = siteHost ? fetch(pattern.second) : first;
    if (!second.valid) {
        return {};
    }
    const bool inPlace = placeOf(first.finalUrl) == placeOf(pattern.first) &&
                         placeOf(second.finalUrl) == placeOf(siteHost ? pattern.second : pattern.first);
    return inPlace ? learnPage(pattern, host, first, second) : learnRedirect(pattern, first, second);
}

// Both made-up addresses went elsewhere: an error page, the home page or a list of the folder is where
// the host sends missing pages when both went there. A sign-in page or a page of content beside the
// link (an article a slug of which was made up) says nothing of the kind.
ContentJudge::Answer ContentJudge::learnRedirect(const NotFoundPattern& pattern, const Fetched& first,
                                                 const Fetched& second) const
{
    const bool keepsName = std::any_of(pattern.madeUp.begin(), pattern.madeUp.end(), [&](const QString& m) {
        return first.finalUrl.contains(m) || second.finalUrl.contains(m);
    });
    const QString target = placeOf(first.finalUrl);
    if (keepsName || target != placeOf(second.finalUrl) || IsLoginPlace(first.finalUrl)) {
        return {};
    }
    static const QRegularExpression errorName(u"404|error|not.?found|missing|cuowu|tips?|notice"_s,
                                              QRegularExpression::CaseInsensitiveOption);
    const QString targetPath = QUrl(first.finalUrl).path();
    const bool home = isHome(first.finalUrl);
    const bool beside = targetPath.startsWith(pattern.folder) && targetPath.size() > pattern.folder.size();
    if (!home && beside && !errorName.match(targetPath).hasMatch() && !isListName(first.finalUrl)) {
        return {};
    }
    Answer a;
    a.kind = Answer::Kind::Redirect;
    a.target = target;
    a.targetHome = home;
    a.viaPage = first.moved || second.moved;
    return a;
}

// Both made-up addresses got a page of their own: it is the host's not-found page when the two say the
// same (blocks that change from answer to answer, such as recommended articles, set aside as noise), say
// something, and are not pages that scripts build. Whether it differs from the good pages is decided when
// a link is judged, with the good pages known by then.
ContentJudge::Answer ContentJudge::learnPage(const NotFoundPattern& pattern, Host& host, const Fetched& first,
                                             const Fetched& second)
{
    if (first.huge || second.huge || (!first.drawn && IsScriptBuilt(*reading(first.text))) ||
        (!second.drawn && IsScriptBuilt(*reading(second.text)))) {
        return {};
    }
    const PagePrint one = MakePagePrint(*reading(first.text), {pattern.first, first.finalUrl});
    const PagePrint two =
        &first == &second ? one : MakePagePrint(*reading(second.text), {pattern.second, second.finalUrl});
    Answer a;
    a.all = one.keySet | two.keySet;
    a.noise = std::max(countMissing(one.keySet, two.keySet), countMissing(two.keySet, one.keySet));
    int stableChars = 0;
    for (qsizetype i = 0; i < one.texts.size(); ++i) {
        if (two.keySet.contains(one.keys[i]) && !a.keys.contains(one.keys[i])) {
            a.keys << one.keys[i];
            a.texts << one.texts[i];
            stableChars += static_cast<int>(one.texts[i].size());
        }
    }
    if (a.noise > std::max<qsizetype>(3, a.keys.size() / 4) || stableChars < kMinTextChars) {
        return {};
    }
    if (one.titleKey == two.titleKey) {
        a.title = one.title;
        a.titleKey = one.titleKey;
    }
    const QSet<QString>& home = homeKeys(host, pattern.host);
    const bool ownText =
        std::any_of(a.keys.begin(), a.keys.end(), [&home](const QString& k) { return !home.contains(k); });
    a.sameAsHome = !ownText && countMissing(home, a.all) <= a.noise;
    // A page that differs from the home page only in what changes anyway must change little.
    if (a.sameAsHome && a.noise > std::max<qsizetype>(1, a.keys.size() / 10)) {
        return {};
    }
    a.kind = Answer::Kind::Page;
    return a;
}

const ContentJudge::Answer* ContentJudge::answerFor(const NotFoundPattern& pattern, Host& host, const Subject& s,
                                                    const std::optional<QString>& page)
{
    if (!host.answers.contains(pattern.key)) {
        // On a host that answers made-up addresses with an error, a folder is asked only when one of its
        // pages reads as missing or was sent elsewhere: a clean site costs one question, not one a folder.
        const QString finalUrl = s.answer->finalUrl.toString();
        const bool away = finalUrl != s.request && placeOf(finalUrl) != placeOf(s.request);
        if (host.settled && pattern.form == NotFoundPattern::Form::Path && !(away && !s.answer->finalUrl.isEmpty()) &&
            !(page && looksMissing(host, pattern.host, *page, {s.request, finalUrl}))) {
            return nullptr;
        }
        host.answers.insert(pattern.key, learn(routePatternOf(s.request, true), host, s.siteHost));
    }
    return &*host.answers.constFind(pattern.key);
}

ContentJudge::Verdict ContentJudge::judge(const Subject& s)
{
    std::optional<RenderedPage> drawn;
    Verdict v = judge(s, drawn);
    v.rendered = drawn.has_value();
    return v;
}

ContentJudge::Verdict ContentJudge::judge(const Subject& s, std::optional<RenderedPage>& drawn)
{
    QString finalUrl = s.answer->finalUrl.isEmpty() ? s.request : s.answer->finalUrl.toString();
    // Members-only pages send a visitor who is not signed in to the sign-in page: not a missing page.
    if (IsLoginPlace(finalUrl) && !IsLoginPlace(s.request)) {
        return signInNeeded();
    }
    const NotFoundPattern pattern = patternOf(s.request);
    if (pattern.form == NotFoundPattern::Form::None) {
        return {};
    }
    // The page, when it is at hand without a request: kept by the probe, as drawn when scripts build it.
    std::optional<QString> page = prober_.LastPage(s.request);
    const bool huge = page && page->size() > kMaxReadChars;
    drawn = page && !huge ? draw(s.request, *page) : std::nullopt;
    if (drawn) {
        page = drawn->html;
        finalUrl = drawn->finalUrl;
    }
    if (huge) {
        page.reset(); // only where it ended can tell
    } else if (page) {
        const std::shared_ptr<const PageReading> read = reading(*page);
        if (const std::optional<QString> moved = drawn ? std::nullopt : PageRedirect(*read, finalUrl)) {
            finalUrl = *moved;
            page.reset();
        } else if (IsLoginForm(*read) && read->visibleChars() < kMaxOwnChars) {
            return signInNeeded();
        }
    }
    const bool away = finalUrl != s.request && placeOf(finalUrl) != placeOf(s.request);
    if (away && isHome(finalUrl) && IsDeepLink(s.request) && QUrl(finalUrl).host() == QUrl(s.request).host()) {
        return deadFor(RunText::contentHome());
    }
    Host& host = hosts_[pattern.host];
    const Answer* a = answerFor(pattern, host, s, page);
    if (!a || (a->kind != Answer::Kind::Redirect && a->kind != Answer::Kind::Page)) {
        return {};
    }
    if (a->kind == Answer::Kind::Redirect && (!a->viaPage || away)) {
        return judgeRedirect(*a, s.request, finalUrl);
    }
    Verdict v;
    if (!page && !away && !huge) {
        if (host.pageReads >= kMaxPageReadsPerHost) {
            return v;
        }
        ++host.pageReads;
        v.page = prober_.CheckLinks(s.request, tryTime_);
        if (v.page->size() > kMaxReadChars) {
            return v;
        }
        page = v.page;
        std::optional<QString> moved;
        if ((drawn = draw(s.request, *page))) {
            page = drawn->html;
            moved = placeOf(drawn->finalUrl) != placeOf(finalUrl) ? std::optional(drawn->finalUrl) : std::nullopt;
        } else {
            moved = PageRedirect(*reading(*page), finalUrl);
        }
        if (moved) {
            const bool home = isHome(*moved) && IsDeepLink(s.request);
            Verdict r = home ? deadFor(RunText::contentHome())
                             : a->kind == Answer::Kind::Redirect ? judgeRedirect(*a, s.request, *moved) : Verdict();
            r.page = std::move(v.page);
            return r;
        }
    }
    if (!page || a->kind != Answer::Kind::Page) {
        return v;
    }
    Verdict p = judgePage(*a, host, pattern, s, *page, drawn.has_value());
    p.page = std::move(v.page);
    return p;
}

ContentJudge::Verdict ContentJudge::judgeRedirect(const Answer& a, const QString& request,
                                                  const QString& finalUrl) const
{
    // A link that is a list by name may have moved to the list on purpose; one that is a home or
    // language variant goes home on purpose.
    if (placeOf(finalUrl) != a.target || placeOf(request) == a.target || isListName(request) ||
        (a.targetHome && !IsDeepLink(request))) {
        return {};
    }
    return deadFor(a.targetHome ? RunText::contentHome() : RunText::contentRedirect(QUrl(finalUrl).path()));
}

// The link's page is the not-found page when it shows every block of that page's own text (what neither
// the home page nor a good page of the host shows), little else, and the same title; and that own text
// is evidence: it says the page is missing, or a good page of the same pattern showed the difference.
ContentJudge::Verdict ContentJudge::judgePage(const Answer& a, Host& host, const NotFoundPattern& pattern,
                                              const Subject& s, const QString& html, bool drawn)
{
    const std::shared_ptr<const PageReading> page = reading(html);
    if (!drawn && IsScriptBuilt(*page)) {
        return {};
    }
    const PagePrint print = MakePagePrint(*page, {s.request, s.answer->finalUrl.toString()});
    if (print.keySet.isEmpty() || (!a.titleKey.isEmpty() && a.titleKey != print.titleKey)) {
        return {};
    }
    const QSet<QString> stable(a.keys.begin(), a.keys.end());
    if (a.sameAsHome) {
        const bool same = countMissing(stable, print.keySet) <= a.noise && countMissing(print.keySet, a.all) <= a.noise;
        return same && IsDeepLink(s.request) ? deadFor(RunText::contentSameAsHome()) : Verdict();
    }
    const QSet<QString>& home = homeKeys(host, pattern.host);
    QSet<QString>& patternGood = host.patternGood[pattern.key];
    const auto isTemplate = [&](const QString& k) {
        return home.contains(k) || host.goodKeys.contains(k) || patternGood.contains(k);
    };
    QStringList own; // the not-found page's own text
    QStringList blockKeys;
    int ownChars = 0;
    for (qsizetype i = 0; i < a.keys.size(); ++i) {
        if (!isTemplate(a.keys[i])) {
            own << a.texts[i];
            blockKeys << a.keys[i];
            ownChars += static_cast<int>(a.texts[i].size());
        }
    }
    if (own.isEmpty() || ownChars > kMaxOwnChars) {
        return {};
    }
    // What says the page is missing must all be there. The rest of the not-found page's own text may lack
    // what a box drawn afresh showed in both made-up answers by chance (two answers show only part of
    // what changes, hence twice the difference seen), unless nothing in it says "missing": then the only
    // evidence is a good sibling's difference, and all of it must be there.
    const auto saying = std::find_if(own.begin(), own.end(), [](const QString& t) { return SaysMissing(t); });
    int lacking = 0;
    bool lacksMark = false;
    for (qsizetype i = 0; i < own.size(); ++i) {
        const bool lacks = !print.keySet.contains(blockKeys[i]);
        lacking += lacks ? 1 : 0;
        lacksMark = lacksMark || (lacks && SaysMissing(own[i]));
    }
    const bool marked = saying != own.end() || (!a.title.isEmpty() && SaysMissing(a.title));
    // Beyond the not-found page, a box drawn afresh on every answer may show items neither made-up answer
    // showed; a page of content adds more than that.
    const int extra = static_cast<int>(std::count_if(print.keySet.begin(), print.keySet.end(), [&](const QString& k) {
        return !a.all.contains(k) && !isTemplate(k);
    }));
    // Both made-up answers may draw the same items from such a box, and show no change at all: under the
    // same title, items put in the place of those lacking are that box.
    const int swapped = !a.titleKey.isEmpty() ? std::min(lacking, extra) : 0;
    if (lacksMark || lacking > (marked ? std::max(2 * a.noise, swapped) : 0) || lacking == own.size()) {
        noteSibling(patternGood, print);
        return {};
    }
    if (!(marked || !patternGood.isEmpty()) || extra > std::max(3, 2 * a.noise)) {
        return {};
    }
    return deadFor(RunText::contentNotFound(clipped(saying != own.end() ? *saying : own.front())));
}
