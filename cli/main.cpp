// kelvara-check: the check run of the desktop program without a window.
#include "browserrenderer.h"
#include "castore.h"
#include "checkrun.h"
#include "historydb.h"
#include "interrupt.h"
#include "linkstore.h"
#include "networkprober.h"
#include "options.h"
#include "progress.h"
#include "resultprinter.h"
#include "runrecorder.h"
#include "toolkit.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Takes up the newest unfinished check of `site` that no live program is running.
bool Resume(HistoryDb* history, RunRecorder* recorder, const QString& site, QString* why)
{
    if (!recorder) {
        *why = u"the history cannot be used"_s;
        return false;
    }
    const HistoryDb::Unfinished found = history->unfinished(site);
    if (found.resumable != 0 && recorder->restore(found.resumable)) {
        return true;
    }
    const LeaseHolder& busy = recorder->busyHolder().owner.isEmpty() ? found.busy : recorder->busyHolder();
    if (!busy.owner.isEmpty()) {
        *why = u"its check is being run by another program ("_s + busy.describe() + u')';
    } else if (found.resumable != 0) {
        *why = u"its unfinished check cannot be read: "_s + (history->isOpen() ? u"not ours"_s : history->error());
    } else {
        *why = u"no unfinished check of it is kept"_s;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    CliOptions options;
    QString error;
    if (!ParseCliOptions(args, &options, &error)) {
        std::fprintf(stderr, "kelvara-check: %s\nTry 'kelvara-check --help'.\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(CliUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs("kelvara-check " KELVARA_VERSION "\n", stdout);
        return 0;
    }
    // Without the certificates asked for, every https link would be dead for a reason of ours.
    const QStringList unreadable = CaStore::Unreadable();
    for (const QString& setting : unreadable) {
        std::fprintf(stderr, "kelvara-check: cannot read the certificates of %s\n", qPrintable(setting));
    }
    if (!unreadable.isEmpty()) {
        return 2;
    }

    LinkStore store;
    CoreToolkit toolkit;
    ProbeStats stats;
    CheckRun run(store, toolkit, [&stats] { return MakeNetworkProber(&stats); });
    run.setSettings(options.settings);

    // The history is a convenience: when it cannot be used the check goes on without it.
    std::unique_ptr<HistoryDb> history;
    std::unique_ptr<RunRecorder> recorder;
    if (options.history) {
        history = std::make_unique<HistoryDb>();
        if (!history->isOpen()) {
            std::fprintf(stderr, "kelvara-check: checking without history: %s\n", qPrintable(history->error()));
        } else {
            recorder = std::make_unique<RunRecorder>(*history, store, run);
            QObject::connect(recorder.get(), &RunRecorder::failed, [](const QString& why) {
                std::fprintf(stderr, "\nkelvara-check: history no longer written: %s\n", qPrintable(why));
            });
        }
    }
    bool resumed = false;
    if (options.resume) {
        QString why;
        resumed = Resume(history.get(), recorder.get(), options.site.trimmed(), &why);
        if (resumed) {
            // The site as that run named it: another spelling would start it afresh.
            options.site = run.resumeState().site;
            options.settings = recorder->restoredSettings();
        } else if (!options.resumeOrStart) {
            std::fprintf(stderr, "kelvara-check: nothing to resume for %s: %s\n", qPrintable(options.site.trimmed()),
                         qPrintable(why));
            return 2;
        } else {
            std::fprintf(stderr, "kelvara-check: nothing to resume for %s (%s): checking from the start\n",
                         qPrintable(options.site.trimmed()), qPrintable(why));
            run.setSettings(options.settings);
        }
    }

    // Started with the first page that is drawn; a site built on the server never starts it.
    BrowserRenderer renderer;
    run.setRenderer(&renderer);

    Progress progress(store, stderr, isatty(fileno(stderr)) != 0);
    Interrupt interrupt;
    QObject::connect(&interrupt, &Interrupt::interrupted, &run, [&run] { run.stop(); });

    run.start(resumed ? options.site : options.site.trimmed());
    progress.finish();

    PrintResult(store, options, stats, stdout);
    if (!WriteReports(store, options, stderr)) {
        return 2;
    }
    return store.deads().count() > 0 ? 1 : 0;
}
