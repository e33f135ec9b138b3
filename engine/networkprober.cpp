#include "networkprober.h"

#include "concurrentprober.h"
#include "httpclient.h"
#include "link.h"

namespace {

// One link probe object, reused for every probe and page read of a call of the run.
class LinkProber : public Prober
{
public:
    LinkProber() { HttpClient::shared()->readProxyEnvironment(); } // a prober serves one run
    ProbeResult CheckUrl(const QString& url, int tryTime, bool pageWanted) override
    {
        link_.keepPage(pageWanted);
        link_.Check_url(url);
        link_.sTime(tryTime);
        ProbeResult r;
        r.valid = link_.CheckUrl();
        r.statusText = link_.statusText();
        r.querytimes = link_.querytimes();
        r.refused = Link::IsRefusal(link_.lastResponse());
        r.finalUrl = link_.lastResponse().finalUrl;
        r.charset = Link::PageCharset(link_.lastResponse());
        r.httpStatus = link_.httpStatus();
        return r;
    }

    QString CheckLinks(const QString& url, int tryTime) override
    {
        link_.Check_url(url);
        link_.sTime(tryTime);
        link_.CheckLinks();
        return link_.websource();
    }

    void forgetCookies() override { HttpClient::shared()->clearCookies(); }

private:
    Link link_;
};

} // namespace

std::unique_ptr<Prober> MakeNetworkProber(ProbeStats* stats)
{
    return std::make_unique<ConcurrentProber>(kDefaultParallel, nullptr, stats);
}

std::unique_ptr<Prober> MakeSequentialProber()
{
    return std::make_unique<LinkProber>();
}
