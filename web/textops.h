#pragma once

#include <QString>
#include <QStringView>

// Plain text helpers shared by every layer.

// The text between the first `start` and the next `end` after it; empty when either is missing.
QString GetBetween(QStringView text, QStringView start, QStringView end);

// Removes leading and trailing space characters only (tabs and line breaks stay).
QString TrimSpaces(QStringView text);

// True when `text` is a whole decimal integer (optionally signed, surrounding spaces allowed)
// that fits 32 bits; `value` receives it.
bool ParseInt(QStringView text, int* value);
