// Report rows carry URLs, link texts and status texts taken from crawled pages: any of them must come
// out as text of its own row, never as markup of the Html report.
#include "fuzzinput.h"

#include "resulttree.h"
#include "textreport.h"

namespace {

constexpr int kStatuses[] = {NoStatus, StatusDead, StatusValid, StatusTimedOut};

// One node per input line: a parent selector, a status selector, a depth and probe flag byte, then
// "text<TAB>url<TAB>status text".
void buildTree(ResultTree& tree, FuzzInput& in)
{
    while (!in.atEnd() && tree.count() < 500) {
        const uint8_t parentByte = in.byte();
        const uint8_t statusByte = in.byte();
        const uint8_t depthByte = in.byte();
        const QStringList parts = in.line().split(u'\t');
        NodeRecord record;
        record.depth = depthByte % 6;
        record.url = parts.value(1);
        record.siteLink = (depthByte & 0x40) != 0;
        record.probed = (depthByte & 0x80) != 0;
        record.queryTime = parentByte * 37;
        record.statusText = parts.value(2);
        const int parent = tree.count() == 0 ? 0 : parentByte % (tree.count() + 1);
        tree.add(parent, tree.count() + 1, parts.value(0), kStatuses[statusByte % 4], record);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    ResultTree tree;
    buildTree(tree, in);

    const QString html = TextReportText(tree, ReportHtml);
    FUZZ_CHECK(html.count(QStringLiteral("<tr")) == tree.count() + 1);
    FUZZ_CHECK(html.count(QStringLiteral("<a ")) == tree.count());
    FUZZ_CHECK(html.endsWith(QStringLiteral("</table></body></html>")));

    const QString txt = TextReportText(tree, ReportTxt);
    FUZZ_CHECK(txt.count(u"\r\n") >= tree.count() + 2);
    return 0;
}
