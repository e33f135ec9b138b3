#pragma once

#include <QByteArray>
#include <QString>

struct WriteResult
{
    bool ok = false;
    QString error;       // the platform's reason when ok is false
    int errorNumber = 0; // its QFileDevice::FileError
};

// Replaces `fileName` with `bytes`. The file is written beside its name and moved over it once
// complete, so a write that fails leaves an old file as it was. Where no such copy can be made (a
// folder the user may not write in, a name too long to leave room for a temporary one) the file is
// written in place, as a plain write would.
WriteResult WriteReportFile(const QString& fileName, const QByteArray& bytes);

// Why a file could not be written, in the user's words: "无法写入文件：" and the reason, for the
// platform's reason as a failed WriteReportFile gives it. A reason it does not know is given as it is.
QString WriteFailureReason(const QString& platformError);
