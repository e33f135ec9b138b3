#include "urlops.h"

#include "httpurl.h"
#include "textops.h"

#include <QHostAddress>
#include <QStringTokenizer>
#include <QUrl>

#include <algorithm>
#include <optional>

#include <libpsl.h>

namespace {

const QLatin1StringView kHttp("http://");
const QLatin1StringView kHttps("https://");

// Position of the first "http://" or "https://" (any case) at or after `from`, and its length.
qsizetype findScheme(QStringView text, qsizetype from, qsizetype* length)
{
    const qsizetype a = text.indexOf(kHttp, from, Qt::CaseInsensitive);
    const qsizetype b = text.indexOf(kHttps, from, Qt::CaseInsensitive);
    if (a < 0 && b < 0) {
        return -1;
    }
    if (b >= 0 && (a < 0 || b < a)) {
        *length = kHttps.size();
        return b;
    }
    *length = kHttp.size();
    return a;
}

qsizetype hostEnd(QStringView text, qsizetype from)
{
    qsizetype i = from;
    while (i < text.size() && text[i] != u'/' && text[i] != u'?' && text[i] != u'#') {
        ++i;
    }
    return i;
}

bool isHostBoundary(QStringView text, qsizetype pos)
{
    if (pos >= text.size()) {
        return true;
    }
    const QChar c = text[pos];
    return c == u'/' || c == u'?' || c == u'#' || c == u':';
}

// `link` (normalized) starts with "http://" or "https://" followed by `bare`. When `bare` names a host
// only, the host must end there, so that www.site.test does not claim www.site.test.example.
bool startsWithBare(QStringView link, QStringView bare)
{
    qsizetype after = 0;
    if (!IsHttpUrl(link, &after)) {
        return false;
    }
    if (!link.mid(after).startsWith(bare)) {
        return false;
    }
    return bare.contains(u'/') || isHostBoundary(link, after + bare.size());
}

bool isLowerAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80 && !c.isUpper(); });
}

// A label of a dotted-quad address as the URL parser keeps it: a decimal number up to 255, no leading zero.
bool isCanonicalIpv4Label(QStringView l)
{
    if (l.isEmpty() || l.size() > 3 || (l.size() > 1 && l.front() == u'0')) {
        return false;
    }
    int n = 0;
    for (const QChar c : l) {
        if (c < u'0' || c > u'9') {
            return false;
        }
        n = n * 10 + (c.unicode() - u'0');
    }
    return n <= 255;
}

// A host that the URL parser keeps as written: lower-case ASCII labels of letters, digits and inner
// hyphens that do not end in a number, or a dotted-quad address. International (xn--) names, other
// address forms and anything unusual are left to the parser. Read label by label in place: every request
// asks it.
bool isPlainHost(QStringView host)
{
    if (host.isEmpty() || host.size() > 253) {
        return false;
    }
    const QStringView last = host.mid(host.lastIndexOf(u'.') + 1);
    const bool ipv4 = last.isEmpty() || last.front().isDigit();
    const auto plain = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-'; };
    qsizetype labels = 0;
    for (const QStringView l : qTokenize(host, u'.')) {
        ++labels;
        const bool ok = ipv4 ? isCanonicalIpv4Label(l)
                             : !l.isEmpty() && l.size() <= 63 && l.front() != u'-' && l.back() != u'-' &&
                                   !l.startsWith(u"xn--") && std::all_of(l.begin(), l.end(), plain);
        if (!ok) {
            return false;
        }
    }
    return !ipv4 || labels == 4;
}

