#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

class QUrl;

// URL operations of the check run: bare forms, site membership and link resolution.
// Scheme and host compare case-insensitively; path and query keep the letter case they were written in.

// What the URL operations need to know about the result tree.
class NodeLookup
{
public:
    virtual ~NodeLookup() = default;
    virtual int nodeCount() const = 0;
    virtual QString nodeText(int index) const = 0; // empty for a missing node
    virtual int nodeParent(int index) const = 0;   // 0 for a top-level or missing node
    virtual QString nodeUrl(int index) const = 0;  // the absolute URL of the node's record
};

// True when `text` starts with a URI scheme ("x:" with x = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." )).
bool HasScheme(QStringView text);
// True for an http:// or https:// URL (case-insensitive); `afterScheme` receives the position after "://".
bool IsHttpUrl(QStringView text, qsizetype* afterScheme = nullptr);
// Scheme and host lower-cased, the rest as written. Text without an http(s) scheme is returned unchanged.
QString NormalizeHostCase(QStringView url);

QString StripHttp(QStringView url);
// The registrable domain of the host of `bare` (example.com for www.example.com, example.com.cn for
// shop.example.com.cn); empty for an IP address, localhost or a public suffix, whose sites have no
// subdomains.
QString GetParentDomain(QStringView bare);
// True when the host of `url` is `domain` or a name under it; never for an empty domain.
bool IsSubdomainOf(QStringView url, QStringView domain);
// `pagePath` is a further bare address that counts as the site (empty: none).
bool IsSiteLink(QStringView link, QStringView pagePath, QStringView siteText, bool checkSubdomains);
// IsSiteLink prepared once for the many links tested against one site.
class SiteMatcher
{
public:
    SiteMatcher(QStringView pagePath, QStringView siteText, bool checkSubdomains);
    bool contains(QStringView link) const;

private:
    QString pagePath_;
    QString bareSite_;
    QString parentDomain_; // of the site; empty when subdomains do not count
};
int FindPageNode(const NodeLookup& tree, int index);
// Resolves `link` as found on the page of node `pageNode` the way a browser does.
QString ResolveLink(QStringView link, const NodeLookup& tree, int pageNode);
// Resolves `link` against the absolute address `base` (a page's final address or its <base href>).
QString ResolveLink(QStringView link, QStringView base);
// The same against `base` as parsed once for many links: QUrl(WithHttpScheme(base), QUrl::TolerantMode).
// A link without a scheme of its own is resolved by the URL parser, and `resolved` (when given) receives
// its parts; for one with a scheme it is left untouched.
QString ResolveAgainst(QStringView link, const QUrl& base, QUrl* resolved = nullptr);
// The host of an absolute URL, lower-cased, international names in their ASCII form; empty when none.
QString HostOf(QStringView url);
// One server: the host (ACE form) with its port when that is not the scheme's own, so that another
// server on the same machine is another server while the http and https forms of one site are one.
QString ServerKey(QStringView url);
// The same of an address already parsed: no printing and parsing again.
QString ServerKeyOf(const QUrl& url);
bool SiteExists(QStringView url, const QStringList& sites);
