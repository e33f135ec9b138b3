#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

// The bytes QDataStream (version 6.4, big-endian) writes for these values, appended to one buffer: a
// stream goes through a device and a call for every value, which costs more than the copy itself for
// the thousands of nodes packed at the end of a check and the answers kept as a run goes.
class StreamBytes
{
public:
    StreamBytes& operator<<(quint8 v);
    StreamBytes& operator<<(qint32 v);
    StreamBytes& operator<<(qint64 v);
    StreamBytes& operator<<(bool v);
    // The length in bytes (all ones for a null text), then UTF-16 big-endian.
    StreamBytes& operator<<(const QString& text);
    StreamBytes& operator<<(const QStringList& texts);
    // The length (all ones for a null array), then the bytes.
    StreamBytes& operator<<(const QByteArray& bytes);
    // Its encoded form, empty when it is not valid.
    StreamBytes& operator<<(const QUrl& url);
    // Bytes as they are, with no length before them.
    StreamBytes& raw(QByteArrayView bytes);
    // What was written, taken out of this writer.
    QByteArray take();

private:
    char* grow(qsizetype n); // room for `n` more bytes, where they go

    QByteArray bytes_; // sized ahead of what is written: resizing it for every value costs more than the value
    qsizetype used_ = 0;
};

// qCompress(bytes, 1), byte for byte: the length, big-endian, then a zlib stream at the fastest level.
// One deflate state serves every call on a thread: setting one up allocates and clears some 300 KiB,
// which costs more than packing a small page.
QByteArray FastCompress(QByteArrayView bytes);
