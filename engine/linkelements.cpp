#include "linkelements.h"

#include "textops.h"

#include <optional>

namespace {

struct LinkAttribute
{
    QStringView name; // empty: the element has no further link attribute
    LinkKind kind = LinkKind::Page;
    bool srcset = false; // a list of candidates rather than one URL
};

// Elements whose attributes name something the page loads, and what that is. A <source> with a src
// sits in a video or audio element, one with a srcset in a picture. The kind of a <link> follows its rel.
struct ElementRule
{
    QStringView tag;
    LinkAttribute first;
    LinkAttribute second = {};
};

const ElementRule kRules[] = {
    {u"img", {u"src", LinkKind::Image}, {u"srcset", LinkKind::Image, true}},
    {u"source", {u"src", LinkKind::Media}, {u"srcset", LinkKind::Image, true}},
    {u"script", {u"src", LinkKind::Script}},
    {u"link", {u"href", LinkKind::Other}},
    {u"iframe", {u"src", LinkKind::Frame}},
    {u"frame", {u"src", LinkKind::Frame}},
    {u"area", {u"href", LinkKind::Page}},
    {u"video", {u"src", LinkKind::Media}, {u"poster", LinkKind::Image}},
    {u"audio", {u"src", LinkKind::Media}},
    {u"embed", {u"src", LinkKind::Media}},
    {u"object", {u"data", LinkKind::Media}},
};

const ElementRule* ruleFor(QStringView tagName)
{
    for (const ElementRule& r : kRules) {
        if (r.tag.compare(tagName, Qt::CaseInsensitive) == 0) {
            return &r;
        }
    }
    return nullptr;
}

bool isNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

struct ResourceTag
{
    qsizetype position = 0; // of its "<"
    qsizetype nameEnd = 0;  // just after the tag name
    const ElementRule* rule = nullptr;
};

// Whether `mark` stands at `i` in any letter case, as a browser reads tag names.
bool startsWithMark(QStringView page, qsizetype i, QStringView mark)
{
    return page.mid(i, mark.size()).compare(mark, Qt::CaseInsensitive) == 0;
}

// Start tags of the elements above that have attributes, shown one "<" at a time in page order. Comments
// and the text of inline scripts are passed over: a browser loads nothing named there, and scripts often
// build tags out of string pieces.
class ResourceReader
{
public:
    explicit ResourceReader(bool wanted) : done_(!wanted) {}

    void at(QStringView page, qsizetype i, std::vector<ResourceTag>& tags)
    {
        if (done_ || i < from_) {
            return;
        }
        if (inScript_) {
            if (!startsWithMark(page, i, u"</script")) {
                return;
            }
            inScript_ = false;
        }
        const qsizetype n = page.size();
        if (page.mid(i, 4) == u"<!--") {
            const qsizetype close = page.indexOf(u"-->", i + 4);
            done_ = close < 0;
            from_ = close + 3;
            return;
        }
        qsizetype end = i + 1;
        while (end < n && isNameChar(page[end])) {
            ++end;
        }
        const ElementRule* rule = ruleFor(page.mid(i + 1, end - i - 1));
        if (!rule || end >= n || !(IsHtmlSpace(page[end]) || page[end] == u'>' || page[end] == u'/')) {
            return;
        }
        if (IsHtmlSpace(page[end])) {
            tags.push_back({i, end, rule});
        }
        from_ = end;
        inScript_ = rule->tag == u"script"; // until its "</script", which must come for anything more
    }

private:
    qsizetype from_ = 0; // a "<" before this lies in a comment or a tag already read
    bool inScript_ = false;
    bool done_;
};

// The href of the page's first <base> element that has one. A few tries only: each one reads to the end
// of its tag, and a hostile page may hold many.
class BaseReader
{
public:
    void at(QStringView page, qsizetype i)
    {
        if (tries_ >= 16 || !startsWithMark(page, i, u"<base")) {
            return;
        }
        ++tries_;
        if (i + 5 < page.size() && IsHtmlSpace(page[i + 5])) {
            const StartTag tag = ReadStartTag(page.mid(i), 5);
            if (tag.find(u"href")) {
                href = tag.value(u"href"); // the first base element with an href counts, as in a browser
                tries_ = 16;
            }
        }
    }

