#include "ansifile.h"

#include <QStringEncoder>

namespace {

QByteArray EncodeAnsi(const QString& text)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid()) {
        // A Qt without ICU: the system's own code page is what the reader's desktop expects.
        encoder = QStringEncoder(QStringConverter::System);
    }
    return encoder.encode(text);
}

} // namespace

WriteResult WriteAnsiLine(const QString& fileName, const QString& text)
{
    return WriteReportFile(fileName, EncodeAnsi(text + QStringLiteral("\r\n")));
}
