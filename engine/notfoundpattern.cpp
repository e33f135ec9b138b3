#include "notfoundpattern.h"

#include "hostpacer.h"

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

// A number of the same length as `like`, at least nine digits, that fits 32 bits when it has nine:
// a server that reads it as an id must look it up rather than refuse it as malformed.
QString randomNumber(QStringView like)
{
    const qsizetype length = std::max<qsizetype>(like.size(), 9);
    QString s = u"1"_s;
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
        uR"(start|offset|limit|size|num|t|ts|v|ver|version|time|timestamp|_|r|rnd|rand|random|nocache|cache|from|)"
        uR"(ref|src|source|share|spm|lang|sort|order|tab|isappinstalled|utm_.*)$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

bool isSearchName(const QString& name)
{
    static const QRegularExpression re(u"^(q|s|k|kw|wd|word|key|keys|keyword|keywords|query|search|searchword)$"_s,
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

// Searches, and addresses that send every visitor to the home page by design (a logout).
bool isNeverMissing(const QString& path)
{
    static const QRegularExpression re(u"search|sousuo|/so(/|\\.|$)|/find(/|\\.|$)|query|log_?out|sign_?out"_s,
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

// The last query parameter whose value is a number or that is named as an id, or -1.
qsizetype idParameter(const QList<QPair<QString, QString>>& items)
{
    for (qsizetype i = items.size() - 1; i >= 0; --i) {
        if ((isDigits(items[i].second) && !isNonIdName(items[i].first)) || isIdItem(items[i])) {
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
                p.madeUp << (isDigits(items[i].second) ? randomNumber(items[i].second) : randomName());
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
    p.form = number ? NotFoundPattern::Form::Id : NotFoundPattern::Form::Path;
    p.key = p.host + folder + (number ? u'#' : u'*') + tail;
    if (!draw) {
        return;
    }
    p.madeUp << (number ? randomNumber(stem) : randomName()) << (number ? randomNumber(stem) : randomName());
    p.first = withPath(u, folder + p.madeUp[0] + tail);
    // A number beside the link; a name in a made-up subfolder, so that a folder that ignores the name
    // (a slug after an id) does not pass for a missing page.
    p.second = withPath(u, folder + (number ? p.madeUp[1] : p.madeUp[1] + u'/' + randomName()) + tail);
}

} // namespace

bool IsHomeAlias(const QString& url)
{
    static const QRegularExpression alias(u"^(index|default|home|main|portal)([_-][a-z0-9]+)?(\\.[a-z0-9]+)?$"_s,
                                          QRegularExpression::CaseInsensitiveOption);
    const QString path = QUrl(url).path();
    return path.isEmpty() || path == u"/"_s || alias.match(path.section(u'/', -1)).hasMatch();
}

NotFoundPattern PatternOf(const QString& url, bool draw)
{
    NotFoundPattern p;
    const QUrl u(url);
    const QString scheme = u.scheme().toLower();
    if (!u.isValid() || (scheme != u"http"_s && scheme != u"https"_s) || u.host().isEmpty() || IsHomeAlias(url) ||
        isNeverMissing(u.path())) {
        return p;
    }
    p.host = HostPacer::HostKey(url);
    p.folder = u.path().left(u.path().lastIndexOf(u'/', u.path().endsWith(u'/') ? -2 : -1) + 1);
    if (u.hasQuery()) {
        queryPattern(u, p, draw);
        if (p.form != NotFoundPattern::Form::None || p.host.isEmpty()) {
            return p;
        }
    }
    pathPattern(u, p, draw);
    return p;
}
