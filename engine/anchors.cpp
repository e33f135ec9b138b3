#include "anchors.h"

#include "textops.h"

#include <algorithm>

namespace {

// Attribute syntax as a browser reads it: names end at white space, "=" or ">", values may be quoted
// with either quote, white space may surround the "=". Each attribute with a value goes to `take`; the
// answer is where the tag ends, just after its ">", or -1 when it never closes.
template <typename Take> qsizetype readAttributes(QStringView part, qsizetype from, Take take)
{
    qsizetype i = from;
    const qsizetype n = part.size();
    while (i < n) {
        while (i < n && (IsHtmlSpace(part[i]) || part[i] == u'/')) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        if (part[i] == u'>') {
            return i + 1;
        }
        const qsizetype nameStart = i;
        while (i < n && !IsHtmlSpace(part[i]) && part[i] != u'=' && part[i] != u'>') {
            ++i;
        }
        const QStringView name = part.mid(nameStart, i - nameStart);
        while (i < n && IsHtmlSpace(part[i])) {
            ++i;
        }
        if (i >= n || part[i] != u'=') {
            continue; // an attribute without a value
        }
        ++i;
        while (i < n && IsHtmlSpace(part[i])) {
            ++i;
        }
        qsizetype valueStart = i;
        qsizetype valueEnd = i;
        if (i < n && (part[i] == u'"' || part[i] == u'\'')) {
            const QChar quote = part[i];
            valueStart = i + 1;
            const qsizetype close = IndexOfChar(part, quote.unicode(), valueStart);
            valueEnd = close < 0 ? n : close;
            i = close < 0 ? n : close + 1;
        } else {
            while (i < n && !IsHtmlSpace(part[i]) && part[i] != u'>') {
                ++i;
            }
            valueEnd = i;
        }
        take(name, part.mid(valueStart, valueEnd - valueStart), nameStart);
    }
    return -1;
}

// Attribute names without letter case, as Qt compares them: most names are ASCII, which needs no call into
// Qt's full Unicode comparison; a name with any other character is left to it.
bool sameName(QStringView a, QStringView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x >= 128 || y >= 128) {
            return a.compare(b, Qt::CaseInsensitive) == 0;
        }
        if (FoldedUnit(x) != FoldedUnit(y)) {
            return false;
        }
    }
    return true;
}

} // namespace

StartTag ReadStartTag(QStringView part, qsizetype from)
{
    StartTag tag;
    tag.end = readAttributes(part, from, [&tag](QStringView name, QStringView value, qsizetype at) {
        tag.attributes.push_back({name, value, at});
    });
    return tag;
}

qsizetype StartTagEnd(QStringView part, qsizetype from)
{
    return readAttributes(part, from, [](QStringView, QStringView, qsizetype) {});
}

std::optional<StartTag::Attribute> ReadAttribute(QStringView part, qsizetype from, QStringView name, qsizetype* end)
{
    std::optional<StartTag::Attribute> found;
    *end = readAttributes(part, from, [&](QStringView n, QStringView value, qsizetype at) {
        if (!found && sameName(n, name)) {
            found = StartTag::Attribute{n, value, at};
        }
    });
    return found;
}

const StartTag::Attribute* StartTag::find(QStringView name) const
{
    for (const Attribute& a : attributes) {
        if (sameName(a.name, name)) {
            return &a;
        }
    }
    return nullptr;
}

QString StartTag::value(QStringView name) const
{
    const Attribute* a = find(name);
    return a ? DecodeCharacterReferences(a->value) : QString();
}

namespace {

char32_t namedReference(QStringView name)
{
    struct Named
    {
        const char16_t* name;
        char32_t code;
    };
    static const Named table[] = {{u"amp", U'&'},    {u"lt", U'<'},   {u"gt", U'>'},    {u"quot", U'"'},
                                  {u"apos", U'\''},  {u"nbsp", 0xA0}, {u"sol", U'/'},   {u"quest", U'?'},
                                  {u"equals", U'='}, {u"num", U'#'},  {u"colon", U':'}, {u"period", U'.'}};
    for (const Named& n : table) {
        if (name.compare(QStringView(n.name), Qt::CaseSensitive) == 0) {
            return n.code;
        }
    }
    return 0;
}

// The code point of a numeric reference body ("#38", "#x26"), or 0 when it is not one.
char32_t numericReference(QStringView body)
{
    if (body.size() < 2 || body[0] != u'#') {
        return 0;
    }
    const bool hex = body[1] == u'x' || body[1] == u'X';
    bool ok = false;
    const uint code = body.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return ok ? 0xFFFD : 0;
    }
    return code;
}

} // namespace

Anchor ReadAnchor(QStringView page, qsizetype start, qsizetype end, const std::vector<qsizetype>& closes)
{
    Anchor anchor;
    anchor.position = start;
    const QStringView part = page.mid(start, end - start);
    qsizetype tagEnd = -1;
    const std::optional<StartTag::Attribute> href = ReadAttribute(part, 2, u"href", &tagEnd);
    if (!href || tagEnd < 0) {
        return anchor;
    }
    // The first "</a>" after the start tag, within the anchor's part of the page.
    const auto close = std::lower_bound(closes.begin(), closes.end(), start + tagEnd);
    if (close == closes.end() || *close >= end) {
        return anchor;
    }
    const qsizetype inner = *close - start;
    anchor.usable = true;
    anchor.href = DecodeCharacterReferences(href->value);
    anchor.hrefText = part.mid(href->namePos, inner - href->namePos);
    anchor.innerHtml = part.mid(tagEnd, inner - tagEnd).toString();
    return anchor;
}

QString DecodeCharacterReferences(QStringView text)
{
    if (!ContainsChar(text, u'&')) {
        return text.toString();
    }
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] == u'&') {
            const qsizetype semi = IndexOfChar(text, u';', i + 1);
            if (semi > i + 1 && semi - i <= 12) {
                const QStringView body = text.mid(i + 1, semi - i - 1);
                const char32_t code = body[0] == u'#' ? numericReference(body) : namedReference(body);
                if (code != 0) {
                    out += QString::fromUcs4(&code, 1);
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += text[i];
        ++i;
    }
    return out;
}
