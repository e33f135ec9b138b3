#include "socketpool.h"

#include <QTcpSocket>

namespace {
QString keyOf(const QString& host, quint16 port)
{
    return host + u':' + QString::number(port);
}
} // namespace

SocketPool::~SocketPool()
{
    // A socket being destroyed says it disconnected; the retiring slot must not edit the lists meanwhile.
    const QHash<QString, std::vector<QTcpSocket*>> idle = std::exchange(idle_, {});
    for (const auto& sockets : idle) {
        for (QTcpSocket* socket : sockets) {
            socket->disconnect(this);
            delete socket;
        }
    }
}

QTcpSocket* SocketPool::take(const QString& host, quint16 port)
{
    auto it = idle_.find(keyOf(host, port));
    while (it != idle_.end() && !it->empty()) {
        QTcpSocket* socket = it->back();
        it->pop_back();
        socket->disconnect(this);
        // A connection the server closed while idle shows as readable end-of-stream or unconnected.
        if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesAvailable() == 0) {
            return socket;
        }
        socket->deleteLater();
    }
    return nullptr;
}

void SocketPool::give(const QString& host, quint16 port, QTcpSocket* socket)
{
    std::vector<QTcpSocket*>& sockets = idle_[keyOf(host, port)];
    if (socket->state() != QAbstractSocket::ConnectedState || sockets.size() >= kMaxIdlePerHost) {
        socket->deleteLater();
        return;
    }
    socket->disconnect();
    socket->setParent(this);
    // Anything arriving on an idle connection (the server closing it, or stray bytes) retires it.
    const auto retire = [this, socket] {
        for (auto& list : idle_) {
            const auto found = std::find(list.begin(), list.end(), socket);
            if (found != list.end()) {
                list.erase(found);
                socket->deleteLater();
                return;
            }
        }
    };
    connect(socket, &QTcpSocket::readyRead, this, retire);
    connect(socket, &QTcpSocket::disconnected, this, retire);
    sockets.push_back(socket);
}
