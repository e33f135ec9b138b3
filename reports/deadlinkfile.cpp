#include "deadlinkfile.h"

#include "browserform.h"
#include "resulttree.h"
#include "runtexts.h"
#include "urlops.h"

#include <QFileInfo>
#include <QSet>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
const QByteArray kXmlTail = "</urlset>\n";

// Which links are the site's own. The run's site flag alone is not enough: a relative link counts for
// the site even when a page's <base href> points it at another domain, and a site given with a path
// leaves the rest of its host out.
class OwnHosts
{
public:
    explicit OwnHosts(const QString& homeUrl) : home_(ServerKey(homeUrl)), domain_(GetParentDomain(StripHttp(homeUrl))) {}

    bool contains(const ResultNode& node) const
    {
        const QString& url = node.requestUrl();
        return ServerKey(url) == home_ || (node.record.siteLink && IsSubdomainOf(url, domain_));
    }

private:
    QString home_;
    QString domain_; // empty for an address or a name without a registrable domain
};

bool IsWireForm(const QString& url)
{
    for (const QChar c : url) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F) {
            return false;
        }
    }
    return true;
}

// The address a browser puts on the wire. Links found on pages already have that form; the home page
// is the site as typed, which may hold Chinese characters or an international host name.
QString WireForm(const QString& url)
{
    return IsWireForm(url) ? url : RequestForm(url, url, u"utf-8");
}

QByteArray Entry(const QString& url, DeadLinkFormat format)
{
    if (format == DeadLinkFormat::Txt) {
        return url.toUtf8() + '\n';
    }
    return "<url><loc>" + url.toHtmlEscaped().toUtf8() + "</loc></url>\n";
}

} // namespace

std::optional<DeadLinkFormat> DeadLinkFormatOf(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"txt") {
        return DeadLinkFormat::Txt;
    }
    if (suffix == u"xml") {
        return DeadLinkFormat::Xml;
    }
    return std::nullopt;
}

QStringList DeadLinkUrls(const ResultTree& full)
{
    QStringList urls;
    if (full.count() == 0) {
        return urls;
    }
    const OwnHosts own(full.node(1)->requestUrl());
    QSet<QString> seen;
    for (int i = 1; i <= full.count(); ++i) {
        const ResultNode& node = *full.node(i);
        // A page that only looks like the home page is dead on the weakest evidence: asking an engine to
        // drop it would cost the owner a good page if the evidence failed.
        const bool weak = node.record.contentDead && node.record.statusText == RunText::contentSameAsHome();
        if (node.status != StatusDead || !own.contains(node) || weak) {
            continue;
        }
        const QString url = WireForm(node.requestUrl());
        if (!seen.contains(url)) {
            seen.insert(url);
            urls.append(url);
        }
    }
    return urls;
}

QList<QByteArray> DeadLinkFileContents(const QStringList& urls, DeadLinkFormat format)
{
    const QByteArray head = format == DeadLinkFormat::Xml ? kXmlHead : QByteArray();
    const QByteArray tail = format == DeadLinkFormat::Xml ? kXmlTail : QByteArray();
    QList<QByteArray> files{head};
    int entries = 0;
    for (const QString& url : urls) {
        const QByteArray entry = Entry(url, format);
        const bool full = entries == kDeadLinkFileMaxUrls ||
                          (entries > 0 && files.last().size() + entry.size() + tail.size() > kDeadLinkFileMaxBytes);
        if (full) {
            files.last() += tail;
            files.append(head);
            entries = 0;
        }
        files.last() += entry;
        ++entries;
    }
    files.last() += tail;
    return files;
}

QString DeadLinkPartName(const QString& fileName, int part)
{
    if (part <= 1) {
        return fileName;
    }
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? fileName : fileName.chopped(suffix.size() + 1);
    return stem + u'_' + QString::number(part) + (suffix.isEmpty() ? QString() : u'.' + suffix);
}

DeadLinkFileResult WriteDeadLinkFile(const QStringList& urls, const QString& fileName)
{
    const DeadLinkFormat format = DeadLinkFormatOf(fileName).value_or(DeadLinkFormat::Txt);
    const QList<QByteArray> contents = DeadLinkFileContents(urls, format);
    DeadLinkFileResult result;
    for (const QByteArray& bytes : contents) {
        result.write = WriteReportFile(DeadLinkPartName(fileName, result.files + 1), bytes);
        if (!result.write.ok) {
            break;
        }
        ++result.files;
    }
    return result;
}
