#pragma once

#include "reportfile.h"

#include <QString>

// Replaces `fileName` with `text` followed by one CR LF, encoded in the ANSI code page of the
// Chinese desktop. GB18030 is byte for byte GBK wherever GBK has the character and still encodes
// everything else, so nothing a crawled page holds is lost. The file is replaced as WriteReportFile
// replaces it.
WriteResult WriteAnsiLine(const QString& fileName, const QString& text);
