#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <memory>

class HostileWorker;

// A web server on 127.0.0.1 that misbehaves on purpose, one way per path, serving from a thread of
// its own so that whatever the client's thread does, the server keeps talking (or keeps silent):
//   /            the home page: links to /ok.html and to every link in `homeLinks` ("{tls}" in a link
//                stands for the host and port of the TLS listener)
//   /ok.html     a well-behaved small page
//   /endless     200, a chunked body that never ends
//   /drip        200 with a Content-Length of 100,000, then one byte a second
//   /gzip        200, gzip-encoded zeros that would inflate to 16 GiB, made as the client reads
//   /big         a 100 MB page, made as the client reads
//   /loop        302 to /loop-b, which redirects back to /loop
//   /ftp         302 to an ftp:// address
//   /badstatus   a status line that is not HTTP
//   /headers     200 with 2,000 header lines (/bigheaders: 4,000, more than browsers accept)
//   /weixin      302 to a weixin:// address; /gbk 302 to a path in raw GBK bytes, a page of one link
//   /badcoding   a page of one link with "Content-Encoding: utf-8", a coding that does not exist
//   /reset       200 with a Content-Length of 1 MB; the connection is reset after 64 KiB
// With a certificate, a TLS listener answers the same paths over https; a client that does not trust
// the self-signed certificate fails the handshake.
class HostileServer
{
public:
    // `certFile` and `keyFile` (PEM) enable the TLS listener; empty: none.
    explicit HostileServer(const QStringList& homeLinks, const QString& certFile = {}, const QString& keyFile = {});
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    QString url(const QString& path) const;    // http://127.0.0.1:<port><path>
    QString tlsUrl(const QString& path) const; // https://127.0.0.1:<tls port><path>
    // The most body bytes the server handed to the network on one connection for `path`: shows where
    // a client stopped reading.
    qint64 bodyBytesSent(const QString& path) const;

    // Called from the server thread with the body bytes sent so far on one connection.
    void countBody(const QString& path, qint64 connectionBytes);

private:
    QThread thread_;
    HostileWorker* worker_ = nullptr; // lives in thread_
    quint16 port_ = 0;
    quint16 tlsPort_ = 0;
    mutable QMutex mutex_;
    QHash<QString, qint64> sent_;
};

// Generates a self-signed certificate for 127.0.0.1 with the openssl command into `folder`; returns
// false (with the command's output in `error`) when it cannot.
bool MakeSelfSignedCertificate(const QString& folder, QString* certFile, QString* keyFile, QString* error);
