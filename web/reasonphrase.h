#pragma once

#include <QString>

// The standard reason phrase of an HTTP status code, for responses that carry none (HTTP/2 has no
// reason phrase, and some servers send an empty one). Empty for codes without a registered phrase.
QString StandardReasonPhrase(int status);
