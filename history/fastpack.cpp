#include "fastpack.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr int kLevel = 1;

} // namespace

char* StreamBytes::grow(qsizetype n)
{
    if (bytes_.size() - used_ < n) {
        bytes_.resize(std::max(used_ + n, 2 * bytes_.size() + 4096));
    }
    char* at = bytes_.data() + used_;
    used_ += n;
    return at;
}

QByteArray StreamBytes::take()
{
    bytes_.truncate(used_);
    used_ = 0;
    return std::exchange(bytes_, {});
}

StreamBytes& StreamBytes::operator<<(quint8 v)
{
    *grow(1) = char(v);
    return *this;
}

StreamBytes& StreamBytes::operator<<(qint32 v)
{
    qToBigEndian(v, grow(sizeof v));
    return *this;
}

StreamBytes& StreamBytes::operator<<(qint64 v)
{
    qToBigEndian(v, grow(sizeof v));
    return *this;
}

StreamBytes& StreamBytes::operator<<(bool v)
{
    return *this << quint8(v ? 1 : 0);
}

StreamBytes& StreamBytes::operator<<(const QString& text)
{
    if (text.isNull()) {
        return *this << qint32(-1);
    }
    const qsizetype size = text.size() * qsizetype(sizeof(char16_t));
    *this << qint32(size);
    qToBigEndian<char16_t>(text.utf16(), text.size(), grow(size));
    return *this;
}

StreamBytes& StreamBytes::operator<<(const QStringList& texts)
{
    *this << qint32(texts.size());
    for (const QString& text : texts) {
        *this << text;
    }
    return *this;
}

StreamBytes& StreamBytes::operator<<(const QByteArray& bytes)
{
    if (bytes.isNull()) {
        return *this << qint32(-1);
    }
    *this << qint32(bytes.size());
    return raw(bytes);
}

StreamBytes& StreamBytes::operator<<(const QUrl& url)
{
    return *this << (url.isValid() ? url.toEncoded() : QByteArray());
}

StreamBytes& StreamBytes::raw(QByteArrayView bytes)
{
    if (!bytes.isEmpty()) {
        std::memcpy(grow(bytes.size()), bytes.data(), size_t(bytes.size()));
    }
    return *this;
}

QByteArray FastCompress(QByteArrayView bytes)
{
    struct Deflater
    {
        z_stream z{};
        bool ready = deflateInit(&z, kLevel) == Z_OK;
        Deflater() = default;
        Deflater(const Deflater&) = delete;
        Deflater& operator=(const Deflater&) = delete;
        ~Deflater()
        {
            if (ready) {
                deflateEnd(&z);
            }
        }
    };
    thread_local Deflater d;
    if (!d.ready || bytes.isEmpty() || bytes.size() > qsizetype(UINT32_MAX / 2) || deflateReset(&d.z) != Z_OK) {
        return qCompress(reinterpret_cast<const uchar*>(bytes.data()), bytes.size(), kLevel);
    }
    const uLong bound = deflateBound(&d.z, static_cast<uLong>(bytes.size()));
    QByteArray out(static_cast<qsizetype>(sizeof(quint32) + bound), Qt::Uninitialized);
    qToBigEndian(static_cast<quint32>(bytes.size()), out.data());
    d.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    d.z.avail_in = static_cast<uInt>(bytes.size());
    d.z.next_out = reinterpret_cast<Bytef*>(out.data() + sizeof(quint32));
    d.z.avail_out = static_cast<uInt>(bound);
    if (deflate(&d.z, Z_FINISH) != Z_STREAM_END) {
        return qCompress(reinterpret_cast<const uchar*>(bytes.data()), bytes.size(), kLevel);
    }
    out.truncate(static_cast<qsizetype>(sizeof(quint32) + d.z.total_out));
    return out;
}
