// Measures one link probe against a server that accepts the connection and never answers: the wall
// time should be the timeout (tryTime + 0.5 s and a little), the CPU time close to nothing, since the
// wait is a timer in an event loop, not a polling loop.
//
// Usage: web_silent_probe [tryTime seconds, default 10]

#include "httpclient.h"
#include "link.h"
#include "silentserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint32 tryTime = argc > 1 ? qint32(QByteArray(argv[1]).toInt()) : 10;

    SilentTcpServer silent;
    HttpClient client;
    Link link(&client);
    link.Check_url(silent.url(QStringLiteral("/")));
    link.sTime(tryTime);

    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    const bool valid = link.CheckUrl();
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;

    std::printf("tryTime %d s: valid=%s statusText=%s querytimes=%d\n", tryTime, valid ? "true" : "false",
                link.statusText().toUtf8().constData(), link.querytimes());
    std::printf("wall %.3f s, cpu %.3f s\n", wallSeconds, cpu);
    return 0;
}
