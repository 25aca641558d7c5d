#include "link/hostcmd.h"

#include "app/debuglog.h"
#include "link/transceiver.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QCryptographicHash>
#include <QDateTime>

#include <cstring>

HostCmd hostCmd;

namespace {

QByteArray fileCommand(quint8 code, const QByteArray& path)
{
    using namespace layout::file;
    return RecordWriter(kShortSize).u8(0, code).u8(1, 1).text(kShortPath, kPathWidth, path).data();
}

QByteArray fileTransferCommand(quint8 code, const QByteArray& path, quint32 size, const QByteArray& md5)
{
    using namespace layout::file;
    return RecordWriter(kLongSize)
        .u8(0, code)
        .u8(1, 1)
        .text(kPath, kPathWidth, path)
        .u32(kFileSize, size)
        .bytes(kDigest, md5.left(16))
        .data();
}

} // namespace

HostCmd::HostCmd(QObject* parent)
    : QObject(parent)
{
    setKeys(QByteArray::fromHex(packet::kDefaultKeyHex), QByteArray::fromHex(packet::kIvHex));
}

void HostCmd::setKeys(const QByteArray& defaultKey, const QByteArray& iv)
{
    defaultKey_ = packet::keyFromBytes(defaultKey);
    iv_ = packet::keyFromBytes(iv);
}

quint32 HostCmd::receive(const quint8* data, quint32 length)
{
    const packet::Assembler::Step step = assembler_.feed(data, length);
    if (!step.complete)
        return step.consumed;
    const bool accepted = handlePacket();
    assembler_.reset();
    // A false header may have taken the start of real packets with it: they
    // are looked for among the bytes it took from this chunk.
    return accepted ? step.consumed : packet::Assembler::nextStart(data, length, step.consumed);
}

void HostCmd::receiveAll(const quint8* data, quint32 length)
{
    quint32 position = 0;
    while (position < length) {
        const quint32 consumed = receive(data + position, length - position);
        if (consumed != 0) {
            position += consumed;
            continue;
        }
        // Stray bytes: the packets after them in this chunk still count.
        position += packet::Assembler::nextStart(data + position, length - position, length - position);
    }
}

bool HostCmd::handlePacket()
{
    std::array<quint8, packet::kMaxBody> plain;
    const int bodySize = assembler_.bodySize();
    const bool handshake = assembler_.blockCount() == packet::kHandshakeCount;
    if (!receiveAes_.decrypt(handshake ? defaultKey_ : sessionKey(), iv_, assembler_.body(), bodySize, plain.data()))
        return false;
    const int length = packet::unpaddedLength(plain.data(), bodySize);
    if (handshake) {
        if (length != layout::devinfo::kSize)
            return false;
        history_.add(false, true, 0, length);
        acceptHandshakeAnswer(plain.data());
        return true;
    }
    if (length == 0)
        return false;
    const QByteArray response(reinterpret_cast<const char*>(plain.data()), length);
    history_.add(false, false, RecordReader(response).u16(layout::kIdOffset), length);
    Q_EMIT responseReceived(response);
    return true;
}

void HostCmd::acceptHandshakeAnswer(const quint8* plain)
{
    host_cmd_dev_info_t info;
    std::memcpy(&info, plain, sizeof info);
    LOG("project: %.16s", info.project);
    LOG("  model: %.16s", info.model);
    LOG("     sn: %.16s", info.sn);

    // Session key: MD5 of the nonce (least significant byte first) and the
    // serial number up to its first NUL in a zeroed 16-byte area.
    const quint32 nonce = this->nonce();
    quint8 seed[20] = {};
    for (int i = 0; i < 4; ++i)
        seed[i] = quint8(nonce >> (8 * i));
    const void* nul = std::memchr(info.sn, 0, sizeof info.sn);
    const size_t snLength = nul ? size_t(static_cast<const char*>(nul) - info.sn) : sizeof info.sn;
    std::memcpy(seed + 4, info.sn, snLength);
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray::fromRawData(reinterpret_cast<const char*>(seed), sizeof seed), QCryptographicHash::Md5);
    {
        const std::lock_guard<std::mutex> lock(sessionMutex_);
        sessionKey_ = packet::keyFromBytes(digest);
        identity_ = QByteArray(reinterpret_cast<const char*>(&info), int(sizeof info));
    }

    Q_EMIT deviceFound(info);
}

