#include "siteaddress.h"

#include "linkstore.h"
#include "textops.h"
#include "urlops.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace {

// A scheme typed in front of the address: "mailto:", "ftp://", but not the port of "localhost:8080".
bool HasOtherScheme(const QString& site)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(?!\\d+(?:[/?#]|$))"));
    return scheme.match(site).hasMatch() && !IsHttpUrl(site);
}

// "http//host" and "http:/host": an http address with its "://" mistyped, which would otherwise be
// taken for a host named "http".
bool HasMistypedScheme(const QString& site)
{
    static const QRegularExpression mistyped(QStringLiteral("^https?(?::/?(?!/)|//)"),
                                             QRegularExpression::CaseInsensitiveOption);
    return !IsHttpUrl(site) && mistyped.match(site).hasMatch();
}

// Whether the address names a port outside 1 to 65535, or one that is no number: QUrl would call
// the whole address invalid, and the user would be told the host is missing.
bool HasBadPort(const QString& address)
{
    static const QRegularExpression authority(
        QStringLiteral("^[A-Za-z]+://(?:[^/?#@]*@)?(\\[[^\\]]*\\]|[^/?#:]*)(?::([^/?#]*))?"));
    const QRegularExpressionMatch m = authority.match(address);
    // "host:" with nothing after the colon is the default port, as browsers take it.
    if (!m.hasMatch() || m.captured(2).isEmpty()) {
        return false;
    }
    const QString port = m.captured(2);
    const bool digits = std::all_of(port.begin(), port.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return !digits || port.size() > 5 || port.toInt() < 1 || port.toInt() > 65535;
}

} // namespace

SiteAddressFault FindSiteAddressFault(const QString& text)
{
    const QString site = TrimSpaces(text);
    if (site.isEmpty()) {
        return SiteAddressFault::Blank;
    }
    if (HasMistypedScheme(site) || HasOtherScheme(site)) {
        return SiteAddressFault::Scheme;
    }
    const QString address = LinkStore::homeUrl(site);
    if (HasBadPort(address)) {
        return SiteAddressFault::Port;
    }
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return SiteAddressFault::NoHost;
    }
    return SiteAddressFault::None;
}
