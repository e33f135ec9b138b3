#include "reportfile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <utility>

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

QString WriteFailureReason(const QString& platformError)
{
    // Qt words a file's failure with the system's text for its error number; the same text tells
    // which number it was.
    static const std::pair<int, const char16_t*> kReasons[] = {
        {EROFS, u"只读文件系统"},      {EACCES, u"没有写入权限"},
        {EPERM, u"没有写入权限"},      {ENOSPC, u"磁盘空间不足"},
#ifdef EDQUOT
        {EDQUOT, u"超出磁盘配额"},
#endif
        {ENOENT, u"文件夹不存在"},     {ENOTDIR, u"路径中的某一部分不是文件夹"},
        {EISDIR, u"已有同名的文件夹"}, {ENAMETOOLONG, u"文件名过长"},
        {EFBIG, u"文件过大"},          {EIO, u"磁盘读写错误"},
        {EMFILE, u"打开的文件过多"},   {ENFILE, u"打开的文件过多"},
        {EBUSY, u"文件正被占用"},      {ETXTBSY, u"文件正被占用"},
    };
    QString reason = platformError;
    for (const auto& [code, words] : kReasons) {
        if (platformError.contains(qt_error_string(code), Qt::CaseInsensitive)) {
            reason = QString::fromUtf16(words);
            break;
        }
    }
    return QStringLiteral("无法写入文件：") + reason;
}
