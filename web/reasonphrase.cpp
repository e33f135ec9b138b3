#include "reasonphrase.h"

#include <QLatin1StringView>
#include <QStringDecoder>

#include <algorithm>
#include <iterator>

namespace {

struct Phrase
{
    int status;
    const char* text;
    const char16_t* meaning = nullptr; // what a user should take from the code, for the common errors
};

// Sorted by status for the binary search.
constexpr Phrase kPhrases[] = {
    {100, "Continue"},
    {101, "Switching Protocols"},
    {102, "Processing"},
    {103, "Early Hints"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {207, "Multi-Status"},
    {208, "Already Reported"},
    {226, "IM Used"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request", u"请求无效"},
    {401, "Unauthorized", u"需要登录"},
    {402, "Payment Required"},
    {403, "Forbidden", u"禁止访问"},
    {404, "Not Found", u"页面不存在"},
    {405, "Method Not Allowed", u"不允许此请求方法"},
    {406, "Not Acceptable", u"无法提供所需格式"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout", u"服务器等待请求超时"},
    {409, "Conflict"},
    {410, "Gone", u"页面已删除"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Content Too Large"},
    {414, "URI Too Long", u"网址过长"},
    {415, "Unsupported Media Type"},
    {416, "Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {421, "Misdirected Request"},
    {422, "Unprocessable Content"},
    {423, "Locked"},
    {424, "Failed Dependency"},
    {425, "Too Early"},
    {426, "Upgrade Required"},
    {428, "Precondition Required"},
    {429, "Too Many Requests", u"请求过多"},
    {431, "Request Header Fields Too Large"},
    {451, "Unavailable For Legal Reasons", u"因法律原因不可用"},
    {500, "Internal Server Error", u"服务器内部错误"},
    {501, "Not Implemented", u"服务器不支持此请求"},
    {502, "Bad Gateway", u"网关错误"},
    {503, "Service Unavailable", u"服务暂时不可用"},
    {504, "Gateway Timeout", u"网关超时"},
    {505, "HTTP Version Not Supported", u"不支持的HTTP版本"},
    {506, "Variant Also Negotiates"},
    {507, "Insufficient Storage"},
    {508, "Loop Detected"},
    {510, "Not Extended"},
    {511, "Network Authentication Required"},
};

const Phrase* find(int status)
{
    const auto it = std::lower_bound(std::begin(kPhrases), std::end(kPhrases), status,
                                     [](const Phrase& p, int s) { return p.status < s; });
    return it == std::end(kPhrases) || it->status != status ? nullptr : it;
}

} // namespace

QString StandardReasonPhrase(int status)
{
    const Phrase* p = find(status);
    return p ? QString(QLatin1StringView(p->text)) : QString();
}

QString HttpErrorText(int status, const QString& phrase)
{
    QString text = QString::number(status);
    if (!phrase.isEmpty()) {
        text += u' ' + phrase;
    }
    const Phrase* p = find(status);
    if (p && p->meaning && phrase != QStringView(p->meaning)) {
        text += u'（' + QString::fromUtf16(p->meaning) + u'）';
    }
    return text;
}

QString DecodeReasonPhrase(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        text = QString::fromLatin1(bytes);
    }
    return text;
}
