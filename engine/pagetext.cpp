#include "pagetext.h"

#include "anchors.h"
#include "pagereading.h"
#include "textops.h"

#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A tag name with its letter case folded as Qt folds it, when it is short enough to be one of the names
// below; empty otherwise. Every tag of a page is looked up in the lists below: folding it once spares
// each look-up a call into the full Unicode comparison.
class FoldedName
{
public:
    explicit FoldedName(QStringView name)
    {
        if (name.size() > kLongest) {
            return;
        }
        for (qsizetype i = 0; i < name.size(); ++i) {
            const char16_t c = name[i].unicode();
            const char16_t folded = FoldedUnit(c);
            chars_[i] = folded < 128 ? folded : u'\uffff'; // no listed name holds it
        }
        size_ = name.size();
    }
    bool is(QStringView listed) const
    {
        return listed.size() == size_ &&
               std::equal(listed.begin(), listed.end(), chars_, [](QChar l, char16_t c) { return l.unicode() == c; });
    }
    template <size_t N> bool in(const QStringView (&names)[N]) const
    {
        return size_ > 0 && std::any_of(std::begin(names), std::end(names), [this](QStringView n) { return is(n); });
    }

private:
    static constexpr qsizetype kLongest = 8; // "noscript", "template", "textarea"
    char16_t chars_[kLongest] = {};
    qsizetype size_ = 0;
};

// Elements whose content is never shown as text.
bool isHiddenContent(const FoldedName& name)
{
    static const QStringView hidden[] = {u"script", u"style", u"noscript", u"template", u"textarea",
                                         u"svg",    u"math",  u"select",   u"iframe",   u"object"};
    return name.in(hidden);
}

// Elements that sit inside a line of text: they do not end the block they are in.
bool isInline(const FoldedName& name)
{
    static const QStringView inlineNames[] = {u"a",    u"b",     u"i",     u"u",    u"s",      u"em",  u"strong",
                                              u"span", u"font",  u"small", u"big",  u"sub",    u"sup", u"code",
                                              u"abbr", u"label", u"mark",  u"cite", u"strike", u"tt",  u"q",
                                              u"time", u"kbd",   u"var",   u"del",  u"ins",    u"wbr", u"nobr"};
    return name.in(inlineNames);
}

QString collapsed(QStringView text)
{
    return DecodeCharacterReferences(text).simplified();
}

// Where the element `name` whose start tag ends at `from` closes (just after its end tag), or the end.
qsizetype afterEndTag(QStringView html, qsizetype from, QStringView name)
{
    const QString endTag = u"</"_s + name.toString();
    const qsizetype close = html.indexOf(endTag, from, Qt::CaseInsensitive);
    if (close < 0) {
        return html.size();
    }
    const qsizetype gt = IndexOfChar(html, u'>', close);
    return gt < 0 ? html.size() : gt + 1;
}

class BlockReader
{
public:
    explicit BlockReader(QStringView html) : html_(html) {}

    VisibleText read()
    {
        qsizetype i = 0;
        const qsizetype n = html_.size();
        while (i < n) {
            const qsizetype lt = IndexOfChar(html_, u'<', i);
            if (lt < 0) {
                append(html_.mid(i));
                break;
            }
            append(html_.mid(i, lt - i));
            i = tag(lt);
        }
        flush();
        return std::move(text_);
    }

private:
    // Between two tags a page mostly holds a line break and an indent: white space that starts a run is
    // never shown (the run is collapsed), and is not copied.
    void append(QStringView text)
    {
        if (!run_.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); })) {
            run_ += text;
        }
    }

    // Reads the markup at `lt`; returns where the text goes on.
    qsizetype tag(qsizetype lt)
    {
        const qsizetype n = html_.size();
        if (lt + 3 < n && html_[lt + 1] == u'!' && html_[lt + 2] == u'-' && html_[lt + 3] == u'-') { // "<!--"
            const qsizetype end = html_.indexOf(u"-->", lt + 4);
            return end < 0 ? n : end + 3;
        }
        qsizetype p = lt + 1;
        const bool closing = p < n && html_[p] == u'/';
        if (closing) {
            ++p;
        }
        const qsizetype nameStart = p;
        while (p < n && (html_[p].isLetterOrNumber() || html_[p] == u'-' || html_[p] == u':')) {
            ++p;
        }
        const QStringView name = html_.mid(nameStart, p - nameStart);
        if (name.isEmpty()) {
            if (closing || (p < n && (html_[p] == u'!' || html_[p] == u'?'))) {
                const qsizetype gt = IndexOfChar(html_, u'>', p);
                return gt < 0 ? n : gt + 1;
            }
            run_ += u'<'; // a lone "<" is text
            return lt + 1;
        }
        qsizetype end = p;
        if (closing) {
            const qsizetype gt = IndexOfChar(html_, u'>', p);
            end = gt < 0 ? n : gt + 1;
        } else {
            const qsizetype tagEnd = StartTagEnd(html_, p);
            end = tagEnd < 0 ? n : tagEnd;
        }
        const FoldedName folded(name);
        if (!closing && folded.is(u"title")) {
            const qsizetype after = afterEndTag(html_, end, name);
            const qsizetype close = html_.lastIndexOf(u"</", after);
            text_.title = collapsed(html_.mid(end, std::max<qsizetype>(close, end) - end));
            return after;
        }
        if (!closing && isHiddenContent(folded)) {
            return afterEndTag(html_, end, name);
        }
        if (!isInline(folded)) {
            flush();
        }
        return end;
    }

    void flush()
    {
        // Most runs between two block tags are a line break and an indent: nothing to decode or collapse.
        // The run keeps its room for the next one: most pages have a block for every few dozen characters.
        if (std::all_of(run_.cbegin(), run_.cend(), [](QChar c) { return c.isSpace(); })) {
            run_.truncate(0);
            return;
        }
        const QString block = collapsed(run_);
        if (!block.isEmpty()) {
            text_.blocks << block;
        }
        run_.truncate(0);
    }

    QStringView html_;
    QString run_;
    VisibleText text_;
};

