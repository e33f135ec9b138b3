#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>
#include <utility>

// The address a browser requests for a link: the query encoded in the character set of the page that
// holds the link (old GBK sites expect ?q=%D6%D0 for 中), the rest in UTF-8, the host in its ASCII form.

// `query` (the text after "?") percent-encoded the way a browser encodes it for a page in `charset`:
// characters of the query percent-encode set and every character beyond ASCII are encoded, the latter in
// `charset`; a character the charset cannot hold becomes "%26%23" + its decimal number + "%3B".
// Percent signs stay as written, so an already encoded query is kept byte for byte.
QString EncodeQuery(QStringView query, QStringView charset);

// `link`, as written on a page in `charset`, resolved against the absolute address `base` and fully
// encoded: what a browser puts on the wire for it.
QString RequestForm(QStringView link, QStringView base, QStringView charset);

// A link of a page resolved once: the address shown and recorded for it (ResolveLink) and the request a
// browser sends for it (RequestForm).
struct ResolvedLink
{
    QString url;
    QString request;
};

// Links resolved before, by the address they resolve to: links written differently on pages of different
// folders ("../a" here, "/a" there) often name one address, whose printed forms depend on it alone.
using ResolvedUrls = QHash<QUrl, ResolvedLink>;

// The address the links of one page resolve against, parsed once for all of them.
class LinkBase
{
public:
    explicit LinkBase(QStringView base);
    // ResolveLink(link, base) and RequestForm(link, base, charset), from one resolution of `link`. With
    // `known`, a link without a scheme or a query that resolves to an address resolved before takes its
    // printed forms from there, and adds them when they are new.
    ResolvedLink resolve(QStringView link, QStringView charset, ResolvedUrls* known = nullptr) const;
    // What resolving the relative `link` (no scheme, no query) depends on: the base's server for a link
    // from the root ("/a"), its folder for any other. Bases of one scope resolve such a link alike. Empty
    // when the base is no http(s) address.
    QString scopeOf(QStringView link) const;
    // `link` (trimmed) resolved by joining it to the base, when it is a plain path that joins as the URL
    // parser would join it; that costs less than looking it up.
    std::optional<ResolvedLink> joined(QStringView link) const;

private:
    // The base's server ("http://host:port") and folder ("http://host:port/dir/"), and the folder's path, as
    // requested and as printed; made when first asked, empty when the base is no http(s) address.
    struct Scopes
    {
        QString server;
        QString folder;
        QString path;
        QString printedServer;
        QString printedPath;
        bool joinable; // links of plain paths resolve by joining them to it (false when made empty)
        bool printedAsRequested; // the printed server and path are those requested (false when made empty)
    };
    const Scopes& scopes() const;

    QString text_;
    QUrl url_;
    mutable std::optional<Scopes> scopes_;
};
