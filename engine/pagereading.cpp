#include "pagereading.h"

#include "anchors.h"
#include "wordscan.h"

#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// The words that stand in front of each pattern below: every match of the pattern holds one of them.
constexpr QStringView kScriptTagWords[] = {u"<script"};
constexpr QStringView kMountWords[] = {u"app", u"root", u"__next", u"__nuxt", u"gatsby", u"svelte", u"v-cloak"};
constexpr QStringView kMoveWords[] = {u"refresh", u"location"};
constexpr QStringView kPasswordWords[] = {u"password"};
constexpr QStringView kMissingWords[] = {
    u"不存在",   u"删除", u"下架",  u"找不到", u"找到",      u"不见了",   u"丢失",       u"移除",   u"走丢",
    u"迷路",     u"飞走", u"失踪",  u"已失效", u"已过期",    u"无法访问", u"页面出错",   u"暂无此", u"什么",
    u"空空如也", u"404",  u"found", u"exist",  u"no longer", u"been",     u"unavailable"};
constexpr QStringView kAsksScriptsWords[] = {u"javascript"};

const QRegularExpression& missingPattern()
{
    // Words that good pages use in their template too ("登录" in "价格：登录后查看", "错误" in a form) are
    // not among them.
    static const QRegularExpression words(
        u"不存在|已删除|被删除|删除了|下架|找不到|未找到|没有找到|无法找到|不见了|丢失|已移除|被移除|走丢|迷路|"
        u"飞走|失踪|已失效|已过期|无法访问|页面出错|暂无此|什么也没有|什么都没有|空空如也|404|not found|"
        u"can[’']?t be found|cannot be found|could not be found|nothing (was )?found|does ?n[o’']t exist|"
        u"no longer|been removed|been deleted|unavailable"_s,
        QRegularExpression::CaseInsensitiveOption);
    return words;
}

} // namespace

quint32 PageReading::words() const
{
    if (!words_) {
        static const WordScan scan{{kScriptTagWords, ScriptTag}, {kMountWords, MountPoint},
                                   {kMoveWords, Moves},          {kPasswordWords, Password},
                                   {kMissingWords, Missing},     {kAsksScriptsWords, AsksScripts}};
        words_ = scan.find(html_, ScriptTag | MountPoint | Moves | Password | Missing | AsksScripts);
    }
    return *words_;
}

bool PageReading::mayHold(Words words) const
{
    return (this->words() & words) != 0;
}

const VisibleText& PageReading::visibleText() const
{
    if (!visible_) {
        visible_ = ReadVisibleText(html_);
    }
    return *visible_;
}

int PageReading::visibleChars() const
{
    if (visibleChars_ < 0) {
        qsizetype chars = 0;
        for (const QString& block : visibleText().blocks) {
            chars += block.size();
        }
        visibleChars_ = static_cast<int>(chars);
    }
    return visibleChars_;
}

std::shared_ptr<const PageReading> PageReadings::of(const QString& html)
{
    for (const auto& page : kept_) {
        const QStringView kept = page->html();
        if (kept.size() == html.size() && (kept.data() == html.constData() || kept == QStringView(html))) {
            return page;
        }
    }
    if (kept_.size() == kKept) {
        kept_.pop_front();
    }
    // Every page read is asked about its words: they are taken from a reading of the same text before, or
    // found now and noted.
    auto page = std::make_shared<PageReading>(html);
    const Fingerprint print = fingerprint(html);
    if (const auto known = words_.constFind(print); known != words_.cend()) {
        page->words_ = *known;
    } else {
        if (words_.size() >= kKeptWords) {
            words_.clear();
        }
        words_.insert(print, page->words());
    }
    return kept_.emplace_back(std::move(page));
}

PageReadings::Fingerprint PageReadings::fingerprint(QStringView html)
{
    // Keyed by the process's hash seed, random unless QT_HASH_SEED fixes it, so that no page can be made to
    // look like another.
    const size_t seed = QHashSeed::globalSeed();
    return {qHash(html, seed), qHash(html, ~seed ^ 0x9e3779b97f4a7c15ULL), html.size()};
}

