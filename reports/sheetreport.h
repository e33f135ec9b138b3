#pragma once

#include "resulttree.h"
#include "runchange.h"

#include <QString>

struct SheetReportResult
{
    bool ok = false;
    int errorNumber = 0; // the writer library's error number, or the QFileDevice::FileError of the file
    QString description;
    bool fileFailure = false; // the file could not be written, rather than the workbook built
};

// Writes `list` to `fileName` as an Office Open XML workbook (.xlsx): a bold header row and one row
// per node in index order; depths and query times are numbers. A text longer than a cell holds is cut.
// The workbook is complete before the target is touched, and is written as WriteReportFile writes, so a
// failure leaves neither a half-written workbook nor a damaged old file. A check compared with an earlier
// one gets a second sheet with what changed.
SheetReportResult WriteSheetReport(const ResultTree& list, const QString& fileName, const RunChange& change = {});

// The text that tells the user why a workbook could not be written, and the title of its box.
QString SheetFailureMessage(const SheetReportResult& result);
QString SheetFailureTitle();
