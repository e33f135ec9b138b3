// Responsiveness of the window during a check run: starts the main window on a site, runs the check
// inside the start command as a user's click does, and measures the gaps between the firings of a
// 5 ms timer on the same thread. A gap is time in which the window handled no event. On a busy machine
// a gap may be time in which the thread was not given a processor at all: the processor time the thread
// used in each gap tells the two apart.
//
//   bench_ui_run SITE [DEPTH]      e.g. bench_ui_run 127.0.0.1:18090 5   (bench/bench_ui_run.sh)
#include "configstore.h"
#include "linkstore.h"
#include "mainwindow.h"
#include "networkprober.h"
#include "widgettoolkit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// Processor time of the calling thread, in milliseconds.
qint64 threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_ui_run SITE [DEPTH]\n");
        return 2;
    }
    const QString site = QString::fromLocal8Bit(argv[1]);
    const QString depth = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("5");

    QTemporaryDir dir;
    ConfigStore config(RegHive::IniFile(dir.filePath(QStringLiteral("Kelvara.ini"))));
    config.saveSettingText(depth + QStringLiteral("|0|1|0|10|1"));
    config.saveSitesText(QStringLiteral("$") + site);
    WidgetToolkit toolkit;
    MainWindow window(toolkit, config, [] { return MakeNetworkProber(); });
    window.load();
    window.show();

    QElapsedTimer runTime;
    std::vector<qint64> gaps;
    QElapsedTimer clock;
    QTimer tick;
    tick.setInterval(5);
    qint64 longest = 0;
    qint64 cpuAtTick = 0;
    qint64 longestCpu = 0; // the most processor time the thread spent in one gap
    QElapsedTimer sinceReport;
    sinceReport.start();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        gaps.push_back(clock.restart());
        longest = std::max(longest, gaps.back());
        const qint64 cpu = threadCpuMs();
        longestCpu = std::max(longestCpu, cpu - cpuAtTick);
        cpuAtTick = cpu;
        if (sinceReport.elapsed() > 10'000) { // a long run still tells how it goes
            sinceReport.restart();
            std::fprintf(stderr, "%lld s: %d nodes, %s, longest gap so far %lld ms\n",
                         static_cast<long long>(runTime.elapsed() / 1000), window.store().full().count(),
                         qPrintable(window.store().panel(3)), static_cast<long long>(longest));
        }
    });

    QTimer::singleShot(200, [&] {
        clock.start();
        cpuAtTick = threadCpuMs();
        tick.start();
        runTime.start();
        window.findChild<QPushButton*>(QStringLiteral("Command5"))->click(); // returns when the run ends
        tick.stop();
        const qint64 seconds = runTime.elapsed() / 1000;
        std::sort(gaps.begin(), gaps.end());
        const auto at = [&](double q) { return gaps.empty() ? 0 : gaps[static_cast<size_t>(q * (gaps.size() - 1))]; };
        std::printf("run: %lld s, %d nodes, %s\n", static_cast<long long>(seconds), window.store().full().count(),
                    qPrintable(window.store().panel(5)));
        std::printf("gaps between handled events (ms): median %lld, p99 %lld, p99.9 %lld, longest %lld (%zu samples)\n",
                    static_cast<long long>(at(0.5)), static_cast<long long>(at(0.99)),
                    static_cast<long long>(at(0.999)), static_cast<long long>(gaps.empty() ? 0 : gaps.back()),
                    gaps.size());
        std::printf("most processor time of the thread in one gap: %lld ms\n", static_cast<long long>(longestCpu));
        std::fflush(stdout);
        QCoreApplication::exit(0); // leave without the exit question that closing the window asks

    });
    return QApplication::exec();
}
