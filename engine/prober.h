#pragma once

#include <QString>

// What the check run asks of the network: the verdict on one link, and the decoded source of a page.
struct ProbeResult
{
    bool valid = false;
    QString statusText; // the server's reason phrase, empty, or "查询超时" after a timeout
    qint32 querytimes = 0; // milliseconds when answered, whole seconds when timed out
};

class Prober
{
public:
    virtual ~Prober() = default;
    // Probes `url` with a timeout of `tryTime` seconds. With `pageWanted` the probe keeps the page it
    // reads, so that a CheckLinks of the same URL that follows needs no download of its own.
    virtual ProbeResult CheckUrl(const QString& url, int tryTime, bool pageWanted) = 0;
    // The source of the page at `url`, decoded in its declared character set; empty when it cannot be read.
    virtual QString CheckLinks(const QString& url, int tryTime) = 0;
};
