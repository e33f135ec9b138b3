#include "textops.h"

QString GetBetween(QStringView text, QStringView start, QStringView end)
{
    if (text.isEmpty() || start.isEmpty()) {
        return {};
    }
    const qsizetype p = text.indexOf(start);
    if (p < 0) {
        return {};
    }
    const qsizetype b = p + start.size();
    const qsizetype q = text.indexOf(end, b);
    if (q < 0) {
        return {};
    }
    return text.mid(b, q - b).toString();
}

QString TrimSpaces(QStringView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text[from] == u' ') {
        ++from;
    }
    while (to > from && text[to - 1] == u' ') {
        --to;
    }
    return text.mid(from, to - from).toString();
}

bool ParseInt(QStringView text, int* value)
{
    bool ok = false;
    const int v = TrimSpaces(text).toInt(&ok);
    if (ok && value) {
        *value = v;
    }
    return ok;
}
