// kelvara-check: the check run of the desktop program without a window.
#include "browserrenderer.h"
#include "castore.h"
#include "checkrun.h"
#include "groupprinter.h"
#include "historydb.h"
#include "homefolder.h"
#include "interrupt.h"
#include "linkstore.h"
#include "networkprober.h"
#include "notice.h"
#include "options.h"
#include "progress.h"
#include "resultprinter.h"
#include "runrecorder.h"
#include "sitegroup.h"
#include "sitesfile.h"
#include "toolkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

#include <algorithm>
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

// Tells the receiver of --notify what changed; a post that fails is said and changes nothing else.
void Notify(const LinkStore& store, const CliOptions& options)
{
    const QByteArray body = NoticeBody(store, options.site.trimmed(), options.notifyFormat);
    if (options.notifyUrl.isEmpty() || body.isEmpty()) {
        return;
    }
    // The address of a robot holds its key: only its host goes to the log.
    if (const QString why = PostNotice(options.notifyUrl, body, options.settings.timeout); !why.isEmpty()) {
        std::fprintf(stderr, "kelvara-check: could not post the notice to %s: %s\n",
                     qPrintable(QUrl(options.notifyUrl).host()), qPrintable(why));
    }
}

int CheckSite(CliOptions& options)
{
    LinkStore store;
    CoreToolkit toolkit;
    ProbeStats stats;
    CheckRun run(store, toolkit, [&stats] { return MakeNetworkProber(&stats); });
    run.setSettings(options.settings);

    // The history is a convenience: when it cannot be used the check goes on without it.
    std::unique_ptr<HistoryDb> history;
    std::unique_ptr<RunRecorder> recorder;
    if (options.history) {
        history = std::make_unique<HistoryDb>(options.historyLocation);
        if (!history->isOpen()) {
            std::fprintf(stderr, "kelvara-check: checking without history: %s\n", qPrintable(history->error()));
        } else {
            recorder = std::make_unique<RunRecorder>(*history, store, run);
            QObject::connect(recorder.get(), &RunRecorder::failed, [](const QString& why) {
                std::fprintf(stderr, "\nkelvara-check: history no longer written: %s\n", qPrintable(why));
            });
            QObject::connect(recorder.get(), &RunRecorder::keptLate, [](const QString& why) {
                std::fprintf(stderr, "\nkelvara-check: %s\n", qPrintable(why));
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
    const QString homeFailure = run.isActive() ? QString() : run.homeFailure();
    if (!homeFailure.isEmpty()) {
        std::fprintf(stderr, "kelvara-check: cannot reach the home page %s: %s\n",
                     qPrintable(store.full().node(1)->record.url), homeFailure.toLocal8Bit().constData());
    }

    PrintResult(store, options, stats, stdout);
    std::fflush(stdout);
    Notify(store, options);
    if (!WriteReports(store, options, stderr)) {
        return 2;
    }
    return store.deads().count() > 0 || !homeFailure.isEmpty() ? 1 : 0;
}

int CheckSites(const CliOptions& options)
{
    QStringList sites;
    QString error;
    if (!ReadSitesFile(options.sitesFile, &sites, &error)) {
        std::fprintf(stderr, "kelvara-check: %s\n", qPrintable(error));
        return 2;
    }
    sites = ShardOf(sites, options.shardIndex, options.shardCount);
    if (!options.overview.isEmpty() && !QDir().mkpath(QFileInfo(options.overview).absolutePath())) {
        std::fprintf(stderr, "kelvara-check: cannot create the folder of %s\n", qPrintable(options.overview));
        return 2;
    }
    // Made ready once here: the sites' own processes, opening it all at once, would race to lay it out.
    if (options.history) {
        if (const HistoryDb history(options.historyLocation); !history.isOpen()) {
            std::fprintf(stderr, "kelvara-check: checking without history: %s\n", qPrintable(history.error()));
        }
    }
    const bool json = options.format == OutputFormat::Json;
    SiteGroupRun group(options, sites, QCoreApplication::applicationFilePath());
    Interrupt interrupt;
    QObject::connect(&interrupt, &Interrupt::interrupted, &group, &SiteGroupRun::stop);
    int done = 0;
    QObject::connect(&group, &SiteGroupRun::siteFinished, [&](int index) {
        const SiteOutcome& o = group.outcomes()[index];
        std::fprintf(stderr, "kelvara-check: [%d/%lld] %s: %s, %d dead\n", ++done, static_cast<long long>(sites.size()),
                     qPrintable(o.site), qPrintable(GroupStateText(o)), o.dead);
        if (json) {
            std::fprintf(stdout, "%s\n", group.document(index).constData());
            std::fflush(stdout);
        }
    });
    QObject::connect(&group, &SiteGroupRun::finished, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    group.start();
    QCoreApplication::exec();

    if (json) {
        std::fprintf(stdout, "%s\n", GroupSummaryLine(group.outcomes(), group.elapsedMs()).constData());
    } else {
        PrintGroupTable(group.outcomes(), group.elapsedMs(), stdout);
    }
    if (!options.overview.isEmpty()) {
        if (const WriteResult r = WriteOverview(group.outcomes(), options.overview); !r.ok) {
            std::fprintf(stderr, "kelvara-check: cannot write %s: %s\n", qPrintable(options.overview),
                         qPrintable(r.error));
            return 2;
        }
    }
    const auto& outcomes = group.outcomes();
    return std::any_of(outcomes.begin(), outcomes.end(), [](const SiteOutcome& o) { return o.needsAttention(); }) ? 1
                                                                                                                  : 0;
}

} // namespace

int main(int argc, char** argv)
{
    HomeFolder::FillIn(); // before any folder is asked for
    // A check spends its time in the event loop with a hundred sockets or more to watch, and Qt's own
    // dispatcher does that with less work a turn than GLib's. Only this process: the page renderer it
    // starts keeps the default.
    const bool dispatcherAsked = qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (!dispatcherAsked) {
        qputenv("QT_NO_GLIB", "1");
    }
    QCoreApplication app(argc, argv);
    if (!dispatcherAsked) {
        qunsetenv("QT_NO_GLIB");
    }
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

    return options.sitesFile.isEmpty() ? CheckSite(options) : CheckSites(options);
}
