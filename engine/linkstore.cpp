#include "linkstore.h"

#include "browserform.h"
#include "textops.h"
#include "urlops.h"

void UrlList::add(const QString& url, qint32 data)
{
    entries_.push_back({url, data});
    emit entryAdded(count() - 1);
}

void UrlList::clear()
{
    entries_.clear();
    emit cleared();
}

LinkStore::LinkStore(QObject* parent) : QObject(parent)
{
    dead_.setOrigin(&full_);
}

QString LinkStore::panel(int number) const
{
    if (number < 1 || number > 5) {
        return {};
    }
    return panels_[static_cast<size_t>(number - 1)];
}

void LinkStore::setWaitNote(const QString& text)
{
    if (text != waitNote_) {
        waitNote_ = text;
        emit waitNoteChanged(text);
    }
}

void LinkStore::setPanel(int number, const QString& text)
{
    if (number < 1 || number > 5) {
        return;
    }
    QString& slot = panels_[static_cast<size_t>(number - 1)];
    if (slot != text) {
        slot = text;
        emit panelChanged(number, text);
    }
}

qint64 LinkStore::testedCount() const
{
    bool ok = false;
    const qint64 n = GetBetween(panel(3), u"：", u"个").toLongLong(&ok);
    return ok ? n : 0;
}

void LinkStore::setResume(Resume which, const QString& text)
{
    if (resume_[which] != text) {
        resume_[which] = text;
        emit resumeChanged();
    }
}

void LinkStore::emptyResume()
{
    for (auto which : {Badlink1, Badlink2, Badlink3, Badlinkdep}) {
        setResume(which, QString());
    }
}

int LinkStore::checktext(QStringView url) const
{
    return full_.findUrl(url);
}

bool LinkStore::checkkey(QStringView key) const
{
    const int number = ParseNodeKey(TrimSpaces(key));
    return number != 0 && dead_.findKey(number) != 0;
}

QString LinkStore::homeUrl(const QString& site)
{
    // "host:port" is no scheme here: only an http(s) prefix counts.
    return IsHttpUrl(site) ? site : QStringLiteral("http://") + site;
}

void LinkStore::startList(const QString& site)
{
    NodeRecord record;
    record.depth = 0;
    record.url = homeUrl(site);
    record.siteLink = true;
    // Requested as a link to it would be, so that a link back to the home page is a repeat of it.
    full_.add(0, 1, record.url, NoStatus, record, RequestForm(record.url, record.url, u"utf-8"));
}

int LinkStore::addLinkNode(int page, const QString& text, int depth, const QString& url, bool siteLink,
                           const QString& anchorText, const QString& request, LinkKind kind)
{
    if (!full_.exists(page)) {
        return 0;
    }
    NodeRecord record;
    record.depth = depth;
    record.url = url;
    record.siteLink = siteLink;
    record.anchorText = anchorText;
    record.kind = kind;
    return full_.add(page, full_.count() + 1, text, NoStatus, record, request);
}

void LinkStore::recordProbe(int n, int status, qint64 queryTime, const QString& statusText, int httpStatus,
                            bool contentDead)
{
    const ResultNode* node = full_.node(n);
    if (!node) {
        return;
    }
    full_.setStatus(n, status);
    if (!node->record.probed) {
        full_.setProbeFields(n, queryTime, statusText, httpStatus, contentDead);
    }
}

bool LinkStore::copyVerdict(int n, int from)
{
    const ResultNode* source = full_.node(from);
    if (n == from || !full_.exists(n) || !source || source->status == NoStatus || !source->record.probed) {
        return false;
    }
    const int status = source->status;
    recordProbe(n, status, source->record.queryTime, source->record.statusText, source->record.httpStatus,
                source->record.contentDead);
    if (status == StatusDead) {
        addDeadLink(n);
    }
    return true;
}

void LinkStore::addDeadLink(int n)
{
    const ResultNode* node = full_.node(n);
    if (!node) {
        return;
    }
    if (n == 1) {
        if (!checkkey(u"node1")) {
            dead_.add(0, 1, node->text, StatusDead, node->record);
        }
        return;
    }
    const ResultNode* page = full_.node(node->parent);
    if (!page) {
        return;
    }
    if (!checkkey(NodeKey(page->keyNumber))) {
        dead_.add(0, page->keyNumber, page->text, page->status, page->record);
    }
    if (!checkkey(NodeKey(node->keyNumber))) {
        dead_.add(dead_.findKey(page->keyNumber), node->keyNumber, node->text, StatusDead, node->record);
    }
}

void LinkStore::markCrawled(int n)
{
    full_.setBold(n, true);
}

void LinkStore::markRendered(int n, const QString& failure)
{
    const ResultNode* node = full_.node(n);
    if (!node || (failure.isEmpty() && node->record.rendered)) {
        return;
    }
    full_.setRendered(n, failure);
    if (failure.isEmpty()) {
        emit renderedChanged(++rendered_);
    }
}

void LinkStore::clearTrees()
{
    if (rendered_ != 0) {
        emit renderedChanged(rendered_ = 0);
    }
    full_.clear();
    dead_.clear();
    if (!change_.isEmpty()) {
        setChange({});
    }
}

void LinkStore::setChange(const RunChange& change)
{
    change_ = change;
    emit changeChanged();
}

void LinkStore::clearResults()
{
    ++clearCount_;
    clearTrees();
    emptyResume();
    deads_.clear();
    timeouts_.clear();
    setPanel(1, QStringLiteral("就绪"));
    for (int p = 2; p <= 5; ++p) {
        setPanel(p, QString());
    }
}
