#include "datareport.h"

#include "linkstore.h"
#include "runtexts.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// A CSV field as RFC 4180 wants it: quoted, with quotes doubled, when it holds a separator, a quote or
// a line break; as it stands otherwise.
QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r')) {
        return text;
    }
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

QString csvText(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return QString::number(value.toInteger());
    case QJsonValue::Bool:
        return value.toBool() ? u"true"_s : u"false"_s;
    default:
        return {};
    }
}

// The class a program reads and the word a person reads, per status code.
std::pair<QString, QString> statusNames(int status)
{
    switch (status) {
    case StatusValid:
        return {u"valid"_s, u"有效链接"_s};
    case StatusDead:
        return {u"dead"_s, u"死链接"_s};
    case StatusTimedOut:
        return {u"timeout"_s, u"超时链接"_s};
    case StatusExcluded:
        return {u"excluded"_s, u"已排除"_s};
    default:
        return {u"unprobed"_s, u"未检测"_s};
    }
}

} // namespace

DataReport::DataReport(const LinkStore& store, const QString& site, const CheckSettings& settings)
    : store_(store), site_(site), settings_(settings)
{
}

QString DataReport::statusClass(int status)
{
    return statusNames(status).first;
}

QString DataReport::statusWord(int status)
{
    return statusNames(status).second;
}

QStringList DataReport::linkFields() const
{
    QStringList fields{u"url"_s, u"class"_s, u"status"_s, u"statusText"_s, u"queryTimeMs"_s, u"depth"_s, u"parent"_s};
    if (settings_.linkText) {
        fields << u"linkText"_s;
    }
    // Last, so that the columns a reader of older files knows keep their places.
    fields << u"kind"_s << u"httpStatus"_s << u"deadKind"_s << u"rendered"_s;
    return fields;
}

QJsonObject DataReport::link(int index) const
{
    const ResultTree& full = store_.full();
    const ResultNode* node = full.node(index);
    if (!node) {
        return {};
    }
    const NodeRecord& record = node->record;
    const ResultNode* parent = full.node(node->parent);
    QJsonObject o;
    o.insert(u"url"_s, record.url);
    o.insert(u"class"_s, statusClass(node->status));
    o.insert(u"status"_s, statusWord(node->status));
    o.insert(u"statusText"_s, record.probed ? QJsonValue(record.statusText) : QJsonValue());
    o.insert(u"queryTimeMs"_s, record.probed ? QJsonValue(record.queryTime) : QJsonValue());
    o.insert(u"depth"_s, record.depth);
    o.insert(u"parent"_s, parent ? QJsonValue(parent->record.url) : QJsonValue());
    if (settings_.linkText) {
        o.insert(u"linkText"_s, record.anchorText);
    }
    o.insert(u"kind"_s, KindName(record.kind));
    o.insert(u"httpStatus"_s, record.probed && record.httpStatus > 0 ? QJsonValue(record.httpStatus) : QJsonValue());
    const bool dead = node->status == StatusDead;
    o.insert(u"deadKind"_s, !dead ? QJsonValue() : record.contentDead ? u"content"_s : u"protocol"_s);
    // The page was read (or judged) as the browser drew it.
    o.insert(u"rendered"_s, record.rendered);
    return o;
}

QJsonObject DataReport::settingsObject() const
{
    QJsonArray exclusions;
    for (const QRegularExpression& re : settings_.exclusions) {
        exclusions.append(re.pattern());
    }
    return {{u"site"_s, site_},
            {u"depth"_s, settings_.depth},
            {u"timeout"_s, settings_.timeout},
            {u"subdomains"_s, settings_.subdomains},
            {u"showRepeats"_s, !settings_.noRepeats},
            {u"linkText"_s, settings_.linkText},
            {u"parallel"_s, settings_.parallel},
            {u"resources"_s, settings_.resources},
            {u"contentCheck"_s, settings_.contentCheck},
            {u"render"_s, RenderModeName(settings_.render)},
            {u"exclude"_s, exclusions}};
}

int DataReport::excludedCount(const ResultTree& list)
{
    int excluded = 0;
    for (int i = 1; i <= list.count(); ++i) {
        excluded += list.node(i)->status == StatusExcluded;
    }
    return excluded;
}

QJsonObject DataReport::summaryObject() const
{
    QJsonObject summary{{u"links"_s, store_.full().count()},
                        {u"tested"_s, store_.testedCount()},
                        {u"dead"_s, store_.deads().count()},
                        {u"timedOut"_s, store_.timeouts().count()},
                        {u"excluded"_s, excludedCount(store_.full())},
                        {u"rendered"_s, store_.renderedCount()},
                        // False when the run was interrupted: the lists hold what was found until then.
                        {u"finished"_s, store_.panel(1) == RunText::ready()}};
    const RunChange& change = store_.change();
    if (!change.isEmpty()) {
        summary.insert(u"change"_s, QJsonObject{{u"previous"_s, change.previous},
                                                {u"newDead"_s, QJsonArray::fromStringList(change.newDead)},
                                                {u"fixed"_s, QJsonArray::fromStringList(change.fixed)}});
    }
    return summary;
}

std::vector<int> DataReport::treeOrder() const
{
    const ResultTree& full = store_.full();
    std::vector<int> order;
    order.reserve(static_cast<size_t>(full.count()));
    std::vector<int> pending(full.topLevel().rbegin(), full.topLevel().rend());
    while (!pending.empty()) {
        const int index = pending.back();
        pending.pop_back();
        order.push_back(index);
        const std::vector<int>& children = full.childrenOf(index);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return order;
}

QByteArray DataReport::json() const
{
    QJsonArray links;
    for (int index : treeOrder()) {
        links.append(link(index));
    }
    const QJsonObject document{{u"settings"_s, settingsObject()}, {u"summary"_s, summaryObject()}, {u"links"_s, links}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QByteArray DataReport::csv() const
{
    const QStringList fields = linkFields();
    QString text = fields.join(u',') + u"\r\n"_s;
    QStringList row;
    for (int index : treeOrder()) {
        const QJsonObject o = link(index);
        row.clear();
        for (const QString& field : fields) {
            row << csvField(csvText(o.value(field)));
        }
        text += row.join(u',') + u"\r\n"_s;
    }
    return text.toUtf8();
}
