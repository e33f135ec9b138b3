#include "stdiopipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

StdioPipe::StdioPipe(QObject* parent) : QObject(parent)
{
    out_ = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    in_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(in_, &QSocketNotifier::activated, this, &StdioPipe::readAvailable);
}

void StdioPipe::send(const QJsonObject& message)
{
    const QByteArray frame = RenderFrames::Encode(message);
    qsizetype written = 0;
    while (written < frame.size()) {
        const ssize_t n = ::write(out_, frame.constData() + written, static_cast<size_t>(frame.size() - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            emit closed();
            return;
        }
        written += n;
    }
}

void StdioPipe::readAvailable()
{
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        if (n <= 0) {
            in_->setEnabled(false);
            emit closed();
            return;
        }
        reader_.feed(QByteArray(buffer, n));
    }
    while (const std::optional<QJsonObject> message = reader_.next()) {
        emit received(*message);
    }
    if (reader_.broken()) {
        in_->setEnabled(false);
        emit closed();
    }
}