// The forms in which a page may repeat the address it answered for, longest first, each at least three
// characters long, so that a short value does not take other text with it.
QStringList addressForms(const QStringList& addresses)
{
    QStringList forms;
    const auto add = [&forms](const QString& f) {
        if (f.size() >= 3 && !forms.contains(f)) {
            forms << f;
        }
    };
    for (const QString& a : addresses) {
        const QUrl u(a);
        // An address with nothing %-encoded and no international host reads the same decoded.
        const QString encoded = u.toString(QUrl::FullyEncoded);
        const bool plain = !encoded.contains(u'%') && !encoded.contains(u"xn--"_s, Qt::CaseInsensitive);
        for (const QUrl::ComponentFormattingOptions decoding : {QUrl::FullyEncoded, QUrl::FullyDecoded}) {
            if (plain && decoding == QUrl::FullyDecoded) {
                break;
            }
            const QUrl::FormattingOptions whole = decoding == QUrl::FullyEncoded ? QUrl::FullyEncoded : QUrl::PrettyDecoded;
            add(whole == QUrl::FullyEncoded ? encoded : u.toString(whole));
            add(u.toString(whole | QUrl::RemoveScheme | QUrl::RemoveAuthority));
            add(u.path(decoding));
            const QString last = u.path(decoding).section(u'/', -1);
            add(last);
            add(last.section(u'.', 0, 0));
            // The words of a slug, as an error page may echo them ("old-report-2019" as "old report 2019").
            QString words = last.section(u'.', 0, 0);
            for (const QChar separator : {u'-', u'_', u'+'}) {
                words.replace(separator, u' ');
            }
            add(words.split(u' ', Qt::SkipEmptyParts).join(u' '));
            add(u.query(decoding));
            for (const QString& item : u.query(decoding).split(u'&')) {
                add(item.section(u'=', 1));
            }
        }
    }
    std::sort(forms.begin(), forms.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return forms;
}

// Letter case and the values of numbers (dates, counters, the id asked for) do not tell pages apart.
QString blockKey(const QString& text)
{
    QString key(text.size(), Qt::Uninitialized);
    QChar* out = key.data();
    bool inNumber = false;
    for (const QChar c : text) {
        const bool digit = c.isDigit();
        if (!digit || !inNumber) {
            const char16_t u = c.unicode();
            *out++ = digit ? QChar(u'0') : u < 128 ? QChar(u >= u'A' && u <= u'Z' ? u + 32 : u) : c.toLower();
        }
        inNumber = digit;
    }
    key.truncate(out - key.constData());
    return key;
}

} // namespace

VisibleText ReadVisibleText(QStringView html)
{
    return BlockReader(html).read();
}

PagePrint MakePagePrint(QStringView html, const QStringList& addresses)
{
    return MakePagePrint(PageReading(html), addresses);
}

PagePrint MakePagePrint(const PageReading& page, const QStringList& addresses)
{
    const VisibleText& visible = page.visibleText();
    // The title and the blocks are collapsed, with no line break in them: joined by line breaks, each form
    // of the address is taken out of all of them in one pass (no match can span a line break), and they
    // part again where they were joined. A form that holds a line break matches none of them.
    QString joined = visible.title;
    for (const QString& text : visible.blocks) {
        joined += u'\n';
        joined += text;
    }
    bool removed = false;
    for (const QString& f : addressForms(addresses)) {
        if (!f.contains(u'\n')) {
            const qsizetype before = joined.size();
            joined.replace(f, QString(), Qt::CaseInsensitive);
            removed = removed || joined.size() != before;
        }
    }
    // Most pages do not repeat their address: their title and blocks stand as they were read.
    QStringList parts = removed ? joined.split(u'\n') : visible.blocks;
    if (!removed) {
        parts.prepend(visible.title);
    }
    PagePrint print;
    print.title = removed ? parts.front().simplified() : parts.front();
    print.titleKey = blockKey(print.title);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString block = removed ? parts[i].simplified() : parts[i];
        if (block.isEmpty()) {
            continue;
        }
        print.textChars += static_cast<int>(block.size());
        print.keys << blockKey(block);
        print.keySet.insert(print.keys.back());
        print.texts << block;
    }
    return print;
}
