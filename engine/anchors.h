#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// One anchor of a page, taken apart with plain string operations (no HTML parser).
struct Anchor
{
    bool usable = false; // has an href attribute and a closing </a>
    QString href;        // the attribute value as written, character references decoded
    QString hrefText;    // from the href attribute to the closing </a>
    QString innerHtml;   // between the start tag and </a>, as written
};

// Splits `page` at every "<a" followed by white space (any letter case); part 0, the text before the
// first anchor, is not returned, so anchor j of the page is element j - 1.
std::vector<Anchor> ExtractAnchors(QStringView page);

// The href of the page's first <base> element that has one, character references decoded; empty when none.
QString FindBaseHref(QStringView page);

// Decodes the character references of an attribute value (&amp;, &#38;, &#x26; and the usual names).
QString DecodeCharacterReferences(QStringView text);
