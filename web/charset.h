#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Deciding which character set a page is written in, and decoding it. Both work on bytes already
// downloaded, so one response can be sniffed and decoded without fetching it again.

// The character set assumed when nothing is declared.
inline constexpr QStringView kDefaultCharset = u"gb2312";

// The page's character set, lower-cased: the charset parameter of the Content-Type header wins; then a
// byte-order mark; then the first "charset=" in the page (any case). A value is cut at a quote, white
// space, "/", ";" or ">", with surrounding quotes removed, so that <meta charset="utf-8">, charset='utf-8'
// and charset=utf-8 / all give utf-8. Nothing found gives kDefaultCharset.
QString SniffCharset(const QByteArray& contentTypeHeader, const QByteArray& body);

// `body` decoded as `charset`. Never fails: invalid sequences become U+FFFD, and a name that no decoder
// knows decodes as UTF-8 when the bytes are valid UTF-8, as GB18030 otherwise.
QString DecodeBytes(const QByteArray& body, QStringView charset);
