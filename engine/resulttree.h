#pragma once

#include "linkkind.h"
#include "urlops.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <vector>

// Status codes of a result node (the icon index shown for it). An excluded link is one the run was
// told to leave alone: listed, but never probed and never scanned; the window never excludes any.
enum StatusCode : int { NoStatus = 0, StatusDead = 1, StatusValid = 2, StatusExcluded = 3, StatusTimedOut = 11 };

// The record of a node, kept as fields. Its "$"-joined text is rendered from them, so a "$" inside a
// URL cannot shift the fields.
struct NodeRecord
{
    int depth = 0;
    QString url;
    bool siteLink = false;
    bool probed = false;  // fields 3 and 4 present
    qint64 queryTime = 0; // milliseconds
    QString statusText;
    // The text between the anchor's tags, kept only when link texts are shown; not a field of the
    // record. Initialised here so that records written as braced lists need not name it.
    QString anchorText = {};
    // What the link points at; not a field of the record either.
    LinkKind kind = LinkKind::Page;
    // The final HTTP status of the probe, 0 when nothing answered; not a field of the record.
    int httpStatus = 0;
    // A dead link whose server answered normally but whose page says it is gone (or that ended at the
    // page every missing address ends at); not a field of the record.
    bool contentDead = false;
    // The page was read as a browser draws it, after its scripts ran; not a field of the record.
    bool rendered = false;

    // A page of the site: read and scanned for links when valid. Resources of the site are only probed.
    bool isSitePage() const { return siteLink && IsPageKind(kind); }
    int fieldCount() const { return probed ? 5 : 3; }
    QString field(int position) const; // empty for a field the record does not have
    QString render() const;
};

struct ResultNode
{
    int keyNumber = 0; // key is "node" + keyNumber
    QString text;
    int parent = 0; // 0: top level
    int row = 0;    // position among the parent's children (or among the top-level nodes)
    int status = NoStatus;
    NodeRecord record;
    bool bold = false;
    bool expanded = true;
    bool red = false; // fore colour red instead of the view's text colour
    std::vector<int> children;
    // What a browser requests for the link (its query in the page's character set, fully encoded); not
    // part of the record. Empty when that is the record's URL itself.
    QString request;

    const QString& requestUrl() const { return request.isEmpty() ? record.url : request; }
};

QString NodeKey(int keyNumber);
// The key number of a key text as "node" + decimal number; 0 when the text is not such a key.
int ParseNodeKey(QStringView key);

// One tree list of results: nodes numbered from 1 in order of addition, never removed singly.
// Lookups by URL and by key answer as a scan in index order would (first match), through indexes.
class ResultTree : public QObject, public NodeLookup
{
    Q_OBJECT
public:
    explicit ResultTree(QObject* parent = nullptr);

    int count() const { return static_cast<int>(nodes_.size()); }
    bool exists(int index) const { return index >= 1 && index <= count(); }
    const ResultNode* node(int index) const;
    const std::vector<int>& topLevel() const { return topLevel_; }
    const std::vector<int>& childrenOf(int index) const; // 0: the top-level nodes

    // Adds a node under `parent` (0 or a missing node: top level) and returns its index, or 0 when
    // `parent` is given but does not exist.
    int add(int parent, int keyNumber, const QString& text, int status, const NodeRecord& record,
            const QString& request = {});
    void setStatus(int index, int status);
    // Appends the probe fields (query time, status description) to the record of node `index`, with the
    // HTTP status they came from and whether the link is a content dead link.
    void setProbeFields(int index, qint64 queryTime, const QString& statusText, int httpStatus = 0,
                        bool contentDead = false);
    // Node `index`'s page was drawn by the browser; or, with a `failure`, it could not be and was read as
    // its HTML, which its status text then says.
    void setRendered(int index, const QString& failure = {});
    void setBold(int index, bool bold);
    void setRed(int index, bool red);
    void clear();

    // Index of the first node whose request address equals `url` trimmed of spaces, or 0.
    int findUrl(QStringView url) const;
    int findUrl(const QString& url) const; // the same, without a copy of an address that needs no trimming
    // Index of the first node with that key number, or 0.
    int findKey(int keyNumber) const;

    // The list whose nodes this one copies (the dead-link list copies the full result list), where a
    // node's key names the node it copies; null for a list of its own.
    const ResultTree* origin() const { return origin_; }
    void setOrigin(const ResultTree* origin) { origin_ = origin; }

    // NodeLookup
    int nodeCount() const override { return count(); }
    QString nodeText(int index) const override;
    int nodeParent(int index) const override;
    QString nodeUrl(int index) const override;

signals:
    void nodeAdded(int index);
    void nodeChanged(int index);
    void aboutToClear();
    void cleared();

private:
    ResultNode* mutableNode(int index);

    std::vector<ResultNode> nodes_;
    std::vector<int> topLevel_;
    QHash<QString, int> byUrl_;
    QHash<int, int> byKey_;
    const ResultTree* origin_ = nullptr;
};
