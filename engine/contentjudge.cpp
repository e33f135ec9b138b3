#include "contentjudge.h"

#include "pagerendering.h"
#include "pagetext.h"
#include "prober.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// An error page that shows less text than this tells nothing; one for a made-up id that adds more than
// this to what the home page shows is a page of content (an article that ignores the id), whatever
// words it uses.
constexpr int kMinTextChars = 4;
constexpr int kMaxOwnChars = 300;
constexpr int kSummaryChars = 20;

// Where an answer ended, as host and path: a redirect target is the same page whatever query it carries.
QString placeOf(const QString& url)
{
    const QUrl u(url);
    return u.host().toLower() + u':' + QString::number(u.port(0)) + u.path();
}

// The words with which error pages say that what was asked is gone, moved away or closed to visitors.
bool saysMissing(const QString& text)
{
    static const QRegularExpression words(
        u"不存在|删除|下架|找不到|未找到|没有找到|无法找到|无法访问|不能访问|走丢|迷路|飞走|失踪|失效|过期|出错|错误|"
        u"登录|登陆|无权|已关闭|不可用|404|not found|does ?n[o']t exist|no longer|removed|deleted|unavailable|error"_s,
        QRegularExpression::CaseInsensitiveOption);
    return words.match(text).hasMatch();
}

QString clipped(const QString& text)
{
    return text.size() <= kSummaryChars ? text : text.left(kSummaryChars) + u'…';
}

int countMissing(const QSet<QString>& from, const QSet<QString>& in)
{
    return static_cast<int>(std::count_if(from.begin(), from.end(), [&in](const QString& k) { return !in.contains(k); }));
}

// The pattern of `url`; a hash route ("#/news/1") is judged as the path it names, apart from the server's
// own paths (the app answers its routes, the server its files), with made-up routes of the same form.
NotFoundPattern routePatternOf(const QString& url, bool draw)
{
    const qsizetype at = HashRouteAt(url);
    if (at < 0) {
        return PatternOf(url, draw);
    }
    const QString marker = url.mid(at, url.mid(at + 1).startsWith(u'!') ? 2 : 1);
    const QUrl page(url.left(at));
    const QString root = page.scheme() + u"://"_s + page.authority();
    NotFoundPattern p = PatternOf(root + url.mid(at + marker.size()), draw);
    if (p.form == NotFoundPattern::Form::None) {
        return p;
    }
    const QString prefix = url.left(at) + marker;
    const auto asRoute = [&](const QString& made) {
        return made.startsWith(root) ? prefix + made.mid(root.size()) : made;
    };
    p.first = asRoute(p.first);
    p.second = asRoute(p.second);
    p.host += marker;
    p.key = marker + p.key;
    return p;
}

} // namespace

ContentJudge::Fetched ContentJudge::fetch(const QString& url)
{
    const ProbeResult r = prober_.CheckUrl(url, tryTime_, true);
    Fetched f;
    f.valid = r.valid;
    f.answered = r.httpStatus > 0;
    f.finalUrl = r.finalUrl.isEmpty() ? url : r.finalUrl.toString();
    f.text = drawnOr(url, prober_.CheckLinks(url, tryTime_)); // also lets the prober drop the page it kept
    return f;
}

QString ContentJudge::drawnOr(const QString& url, const QString& html)
{
    return rendering_ ? rendering_->drawnOr(url, html, tryTime_) : html;
}

const QSet<QString>& ContentJudge::homeKeys(Host& host, const QString& hostKey)
{
    if (!host.homeKeys) {
        const QUrl u(hostKey);
        const QString home = u.scheme() + u"://"_s + u.authority() + u'/';
        const Fetched f = fetch(home);
        host.homeKeys = MakePagePrint(f.text, {home, f.finalUrl}).keySet;
    }
    return *host.homeKeys;
}

