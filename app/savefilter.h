#pragma once

#include <QString>

// The save dialog of the export commands is described in the common-dialog form: a filter of
// "description|pattern" pairs and a default extension such as "*.txt". These turn it into what
// QFileDialog takes.

// "Txt   (*.txt)|*.txt" as the Qt name filter "Txt   (*.txt)"; several pairs become several filters
// separated by ";;", and patterns separated by ";" become one filter with several patterns.
QString QtNameFilter(const QString& pairs);

// "*.txt" as the suffix "txt"; empty when there is none.
QString SuffixOf(const QString& defaultExt);

// `path` with the default extension added when its file name has none, as the common dialog does for
// a name typed without one.
QString WithDefaultExtension(const QString& path, const QString& defaultExt);
