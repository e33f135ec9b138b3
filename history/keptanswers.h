#pragma once

#include "prober.h"

class QSqlQuery;

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>

// The answers a run has on hand and has not taken yet (the pages a sweep read for the next pass, the
// answers fetched ahead), kept with the run, compressed, so that a run continued by another process
// asks none of them again. Written as they come, so a run that is killed loses only its last second.
class KeptAnswers
{
public:
    // Writes the answers of `onHand` not written yet; with `dropTaken`, also deletes the written ones
    // the run has taken since (it then holds them in its nodes, written in the same transaction).
    bool write(const QSqlDatabase& db, qint64 run, const Prober::Answers& onHand, bool dropTaken);
    // The answers kept with `run`; they count as written.
    Prober::Answers read(const QSqlDatabase& db, qint64 run, bool* ok);
    void forget() { written_.clear(); }
    const QSet<QString>& written() const { return written_; }
    void setWritten(const QSet<QString>& written) { written_ = written; }
    // Why the last write or read failed.
    const QSqlError& error() const { return error_; }

    static QByteArray pack(const HttpResult& answer);
    static bool unpack(const QByteArray& blob, HttpResult* answer);

private:
    bool failed(const QSqlQuery& q);

    QSet<QString> written_;
    QSqlError error_;
};
