#include "renderframes.h"

#include <QJsonDocument>
#include <QtEndian>

namespace RenderFrames {

QByteArray Encode(const QJsonObject& message)
{
    const QByteArray body = QJsonDocument(message).toJson(QJsonDocument::Compact);
    QByteArray frame(4, '\0');
    qToBigEndian(static_cast<quint32>(body.size()), frame.data());
    return frame + body;
}

std::optional<QJsonObject> Reader::next()
{
    if (broken_ || buffer_.size() < 4) {
        return std::nullopt;
    }
    const qint64 length = qFromBigEndian<quint32>(buffer_.constData());
    if (length > kMaxFrameBytes) {
        broken_ = true;
        return std::nullopt;
    }
    if (buffer_.size() < 4 + length) {
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(buffer_.mid(4, length), &error);
    buffer_.remove(0, 4 + length);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        broken_ = true;
        return std::nullopt;
    }
    return doc.object();
}

} // namespace RenderFrames
