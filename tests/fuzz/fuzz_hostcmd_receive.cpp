// Transport bytes into HostCmd: framing, decryption and record dispatch.
// Part of the input becomes records that are encrypted here under the keys
// the host holds, so that whole valid packets, handshake answers included,
// arrive among the garbage and cut anywhere.

#include "fuzzinput.h"
#include "link/hostcmd.h"
#include "link/packet.h"

#include <cstdint>

namespace {

using namespace hostcmdfuzz;

// Where the bytes of every response end up, so that reading them is not optimised away.
volatile unsigned checksum = 0;

struct Session
{
    HostCmd host;
    packet::AesCbc aes;
    packet::Key defaultKey = packet::keyFromBytes(QByteArray::fromHex(packet::kDefaultKeyHex));
    packet::Key iv = packet::keyFromBytes(QByteArray::fromHex(packet::kIvHex));
    quint8 splits[kSplitBytes] = {};
    int nextSplit = 0, responses = 0, devicesFound = 0;
    QByteArray lastResponse, lastProject;
};

// Cuts the bytes into chunks of the input's lengths and hands them over the
// way a transport does, or one receive() at a time.
void deliver(Session& s, const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const quint8*>(bytes.constData());
    const quint32 size = quint32(bytes.size());
    const bool stepwise = (s.splits[0] & 0x80) != 0;
    for (quint32 position = 0, chunk = 0; position < size; position += chunk) {
        // Split 0: the rest in one chunk.
        const quint8 split = s.splits[s.nextSplit++ % kSplitBytes] & 0x7F;
        chunk = split == 0 ? size - position : qMin<quint32>(split, size - position);
        if (!stepwise)
            s.host.receiveAll(data + position, chunk);
        for (quint32 taken = 0, consumed = 1; stepwise && taken < chunk && consumed > 0; taken += consumed) {
            consumed = s.host.receive(data + position + taken, chunk - taken);
            if (consumed > chunk - taken)
                qFatal("receive() took more bytes than it was given");
        }
    }
}

// A packet whose own bytes hold another packet start may be taken for a
// stray header followed by that packet: whether it comes out is left open.
bool ambiguous(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const quint8*>(bytes.constData());
    for (int at = 1; at < bytes.size(); ++at)
        if (packet::Assembler::startsPacket(data + at, quint32(bytes.size() - at)))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Session s;
    for (quint8& split : s.splits)
        split = in.u8();

    s.host.setWriter([](const quint8*, quint32, int) { return true; });
    // The fixed nonce, as with Shift held: the session key follows from the
    // serial number the answer carries.
    s.host.sendHandshake(true);
    QObject::connect(&s.host, &HostCmd::responseReceived, [&s](const QByteArray& response) {
        // A printer may fill all 31 blocks with a one-byte pad: 495 bytes is
        // the most a packet can carry, 480 only the most the host sends.
        if (response.isEmpty() || response.size() > packet::kMaxBody - 1)
            qFatal("response of impossible length");
        // Every byte touched, so that the sanitizers see any bad read.
        checksum = checksum + qChecksum(response.constData(), uint(response.size()));
        ++s.responses;
        s.lastResponse = response;
    });
    QObject::connect(&s.host, &HostCmd::deviceFound, [&s](const host_cmd_dev_info_t& info) {
        ++s.devicesFound;
        s.lastProject = QByteArray(info.project, int(qstrnlen(info.project, sizeof info.project)));
    });

    while (!in.atEnd()) {
        const int op = in.u8() % OpCount;
        if (op == Raw) {
            deliver(s, in.bytes(in.u8()));
        } else if (op == BareHeader) {
            deliver(s, QByteArray(reinterpret_cast<const char*>(packet::kMagic), 3) + char(in.u8()));
        } else if (op == HandshakeAnswer) {
            const QByteArray plain
                = in.bytes(sizeof(host_cmd_dev_info_t)).leftJustified(sizeof(host_cmd_dev_info_t), '\0');
            // A clean one must be taken as the device's answer.
            const QByteArray bytes = packet::build(s.aes, s.defaultKey, s.iv, plain, false);
            const bool clean = (plain.at(0) & 1) != 0 && !ambiguous(bytes);
            if (clean)
                s.host.resetReassembly();
            const int before = s.devicesFound;
            deliver(s, bytes);
            if (clean
                && (s.devicesFound != before + 1 || s.lastProject != plain.left(int(qstrnlen(plain.constData(), 16)))))
                qFatal("a whole handshake answer was not reported");
        } else if (const QByteArray plain = in.bytes(1 + in.u16() % packet::kMaxRecord); !plain.isEmpty()) {
            if (op == CleanSessionRecord)
                s.host.resetReassembly();
            const bool session = op != HandshakeRecord;
            const QByteArray bytes
                = packet::build(s.aes, session ? s.host.sessionKey() : s.defaultKey, s.iv, plain, session);
            const int before = s.responses;
            deliver(s, op == TruncatedRecord ? bytes.left(in.u8()) : bytes);
            if (op == CleanSessionRecord && !ambiguous(bytes) && (s.responses != before + 1 || s.lastResponse != plain))
                qFatal("a whole session packet did not come out as its record");
        }
    }
    return 0;
}