    QString href;

private:
    int tries_ = 0;
};

// Where the page's anchors start ("<a" followed by white space, any letter case) and end ("</a>"), where
// its resource elements and its base address stand: everything that begins with a "<", in one pass.
struct PageMarks
{
    std::vector<qsizetype> anchors;
    std::vector<qsizetype> closes;
    std::vector<ResourceTag> resources;
    QString baseHref;
};

PageMarks readMarks(QStringView page, bool withResources)
{
    PageMarks marks;
    ResourceReader resources(withResources);
    BaseReader base;
    const qsizetype n = page.size();
    for (qsizetype i = IndexOfChar(page, u'<'); i >= 0 && i + 2 < n; i = IndexOfChar(page, u'<', i + 1)) {
        const QChar next = page[i + 1];
        if ((next == u'a' || next == u'A') && IsHtmlSpace(page[i + 2])) {
            marks.anchors.push_back(i);
        } else if (next == u'/' && i + 3 < n && (page[i + 2] == u'a' || page[i + 2] == u'A') && page[i + 3] == u'>') {
            marks.closes.push_back(i);
        } else if (next == u'b' || next == u'B') {
            base.at(page, i);
        }
        resources.at(page, i, marks.resources);
    }
    marks.baseHref = base.href;
    return marks;
}

std::optional<LinkKind> preloadKind(const QString& as, bool module)
{
    if (as == u"script" || as == u"worker" || (as.isEmpty() && module)) {
        return LinkKind::Script;
    }
    if (as == u"style") {
        return LinkKind::Style;
    }
    if (as == u"image") {
        return LinkKind::Image;
    }
    if (as == u"audio" || as == u"video" || as == u"track") {
        return LinkKind::Media;
    }
    if (as == u"document") {
        return LinkKind::Page;
    }
    return LinkKind::Other;
}

// What a <link> names, by its rel. Canonical, alternate and neighbouring pages are pages; origins to
// connect to early and server endpoints (pingback, EditURI) are not things a browser loads: no link.
std::optional<LinkKind> linkElementKind(const StartTag& tag)
{
    const QStringList rel = tag.value(u"rel").simplified().toLower().split(u' ', Qt::SkipEmptyParts);
    const auto has = [&rel](QStringView token) { return rel.contains(token); };
    if (has(u"stylesheet")) {
        return LinkKind::Style;
    }
    if (has(u"icon") || has(u"apple-touch-icon") || has(u"apple-touch-icon-precomposed") || has(u"mask-icon")) {
        return LinkKind::Image;
    }
    if (has(u"preload") || has(u"modulepreload")) {
        return preloadKind(tag.value(u"as").trimmed().toLower(), has(u"modulepreload"));
    }
    if (has(u"prefetch")) {
        const QString as = tag.value(u"as").trimmed().toLower();
        return as.isEmpty() ? LinkKind::Page : preloadKind(as, false);
    }
    if (has(u"manifest") || has(u"search")) {
        return LinkKind::Other;
    }
    if (has(u"canonical") || has(u"alternate") || has(u"next") || has(u"prev")) {
        return LinkKind::Page;
    }
    return std::nullopt;
}

Anchor resourceLink(const QString& url, LinkKind kind, qsizetype position)
{
    Anchor a;
    a.usable = true;
    a.href = url;
    a.kind = kind;
    a.position = position;
    a.aTag = false;
    return a;
}

// The links of one resource element whose start tag lies in `part`.
void appendResourceLinks(QStringView part, const ResourceTag& t, std::vector<Anchor>& out)
{
    const StartTag tag = ReadStartTag(part, t.nameEnd - t.position);
    if (tag.end < 0) {
        return; // never closes before the next such element: not an element a browser would load
    }
    const bool isLink = t.rule->tag == u"link";
    const std::optional<LinkKind> linkKind = isLink ? linkElementKind(tag) : std::nullopt;
    if (isLink && !linkKind) {
        return;
    }
    std::vector<std::pair<const StartTag::Attribute*, LinkAttribute>> found;
    for (const LinkAttribute& wanted : {t.rule->first, t.rule->second}) {
        if (const StartTag::Attribute* a = wanted.name.isEmpty() ? nullptr : tag.find(wanted.name)) {
            found.emplace_back(a, wanted);
        }
    }
    if (found.size() == 2 && found[1].first->namePos < found[0].first->namePos) {
        std::swap(found[0], found[1]);
    }
    for (const auto& [attribute, wanted] : found) {
        const QString value = DecodeCharacterReferences(attribute->value);
        const LinkKind kind = linkKind.value_or(wanted.kind);
        if (wanted.srcset) {
            for (const QString& url : SrcsetUrls(value)) {
                out.push_back(resourceLink(url, kind, t.position));
            }
        } else {
            out.push_back(resourceLink(value, kind, t.position));
        }
    }
}

} // namespace

QStringList SrcsetUrls(QStringView srcset)
{
    QStringList urls;
    const qsizetype n = srcset.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (IsHtmlSpace(srcset[i]) || srcset[i] == u',')) {
            ++i;
        }
        const qsizetype start = i;
        while (i < n && !IsHtmlSpace(srcset[i])) {
            ++i;
        }
        QStringView url = srcset.mid(start, i - start);
        if (url.endsWith(u',')) {
            // A comma right after the URL ends the candidate: it has no descriptors.
            while (url.endsWith(u',')) {
                url.chop(1);
            }
        } else {
            // Descriptors ("2x", "640w") run to the next comma outside parentheses.
            int depth = 0;
            for (; i < n; ++i) {
                const QChar c = srcset[i];
                if (c == u'(') {
                    ++depth;
                } else if (c == u')' && depth > 0) {
                    --depth;
                } else if (c == u',' && depth == 0) {
                    ++i;
                    break;
                }
            }
        }
        if (!url.isEmpty()) {
            urls << url.toString();
        }
    }
    return urls;
}

PageLinks ExtractLinks(QStringView page, bool withResources)
{
    PageMarks marks = readMarks(page, withResources);
    std::vector<Anchor> anchors;
    anchors.reserve(marks.anchors.size());
    for (size_t k = 0; k < marks.anchors.size(); ++k) {
        const qsizetype end = k + 1 < marks.anchors.size() ? marks.anchors[k + 1] : page.size();
        anchors.push_back(ReadAnchor(page, marks.anchors[k], end, marks.closes));
    }
    if (!withResources) {
        return {std::move(anchors), std::move(marks.baseHref)};
    }
    const std::vector<ResourceTag>& tags = marks.resources;
    std::vector<Anchor> links;
    links.reserve(anchors.size() + tags.size());
    size_t a = 0;
    for (size_t k = 0; k < tags.size(); ++k) {
        while (a < anchors.size() && anchors[a].position < tags[k].position) {
            links.push_back(std::move(anchors[a++]));
        }
        // A tag is read up to the next such tag at most, so an unclosed quote costs one stretch of the page.
        const qsizetype end = k + 1 < tags.size() ? tags[k + 1].position : page.size();
        appendResourceLinks(page.mid(tags[k].position, end - tags[k].position), tags[k], links);
    }
    while (a < anchors.size()) {
        links.push_back(std::move(anchors[a++]));
    }
    return {std::move(links), std::move(marks.baseHref)};
}
