#include "browserform.h"

#include "charsetlabels.h"
#include "httpurl.h"
#include "textops.h"
#include "urlops.h"

#include <QStringEncoder>
#include <QUrl>

#include <algorithm>

namespace {

// The query percent-encode set of special schemes (C0 controls, space, ", #, <, >, ') and DEL.
bool inQuerySet(char32_t c)
{
    return c < 0x21 || c == U'"' || c == U'#' || c == U'<' || c == U'>' || c == U'\'' || c == 0x7F;
}

void appendPercent(QString& out, unsigned char byte)
{
    static const char16_t hex[] = u"0123456789ABCDEF";
    out += u'%';
    out += QChar(hex[byte >> 4]);
    out += QChar(hex[byte & 0xF]);
}

// Encodes one character at a time, so that an unencodable one can be told apart.
class CharEncoder
{
public:
    explicit CharEncoder(QStringView charset)
    {
        const QByteArray name = DecoderNameFor(charset);
        gbk_ =
            name.compare("GB18030", Qt::CaseInsensitive) == 0 && charset.compare(u"gb18030", Qt::CaseInsensitive) != 0;
        encoder_ = QStringEncoder(name.constData(), QStringConverter::Flag::Stateless);
        if (!encoder_.isValid()) {
            encoder_ = QStringEncoder(QStringConverter::Utf8);
        }
    }

    // The bytes of `c`, or false when the charset has none for it.
    bool encode(char32_t c, QByteArray* bytes)
    {
        if (gbk_ && c == 0x20AC) {
            *bytes = QByteArray(1, '\x80'); // GBK's euro sign
            return true;
        }
        const QString text = QString::fromUcs4(&c, 1);
        encoder_.resetState();
        *bytes = encoder_.encode(text);
        // GBK holds what GB18030 writes in one or two bytes; the four-byte rest is not GBK.
        return !encoder_.hasError() && !(gbk_ && bytes->size() == 4);
    }

private:
    QStringEncoder encoder_;
    bool gbk_ = false; // a gb2312 or gbk page, encoded as browsers do with the GB18030 tables
};

} // namespace

QString EncodeQuery(QStringView query, QStringView charset)
{
    CharEncoder encoder(charset);
    QString out;
    out.reserve(query.size() * 3);
    for (const char32_t c : query.toUcs4()) {
        if (c < 0x80) {
            if (inQuerySet(c)) {
                appendPercent(out, static_cast<unsigned char>(c));
            } else {
                out += QChar(static_cast<char16_t>(c));
            }
            continue;
        }
        QByteArray bytes;
        if (!encoder.encode(c, &bytes)) {
            out += u"%26%23" + QString::number(c) + u"%3B";
            continue;
        }
        for (const char b : bytes) {
            const auto byte = static_cast<unsigned char>(b);
            if (byte >= 0x80 || inQuerySet(byte)) {
                appendPercent(out, byte);
            } else {
                out += QChar(char16_t(byte));
            }
        }
    }
    return out;
}

namespace {

constexpr qsizetype kKnownUrls = 16384;

bool isHttp(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == u"http" || scheme == u"https");
}

// The request for `url`, which holds the link's resolved address without its query; `written` is the link
// as written, its query (after `mark`, -1 for none) is encoded here.
QString requestOf(QUrl url, QStringView written, qsizetype mark, QStringView charset)
{
    // "http://host" and "http://host/" are one request: the path a browser sends is never empty.
    if (url.path().isEmpty() && !url.host().isEmpty()) {
        url.setPath(QStringLiteral("/"));
    }
    if (mark < 0) {
        return url.toString(QUrl::FullyEncoded);
    }
    // The query is appended as encoded here: the URL parser would change the case of its escapes.
    return url.adjusted(QUrl::RemoveQuery).toString(QUrl::FullyEncoded) + u'?' +
           EncodeQuery(written.mid(mark + 1), charset);
}

} // namespace

QString RequestForm(QStringView link, QStringView base, QStringView charset)
{
    const QString written = TrimSpaces(link);
    const qsizetype mark = written.indexOf(u'?');
    const QString resolved = ResolveLink(mark < 0 ? written : written.left(mark), base);
    const QUrl url(WithHttpScheme(resolved), QUrl::TolerantMode);
    return url.isValid() ? requestOf(url, written, mark, charset) : resolved;
}

LinkBase::LinkBase(QStringView base) : text_(base.toString()), url_(WithHttpScheme(base), QUrl::TolerantMode) {}