ContentJudge::Answer ContentJudge::learn(const NotFoundPattern& pattern, Host& host)
{
    const bool path = pattern.form == NotFoundPattern::Form::Path;
    if ((path && host.pathsSettled) || host.patterns >= kMaxPatternsPerHost) {
        return {};
    }
    ++host.patterns;
    const Fetched first = fetch(pattern.first);
    // The first made-up path tells for the whole host: one that answers an error needs nothing more.
    const bool firstPath = path && !host.pathAsked;
    host.pathAsked = host.pathAsked || path;
    if (!first.valid) {
        host.pathsSettled = host.pathsSettled || firstPath;
        Answer a;
        a.kind = first.answered ? Answer::Kind::Missing : Answer::Kind::Unknown;
        return a;
    }
    const Fetched second = fetch(pattern.second);
    if (!second.valid) {
        return {};
    }
    const QString firstPlace = fixedPlace(pattern, first, pattern.first);
    const QString secondPlace = fixedPlace(pattern, second, pattern.second);
    if (firstPlace.isEmpty() && secondPlace.isEmpty()) {
        return learnPage(pattern, host, first, second);
    }
    const QString targetPath = QUrl(first.finalUrl).path();
    // A page beside the link in its own folder may be the page a made-up slug led to (an article whose
    // address ends in an ignored title), unless it is named as an error page.
    static const QRegularExpression errorName(u"404|error|not.?found|missing"_s, QRegularExpression::CaseInsensitiveOption);
    const bool beside = pattern.folder != u"/"_s && targetPath.startsWith(pattern.folder) &&
                        targetPath.size() > pattern.folder.size() && !errorName.match(targetPath).hasMatch();
    if (firstPlace != secondPlace || beside) {
        return {};
    }
    Answer a;
    a.kind = Answer::Kind::Redirect;
    a.target = firstPlace;
    a.targetHome = IsHomeAlias(first.finalUrl);
    return a;
}

// Where a made-up address ended when that is one fixed page elsewhere (an error page, the home page);
// empty when it answered in place or at an address that still holds the made-up name.
QString ContentJudge::fixedPlace(const NotFoundPattern& pattern, const Fetched& f, const QString& asked)
{
    const bool keepsName = std::any_of(pattern.madeUp.begin(), pattern.madeUp.end(),
                                       [&f](const QString& m) { return f.finalUrl.contains(m); });
    return placeOf(f.finalUrl) != placeOf(asked) && !keepsName ? placeOf(f.finalUrl) : QString();
}

// Both made-up addresses got a page of their own: it is an error page when the two say the same, say
// something (not an empty shell for scripts), and either repeat the home page or say that the page is
// missing in what they add to what the home page shows.
ContentJudge::Answer ContentJudge::learnPage(const NotFoundPattern& pattern, Host& host, const Fetched& first,
                                             const Fetched& second)
{
    if (IsScriptShell(first.text) || IsScriptShell(second.text)) {
        return {};
    }
    const PagePrint one = MakePagePrint(first.text, {pattern.first, first.finalUrl});
    const PagePrint two = MakePagePrint(second.text, {pattern.second, second.finalUrl});
    Answer a;
    a.stable = one.keySet & two.keySet;
    a.all = one.keySet | two.keySet;
    a.noise = std::max(countMissing(one.keySet, two.keySet), countMissing(two.keySet, one.keySet));
    // Blocks that change from answer to answer (recommended articles, a clock) are borne as long as most
    // of the page stays.
    if (a.noise > std::max<qsizetype>(3, a.stable.size() / 4)) {
        return {};
    }
    int stableChars = 0;
    for (qsizetype i = 0; i < one.texts.size(); ++i) {
        stableChars += a.stable.contains(one.keys[i]) ? static_cast<int>(one.texts[i].size()) : 0;
    }
    if (stableChars < kMinTextChars) {
        return {};
    }
    const QSet<QString>& home = homeKeys(host, pattern.host);
    QStringList own; // what the error page shows beyond the home page
    qsizetype ownChars = 0;
    for (qsizetype i = 0; i < one.texts.size(); ++i) {
        if (a.stable.contains(one.keys[i]) && !home.contains(one.keys[i])) {
            own << one.texts[i];
            ownChars += one.texts[i].size();
            if (saysMissing(one.texts[i])) {
                a.marks.insert(one.keys[i]);
            }
        }
    }
    if (one.titleKey == two.titleKey) {
        a.sameTitle = true;
        a.titleKey = one.titleKey;
    }
    // A made-up id may be ignored by a page of content; an error page says little beyond the template.
    if (pattern.form == NotFoundPattern::Form::Id && ownChars > kMaxOwnChars) {
        return {};
    }
    a.sameAsHome = own.isEmpty() && countMissing(home, a.all) <= a.noise;
    // A page that differs from the home page only in what changes anyway must change little.
    if (a.sameAsHome && a.noise > std::max<qsizetype>(1, a.stable.size() / 10)) {
        return {};
    }
    // Beyond the home page, the answer must say that the page is missing, in its text or in a title that
    // stays the same.
    const auto saying = std::find_if(own.begin(), own.end(), saysMissing);
    if (!a.sameAsHome && saying == own.end() && !(a.sameTitle && saysMissing(one.title))) {
        return {};
    }
    a.kind = Answer::Kind::Page;
    a.summary = clipped(saying != own.end() ? *saying : own.isEmpty() ? one.title : own.front());
    return a;
}

