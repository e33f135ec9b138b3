#pragma once

#include "linkkind.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// One anchor of a page, taken apart with plain string operations (no HTML parser). A resource element
// (an image, a script) is one too: its link attribute stands in for the href, it has no inner text.
struct Anchor
{
    bool usable = false; // has an href attribute and a closing </a>
    QString href;        // the attribute value as written, character references decoded
    QStringView hrefText; // from the href attribute to the closing </a>, in the page it was read from
    QString innerHtml;   // between the start tag and </a>, as written
    LinkKind kind = LinkKind::Page;
    qsizetype position = 0; // where its start tag begins in the page
    bool aTag = true;       // an <a> element: the rules about anchor texts apply to it
};

// The white space of HTML: what separates attributes and trims a URL.
inline bool IsHtmlSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// The attributes of one start tag, as views into the text it was read from.
struct StartTag
{
    struct Attribute
    {
        QStringView name;
        QStringView value; // as written, without its quotes
        qsizetype namePos = 0;
    };
    std::vector<Attribute> attributes;
    qsizetype end = -1; // just after the closing ">"; -1 when the tag never closes

    // The first attribute of that name (any letter case), or nullptr: a browser ignores repeats.
    const Attribute* find(QStringView name) const;
    // Its value with character references decoded; empty when there is none.
    QString value(QStringView name) const;
};

// Reads the attributes of the start tag in `text` from `from` (just after the tag name) to its ">".
StartTag ReadStartTag(QStringView text, qsizetype from);
// Where that tag ends, read as ReadStartTag reads it, for a reader that wants none of its attributes.
qsizetype StartTagEnd(QStringView text, qsizetype from);
// Its first attribute of that name, as StartTag::find finds it, without collecting the others; `end`
// gets where the tag ends.
std::optional<StartTag::Attribute> ReadAttribute(QStringView text, qsizetype from, QStringView name, qsizetype* end);

// The anchor whose "<a" stands at `start` of `page` and whose part of the page runs to `end` (the next
// anchor or the end of the page); `closes` holds where every "</a>" of the page begins, in order.
Anchor ReadAnchor(QStringView page, qsizetype start, qsizetype end, const std::vector<qsizetype>& closes);

// Decodes the character references of an attribute value (&amp;, &#38;, &#x26; and the usual names).
QString DecodeCharacterReferences(QStringView text);