// ServerKey of an http(s) URL whose authority is a plain host and a port, read without the URL parser,
// which costs more than the rest of pacing a request; nothing for every other URL.
std::optional<QString> plainServerKey(QStringView url)
{
    qsizetype after = 0;
    if (!IsHttpUrl(url, &after)) {
        return std::nullopt;
    }
    const int standard = after == kHttps.size() ? 443 : 80;
    const QStringView authority = url.mid(after, hostEnd(url, after) - after);
    const qsizetype colon = authority.indexOf(u':');
    const QStringView host = colon < 0 ? authority : authority.left(colon);
    const QStringView digits = colon < 0 ? QStringView() : authority.mid(colon + 1);
    if (!isPlainHost(host) || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    const int port = digits.isEmpty() ? standard : digits.toInt();
    if (port > 65535) {
        return std::nullopt;
    }
    return port == standard ? host.toString() : host + u':' + QString::number(port);
}

// text.startsWith(prefix, Qt::CaseInsensitive) for a prefix in lower-case ASCII. Every link is asked several times,
// and the caseless comparison folds each character through the Unicode tables: where the text is ASCII
// as far as the prefix goes, folding its letters is all that comparison does.
bool startsWithCaseless(QStringView text, QLatin1StringView prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            return text.startsWith(prefix, Qt::CaseInsensitive); // a character that may fold into ASCII
        }
        const char16_t lower = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        if (lower != char16_t(prefix[i].unicode())) {
            return false;
        }
    }
    return true;
}

} // namespace

bool HasScheme(QStringView text)
{
    if (text.isEmpty() || !text[0].isLetter() || text[0].unicode() > 127) {
        return false;
    }
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u':') {
            return true;
        }
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'+' ||
                        c == u'-' || c == u'.';
        if (!ok) {
            return false;
        }
    }
    return false;
}

bool IsHttpUrl(QStringView text, qsizetype* afterScheme)
{
    qsizetype len = 0;
    if (startsWithCaseless(text, kHttp)) {
        len = kHttp.size();
    } else if (startsWithCaseless(text, kHttps)) {
        len = kHttps.size();
    } else {
        return false;
    }
    if (afterScheme) {
        *afterScheme = len;
    }
    return true;
}

QString NormalizeHostCase(QStringView url)
{
    qsizetype after = 0;
    if (!IsHttpUrl(url, &after)) {
        return url.toString();
    }
    const qsizetype end = hostEnd(url, after);
    return url.left(end).toString().toLower() + url.mid(end);
}

QString StripHttp(QStringView url)
{
    const QString trimmed = TrimSpaces(url);
    QStringView rest(trimmed);
    qsizetype len = 0;
    const qsizetype first = findScheme(rest, 0, &len);
    if (first >= 0) {
        rest = rest.mid(first + len);
        qsizetype len2 = 0;
        const qsizetype second = findScheme(rest, 0, &len2);
        if (second >= 0) {
            rest = rest.left(second);
        }
    }
    const qsizetype end = hostEnd(rest, 0);
    QString bare = rest.left(end).toString().toLower() + rest.mid(end);
    if (bare.endsWith(u'/')) {
        bare.chop(1);
    }
    return bare;
}

QString GetParentDomain(QStringView bare)
{
    const QString host = HostOf(WithHttpScheme(bare));
    if (host.isEmpty() || host == u"localhost" || !QHostAddress(host).isNull()) {
        return {};
    }
    // The Public Suffix List knows where registration happens (example.com, example.com.cn, github.io);
    // a top-level name it does not know (a local .test) counts as a suffix of its own.
    static const psl_ctx_t* const suffixes = psl_latest(nullptr);
    const QByteArray ace = host.toUtf8();
    const char* domain = suffixes ? psl_registrable_domain(suffixes, ace.constData()) : nullptr;
    return domain ? QString::fromUtf8(domain) : QString();
}

bool IsSubdomainOf(QStringView url, QStringView domain)
{
    const QString d = TrimSpaces(domain).toLower();
    if (d.isEmpty()) {
        return false;
    }
    const QString host = HostOf(WithHttpScheme(TrimSpaces(url)));
    return host == d || host.endsWith(u'.' + d);
}

bool IsSiteLink(QStringView link, QStringView pagePath, QStringView siteText, bool checkSubdomains)
{
    return SiteMatcher(pagePath, siteText, checkSubdomains).contains(link);
}

