#pragma once

#include "webcommands.h"

#include <QString>
#include <QStringList>

#include <functional>

class LinkStore;
class ResultTree;
class Toolkit;

// Tells the user, when the desktop has no program for `target` (a file's path or a web address), that
// nothing opened: for the toolkit's OpenUrl.
std::function<void()> NoProgramNotice(Toolkit& toolkit, const QString& target);

// The export buttons of the window: Command28 (Txt), Command21 (Excel) and Command27 (Html), and the
// dead-link file for the search engines. Each asks for a file through the toolkit, writes the report
// of the list it is given (the dead-link file: of the whole run) with its writer and offers to open
// the file. The dialogs all go through the toolkit, so a script can answer them.
class ExportCommands
{
public:
    // `store` gives the run state (status panel 1): no export while a run is going or stopping.
    ExportCommands(Toolkit& toolkit, const LinkStore& store);

    void exportReport(WebCommands::Report report, const ResultTree& list);
    void Command28_Click(const ResultTree& list) { exportReport(WebCommands::Report::Txt, list); }
    void Command21_Click(const ResultTree& list) { exportReport(WebCommands::Report::Excel, list); }
    void Command27_Click(const ResultTree& list) { exportReport(WebCommands::Report::Html, list); }

private:
    struct Format
    {
        WebCommands::Report report;
        QString filter;
        QString defaultExt;
        QString defaultName = {};
    };
    // Writes to the file it is given and says how many files it wrote.
    using Writer = std::function<int(const QString& fileName)>;
    static Format formatOf(WebCommands::Report report);

    bool runActive() const;
    // The steps every export shares once it knows whether it has anything to write.
    void run(const Format& format, bool empty, const Writer& writer);
    QString askFileName(const Format& format);
    // True when the file was written; a failure has been shown to the user.
    bool write(const Format& format, const ResultTree& list, const QString& fileName);
    int writeDeadLinkFile(const QStringList& urls, const QString& fileName);
    bool writeWorkbook(const ResultTree& list, const QString& fileName);
    void showFailure(const QString& reason);
    void offerToOpen(const QString& fileName, int files);

    Toolkit& toolkit_;
    const LinkStore& store_;
};