namespace {

// Whether `name` is a dot segment, which resolving removes.
bool isDotSegment(QStringView name)
{
    return name == u"." || name == u"..";
}

bool hasDotSegment(QStringView path)
{
    qsizetype from = 0;
    while (from <= path.size()) {
        qsizetype to = IndexOfChar(path, u'/', from);
        if (to < 0) {
            to = path.size();
        }
        if (isDotSegment(path.sliced(from, to - from))) {
            return true;
        }
        from = to + 1;
    }
    return false;
}

// A link of unreserved characters and slashes that names a path, with or without dot segments: resolving
// it joins it to its scope as written, and the parser neither encodes nor decodes anything of it.
bool isPlainPath(QStringView link)
{
    if (link.isEmpty() || link.startsWith(u"//")) {
        return false;
    }
    return std::all_of(link.begin(), link.end(), [](QChar ch) {
        const char16_t c = ch.unicode();
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
               c == u'.' || c == u'_' || c == u'~' || c == u'/';
    });
}

// The absolute `path` with its dot segments removed, as resolving removes them: each name kept is written
// with the slash before it, and ".." takes back the last one written.
QString withoutDotSegments(QStringView path)
{
    QString out;
    out.reserve(path.size());
    qsizetype from = 1;
    for (;;) {
        const qsizetype slash = IndexOfChar(path, u'/', from);
        const qsizetype to = slash < 0 ? path.size() : slash;
        const QStringView name = path.sliced(from, to - from);
        if (name == u"..") {
            out.truncate(std::max<qsizetype>(out.lastIndexOf(u'/'), 0));
        } else if (name != u".") {
            out += u'/';
            out += name;
        }
        if (slash < 0) {
            if (isDotSegment(name)) {
                out += u'/'; // "a/.." names the folder: its slash stays
            }
            return out;
        }
        from = slash + 1;
    }
}

} // namespace

const LinkBase::Scopes& LinkBase::scopes() const
{
    if (scopes_) {
        return *scopes_;
    }
    scopes_.emplace();
    if (!isHttp(url_) || url_.host().isEmpty()) {
        return *scopes_;
    }
    Scopes& s = *scopes_;
    constexpr auto kept = QUrl::RemoveQuery | QUrl::RemoveFragment;
    s.server = url_.toString(QUrl::FullyEncoded | kept | QUrl::RemovePath);
    s.folder = url_.toString(QUrl::FullyEncoded | kept | QUrl::RemoveFilename);
    s.printedServer = url_.toString(kept | QUrl::RemovePath);
    const QString printedFolder = url_.toString(kept | QUrl::RemoveFilename);
    // A folder the parser would change itself, with the links joined to it, is left to the parser.
    if (s.folder.startsWith(s.server) && printedFolder.startsWith(s.printedServer)) {
        s.path = s.folder.sliced(s.server.size());
        s.printedPath = printedFolder.sliced(s.printedServer.size());
        s.joinable = s.path.startsWith(u'/') && s.path.endsWith(u'/') && !hasDotSegment(s.path) &&
                     !s.path.contains(u"%2e", Qt::CaseInsensitive);
        s.printedAsRequested = s.printedServer == s.server && s.printedPath == s.path;
    }
    return s;
}

std::optional<ResolvedLink> LinkBase::joined(QStringView link) const
{
    if (!isPlainPath(link) || !scopes().joinable) {
        return std::nullopt;
    }
    // Most links of a page: "a/b.html", "/c/d.html", "../e.html". Joined as the parser joins them.
    const Scopes& s = scopes();
    const bool fromRoot = link.startsWith(u'/');
    const bool dots = hasDotSegment(link);
    const auto join = [&](const QString& folder) {
        const QString path = fromRoot ? link.toString() : folder + link;
        return dots ? withoutDotSegments(path) : path;
    };
    const QString request = s.server + join(s.path);
    // Most sites print their addresses as they are requested: the link is joined once, and both share it.
    return ResolvedLink{s.printedAsRequested ? request : s.printedServer + join(s.printedPath), request};
}

QString LinkBase::scopeOf(QStringView link) const
{
    return link.startsWith(u'/') ? scopes().server : scopes().folder;
}

ResolvedLink LinkBase::resolve(QStringView link, QStringView charset, ResolvedUrls* known) const
{
    const QString written = TrimSpaces(link);
    if (std::optional<ResolvedLink> r = joined(written)) {
        return *r;
    }
    const qsizetype mark = written.indexOf(u'?');
    if (known && mark < 0 && !HasScheme(written)) {
        // Resolved as ResolveAgainst resolves it; printing the address costs more than resolving it.
        const QUrl target = url_.resolved(QUrl(written, QUrl::TolerantMode));
        if (isHttp(target)) {
            if (const auto k = known->constFind(target); k != known->constEnd()) {
                return *k;
            }
            if (known->size() >= kKnownUrls) {
                known->clear();
            }
            return *known->insert(target, {target.toString(), requestOf(target, written, mark, charset)});
        }
    }
    QUrl target;
    ResolvedLink r;
    r.url = ResolveAgainst(written, url_, &target);
    if (mark >= 0 && !target.isEmpty()) {
        ResolveAgainst(QStringView(written).left(mark), url_, &target);
    }
    // An http(s) address the parser resolved is requested as its parts stand; the parser reads its own
    // printed form back to the same parts. Anything else takes the way of RequestForm.
    if (isHttp(target)) {
        r.request = requestOf(target, written, mark, charset);
    } else {
        r.request = RequestForm(written, text_, charset);
    }
    return r;
}