SiteMatcher::SiteMatcher(QStringView pagePath, QStringView siteText, bool checkSubdomains)
    : pagePath_(pagePath.toString()), bareSite_(StripHttp(siteText)),
      parentDomain_(checkSubdomains ? GetParentDomain(bareSite_) : QString())
{
}

bool SiteMatcher::contains(QStringView link) const
{
    QStringView l = link;
    while (!l.isEmpty() && l.front() == u' ') {
        l = l.mid(1);
    }
    while (!l.isEmpty() && l.back() == u' ') {
        l.chop(1);
    }
    QString protocolRelative;
    if (l.startsWith(u"//")) {
        protocolRelative = u"http:" + l; // the scheme does not matter for membership
        l = protocolRelative;
    }
    if (!HasScheme(l)) {
        return true; // relative to the page, so on the page's own host
    }
    qsizetype after = 0;
    if (!IsHttpUrl(l, &after)) {
        return false;
    }
    // Most links are written with a lower-case host already: they are compared as they stand.
    QString lowered;
    QStringView n = l;
    if (!isLowerAscii(l.left(hostEnd(l, after)))) {
        lowered = NormalizeHostCase(l);
        n = lowered;
    }
    if (!pagePath_.isEmpty() && startsWithBare(n, pagePath_)) {
        return true;
    }
    if (startsWithBare(n, bareSite_)) {
        return true;
    }
    return IsSubdomainOf(n, parentDomain_); // never for an empty domain
}

int FindPageNode(const NodeLookup& tree, int index)
{
    if (index < 2) {
        return 1;
    }
    int n = index;
    // Bounded by the node count, so a damaged parent chain cannot loop forever.
    for (int steps = 0; steps <= tree.nodeCount(); ++steps) {
        qsizetype len = 0;
        if (findScheme(tree.nodeText(n), 0, &len) >= 0) {
            return n;
        }
        const int parent = tree.nodeParent(n);
        if (parent <= 0) {
            return n;
        }
        n = parent;
    }
    return n;
}

QString ResolveLink(QStringView link, const NodeLookup& tree, int pageNode)
{
    QString base = tree.nodeUrl(pageNode);
    if (base.isEmpty()) {
        base = tree.nodeUrl(FindPageNode(tree, pageNode));
    }
    return ResolveLink(link, base);
}

QString ResolveLink(QStringView link, QStringView base)
{
    const QString l = TrimSpaces(link);
    return HasScheme(l) ? l : ResolveAgainst(l, QUrl(WithHttpScheme(base), QUrl::TolerantMode));
}

QString ResolveAgainst(QStringView link, const QUrl& base, QUrl* resolved)
{
    const QString l = TrimSpaces(link);
    if (HasScheme(l)) {
        return l;
    }
    const QUrl url = base.resolved(QUrl(l, QUrl::TolerantMode));
    if (resolved) {
        *resolved = url;
    }
    const QString text = url.toString();
    return text.isEmpty() ? l : text;
}

QString HostOf(QStringView url)
{
    return QUrl(url.toString(), QUrl::TolerantMode).host(QUrl::EncodeUnicode).toLower();
}

QString ServerKey(QStringView url)
{
    if (const std::optional<QString> key = plainServerKey(url)) {
        return *key;
    }
    return ServerKeyOf(QUrl(url.toString(), QUrl::TolerantMode));
}

QString ServerKeyOf(const QUrl& url)
{
    const bool https = url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
    const int standard = https ? 443 : 80;
    const int port = url.port(standard);
    const QString host = url.host(QUrl::EncodeUnicode).toLower();
    return port == standard ? host : host + u':' + QString::number(port);
}

bool SiteExists(QStringView url, const QStringList& sites)
{
    const QString wanted = TrimSpaces(url);
    for (const QString& site : sites) {
        if (site == wanted) {
            return true;
        }
    }
    return false;
}
