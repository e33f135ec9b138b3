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

CaselessWord::CaselessWord(QLatin1StringView word) : word_(word)
{
    // Where the last character of a place is not in the word, the word can start no earlier than just after it.
    const qsizetype m = word.size();
    skip_.fill(m);
    for (qsizetype j = 0; j + 1 < m; ++j) {
        skip_[static_cast<unsigned char>(word[j].toLatin1()) & 127] = m - 1 - j;
    }
}

bool CaselessWord::in(QStringView text) const
{
    const qsizetype m = word_.size();
    const qsizetype n = text.size();
    if (m == 0 || m > n) {
        return m == 0;
    }
    const auto* const w = reinterpret_cast<const unsigned char*>(word_.data());
    const char16_t* const chars = text.utf16();
    for (qsizetype i = 0; i + m <= n;) {
        const char16_t last = FoldedUnit(chars[i + m - 1]);
        if (last == w[m - 1]) {
            qsizetype j = 0;
            while (j + 1 < m && FoldedUnit(chars[i + j]) == w[j]) {
                ++j;
            }
            if (j + 1 == m) {
                return true;
            }
        }
        i += last < 128 ? skip_[last] : m;
    }
    return false;
}
