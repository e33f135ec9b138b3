#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <vector>

class QTcpSocket;

// Keeps the connections of finished HTTP/1.1 exchanges open for the next request to the same host,
// so a run of thousands of requests does not pay a connection set-up for each.
class SocketPool : public QObject
{
    Q_OBJECT
public:
    explicit SocketPool(QObject* parent = nullptr) : QObject(parent) {}
    ~SocketPool() override;

    // An idle connection to host:port that is still open, or null. The caller owns what it gets.
    QTcpSocket* take(const QString& host, quint16 port);
    // Hands back a connection whose last exchange ended cleanly; closed ones and extras are dropped.
    void give(const QString& host, quint16 port, QTcpSocket* socket);

private:
    static constexpr size_t kMaxIdlePerHost = 64;
    QHash<QString, std::vector<QTcpSocket*>> idle_;
};
