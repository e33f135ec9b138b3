#include "silentserver.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

SilentTcpServer::SilentTcpServer()
{
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            sockets_.append(socket); // owned by server_, kept open
        }
    });
}

SilentTcpServer::~SilentTcpServer()
{
    for (QTcpSocket* socket : std::as_const(sockets_)) {
        socket->abort();
    }
    server_.close();
}

quint16 SilentTcpServer::port() const
{
    return server_.serverPort();
}

QString SilentTcpServer::baseUrl() const
{
    return u"http://127.0.0.1:"_s + QString::number(port());
}

int SilentTcpServer::connections() const
{
    return static_cast<int>(sockets_.size());
}

HangingPort::HangingPort()
{
    server_.setListenBacklogSize(0);
    server_.listen(QHostAddress::LocalHost, 0);
    server_.pauseAccepting();
    for (int i = 0; i < 4; ++i) {
        fillers_.push_back(std::make_unique<QTcpSocket>());
        fillers_.back()->connectToHost(QHostAddress::LocalHost, server_.serverPort());
    }
}

QString HangingPort::url(const QString& path) const
{
    return u"http://127.0.0.1:"_s + QString::number(server_.serverPort()) + path;
}

CannedTcpServer::CannedTcpServer(const QByteArray& response) : response_(response)
{
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
                socket->setProperty("head", head);
                if (head.contains("\r\n\r\n")) {
                    socket->write(response_);
                    socket->disconnectFromHost();
                }
            });
        }
    });
}

quint16 CannedTcpServer::port() const
{
    return server_.serverPort();
}

QString CannedTcpServer::baseUrl() const
{
    return u"http://127.0.0.1:"_s + QString::number(port());
}

ClosedPort::ClosedPort()
{
    socket_.bind(QHostAddress::LocalHost, 0);
}

quint16 ClosedPort::port() const
{
    return socket_.localPort();
}

QString ClosedPort::baseUrl() const
{
    return u"http://127.0.0.1:"_s + QString::number(port());
}
