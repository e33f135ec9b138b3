#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

// The messages between the checker and its renderer: one JSON object each, preceded by its length as
// four bytes in network order, so that a page's text may hold any character, line breaks included.
namespace RenderFrames {

// A frame larger than this is a fault of the other side, not a page: the stream is given up.
inline constexpr qint64 kMaxFrameBytes = 96LL * 1024 * 1024;

QByteArray Encode(const QJsonObject& message);

// Collects bytes as they arrive and hands out whole messages.
class Reader
{
public:
    void feed(const QByteArray& bytes) { buffer_.append(bytes); }
    // The next whole message, or none while it has not arrived. A frame that is too large or not a
    // JSON object breaks the stream for good.
    std::optional<QJsonObject> next();
    bool broken() const { return broken_; }

private:
    QByteArray buffer_;
    bool broken_ = false;
};

} // namespace RenderFrames
