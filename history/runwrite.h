#pragma once

#include "keptanswers.h"
#include "prober.h"

#include <QByteArray>
#include <QList>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// One write of a recorded run: what changed since the last one, copied out of the store on the check's
// thread, so that the rows can be written on another.
struct RunWrite
{
    RunWrite(qint64 run, const QString& owner) : run(run), owner(owner) {}

    qint64 run = 0;
    QString owner;

    // The columns of the run's row a stop point or a pause writes.
    struct Row
    {
        int state = 0;
        int passNodes = 0;
        int batch = 0;
        QString home;
        bool scanResources = false;
        QString panels;
        QString resume;
        QString settings;
        QString compareKey;
    };
    std::optional<Row> row; // none: a write of answers alone, or only the heartbeat
    // The page a batch limit broke off, packed; a null array clears it. None: unchanged.
    std::optional<QByteArray> held;

    struct Node
    {
        int tree = 0;
        int index = 0;
        bool isNew = false; // not on disk yet: its text, place and address are written too
        int key = 0;
        int parent = 0;
        QString text;
        int status = 0;
        int depth = 0;
        QString url;
        bool siteLink = false;
        bool probed = false;
        qint64 queryTime = 0;
        QString statusText;
        QString anchorText;
        int kind = 0;
        bool bold = false;
        bool red = false;
        QString request;
        int httpStatus = 0;
        bool contentDead = false;
    };
    std::vector<Node> nodes;

    struct Urls
    {
        bool rewrite = false; // emptied and refilled since the last write: the rows on disk go first
        int first = 0;        // the row number of the first entry
        QList<QString> urls;
        QList<int> data;
    };
    std::array<Urls, 2> urls;

    // The answers the run had on hand; none: not part of this write. With `dropTaken`, the written ones
    // the run has taken since go (its nodes, written in the same transaction, hold them now).
    std::optional<Prober::Answers> answers;
    bool dropTaken = false;
};

// Writes RunWrites to one connection, in the transaction its caller holds. Lives on the thread that uses
// the connection.
class RunWriteSql
{
public:
    enum class Result
    {
        Ok,
        Lost, // the run is held by another program now, or finished
        Error
    };

    explicit RunWriteSql(const QSqlDatabase& db) : db_(db) {}
    Result write(const RunWrite& w);
    // Whether the write would change nothing on disk: answers alone, all written before.
    bool isIdle(const RunWrite& w) const;
    const QSqlError& error() const { return error_; }
    const QSqlDatabase& database() const { return db_; }
    KeptAnswers& answers() { return answers_; }

private:
    bool writeRow(const RunWrite& w, bool* held);
    bool touch(const RunWrite& w, bool* held);
    bool writeNodes(const RunWrite& w);
    bool writeUrls(const RunWrite& w, int list);
    bool prepare(QSqlQuery& q, const QString& statement);
    bool check(bool ok, const QSqlQuery& q);

    QSqlDatabase db_;
    QSqlQuery nodeInsert_;
    QSqlQuery nodeUpdate_;
    QSqlQuery urlInsert_;
    KeptAnswers answers_;
    QSqlError error_;
};
