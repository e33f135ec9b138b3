#pragma once

#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

// Accepts TCP connections on 127.0.0.1 and never writes a byte: the peer of a request that times out.
// Connections are accepted by the kernel even while the owning thread is busy; they are closed when the
// object is destroyed.
class SilentTcpServer
{
public:
    SilentTcpServer();
    ~SilentTcpServer();
    SilentTcpServer(const SilentTcpServer&) = delete;
    SilentTcpServer& operator=(const SilentTcpServer&) = delete;

    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>"
    QString url(const QString& path) const { return baseUrl() + path; }
    // Connections taken so far (counted when the owning thread runs its event loop).
    int connections() const;

private:
    QTcpServer server_;
    QList<QTcpSocket*> sockets_;
};

// Answers every connection on 127.0.0.1 with the same raw bytes once the request head has arrived, then
// closes it: for responses that a well-behaved server would not send (no reason phrase, broken headers).
// Served from the owning thread's event loop.
class CannedTcpServer
{
public:
    explicit CannedTcpServer(const QByteArray& response);
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>"
    QString url(const QString& path) const { return baseUrl() + path; }

private:
    QByteArray response_;
    QTcpServer server_;
};

// A loopback port whose connections never open, as behind a firewall that drops them: it listens with
// the shortest queue, never accepts, and its queue is kept full, so the system drops every later attempt.
class HangingPort
{
public:
    HangingPort();
    QString url(const QString& path) const;

private:
    QTcpServer server_;
    std::vector<std::unique_ptr<QTcpSocket>> fillers_;
};

// A loopback port on which nothing listens: the port is bound (so no other program takes it while the
// object lives) but never listens, so every connection attempt is refused at once.
class ClosedPort
{
public:
    ClosedPort();
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>"
    QString url(const QString& path) const { return baseUrl() + path; }

private:
    QTcpSocket socket_;
};
