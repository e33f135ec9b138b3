#include "resulttree.h"

#include "runtexts.h"
#include "textops.h"

namespace {
const std::vector<int> kNoChildren;
}

QString NodeRecord::field(int position) const
{
    switch (position) {
    case 0:
        return QString::number(depth);
    case 1:
        return url;
    case 2:
        return siteLink ? QStringLiteral("1") : QStringLiteral("0");
    case 3:
        return probed ? QString::number(queryTime) : QString();
    case 4:
        return probed ? statusText : QString();
    default:
        return {};
    }
}

QString NodeRecord::render() const
{
    QString text = QString::number(depth) + u'$' + url + u'$' + field(2);
    if (probed) {
        text += u'$' + QString::number(queryTime) + u'$' + statusText;
    }
    return text;
}

QString NodeKey(int keyNumber)
{
    return QStringLiteral("node") + QString::number(keyNumber);
}

int ParseNodeKey(QStringView key)
{
    if (!key.startsWith(u"node") || key.size() < 5 || key.size() > 14) {
        return 0;
    }
    const QStringView digits = key.mid(4);
    if (digits[0] == u'0') {
        return 0; // "node01" is not the key of node 1
    }
    for (QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return 0;
        }
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok ? n : 0;
}

ResultTree::ResultTree(QObject* parent) : QObject(parent) {}

const ResultNode* ResultTree::node(int index) const
{
    return exists(index) ? &nodes_[static_cast<size_t>(index - 1)] : nullptr;
}

ResultNode* ResultTree::mutableNode(int index)
{
    return exists(index) ? &nodes_[static_cast<size_t>(index - 1)] : nullptr;
}

const std::vector<int>& ResultTree::childrenOf(int index) const
{
    if (index == 0) {
        return topLevel_;
    }
    const ResultNode* n = node(index);
    return n ? n->children : kNoChildren;
}

int ResultTree::add(int parent, int keyNumber, const QString& text, int status, const NodeRecord& record,
                    const QString& request)
{
    if (parent != 0 && !exists(parent)) {
        return 0;
    }
    ResultNode n;
    n.keyNumber = keyNumber;
    n.text = text;
    n.parent = parent;
    n.status = status;
    n.record = record;
    n.request = request == record.url ? QString() : request;
    n.row = static_cast<int>(childrenOf(parent).size());
    nodes_.push_back(std::move(n)); // may move every node: take the sibling list only afterwards
    const int index = count();
    (parent == 0 ? topLevel_ : nodes_[static_cast<size_t>(parent - 1)].children).push_back(index);
    if (!byUrl_.contains(nodes_.back().requestUrl())) {
        byUrl_.insert(nodes_.back().requestUrl(), index);
    }
    if (!byKey_.contains(keyNumber)) {
        byKey_.insert(keyNumber, index);
    }
    emit nodeAdded(index);
    return index;
}

void ResultTree::setStatus(int index, int status)
{
    if (ResultNode* n = mutableNode(index)) {
        n->status = status;
        emit nodeChanged(index);
    }
}

void ResultTree::setProbeFields(int index, qint64 queryTime, const QString& statusText, int httpStatus,
                                bool contentDead)
{
    ResultNode* n = mutableNode(index);
    if (!n) {
        return;
    }
    n->record.probed = true;
    n->record.queryTime = queryTime;
    n->record.statusText = statusText;
    n->record.httpStatus = httpStatus;
    n->record.contentDead = contentDead;
    emit nodeChanged(index);
}

void ResultTree::setRendered(int index, const QString& failure)
{
    ResultNode* n = mutableNode(index);
    if (!n) {
        return;
    }
    if (failure.isEmpty()) {
        n->record.rendered = true;
    } else if (n->record.probed) {
        n->record.statusText += RunText::notRendered(failure);
    }
    emit nodeChanged(index);
}

void ResultTree::setBold(int index, bool bold)
{
    ResultNode* n = mutableNode(index);
    if (n && n->bold != bold) {
        n->bold = bold;
        emit nodeChanged(index);
    }
}

void ResultTree::setRed(int index, bool red)
{
    ResultNode* n = mutableNode(index);
    if (n && n->red != red) {
        n->red = red;
        emit nodeChanged(index);
    }
}

void ResultTree::clear()
{
    emit aboutToClear();
    nodes_.clear();
    nodes_.shrink_to_fit();
    topLevel_.clear();
    byUrl_.clear();
    byKey_.clear();
    emit cleared();
}

int ResultTree::findUrl(QStringView url) const
{
    return byUrl_.value(TrimSpaces(url), 0);
}

int ResultTree::findUrl(const QString& url) const
{
    // Asked of the view: QString's own startsWith(QChar) is a call into the library's general comparison.
    if (const QStringView view(url); view.startsWith(u' ') || view.endsWith(u' ')) {
        return findUrl(view);
    }
    return byUrl_.value(url, 0);
}

int ResultTree::findKey(int keyNumber) const
{
    return byKey_.value(keyNumber, 0);
}

QString ResultTree::nodeText(int index) const
{
    const ResultNode* n = node(index);
    return n ? n->text : QString();
}

int ResultTree::nodeParent(int index) const
{
    const ResultNode* n = node(index);
    return n ? n->parent : 0;
}

QString ResultTree::nodeUrl(int index) const
{
    const ResultNode* n = node(index);
    return n ? n->record.url : QString();
}