bool HostCmd::write(const quint8* data, int length)
{
    if (length <= 0)
        return false;
    if (writer_)
        return writer_(data, quint32(length), kWriteTimeoutMs);
    return transceiver && transceiver->write(data, quint32(length), kWriteTimeoutMs);
}

packet::Key HostCmd::sessionKey() const
{
    const std::lock_guard<std::mutex> lock(sessionMutex_);
    return sessionKey_;
}

quint32 HostCmd::nonce() const
{
    const std::lock_guard<std::mutex> lock(sessionMutex_);
    return nonce_;
}

QByteArray HostCmd::identity() const
{
    const std::lock_guard<std::mutex> lock(sessionMutex_);
    return identity_;
}

bool HostCmd::sendHandshake(bool fixedNonce)
{
    const quint32 nonce = fixedNonce ? 1u : quint32(QDateTime::currentSecsSinceEpoch());
    {
        const std::lock_guard<std::mutex> lock(sessionMutex_);
        nonce_ = nonce;
    }
    const quint8 record[4] = {quint8(nonce), quint8(nonce >> 8), quint8(nonce >> 16), quint8(nonce >> 24)};
    std::array<quint8, packet::kMaxPacket> out;
    history_.add(true, true, 0, int(sizeof record));
    return write(out.data(), packet::build(sendAes_, defaultKey_, iv_, record, sizeof record, false, out.data()));
}

bool HostCmd::sendRecord(const QByteArray& record, bool useSessionKey)
{
    std::array<quint8, packet::kMaxPacket> out;
    const int length = packet::build(sendAes_, useSessionKey ? sessionKey() : defaultKey_, iv_,
        reinterpret_cast<const quint8*>(record.constData()), int(record.size()), useSessionKey, out.data());
    // Only what identifies the record: the credentials' bytes stay out.
    if (length > 0)
        history_.add(true, false, RecordReader(record).u16(layout::kIdOffset), int(record.size()));
    return write(out.data(), length);
}

bool HostCmd::requestRecord(quint16 type)
{
    return sendRecord(RecordWriter(2).u16(layout::kIdOffset, type).data());
}

bool HostCmd::sendCommand(quint8 code)
{
    return sendRecord(RecordWriter(2).u16(layout::kIdOffset, layout::recordId(code)).data());
}

bool HostCmd::requestFontSettings()
{
    return sendCommand(layout::code::kFontTableRead);
}
bool HostCmd::beginFontSettings()
{
    return sendCommand(layout::code::kFontTableBegin);
}
bool HostCmd::endFontSettings()
{
    return sendCommand(layout::code::kFontTableEnd);
}
bool HostCmd::resetFontSettings()
{
    return sendCommand(layout::code::kFontTableReset);
}
bool HostCmd::restartWnet()
{
    return sendCommand(layout::code::kWnetRestart);
}

bool HostCmd::sendFontSettingsEntry(const QByteArray& entry)
{
    QByteArray record = entry.left(layout::fontentry::kSize);
    record.append(layout::fontentry::kSize - record.size(), '\0');
    return sendRecord(
        RecordWriter(record).u16(layout::kIdOffset, layout::recordId(layout::code::kFontTableEntry)).data());
}

bool HostCmd::requestDirectory(const QByteArray& path)
{
    return sendRecord(fileCommand(layout::code::kListDirectory, path));
}

bool HostCmd::deleteFile(const QByteArray& path)
{
    return sendRecord(fileCommand(layout::code::kDeleteFile, path));
}

bool HostCmd::requestUpload(const QByteArray& path, quint32 size)
{
    return sendRecord(fileTransferCommand(layout::code::kUploadRequest, path, size, QByteArray()));
}

bool HostCmd::completeUpload(const QByteArray& path, quint32 size, const QByteArray& md5)
{
    return sendRecord(fileTransferCommand(layout::code::kUploadComplete, path, size, md5));
}