ContentJudge::Verdict ContentJudge::judge(const QString& request, const ProbeResult& answer, bool pageKept)
{
    const NotFoundPattern pattern = routePatternOf(request, false);
    if (pattern.form == NotFoundPattern::Form::None) {
        return {};
    }
    Host& host = hosts_[pattern.host];
    if (pattern.form == NotFoundPattern::Form::Path && host.pathsSettled) {
        return {};
    }
    if (!host.answers.contains(pattern.key)) {
        const Answer learnt = learn(routePatternOf(request, true), host);
        host.answers.insert(pattern.key, learnt);
    }
    const Answer a = host.answers.value(pattern.key);
    if (a.kind == Answer::Kind::Redirect) {
        const QString finalUrl = answer.finalUrl.isEmpty() ? request : answer.finalUrl.toString();
        Verdict v;
        v.dead = placeOf(finalUrl) == a.target && placeOf(request) != a.target;
        if (v.dead) {
            v.statusText = a.targetHome ? u"内容死链：跳转到首页"_s
                                        : u"内容死链：跳转到“"_s + QUrl(finalUrl).path() + u"”"_s;
        }
        return v;
    }
    return a.kind == Answer::Kind::Page ? judgePage(a, host, request, answer, pageKept) : Verdict{};
}

ContentJudge::Verdict ContentJudge::judgePage(const Answer& a, Host& host, const QString& request,
                                              const ProbeResult& answer, bool pageKept)
{
    Verdict v;
    if (!pageKept) {
        if (host.pageReads >= kMaxPageReadsPerHost) {
            return v;
        }
        ++host.pageReads;
    }
    v.page = prober_.CheckLinks(request, tryTime_);
    const QString drawn = drawnOr(request, *v.page);
    v.rendered = drawn != *v.page;
    const PagePrint print = MakePagePrint(drawn, {request, answer.finalUrl.toString()});
    const int missing = countMissing(a.stable, print.keySet);
    const int extra = countMissing(print.keySet, a.all);
    // What the error page says beyond the home page and its title must be there; the rest may differ as
    // much as the error page itself does from one answer to the next (two answers show only part of what
    // changes, hence twice that). A copy of the home page must be closer.
    const int tolerance = a.sameAsHome ? a.noise : 2 * a.noise;
    v.dead = !print.keySet.isEmpty() && countMissing(a.marks, print.keySet) == 0 &&
             (!a.sameTitle || a.titleKey == print.titleKey) && missing <= tolerance && extra <= tolerance;
    if (v.dead) {
        v.statusText = a.sameAsHome ? u"内容死链：页面内容与首页相同"_s : u"内容死链：页面内容为“"_s + a.summary + u"”"_s;
    }
    return v;
}
