#include "charset.h"

#include "charsetlabels.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Longer values are not character-set names; cutting there keeps junk out of the decoder lookup.
constexpr qsizetype kMaxLabelLength = 40;

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool endsValue(char c)
{
    return isQuote(c) || isSpace(c) || c == '/' || c == ';' || c == '>';
}

qsizetype indexOfCaseInsensitive(QByteArrayView haystack, QByteArrayView needle)
{
    const qsizetype last = haystack.size() - needle.size();
    for (qsizetype i = 0; i <= last; ++i) {
        if (qstrnicmp(haystack.data() + i, needle.data(), static_cast<size_t>(needle.size())) == 0) {
            return i;
        }
    }
    return -1;
}

// The value after the first "charset=" in `text`, cleaned; empty when there is none.
QString charsetParameter(QByteArrayView text)
{
    constexpr QByteArrayView kMark("charset=");
    const qsizetype mark = indexOfCaseInsensitive(text, kMark);
    if (mark < 0) {
        return {};
    }
    qsizetype from = mark + kMark.size();
    while (from < text.size() && (isSpace(text[from]) || isQuote(text[from]))) {
        ++from;
    }
    qsizetype to = from;
    while (to < text.size() && to - from < kMaxLabelLength && !endsValue(text[to])) {
        ++to;
    }
    return QString::fromLatin1(text.sliced(from, to - from)).toLower();
}

QString charsetFromBom(QByteArrayView body)
{
    if (body.startsWith("\xEF\xBB\xBF")) {
        return u"utf-8"_s;
    }
    if (body.startsWith("\xFE\xFF")) {
        return u"utf-16be"_s;
    }
    if (body.startsWith("\xFF\xFE")) {
        return u"utf-16le"_s;
    }
    return {};
}

QString fallbackDecode(const QByteArray& body)
{
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(body);
    if (!utf8.hasError()) {
        return text;
    }
    QStringDecoder gb("GB18030");
    return gb.isValid() ? gb(body) : QString::fromLatin1(body);
}

// A page that declares nothing is read as gb2312, as most such Chinese pages are written; but text
// beyond ASCII that is valid UTF-8 throughout is next to never GBK (its lead bytes seldom meet UTF-8's
// continuation bytes), and reading it as gb2312 would garble every address and word in it.
bool isUndeclaredUtf8(const QByteArray& body)
{
    const bool ascii = std::all_of(body.begin(), body.end(), [](char c) { return (uchar(c) & 0x80) == 0; });
    if (ascii) {
        return false;
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(body);
    return !utf8.hasError();
}

} // namespace

QString SniffCharset(const QByteArray& contentTypeHeader, const QByteArray& body)
{
    QString name = charsetParameter(contentTypeHeader);
    if (name.isEmpty()) {
        name = charsetFromBom(body);
    }
    if (name.isEmpty()) {
        name = charsetParameter(body);
    }
    if (name.isEmpty() && isUndeclaredUtf8(body)) {
        name = u"utf-8"_s;
    }
    return name.isEmpty() ? kDefaultCharset.toString() : name;
}

QString DecodeBytes(const QByteArray& body, QStringView charset)
{
    if (body.isEmpty()) {
        return {};
    }
    const QByteArray name = DecoderNameFor(charset.isEmpty() ? kDefaultCharset : charset);
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid()) {
        return fallbackDecode(body);
    }
    return decoder(body);
}
