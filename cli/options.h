#pragma once

#include "checksettings.h"

#include <QString>
#include <QStringList>

// What kelvara-check prints on standard output.
enum class OutputFormat { Text, Json, Csv };

// How --notify posts what changed: our own document, or the text message of a group robot.
enum class NotifyFormat { Json, WeCom, DingTalk, Feishu };

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
    QString historyLocation; // an SQLite file or a postgresql:// address; empty for the user's own file
    QString notifyUrl;       // where the dead links new since the last check are posted; empty for nowhere
    NotifyFormat notifyFormat = NotifyFormat::Json;
    // Several sites at once: the file that lists them, how many run side by side, which of them this
    // machine takes (every shardCount-th from shardIndex) and the overview page written at the end.
    QString sitesFile;
    int sitesParallel = 4;
    int shardIndex = 0;
    int shardCount = 1;
    QString overview;
    bool help = false;
    bool version = false;
};

// Parses the arguments (without the program name). On a usage error returns false and fills `error`.
bool ParseCliOptions(const QStringList& arguments, CliOptions* options, QString* error);

QString CliUsage();
