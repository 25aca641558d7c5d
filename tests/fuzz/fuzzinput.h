#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Takes values from the front of a fuzzer input; past its end every value
// is 0 and every byte string empty, so a short input is still a valid one.
class FuzzInput final
{
public:
    FuzzInput(const uint8_t* data, size_t size)
        : data_(data)
        , size_(size)
    {
    }

    bool atEnd() const { return position_ >= size_; }
    size_t remaining() const { return size_ - position_; }

    quint8 u8() { return atEnd() ? 0 : data_[position_++]; }
    quint16 u16() { return quint16(u8() | (u8() << 8)); }
    QByteArray bytes(size_t count)
    {
        const size_t n = qMin(count, remaining());
        const QByteArray out(reinterpret_cast<const char*>(data_ + position_), int(n));
        position_ += n;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// The input of fuzz_hostcmd_receive: kSplitBytes bytes giving the chunk
// lengths the transport bytes are cut into (cycled; the top bit of the first
// one feeds through receive() instead of receiveAll()), then operations, each
// an opcode byte and its operands, that append bytes to the stream.
namespace hostcmdfuzz {

inline constexpr int kSplitBytes = 4;
enum Op : quint8 {
    // u8 length, the bytes as they are.
    Raw,
    // u16 length (taken modulo 480, plus 1), record bytes: a packet under the
    // current session key.
    SessionRecord,
    // 56 bytes of device information: a handshake answer under the default key.
    HandshakeAnswer,
    // As SessionRecord, on a reassembly reset first: exactly that record
    // must come out.
    CleanSessionRecord,
    // As SessionRecord, but with block count 0 under the default key.
    HandshakeRecord,
    // As SessionRecord, then cut after u8 bytes.
    TruncatedRecord,
    // A header of block count u8 and nothing else.
    BareHeader,
    OpCount
};

} // namespace hostcmdfuzz