bool IsScriptBuilt(const PageReading& page)
{
    const QStringView html = page.html();
    // A mount point of a script framework, whatever it holds before the scripts run (a loading text, an
    // in-page template, a spinner).
    static const QRegularExpression mount(
        uR"(<[a-z][\w-]*\b[^>]*\bid\s*=\s*["']?(app|root|react-root|react-app|vue-app|__next|__nuxt|___gatsby|q-app|)"
        uR"(main-app|ember-app|svelte|app-root)\b["']?[^>]*>|<(app-root|my-app|ng-app)\b|)"
        uR"(\bng-app\b|\bdata-reactroot\b|\bv-cloak\b)"_s,
        QRegularExpression::CaseInsensitiveOption);
    if (page.mayHold(PageReading::MountPoint) && mount.match(html).hasMatch()) {
        return true;
    }
    // Scripts and next to no text of its own, or a request to switch scripts on.
    static const QRegularExpression script(uR"(<script\b[^>]*\bsrc\s*=)"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression enable(
        uR"(enable javascript|javascript (is )?(required|disabled)|启用\s*javascript|开启\s*javascript)"_s,
        QRegularExpression::CaseInsensitiveOption);
    if (!page.mayHold(PageReading::ScriptTag) || !script.match(html).hasMatch()) {
        return false;
    }
    return page.visibleChars() < kScriptPageMaxChars ||
           (page.mayHold(PageReading::AsksScripts) && enable.match(html).hasMatch());
}

std::optional<QString> PageRedirect(const PageReading& page, const QString& pageUrl)
{
    const QStringView html = page.html();
    // <meta http-equiv="refresh" content="0; url=/">, in any page: a browser goes on there.
    static const QRegularExpression refresh(
        uR"(<meta\b[^>]*http-equiv\s*=\s*["']?refresh["']?[^>]*content\s*=\s*["']?\s*\d*\s*[;,]\s*(url\s*=\s*)?['"]?([^"'>\s]+))"_s,
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression refreshFirst(
        uR"(<meta\b[^>]*content\s*=\s*["']\s*\d*\s*[;,]\s*url\s*=\s*['"]?([^"'>\s]+)[^>]*http-equiv\s*=\s*["']?refresh)"_s,
        QRegularExpression::CaseInsensitiveOption);
    // location.href = "/", location.replace('/'), window.location = "/": followed only in a page that
    // shows next to nothing, where the script is all the page does.
    static const QRegularExpression script(
        uR"((?:window\.|document\.|top\.|self\.)?location(?:\.href)?\s*=\s*["']([^"']+)["']|location\.(?:replace|assign)\(\s*["']([^"']+)["'])"_s);
    // Most pages hold neither word, and a pattern run on a page that holds only the other one finds nothing.
    const bool mayMove = page.mayHold(PageReading::Moves);
    const QRegularExpressionMatch none;
    QString target;
    if (const auto m = mayMove ? refresh.match(html) : none; m.hasMatch() && !m.captured(2).isEmpty()) {
        target = m.captured(2);
    } else if (const auto f = mayMove ? refreshFirst.match(html) : none; f.hasMatch()) {
        target = f.captured(1);
    } else if (const auto j = mayMove ? script.match(html) : none;
               j.hasMatch() && page.visibleChars() < kScriptPageMaxChars) {
        target = j.captured(1).isEmpty() ? j.captured(2) : j.captured(1);
    }
    if (target.isEmpty()) {
        return std::nullopt;
    }
    const QUrl resolved = QUrl(pageUrl).resolved(QUrl(DecodeCharacterReferences(target)));
    if (!resolved.isValid() || (resolved.scheme() != u"http"_s && resolved.scheme() != u"https"_s)) {
        return std::nullopt;
    }
    return resolved.toString();
}

bool IsLoginForm(const PageReading& page)
{
    static const QRegularExpression password(uR"(<input\b[^>]*type\s*=\s*["']?password)"_s,
                                             QRegularExpression::CaseInsensitiveOption);
    return page.mayHold(PageReading::Password) && password.match(page.html()).hasMatch();
}

bool SaysMissing(QStringView text)
{
    // Most blocks hold none of the words, and are passed over quickly.
    static const WordScan scan(kMissingWords);
    return scan.in(text) && missingPattern().match(text).hasMatch();
}

bool SaysMissing(const PageReading& page)
{
    return page.mayHold(PageReading::Missing) && missingPattern().match(page.html()).hasMatch();
}
