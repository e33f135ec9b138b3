#include "notfoundpattern.h"

#include "wordscan.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool isDigits(QStringView s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString randomName()
{
    static const char alphabet[] = "abcdefghijkmnpqrstuvwxyz23456789";
    QString s = u"kz"_s; // a letter first, so that the name never reads as a number
    for (int i = 0; i < 10; ++i) {
        s += QChar::fromLatin1(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
    }
    return s;
}

// A number about as long as `like` and high in its range: a router that takes ids of a few digits only must
// look it up rather than refuse it as malformed, and high numbers are the ones a shop has not reached. A
// short id gets a few more digits (up to six), so that the number is not one of the site's own ids.
// `nth` makes the two numbers of one pattern differ.
QString randomNumber(QStringView like, int nth)
{
    const qsizetype length = std::max<qsizetype>(like.size(), std::min<qsizetype>(6, like.size() + 3));
    QString s = QString(QChar(u'9' - nth));
    while (s.size() < length) {
        s += QChar(u'0' + QRandomGenerator::global()->bounded(10));
    }
    return s;
}

// Parameters whose value does not name what the page shows: a search term, a page number, a tracking
// mark or a cache buster. Pages reached with a made-up value of them are not missing pages.
bool isNonIdName(const QString& name)
{
    static const QRegularExpression re(
        uR"(^(q|s|k|kw|wd|word|key|keys|keyword|keywords|query|search|searchword|p|pn|pg|page|pageno|pagenum|pageindex|)"
        uR"(paged|curpage|start|offset|limit|size|pagesize|num|t|ts|v|ver|version|time|timestamp|_|r|rnd|rand|random|)"
        uR"(nocache|cache|from\w*|ref\w*|src|source|share\w*|spm|scm|lang|locale|sort|order\w*|tab|isappinstalled|)"
        uR"(utm_\w*|\w*_?vid|\w*clid|qz_gdt|track\w*|campaign\w*|channel\w*|mkt\w*|invite\w*|inviter|recommend\w*|)"
        uR"(winzoom|wxfrom|scene|sharer|frommsgid|sid|session\w*|callback|jump\w*|redirect\w*|return\w*|back\w*)$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

bool isSearchName(const QString& name)
{
    static const QRegularExpression re(u"^(q|s|k|kw|wd|word|key|keys|keyword|keywords|query|search|searchword)$"_s,
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

// Searches, pagination, language switches and addresses that send every visitor elsewhere by design
// (a logout, a login): none of them is a missing page whatever it shows.
bool isNeverMissing(const QString& path)
{
    static const QRegularExpression re(
        uR"(search|sousuo|/so(/|\.|$)|/find(/|\.|$)|query|log_?out|sign_?out|log_?in|sign_?in|sign_?up|register|)"
        uR"(passport|/auth(/|$)|/sso(/|$)|/(lang|language|languages|locale|i18n|setlang|switch_?lang)(/|\.|$)|)"
        uR"(/page/\d+/?$|/(list|index|page|default)[_-]\d+\.\w+$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return re.match(path).hasMatch();
}

QString withPath(QUrl u, const QString& path)
{
    u.setPath(path, QUrl::DecodedMode);
    u.setQuery(QString());
    u.setFragment(QString());
    return u.toString(QUrl::FullyEncoded);
}

// A parameter named as an id ("id", "goodsId", "item_no", "sku") with a value that reads as one.
bool isIdItem(const QPair<QString, QString>& item)
{
    static const QRegularExpression name(u"id$|^(no|sn|sku|code|item|goods)$|_(no|sn|code)$"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression value(u"^[A-Za-z0-9_-]{1,64}$"_s);
    // Ids of the visitor or of the click, not of what the page shows.
    static const QRegularExpression visitor(
        u"^(open|union|session|s|u|user|client|device|visitor|trace|request|share|channel|fbcl|gcl|msclk|ycl|dcl)_?id$"_s,
        QRegularExpression::CaseInsensitiveOption);
    return name.match(item.first).hasMatch() && !visitor.match(item.first).hasMatch() &&
           value.match(item.second).hasMatch();
}

// The parameter that names what the page shows: the first named as an id, else the first number that is
// not a page number or a tracking mark; -1 when there is none.
qsizetype idParameter(const QList<QPair<QString, QString>>& items)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (isIdItem(items[i]) && !isNonIdName(items[i].first)) {
            return i;
        }
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (isDigits(items[i].second) && !isNonIdName(items[i].first)) {
            return i;
        }
    }
    return -1;
}

void queryPattern(const QUrl& u, NotFoundPattern& p, bool draw)
{
    const QUrlQuery query(u);
    const QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyDecoded);
    const qsizetype id = idParameter(items);
    const bool search = std::any_of(items.begin(), items.end(), [](const auto& item) { return isSearchName(item.first); });
    if (search) {
        p.host.clear(); // a search without results is no missing page, whatever its path
        return;
    }
    if (id < 0) {
        return;
    }
    QStringList names;
    for (const auto& item : items) {
        names << item.first;
    }
    const auto madeUp = [&] {
        QUrlQuery q;
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i == id) {
                p.madeUp << (isDigits(items[i].second) ? randomNumber(items[i].second, int(p.madeUp.size()))
                                                       : randomName());
            }
            q.addQueryItem(items[i].first, i == id ? p.madeUp.back() : items[i].second);
        }
        QUrl r = u;
        r.setQuery(q);
        r.setFragment(QString());
        return r.toString(QUrl::FullyEncoded);
    };
    p.form = NotFoundPattern::Form::Id;
    p.key = p.host + u.path() + u'?' + names.join(u'&') + u'#' + items[id].first;
    if (draw) {
        p.first = madeUp();
        p.second = madeUp();
    }
}

void pathPattern(const QUrl& u, NotFoundPattern& p, bool draw)
{
    QString path = u.path(QUrl::FullyDecoded);
    const bool folderLink = path.endsWith(u'/');
    if (folderLink) {
        path.chop(1);
    }
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) {
        return;
    }
    const QString folder = path.left(slash + 1);
    const QString last = path.mid(slash + 1);
    if (last.isEmpty()) {
        return;
    }
    const qsizetype dot = last.lastIndexOf(u'.');
    const bool hasExtension = dot > 0 && last.size() - dot <= 6;
    const QString stem = hasExtension ? last.left(dot) : last;
    const QString extension = hasExtension ? last.mid(dot) : QString();
    const QString tail = extension + (folderLink ? u"/"_s : QString());
    const bool number = isDigits(stem);
    // A slug after an id ("/article/5/how-to-fix-404"): a router may read the id alone, so the id is
    // what is varied, and the slug kept.
    const QString parent = folder.chopped(1).section(u'/', -1);
    if (!number && isDigits(parent)) {
        const QString above = folder.left(folder.size() - parent.size() - 1);
        const QString slug = last + (folderLink ? u"/"_s : QString()); // its extension is in `last` already
        p.form = NotFoundPattern::Form::Id;
        p.key = p.host + above + u"#/*"_s + tail;
        for (int nth = 0; draw && nth < 2; ++nth) {
            p.madeUp << randomNumber(parent, nth);
            if (nth == 0) {
                p.first = withPath(u, above + p.madeUp[0] + u'/' + slug);
            } else {
                p.second = withPath(u, above + p.madeUp[1] + u'/' + slug);
            }
        }
        return;
    }
    p.form = number ? NotFoundPattern::Form::Id : NotFoundPattern::Form::Path;
    p.key = p.host + folder + (number ? u'#' : u'*') + tail;
    if (!draw) {
        return;
    }
    for (int nth = 0; nth < 2; ++nth) {
        p.madeUp << (number ? randomNumber(stem, nth) : randomName());
    }
    // Both beside the link, at its own depth: a router of one level answers a deeper made-up path with
    // its 404 and would hide how it answers the link's own level.
    p.first = withPath(u, folder + p.madeUp[0] + tail);
    p.second = withPath(u, folder + p.madeUp[1] + tail);
}

bool isHomePath(const QString& path)
{
    static const QRegularExpression alias(u"^(index|default|home|main|portal)([_-][a-z0-9]+)?(\\.[a-z0-9]+)?$"_s,
                                          QRegularExpression::CaseInsensitiveOption);
    // Only at the root: a folder's own index.html is a page of its folder.
    return path.isEmpty() || path == u"/"_s || (path.count(u'/') == 1 && alias.match(path.mid(1)).hasMatch());
}

QString hostKeyOf(const QUrl& u)
{
    const QString scheme = u.scheme().toLower();
    return scheme + u"://"_s + u.host().toLower() + u':' + QString::number(u.port(scheme == u"https"_s ? 443 : 80));
}

} // namespace

