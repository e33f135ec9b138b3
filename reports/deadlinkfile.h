#pragma once

#include "ansifile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class ResultTree;

// The dead-link file a site owner places at the site's root and submits to the search engines, so
// that they drop the dead addresses from their results: one full URL a line (.txt) or a sitemap-style
// <urlset> (.xml), UTF-8 without a byte-order mark. The engines read at most 50,000 URLs and 10 MB a
// file, so a longer list goes on in further files beside the first.

enum class DeadLinkFormat
{
    Txt,
    Xml
};

constexpr int kDeadLinkFileMaxUrls = 50000;
constexpr qsizetype kDeadLinkFileMaxBytes = 10 * 1024 * 1024;

// The format a file name asks for by its extension (.txt or .xml, any letter case); none otherwise.
std::optional<DeadLinkFormat> DeadLinkFormatOf(const QString& fileName);

// The dead links of `full` on the site's own hosts, as a browser requests them (percent-encoded, the
// host in its ASCII form), each once, in the order they were found. Own hosts are the host of the
// home page (node 1) and the hosts of the site the run counted as the site's own: its other name after
// a redirect, and its subdomains when those were checked. A link elsewhere is never listed, also when
// a page's <base href> sent a relative link there. A content dead link whose only evidence is that it
// shows the home page is left out; those sent to the home page or an error page, and those that show the
// host's not-found text, are listed.
QStringList DeadLinkUrls(const ResultTree& full);

// The contents of the files for `urls`: as many as the limits ask for, and one (without entries) for
// an empty list.
QList<QByteArray> DeadLinkFileContents(const QStringList& urls, DeadLinkFormat format);

// The name of file `part` (1-based) of a set that starts with `fileName`: the first is `fileName`
// itself, the others put "_2", "_3" … before its extension (silian.txt, silian_2.txt …).
QString DeadLinkPartName(const QString& fileName, int part);

struct DeadLinkFileResult
{
    WriteResult write; // the reason of the first file that could not be written
    int files = 0;     // files written
};

// Writes the dead-link file of `urls` to `fileName` in the format of its extension (.xml, anything
// else as text), each file replaced in one step.
DeadLinkFileResult WriteDeadLinkFile(const QStringList& urls, const QString& fileName);
