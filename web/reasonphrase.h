#pragma once

#include <QString>

// The standard reason phrase of an HTTP status code, for responses that carry none (HTTP/2 has no
// reason phrase, and some servers send an empty one). Empty for codes without a registered phrase.
QString StandardReasonPhrase(int status);

// How an HTTP error is shown: the code, the server's phrase and, for the common codes, what the code means
// ("404 Not Found（页面不存在）").
QString HttpErrorText(int status, const QString& phrase);

// A reason phrase as the server sent it: UTF-8 when the bytes are valid UTF-8 (servers that localise
// their phrases send it), else Latin-1, which the protocol's own rules assume.
QString DecodeReasonPhrase(QByteArrayView bytes);
