#include "link/packet.h"

#include <algorithm>
#include <cstring>
#include <openssl/evp.h>

namespace packet {

Key keyFromBytes(const QByteArray& bytes)
{
    Key key {};
    std::memcpy(key.data(), bytes.constData(), std::min<size_t>(key.size(), size_t(bytes.size())));
    return key;
}

AesCbc::AesCbc()
    : ctx_(EVP_CIPHER_CTX_new())
    // Fetched once: the implicit fetch of EVP_aes_128_cbc() costs a lookup per init.
    , cipher_(EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr))
{
}

AesCbc::~AesCbc()
{
    EVP_CIPHER_free(cipher_);
    EVP_CIPHER_CTX_free(ctx_);
}

bool AesCbc::encrypt(const Key& key, const Key& iv, const quint8* in, int length, quint8* out)
{
    return run(true, key, iv, in, length, out);
}

bool AesCbc::decrypt(const Key& key, const Key& iv, const quint8* in, int length, quint8* out)
{
    return run(false, key, iv, in, length, out);
}

bool AesCbc::run(bool encrypting, const Key& key, const Key& iv, const quint8* in, int length, quint8* out)
{
    if (!ctx_ || !cipher_ || length <= 0 || length % kBlockSize != 0)
        return false;
    if (EVP_CipherInit_ex2(ctx_, cipher_, key.data(), iv.data(), encrypting ? 1 : 0, nullptr) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(ctx_, 0);
    int outLength = 0;
    if (EVP_CipherUpdate(ctx_, out, &outLength, in, length) != 1)
        return false;
    int finalLength = 0;
    if (EVP_CipherFinal_ex(ctx_, out + outLength, &finalLength) != 1)
        return false;
    return outLength + finalLength == length;
}

int unpaddedLength(const quint8* plain, int length)
{
    if (length <= 0)
        return 0;
    const int pad = plain[length - 1];
    if (pad == 0 || pad > kBlockSize || pad >= length)
        return 0;
    for (int i = length - pad; i < length; ++i) {
        if (plain[i] != pad)
            return 0;
    }
    return length - pad;
}

int build(
    AesCbc& aes, const Key& key, const Key& iv, const quint8* record, int recordLength, bool sessionPacket, quint8* out)
{
    if (recordLength <= 0 || recordLength > kMaxRecord)
        return 0;
    const int pad = paddingFor(recordLength);
    const int body = recordLength + pad;
    quint8* plain = out + kHeaderSize;
    std::memmove(plain, record, size_t(recordLength));
    std::memset(plain + recordLength, pad, size_t(pad));
    if (!aes.encrypt(key, iv, plain, body, plain))
        return 0;
    out[0] = kMagic[0];
    out[1] = kMagic[1];
    out[2] = kMagic[2];
    out[3] = sessionPacket ? quint8(body / kBlockSize) : kHandshakeCount;
    return kHeaderSize + body;
}

QByteArray build(AesCbc& aes, const Key& key, const Key& iv, const QByteArray& record, bool sessionPacket)
{
    std::array<quint8, kMaxPacket> out {};
    const int length = build(aes, key, iv, reinterpret_cast<const quint8*>(record.constData()), int(record.size()),
        sessionPacket, out.data());
    return QByteArray(reinterpret_cast<const char*>(out.data()), length);
}

Assembler::Assembler(int handshakeBody)
    : handshakeBody_(handshakeBody)
{
}

namespace {

bool possibleCount(quint8 count)
{
    return count <= kMaxBlocks || count == kBodylessCount;
}

// The first byte in data[from..to) that may begin the magic; `to` when none.
quint32 nextMagicByte(const quint8* data, quint32 from, quint32 to)
{
    if (from >= to)
        return to;
    const void* hit = std::memchr(data + from, kMagic[0], to - from);
    return hit ? quint32(static_cast<const quint8*>(hit) - data) : to;
}

} // namespace

bool Assembler::startsPacket(const quint8* data, quint32 length)
{
    return length >= quint32(kHeaderSize) && std::memcmp(data, kMagic, sizeof kMagic) == 0 && possibleCount(data[3]);
}

quint32 Assembler::nextStart(const quint8* data, quint32 length, quint32 limit)
{
    for (quint32 at = nextMagicByte(data, 1, limit); at < limit; at = nextMagicByte(data, at + 1, limit)) {
        if (std::memcmp(data + at, kMagic, std::min<size_t>(sizeof kMagic, length - at)) == 0)
            return at;
    }
    return limit;
}

void Assembler::dropStray(const quint8* data, quint32 length)
{
    if (startsPacket(data, length)) {
        held_ = 0;
        return;
    }
    if (held_ < quint32(kHeaderSize))
        return;
    // A packet start cut by the end of the last chunk: its first bytes end
    // the held ones and this chunk goes on with the rest of its header.
    for (quint32 tail = 1; tail <= sizeof kMagic && kHeaderSize - tail <= length; ++tail) {
        quint8 header[kHeaderSize];
        std::memcpy(header, buffer_.data() + held_ - tail, tail);
        std::memcpy(header + tail, data, kHeaderSize - tail);
        if (startsPacket(header, kHeaderSize)) {
            std::memmove(buffer_.data(), buffer_.data() + held_ - tail, tail);
            held_ = tail;
            return;
        }
    }
}

Assembler::Step Assembler::feed(const quint8* data, quint32 length)
{
    // Only a packet that spans chunks is carried over; bytes that turn out
    // not to be one must not swallow the packets behind them.
    if (held_ != 0)
        dropStray(data, length);
    const quint32 offset = held_;
    quint32 taken = 0;
    if (held_ < quint32(kHeaderSize)) {
        const bool continuing = held_ != 0;
        while (held_ < quint32(kHeaderSize) && taken < length) {
            const quint8 byte = data[taken];
            if (held_ < 3 && byte != kMagic[held_]) {
                held_ = 0;
                if (continuing)
                    return feed(data, length);
                return {};
            }
            buffer_[held_++] = byte;
            ++taken;
        }
        if (held_ < quint32(kHeaderSize))
            return {taken, false};

        const quint8 count = buffer_[3];
        if (count == kBodylessCount) {
            held_ = 0;
            return {taken, false};
        }
        if (count > kMaxBlocks) {
            held_ = 0;
            return {};
        }
        // The handshake's length is implied by its direction, never by how
        // much the chunk happens to hold.
        total_ = quint32(kHeaderSize + (count == kHandshakeCount ? handshakeBody_ : count * kBlockSize));
    }

    // A stray piece of a header is mostly followed by the packet it did not
    // begin: a real packet rarely holds a packet start this early.
    if (offset < kStrayWindow) {
        const quint32 end = std::min(length, kStrayWindow - offset);
        for (quint32 at = nextMagicByte(data, 1, end); at < end; at = nextMagicByte(data, at + 1, end)) {
            if (startsPacket(data + at, length - at)) {
                held_ = 0;
                return {at, false};
            }
        }
    }

    const quint32 n = std::min(total_ - held_, length - taken);
    std::memcpy(buffer_.data() + held_, data + taken, n);
    held_ += n;
    taken += n;
    return {taken, held_ == total_};
}

} // namespace packet