bool IsLoginPlace(const QString& url)
{
    static const QRegularExpression re(
        uR"((^|/|_|-)(log_?in|logon|sign_?in|sign-in|passport|auth|sso|cas)(/|\.|_|-|$)|/users/sign_in)"_s,
        QRegularExpression::CaseInsensitiveOption);
    // Every match holds one of these words; an address without them and without an escape, which its path
    // could decode to one, is passed over without being parsed.
    static const WordScan words{u"log", u"sign", u"passport", u"auth", u"sso", u"cas"};
    if (!url.contains(u'%') && !words.in(url)) {
        return false;
    }
    return re.match(QUrl(url).path()).hasMatch();
}

bool IsDeepLink(const QString& url)
{
    static const QRegularExpression languageOrVariant(
        uR"(^(home|index|main|portal|m|mobile|wap|h5|pc|www|cn|en|zh|zh[-_][a-z]+|tw|hk|jp|ja|ko|kr|de|fr|es|ru|)"
        uR"(pt|it|big5|gb|intl|global|blog|posts|news|articles?)$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QStringList segments = QUrl(url).path().split(u'/', Qt::SkipEmptyParts);
    if (segments.size() >= 2) {
        return true;
    }
    // One segment: a file that is not an index of the root, not a folder or a language of the site.
    return segments.size() == 1 && segments[0].contains(u'.') && !IsHomeAlias(url) &&
           !languageOrVariant.match(segments[0].section(u'.', 0, 0)).hasMatch();
}

bool IsHomeAlias(const QString& url)
{
    return isHomePath(QUrl(url).path());
}

QString HostKeyOf(const QString& url)
{
    return hostKeyOf(QUrl(url));
}

NotFoundPattern PatternOf(const QString& url, bool draw)
{
    NotFoundPattern p;
    // Parsed once: every link a run judges has its pattern made, some more than once.
    const QUrl u(url);
    const QString scheme = u.scheme().toLower();
    const QString path = u.path();
    if (!u.isValid() || (scheme != u"http"_s && scheme != u"https"_s) || u.host().isEmpty() || isHomePath(path) ||
        isNeverMissing(path)) {
        return p;
    }
    p.host = hostKeyOf(u);
    p.folder = path.left(path.lastIndexOf(u'/', path.endsWith(u'/') ? -2 : -1) + 1);
    if (u.hasQuery()) {
        queryPattern(u, p, draw);
        if (p.form != NotFoundPattern::Form::None || p.host.isEmpty()) {
            return p;
        }
    }
    pathPattern(u, p, draw);
    return p;
}
