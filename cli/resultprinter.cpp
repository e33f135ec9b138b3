#include "resultprinter.h"

#include "datareport.h"
#include "deadlinkfile.h"
#include "linkstore.h"
#include "options.h"
#include "progress.h"
#include "sheetreport.h"
#include "textreport.h"

using namespace Qt::StringLiterals;

namespace {

// The status description, with the kind of a resource in front of it.
QString describe(const NodeRecord& record)
{
    return KindTag(record.kind) + (record.statusText.isEmpty() ? u"(no response)"_s : record.statusText);
}

void printLine(std::FILE* out, const QString& text)
{
    std::fprintf(out, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

void PrintDeadLinks(const LinkStore& store, std::FILE* out)
{
    const ResultTree& dead = store.dead();
    for (int top : dead.topLevel()) {
        const ResultNode* page = dead.node(top);
        if (page->children.empty()) {
            // The home page itself is dead.
            printLine(out, page->record.url + u"  "_s + describe(page->record));
            continue;
        }
        printLine(out, page->record.url);
        for (int child : page->children) {
            const ResultNode* link = dead.node(child);
            printLine(out, u"    "_s + link->record.url + u"  "_s + describe(link->record));
        }
    }
}

void PrintExcludedLinks(const LinkStore& store, std::FILE* out)
{
    const ResultTree& full = store.full();
    const QString word = DataReport::statusWord(StatusExcluded);
    if (full.count() >= 1 && full.node(1)->status == StatusExcluded) {
        printLine(out, full.node(1)->record.url + u"  "_s + word);
    }
    for (int page = 1; page <= full.count(); ++page) {
        bool pageShown = false;
        for (int child : full.childrenOf(page)) {
            const ResultNode* link = full.node(child);
            if (link->status != StatusExcluded) {
                continue;
            }
            if (!pageShown) {
                printLine(out, full.node(page)->record.url);
                pageShown = true;
            }
            printLine(out, u"    "_s + link->record.url + u"  "_s + KindTag(link->record.kind) + word);
        }
    }
}

void PrintSummary(const LinkStore& store, const ProbeStats& stats, bool withExcluded, std::FILE* out)
{
    std::fprintf(out, "links parsed: %d, tested: %lld, dead: %d, timed out: %d, retried: %d, confirmed: %d",
                 store.full().count(), static_cast<long long>(store.testedCount()), store.deads().count(),
                 store.timeouts().count(), stats.retried, stats.confirmed);
    if (withExcluded) {
        std::fprintf(out, ", excluded: %d", DataReport::excludedCount(store.full()));
    }
    if (store.renderedCount() > 0) {
        std::fprintf(out, ", rendered: %d", store.renderedCount());
    }
    std::fprintf(out, "\n");
}

void PrintChange(const RunChange& change, std::FILE* out)
{
    if (change.isEmpty()) {
        return;
    }
    printLine(out, u"compared with the check of "_s + change.previousShown() + u": "_s +
                       QString::number(change.newDead.size()) + u" new dead, "_s +
                       QString::number(change.fixed.size()) + u" fixed"_s);
    for (const QString& url : change.newDead) {
        printLine(out, u"    new dead  "_s + url);
    }
    for (const QString& url : change.fixed) {
        printLine(out, u"    fixed     "_s + url);
    }
}

void PrintResult(const LinkStore& store, const CliOptions& options, const ProbeStats& stats, std::FILE* out)
{
    if (options.format == OutputFormat::Text) {
        const bool withExcluded = !options.settings.exclusions.isEmpty();
        PrintDeadLinks(store, out);
        if (withExcluded) {
            PrintExcludedLinks(store, out);
        }
        PrintSummary(store, stats, withExcluded, out);
        PrintChange(store.change(), out);
        return;
    }
    const DataReport data(store, options.site.trimmed(), options.settings);
    const QByteArray bytes = options.format == OutputFormat::Json ? data.json() : data.csv();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
}

bool WriteReports(const LinkStore& store, const CliOptions& options, std::FILE* err)
{
    const ResultTree& list = options.deadOnly ? store.dead() : store.full();
    bool ok = true;
    const auto fail = [&](const QString& file, const QString& why) {
        std::fprintf(err, "kelvara-check: cannot write %s: %s\n", qPrintable(file), qPrintable(why));
        ok = false;
    };
    if (!options.txtReport.isEmpty()) {
        const WriteResult r = WriteTextReport(list, options.txtReport, ReportTxt, store.change());
        if (!r.ok) {
            fail(options.txtReport, r.error);
        }
    }
    if (!options.htmlReport.isEmpty()) {
        const WriteResult r = WriteTextReport(list, options.htmlReport, ReportHtml, store.change());
        if (!r.ok) {
            fail(options.htmlReport, r.error);
        }
    }
    if (!options.deadLinkFile.isEmpty()) {
        const DeadLinkFileResult r = WriteDeadLinkFile(DeadLinkUrls(store.full()), options.deadLinkFile);
        if (!r.write.ok) {
            fail(DeadLinkPartName(options.deadLinkFile, r.files + 1), r.write.error);
        } else if (r.files > 1) {
            std::fprintf(err, "kelvara-check: the dead links fill %d files: %s to %s\n", r.files,
                         qPrintable(options.deadLinkFile), qPrintable(DeadLinkPartName(options.deadLinkFile, r.files)));
        }
    }
    if (!options.xlsxReport.isEmpty()) {
        const SheetReportResult r = WriteSheetReport(list, options.xlsxReport, store.change());
        if (!r.ok) {
            fail(options.xlsxReport, QString::number(r.errorNumber) + u": "_s + r.description);
        }
    }
    return ok;
}
