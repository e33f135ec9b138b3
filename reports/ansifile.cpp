#include "ansifile.h"

#include <QStringEncoder>

#include <algorithm>

namespace {

QByteArray EncodeAnsi(const QString& text)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid()) {
        // A Qt without ICU: the system's own code page is what the reader's desktop expects.
        encoder = QStringEncoder(QStringConverter::System);
    }
    // A report is mostly ASCII (addresses, markup), which both encodings keep byte for byte and which
    // the converter would take a character at a time: only the runs beyond ASCII go through it. Neither
    // encoding carries a state from one run to the next.
    QByteArray out;
    out.reserve(text.size() + text.size() / 4);
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && text[j].unicode() < 0x80) {
            ++j;
        }
        const qsizetype at = out.size();
        out.resize(at + (j - i));
        std::transform(text.cbegin() + i, text.cbegin() + j, out.begin() + at,
                       [](QChar c) { return static_cast<char>(c.unicode()); });
        i = j;
        while (j < n && text[j].unicode() >= 0x80) {
            ++j;
        }
        // A lone high surrogate goes to the converter with what follows it, as in one pass over the text:
        // held over to the next run, it would pair with a lone low surrogate there.
        if (j > i && j < n && QChar::isHighSurrogate(text[j - 1].unicode())) {
            ++j;
        }
        if (j > i) {
            out += encoder.encode(QStringView(text).sliced(i, j - i));
            i = j;
        }
    }
    return out;
}

} // namespace

WriteResult WriteAnsiLine(const QString& fileName, const QString& text)
{
    return WriteReportFile(fileName, EncodeAnsi(text + QStringLiteral("\r\n")));
}
