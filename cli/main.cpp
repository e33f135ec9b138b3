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

#include <cstdio>
#include <memory>
#include <unistd.h>

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
        const qint64 id = recorder ? history->resumableRun(options.site) : 0;
        resumed = id != 0 && recorder->restore(id);
        if (resumed) {
            // The site as that run named it: another spelling would start it afresh.
            options.site = run.resumeState().site;
            options.settings = recorder->restoredSettings();
        } else {
            std::fprintf(stderr, "kelvara-check: no unfinished check of %s to resume: checking from the start\n",
                         qPrintable(options.site.trimmed()));
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
