#pragma once

#include <QString>
#include <QStringList>

// The sites of a sites file: one home-page address a line; blank lines and lines whose first character
// other than a space is '#' are skipped, as is anything after " #" on a line. False with `error` (naming
// the line) when the file cannot be read, holds no site or holds an address no check can start from.
bool ReadSitesFile(const QString& fileName, QStringList* sites, QString* error);

// Every `count`-th site starting at the `index`-th, counted from 0: one machine's part of the list.
QStringList ShardOf(const QStringList& sites, int index, int count);
