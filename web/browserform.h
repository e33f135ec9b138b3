#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

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

// The address the links of one page resolve against, parsed once for all of them.
class LinkBase
{
public:
    explicit LinkBase(QStringView base);
    // ResolveLink(link, base) and RequestForm(link, base, charset), from one resolution of `link`.
    ResolvedLink resolve(QStringView link, QStringView charset) const;

private:
    QString text_;
    QUrl url_;
};
