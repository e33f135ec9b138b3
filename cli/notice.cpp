#include "notice.h"

#include "httpclient.h"
#include "linkstore.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

// What each robot takes in the text of one message, in UTF-8 bytes. Feishu's bound (about 20 KB) is on
// the whole request, so its text keeps room for the JSON around it.
qsizetype textLimit(NotifyFormat format)
{
    switch (format) {
    case NotifyFormat::WeCom:
        return 2048;
    case NotifyFormat::DingTalk:
        return 20000;
    default:
        return 18000;
    }
}

QString nowText()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QJsonObject ourDocument(const LinkStore& store, const QString& site)
{
    const ResultTree& full = store.full();
    QHash<QString, int> first;
    for (int i = full.count(); i >= 1; --i) {
        first.insert(full.node(i)->record.url, i);
    }
    QJsonArray dead;
    for (const QString& url : store.change().newDead) {
        const ResultNode* node = full.node(first.value(url));
        const ResultNode* parent = node ? full.node(node->parent) : nullptr;
        dead.append(QJsonObject{{u"url"_s, url},
                                {u"statusText"_s, node ? node->record.statusText : QString()},
                                {u"parent"_s, parent ? QJsonValue(parent->record.url) : QJsonValue()}});
    }
    return {{u"site"_s, site},
            {u"checked"_s, nowText()},
            {u"previous"_s, store.change().previous},
            {u"newDead"_s, dead},
            {u"fixed"_s, QJsonArray::fromStringList(store.change().fixed)}};
}

// The message of a robot: a heading, then one link a line, as many as fit in `limit` bytes.
QString robotText(const QJsonObject& doc, qsizetype limit)
{
    const QJsonArray dead = doc[u"newDead"_s].toArray();
    const QJsonArray fixed = doc[u"fixed"_s].toArray();
    QStringList lines;
    for (const QJsonValue& v : dead) {
        lines << v[u"url"_s].toString() + u"  "_s + v[u"statusText"_s].toString();
    }
    if (!fixed.isEmpty()) {
        lines << u"已修复链接："_s;
    }
    for (const QJsonValue& v : fixed) {
        lines << v.toString();
    }
    QString text = u"Kelvara 死链接检测："_s + doc[u"site"_s].toString() + u"\n与上次检测（"_s +
                   doc[u"previous"_s].toString() + u"）相比：新增死链接"_s + QString::number(dead.size()) +
                   u"个，已修复"_s + QString::number(fixed.size()) + u"个"_s;
    if (!dead.isEmpty()) {
        text += u"\n新增死链接："_s;
    }
    // Room for the last line that says how many were left out.
    const qsizetype room = limit - 80;
    qsizetype bytes = text.toUtf8().size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype more = lines[i].toUtf8().size() + 1;
        if (bytes + more > room) {
            return text + u"\n……另有"_s + QString::number(lines.size() - i) + u"行未列出，详见检测报告"_s;
        }
        text += u'\n' + lines[i];
        bytes += more;
    }
    return text;
}

// A robot answers 200 with its own error code when it refuses a message (a wrong key, a keyword
// missing, too many messages a minute).
QString robotRefusal(const QByteArray& answer)
{
    const QJsonObject o = QJsonDocument::fromJson(answer).object();
    for (const auto& [code, message] : {std::pair{u"errcode"_s, u"errmsg"_s}, std::pair{u"code"_s, u"msg"_s},
                                        std::pair{u"StatusCode"_s, u"StatusMessage"_s}}) {
        if (o.contains(code) && o[code].toInt() != 0) {
            return u"refused with "_s + code + u' ' + QString::number(o[code].toInt()) + u": "_s +
                   o[message].toString();
        }
    }
    return {};
}

} // namespace

QByteArray NoticeBody(const LinkStore& store, const QString& site, NotifyFormat format)
{
    const RunChange& change = store.change();
    if (change.isEmpty() || (change.newDead.isEmpty() && change.fixed.isEmpty())) {
        return {};
    }
    const QJsonObject doc = ourDocument(store, site);
    QJsonObject message;
    switch (format) {
    case NotifyFormat::Json:
        message = doc;
        break;
    case NotifyFormat::WeCom:
    case NotifyFormat::DingTalk:
        message = {{u"msgtype"_s, u"text"_s},
                   {u"text"_s, QJsonObject{{u"content"_s, robotText(doc, textLimit(format))}}}};
        break;
    case NotifyFormat::Feishu:
        message = {{u"msg_type"_s, u"text"_s},
                   {u"content"_s, QJsonObject{{u"text"_s, robotText(doc, textLimit(format))}}}};
        break;
    }
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

QString PostNotice(const QString& url, const QByteArray& body, int timeoutSeconds)
{
    HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.body = body;
    request.headers = {{"Content-Type", "application/json; charset=utf-8"}};
    request.tryTime = timeoutSeconds;
    request.anyType = true;
    request.maxBodyBytes = 64 * 1024;
    const HttpResult r = HttpClient::shared()->fetch(request);
    if (r.timedOut()) {
        return u"no answer within "_s + QString::number(timeoutSeconds) + u" s"_s;
    }
    if (!r.completed) {
        return r.errorText;
    }
    if (!r.isSuccess()) {
        return u"answered "_s + QString::number(r.status) + u' ' + r.statusText;
    }
    return robotRefusal(r.body);
}
