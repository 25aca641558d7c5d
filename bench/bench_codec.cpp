#include "link/hostcmd.h"
#include "link/packet.h"

#include <QByteArray>
#include <QObject>

#include <array>
#include <benchmark/benchmark.h>
#include <cstring>
#include <openssl/evp.h>

namespace {

constexpr int kRecordSize = packet::kMaxRecord;
constexpr int kBodySize = packet::kMaxBody;

QByteArray makeRecord()
{
    QByteArray record(kRecordSize, '\0');
    for (int i = 0; i < record.size(); ++i)
        record[i] = char(i * 7 + 3);
    return record;
}

// One packet through the host side's codec and back: pad, encrypt and frame
// with sendRecord, then reassemble, decrypt, unpad and emit with receive. The
// same object sends and receives, so both use its session key (all zero
// before a handshake).
void hostCmdRoundTrip(benchmark::State& state)
{
    HostCmd cmd;
    std::array<quint8, packet::kMaxPacket> wire {};
    quint32 wireLength = 0;
    cmd.setWriter([&wire, &wireLength](const quint8* data, quint32 length, int) {
        std::memcpy(wire.data(), data, length);
        wireLength = length;
        return true;
    });

    const QByteArray record = makeRecord();
    QByteArray last;
    qint64 received = 0;
    QObject::connect(&cmd, &HostCmd::responseReceived, &cmd, [&last, &received](const QByteArray& response) {
        last = response;
        ++received;
    });

    // The round trip must give back the record itself before it is timed.
    if (!cmd.sendRecord(record, true) || cmd.receive(wire.data(), wireLength) != wireLength || last != record) {
        state.SkipWithError("round trip does not return the record");
        return;
    }
    received = 0;

    for (auto _ : state) {
        if (!cmd.sendRecord(record, true)) {
            state.SkipWithError("sendRecord failed");
            break;
        }
        if (cmd.receive(wire.data(), wireLength) != wireLength) {
            state.SkipWithError("receive did not take the whole packet");
            break;
        }
    }

    if (received != qint64(state.iterations()))
        state.SkipWithError("a packet did not come back as a response");
    state.SetItemsProcessed(qint64(state.iterations()));
    state.SetBytesProcessed(qint64(state.iterations()) * kRecordSize);
    state.counters["packet_bytes"] = double(wireLength);
}
BENCHMARK(hostCmdRoundTrip);

bool cbc(EVP_CIPHER_CTX* ctx, const EVP_CIPHER* cipher, const quint8* key, const quint8* iv, int encrypting,
    const quint8* in, quint8* out)
{
    int length = 0;
    int finalLength = 0;
    return EVP_CipherInit_ex2(ctx, cipher, key, iv, encrypting, nullptr) == 1 && EVP_CIPHER_CTX_set_padding(ctx, 0) == 1
        && EVP_CipherUpdate(ctx, out, &length, in, kBodySize) == 1
        && EVP_CipherFinal_ex(ctx, out + length, &finalLength) == 1 && length + finalLength == kBodySize;
}

// The floor under the round trip: the cipher work alone, one AES-128-CBC
// encryption and one decryption of a 496-byte body with a reused context.
void aesCbcFloor(benchmark::State& state)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr);
    const packet::Key key {};
    const packet::Key iv = packet::keyFromBytes(QByteArray::fromHex(packet::kIvHex));
    std::array<quint8, kBodySize> plain {};
    std::array<quint8, kBodySize> sealed {};
    std::array<quint8, kBodySize> opened {};
    const QByteArray record = makeRecord();
    std::memcpy(plain.data(), record.constData(), kRecordSize);
    std::memset(plain.data() + kRecordSize, kBodySize - kRecordSize, kBodySize - kRecordSize);

    if (!ctx || !cipher) {
        state.SkipWithError("no AES-128-CBC");
    } else {
        for (auto _ : state) {
            if (!cbc(ctx, cipher, key.data(), iv.data(), 1, plain.data(), sealed.data())
                || !cbc(ctx, cipher, key.data(), iv.data(), 0, sealed.data(), opened.data())) {
                state.SkipWithError("cipher failed");
                break;
            }
            benchmark::DoNotOptimize(opened.data());
            benchmark::ClobberMemory();
        }
        if (opened != plain)
            state.SkipWithError("decryption does not give back the plaintext");
    }
    state.SetItemsProcessed(qint64(state.iterations()));
    state.SetBytesProcessed(qint64(state.iterations()) * kRecordSize);

    EVP_CIPHER_free(cipher);
    EVP_CIPHER_CTX_free(ctx);
}
BENCHMARK(aesCbcFloor);

} // namespace

BENCHMARK_MAIN();
