#include "keptanswers.h"

#include "fastpack.h"

#include <QDataStream>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

constexpr quint8 kPackVersion = 1;
// Most answers on hand are taken within a second and dropped again; compressing a small one costs tens
// of microseconds a time and saves a kilobyte or two for that second. Those are kept as they are, after
// a length of 0 where a compressed blob has the length of what it holds, never 0 here; a reader that
// knows only compressed blobs finds no zlib stream after it and asks the answer again.
constexpr qsizetype kStoredBelow = 16 * 1024;
constexpr QByteArrayView kStored("\0\0\0\0", 4);

} // namespace

QByteArray KeptAnswers::pack(const HttpResult& a)
{
    StreamBytes out;
    out.raw(kStored);
    out << kPackVersion << a.completed << qint32(a.status) << a.statusText << a.body << a.contentType << a.retryAfter
        << a.finalUrl << a.truncated << a.cutByTimeout << a.notPage << qint32(a.error) << a.errorText
        << qint32(a.curlCode) << qint64(a.curlDetail) << a.refusedRedirect << a.transient << a.elapsedNs
        << a.firstByteNs;
    QByteArray bytes = out.take();
    const QByteArrayView stream = QByteArrayView(bytes).sliced(kStored.size());
    if (stream.size() < kStoredBelow) {
        return bytes;
    }
    // Kept pages live from a batch to the pass that reads them: fast compression is worth more than small.
    return FastCompress(stream);
}

bool KeptAnswers::unpack(const QByteArray& blob, HttpResult* a)
{
    const QByteArray bytes = blob.startsWith(kStored) ? blob.sliced(kStored.size()) : qUncompress(blob);
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint8 version = 0;
    qint32 status = 0, error = 0, curlCode = 0;
    qint64 curlDetail = 0;
    in >> version;
    if (version != kPackVersion) {
        return false;
    }
    in >> a->completed >> status >> a->statusText >> a->body >> a->contentType >> a->retryAfter >> a->finalUrl >>
        a->truncated >> a->cutByTimeout >> a->notPage >> error >> a->errorText >> curlCode >> curlDetail >>
        a->refusedRedirect >> a->transient >> a->elapsedNs >> a->firstByteNs;
    a->status = status;
    a->error = static_cast<HttpError>(error);
    a->curlCode = curlCode;
    a->curlDetail = static_cast<long>(curlDetail);
    return in.status() == QDataStream::Ok;
}

bool KeptAnswers::failed(const QSqlQuery& q)
{
    error_ = q.lastError();
    return false;
}

bool KeptAnswers::write(const QSqlDatabase& db, qint64 run, const Prober::Answers& onHand, bool dropTaken)
{
    QSqlQuery insert(db);
    for (auto it = onHand.cbegin(); it != onHand.cend(); ++it) {
        if (written_.contains(it.key())) {
            continue;
        }
        // Named placeholders: binding by position makes the SQL module format a name for every value.
        if (insert.lastQuery().isEmpty() &&
            !insert.prepare(u"INSERT INTO answers(run, url, data) VALUES(:run, :url, :data)"_s)) {
            return failed(insert);
        }
        insert.bindValue(u":run"_s, run);
        insert.bindValue(u":url"_s, it.key());
        insert.bindValue(u":data"_s, pack(it.value()));
        if (!insert.exec()) {
            return failed(insert);
        }
        written_.insert(it.key());
    }
    if (!dropTaken) {
        return true;
    }
    QSqlQuery drop(db);
    for (auto it = written_.begin(); it != written_.end();) {
        if (onHand.contains(*it)) {
            ++it;
            continue;
        }
        if (drop.lastQuery().isEmpty() && !drop.prepare(u"DELETE FROM answers WHERE run = :run AND url = :url"_s)) {
            return failed(drop);
        }
        drop.bindValue(u":run"_s, run);
        drop.bindValue(u":url"_s, *it);
        if (!drop.exec()) {
            return failed(drop);
        }
        it = written_.erase(it);
    }
    return true;
}

Prober::Answers KeptAnswers::read(const QSqlDatabase& db, qint64 run, bool* ok)
{
    Prober::Answers answers;
    written_.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(u"SELECT url, data FROM answers WHERE run = ?"_s);
    q.addBindValue(run);
    *ok = q.exec() || failed(q);
    while (*ok && q.next()) {
        HttpResult a;
        // An answer that does not read back is asked again; nothing else depends on it.
        if (unpack(q.value(1).toByteArray(), &a)) {
            answers.insert(q.value(0).toString(), a);
            written_.insert(q.value(0).toString());
        }
    }
    return answers;
}
