#include "reportfile.h"

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

WriteResult Failure(const QFileDevice& file)
{
    return {false, file.errorString(), static_cast<int>(file.error())};
}

WriteResult WriteAll(QFileDevice& file, const QByteArray& bytes)
{
    if (file.write(bytes) != bytes.size()) {
        return Failure(file);
    }
    return {true, {}, 0};
}

// The temporary copy is named after the file, with a dot and six characters added; the folder must
// take a name that long.
bool RoomForTemporaryName(const QString& fileName)
{
    const QFileInfo info(fileName);
    constexpr qsizetype kAdded = 7;
#ifdef Q_OS_UNIX
    const long longest = ::pathconf(QFile::encodeName(info.absolutePath()).constData(), _PC_NAME_MAX);
    return QFile::encodeName(info.fileName()).size() + kAdded <= (longest > 0 ? longest : 255);
#else
    return info.fileName().size() + kAdded <= 255;
#endif
}

WriteResult WriteInPlace(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return Failure(file);
    }
    WriteResult result = WriteAll(file, bytes);
    file.close();
    if (result.ok && file.error() != QFileDevice::NoError) {
        result = Failure(file);
    }
    return result;
}

} // namespace

WriteResult WriteReportFile(const QString& fileName, const QByteArray& bytes)
{
    if (!RoomForTemporaryName(fileName)) {
        return WriteInPlace(fileName, bytes);
    }
    QSaveFile file(fileName);
    // Qt writes in place itself when the folder refuses the temporary file.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        return Failure(file);
    }
    const WriteResult written = WriteAll(file, bytes);
    if (!written.ok) {
        file.cancelWriting();
        return written;
    }
    if (!file.commit()) {
        return Failure(file);
    }
    return written;
}
