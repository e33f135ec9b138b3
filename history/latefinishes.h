#pragma once

#include "checksettings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A finished check as it is stored: its site and settings, its dead URLs, and the run it was recorded in
// under the hold of `owner` (0 when none could be made).
struct FinishedCheck
{
    qint64 run = 0;
    QString owner;
    QString site;
    CheckSettings settings;
    QString finished; // UTC, ISO 8601 to the millisecond: it also tells one check of a site from another
    QStringList dead;
    QByteArray view; // its dead links as the window shows them again, packed; empty when none is kept
};

// Checks that ended while another program kept the history file locked past every wait (a program
// stopped in the middle of a write holds its lock until it is killed). Each is kept in a file of its own
// beside the history, readable by the user alone, until a program that opens the history stores it.
namespace LateFinishes {

// Keeps `check` beside the SQLite history at `historyPath`; the file's name, or empty with `error` set.
QString Keep(const QString& historyPath, const FinishedCheck& check, QString* error);

struct Kept
{
    QString file;
    FinishedCheck check;
};
// The checks kept beside the history at `historyPath`, oldest first; a file that cannot be read is
// left for the user.
QList<Kept> Waiting(const QString& historyPath);

} // namespace LateFinishes
