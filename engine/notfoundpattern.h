#pragma once

#include <QString>
#include <QStringList>

// The addresses that tell how a server answers for a page that does not exist, beside a given link:
// two made-up addresses of the same form as the link, which no site has.
struct NotFoundPattern
{
    enum class Form {
        None,   // the link is not judged: a home page, a search, a page with nothing to vary
        Path,   // a name in a folder: the made-up names go beside it and in a made-up subfolder
        Id,     // a number (the last segment, or a query value): the made-up values are other numbers
    };
    Form form = Form::None;
    QString host; // scheme, host and port
    QString key;  // the same for every link of this form in the same place
    QString folder; // the path of the folder the link is in, ending in "/"
    QString first;  // the made-up addresses
    QString second;
    QStringList madeUp; // the made-up names or numbers in them
};

// Scheme, host and port of `url`, as patterns name their host.
QString HostKeyOf(const QString& url);

// The pattern of `url`; with `draw`, also made-up addresses drawn fresh.
NotFoundPattern PatternOf(const QString& url, bool draw);

// True for the home page and its aliases at the root: "/", index.*, default.* and the like (home.html,
// index_cn.htm), with any query.
bool IsHomeAlias(const QString& url);

// True for an address whose way to the home page cannot be by design: two or more path segments, or a
// file in the root that is not an index of it (not a language, mobile or section home such as /m/, /zh).
bool IsDeepLink(const QString& url);

// True for a sign-in page: where a members-only page sends a visitor who is not signed in.
bool IsLoginPlace(const QString& url);
