#include "ansifile.h"

#include <QSaveFile>
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
    return WriteFileBytes(fileName, EncodeAnsi(text + QStringLiteral("\r\n")));
}

WriteResult WriteFileBytes(const QString& fileName, const QByteArray& bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}
