#pragma once

#include "checksettings.h"

#include <QString>
#include <QStringList>

// What kelvara-check prints on standard output.
enum class OutputFormat { Text, Json, Csv };

// The command line of kelvara-check.
struct CliOptions
{
    CheckSettings settings;
    OutputFormat format = OutputFormat::Text;
    QString site;
    QString txtReport;
    QString htmlReport;
    QString xlsxReport;
    QString deadLinkFile;
    bool deadOnly = false;
    bool resume = false;        // continue the last unfinished check of the site
    bool resumeOrStart = false; // and check it from the start when there is none
    bool history = true; // keep the check on disk (and compare it with the last one)
    bool help = false;
    bool version = false;
};

// Parses the arguments (without the program name). On a usage error returns false and fills `error`.
bool ParseCliOptions(const QStringList& arguments, CliOptions* options, QString* error);

QString CliUsage();
