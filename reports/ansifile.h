#pragma once

#include <QByteArray>
#include <QString>

struct WriteResult
{
    bool ok = false;
    QString error; // the platform's reason when ok is false
};

// Replaces `fileName` with `text` followed by one CR LF, encoded in the ANSI code page of the
// Chinese desktop. GB18030 is byte for byte GBK wherever GBK has the character and still encodes
// everything else, so nothing a crawled page holds is lost. The file is replaced all at once: when
// any step fails, a file that was there before keeps its old contents.
WriteResult WriteAnsiLine(const QString& fileName, const QString& text);

// Replaces `fileName` with `bytes` all at once, as WriteAnsiLine does.
WriteResult WriteFileBytes(const QString& fileName, const QByteArray& bytes);
