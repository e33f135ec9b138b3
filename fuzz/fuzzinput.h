#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Cuts one fuzz input into the pieces a harness needs. Inputs are mostly text, so seeds stay
// readable: pieces are separated by line breaks, and a piece read past the end is empty.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size)
        : bytes_(QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)))
    {
    }

    bool atEnd() const { return pos_ >= bytes_.size(); }
    // One byte, 0 at the end.
    uint8_t byte() { return atEnd() ? 0 : static_cast<uint8_t>(bytes_[pos_++]); }
    // The bytes up to the next line break (which is consumed).
    QByteArray lineBytes()
    {
        qsizetype end = bytes_.indexOf('\n', pos_);
        if (end < 0) {
            end = bytes_.size();
        }
        const QByteArray line = bytes_.mid(pos_, end - pos_);
        pos_ = end + 1;
        return line;
    }
    QString line() { return QString::fromUtf8(lineBytes()); }
    QByteArray restBytes()
    {
        const QByteArray rest = atEnd() ? QByteArray() : bytes_.mid(pos_);
        pos_ = bytes_.size();
        return rest;
    }
    QString rest() { return QString::fromUtf8(restBytes()); }

private:
    QByteArray bytes_;
    qsizetype pos_ = 0;
};

// A broken promise of the code under test: abort, so that the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                              \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            qFatal("fuzz check failed: %s (%s:%d)", #condition, __FILE__, __LINE__);                      \
        }                                                                                                  \
    } while (false)
