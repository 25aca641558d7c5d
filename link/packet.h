#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

struct evp_cipher_ctx_st;
struct evp_cipher_st;

// Host command packet framing, shared by the host side (HostCmd) and the
// printer simulator: a 4-byte header 10 01 11 <block count> and an
// AES-128-CBC body of whole 16-byte blocks with PKCS #7-style padding.
namespace packet {

inline constexpr int kHeaderSize = 4;
inline constexpr int kBlockSize = 16;
inline constexpr int kMaxRecord = 480;
inline constexpr int kMaxBody = 496;
inline constexpr int kMaxBlocks = 31;
inline constexpr int kMaxPacket = kHeaderSize + kMaxBody;
inline constexpr quint8 kMagic[3] = {0x10, 0x01, 0x11};
// Block count 0: handshake under the default key; 255: a bare header.
inline constexpr quint8 kHandshakeCount = 0;
inline constexpr quint8 kBodylessCount = 0xFF;
inline constexpr int kHandshakeRequestBody = 16;
inline constexpr int kHandshakeAnswerBody = 64;

// Built-in protocol constants; printers that define others have them set
// through the configuration.
inline constexpr char kDefaultKeyHex[] = "5c2e91a73fd068b40e7ac319e5428bf6";
inline constexpr char kIvHex[] = "a1047d3be952c8166f2a94dd30b75e83";

using Key = std::array<quint8, 16>;

Key keyFromBytes(const QByteArray& bytes);

// One reusable AES-128-CBC context, padding off. Not thread-safe: one per user.
class AesCbc final
{
public:
    AesCbc();
    ~AesCbc();
    AesCbc(const AesCbc&) = delete;
    AesCbc& operator=(const AesCbc&) = delete;

    // `length` must be a multiple of 16; `out` may equal `in`.
    bool encrypt(const Key& key, const Key& iv, const quint8* in, int length, quint8* out);
    bool decrypt(const Key& key, const Key& iv, const quint8* in, int length, quint8* out);

private:
    bool run(bool encrypting, const Key& key, const Key& iv, const quint8* in, int length, quint8* out);

    evp_cipher_ctx_st* ctx_ = nullptr;
    evp_cipher_st* cipher_ = nullptr;
};

// Number of padding bytes after a record of `recordLength` bytes (1..16).
inline int paddingFor(int recordLength)
{
    return kBlockSize - recordLength % kBlockSize;
}

// Length of the record inside a padded plaintext, 0 when the padding is invalid
// (pad byte 0 or above 16, no record byte left, or unequal pad bytes).
int unpaddedLength(const quint8* plain, int length);

// Builds a whole packet into `out` (room for kMaxPacket bytes): header, then the
// record padded and encrypted. A session packet carries its block count, a
// handshake packet the count 0. Returns the packet length, 0 for a record
// length outside 1..480 or a cipher failure.
int build(AesCbc& aes, const Key& key, const Key& iv, const quint8* record, int recordLength, bool sessionPacket,
    quint8* out);
QByteArray build(AesCbc& aes, const Key& key, const Key& iv, const QByteArray& record, bool sessionPacket);

// Collects one packet from transport bytes that may be split anywhere.
// `handshakeBody` is the body length of a block-count-0 packet on this side of
// the link: 64 for the answer the host receives, 16 for the request the
// printer receives.
class Assembler final
{
public:
    explicit Assembler(int handshakeBody);

    struct Step
    {
        // Bytes taken from the front of the chunk. 0: the chunk does not
        // start (or continue) a valid packet; the caller drops the rest.
        quint32 consumed = 0;
        // A whole packet is held: see packet()/size(); reset() before feeding on.
        bool complete = false;
    };

    // A chunk that follows held bytes must start right after them: a feed
    // with bytes held is taken as the start of a new chunk.
    Step feed(const quint8* data, quint32 length);
    void reset() { held_ = 0; }
    bool inProgress() const { return held_ != 0; }

    const quint8* data() const { return buffer_.data(); }
    int size() const { return int(held_); }
    quint8 blockCount() const { return buffer_[3]; }
    const quint8* body() const { return buffer_.data() + kHeaderSize; }
    int bodySize() const { return int(held_) - kHeaderSize; }

    // True when `data` begins with the magic and a block count a packet can
    // have (the first 4 bytes are needed).
    static bool startsPacket(const quint8* data, quint32 length);
    // Where a packet may start among data[1..limit): the first byte from
    // which the chunk reads as the magic, or as much of it as the chunk still
    // holds; `limit` when there is none.
    static quint32 nextStart(const quint8* data, quint32 length, quint32 limit);

private:
    // Packet starts this close behind a header mean that the header was stray.
    static constexpr quint32 kStrayWindow = 20;

    void dropStray(const quint8* data, quint32 length);

    std::array<quint8, kMaxPacket> buffer_ {};
    quint32 held_ = 0;
    quint32 total_ = 0;
    int handshakeBody_;
};

} // namespace packet
