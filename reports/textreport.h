#pragma once

#include "ansifile.h"
#include "resulttree.h"
#include "runchange.h"

#include <QString>

// Format flag of a text report: 0 is the Html page, every other value plain text.
enum TextReportFormat : int
{
    ReportHtml = 0,
    ReportTxt = -1
};

// The whole report of `list` as one text, one row per node in index order, without the line ending
// that the file gets after it; then, when the check could be compared with an earlier one, the dead
// links that are new and the ones mended since.
QString TextReportText(const ResultTree& list, int format, const RunChange& change = {});

// Writes the report of `list` to `fileName`, replacing a file of that name. On failure an existing
// file stays as it was.
WriteResult WriteTextReport(const ResultTree& list, const QString& fileName, int format, const RunChange& change = {});
