#include "exportcommands.h"

#include "deadlinkfile.h"
#include "exporttexts.h"
#include "linkstore.h"
#include "maintexts.h"
#include "reportfile.h"
#include "runtexts.h"
#include "sheetreport.h"
#include "textreport.h"
#include "toolkit.h"

#include <QFileInfo>
#include <QUrl>

#include <exception>

namespace {

// The busy pointer for as long as the workbook is built, also when building it throws.
class BusyPointer
{
public:
    explicit BusyPointer(Toolkit& toolkit) : toolkit_(toolkit) { toolkit_.SetBusy(true); }
    ~BusyPointer() { release(); }
    Q_DISABLE_COPY_MOVE(BusyPointer)
    void release()
    {
        if (busy_) {
            busy_ = false;
            toolkit_.SetBusy(false);
        }
    }

private:
    Toolkit& toolkit_;
    bool busy_ = true;
};

} // namespace

std::function<void()> NoProgramNotice(Toolkit& toolkit, const QString& target)
{
    return [&toolkit, target] {
        const QString scheme = QUrl(target).scheme().toLower();
        const bool page = scheme == u"http" || scheme == u"https";
        toolkit.MsgBox(page ? MainText::noProgramForPage(target) : MainText::noProgramForFile(target), MsgButtons::Ok,
                       MsgIcon::Information, MainText::notice());
    };
}

ExportCommands::ExportCommands(Toolkit& toolkit, const LinkStore& store) : toolkit_(toolkit), store_(store) {}

ExportCommands::Format ExportCommands::formatOf(WebCommands::Report report)
{
    switch (report) {
    case WebCommands::Report::Excel:
        return {report, ExportText::excelFilter(), ExportText::excelExtension()};
    case WebCommands::Report::Html:
        return {report, ExportText::htmlFilter(), ExportText::htmlExtension()};
    case WebCommands::Report::DeadLinkFile:
        return {report, ExportText::deadLinkFilter(), ExportText::deadLinkExtension(), ExportText::deadLinkName()};
    case WebCommands::Report::Txt:
        break;
    }
    return {WebCommands::Report::Txt, ExportText::txtFilter(), ExportText::txtExtension()};
}

void ExportCommands::exportReport(WebCommands::Report report, const ResultTree& list)
{
    // Called from a button's click: nothing may leave it. A failure here ends the export quietly,
    // as a cancelled dialog does; the writers report their own failures.
    try {
        if (runActive()) {
            return;
        }
        const Format format = formatOf(report);
        if (report == WebCommands::Report::DeadLinkFile) {
            // The engines want every dead address of the site, whichever list is on show.
            const QStringList urls = DeadLinkUrls(store_.full());
            run(format, urls.isEmpty(), [&](const QString& fileName) { return writeDeadLinkFile(urls, fileName); });
            return;
        }
        run(format, list.count() == 0, [&](const QString& fileName) { return write(format, list, fileName) ? 1 : 0; });
    } catch (const std::exception&) {
    }
}

void ExportCommands::run(const Format& format, bool empty, const Writer& writer)
{
    if (empty) {
        toolkit_.MsgBox(ExportText::noData(), MsgButtons::Ok, MsgIcon::Information, ExportText::noDataTitle());
        return;
    }
    const QString fileName = askFileName(format);
    if (fileName.isEmpty()) {
        return;
    }
    // After a failure there is nothing of this export to open; a file of that name is an older one.
    const int files = writer(fileName);
    if (files > 0) {
        offerToOpen(fileName, files);
    }
}

bool ExportCommands::runActive() const
{
    const QString state = store_.panel(1);
    return state == RunText::inProgress() || state == RunText::stopping();
}

QString ExportCommands::askFileName(const Format& format)
{
    const QString fileName =
        toolkit_.SaveFileName(ExportText::dialogTitle(), format.filter, format.defaultExt, format.defaultName);
    if (fileName.isEmpty()) {
        return {};
    }
    if (QFileInfo::exists(fileName) &&
        toolkit_.MsgBox(ExportText::overwrite(), MsgButtons::OkCancel, MsgIcon::None, MainText::appTitle()) !=
            MsgResult::Ok) {
        return {};
    }
    return fileName;
}

bool ExportCommands::write(const Format& format, const ResultTree& list, const QString& fileName)
{
    if (format.report == WebCommands::Report::Excel) {
        return writeWorkbook(list, fileName);
    }
    // The writers replace the file in one step, so an old file survives a failed write untouched.
    const WriteResult result = WriteTextReport(
        list, fileName, format.report == WebCommands::Report::Html ? ReportHtml : ReportTxt, store_.change());
    if (!result.ok) {
        showFailure(WriteFailureReason(result.error));
    }
    return result.ok;
}

int ExportCommands::writeDeadLinkFile(const QStringList& urls, const QString& fileName)
{
    const DeadLinkFileResult result = WriteDeadLinkFile(urls, fileName);
    if (!result.write.ok) {
        showFailure(WriteFailureReason(result.write.error));
    }
    return result.write.ok ? result.files : 0;
}

void ExportCommands::showFailure(const QString& reason)
{
    // Without this the user would be told the export finished while nothing was written.
    toolkit_.MsgBox(ExportText::failedLead() + QStringLiteral("\r\n\r\n") + reason, MsgButtons::Ok, MsgIcon::Critical,
                    ExportText::failedTitle());
}

bool ExportCommands::writeWorkbook(const ResultTree& list, const QString& fileName)
{
    BusyPointer busy(toolkit_);
    const SheetReportResult result = WriteSheetReport(list, fileName, store_.change());
    busy.release(); // the pointer is back before any message asks for a click
    if (!result.ok) {
        toolkit_.MsgBox(SheetFailureMessage(result), MsgButtons::Ok, MsgIcon::Critical, SheetFailureTitle());
    }
    return result.ok;
}

void ExportCommands::offerToOpen(const QString& fileName, int files)
{
    const QString question = files > 1 ? ExportText::finishedFiles(files) : ExportText::finished();
    if (toolkit_.MsgBox(question, MsgButtons::OkCancel, MsgIcon::None, MainText::appTitle()) != MsgResult::Ok) {
        return;
    }
    // The desktop opens each file in the program it has for the type: a .txt report in its text
    // editor, the workbook in its spreadsheet program and the Html report in the browser.
    const QString path = QFileInfo(fileName).absoluteFilePath();
    toolkit_.OpenUrl(QUrl::fromLocalFile(path).toString(), NoProgramNotice(toolkit_, path));
}
