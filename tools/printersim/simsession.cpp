#include "tools/printersim/simsession.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "tools/printersim/simlog.h"
#include "tools/printersim/simprinter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QStringList>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {

constexpr int kNonceSize = 4;

QString keyText(const packet::Key& key)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(key.data()), int(key.size())).toHex());
}

} // namespace

SimSession::SimSession(QIODevice* device, SimPrinter* printer, const SimKeys& keys, QObject* parent)
    : QObject(parent)
    , device_(device)
    , printer_(printer)
    , keys_(keys)
    , tag_(printer->nextConnectionTag())
{
    device_->setParent(this);
    connect(device_, &QIODevice::readyRead, this, &SimSession::onReadyRead);
    if (auto* socket = qobject_cast<QTcpSocket*>(device_)) {
        // Replies are small and awaited one by one; do not hold them back.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::disconnected, this, &SimSession::onDisconnected);
        printer_->log(tag_, QStringLiteral("open %1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort()));
    } else {
        connect(device_, &QIODevice::aboutToClose, this, &SimSession::onDisconnected);
        printer_->log(tag_, QStringLiteral("open %1").arg(device_->objectName()));
    }
    // Bytes may have come with the connection, before readyRead was connected.
    if (device_->bytesAvailable() > 0)
        onReadyRead();
}

void SimSession::sendKeepAlive()
{
    const quint8 header[packet::kHeaderSize]
        = {packet::kMagic[0], packet::kMagic[1], packet::kMagic[2], packet::kBodylessCount};
    write(header, sizeof header);
}

void SimSession::abort()
{
    if (auto* socket = qobject_cast<QTcpSocket*>(device_))
        socket->abort();
    else
        device_->close();
    // Closes the session even if abort() did not report the disconnection.
    onDisconnected();
}

void SimSession::onReadyRead()
{
    // Left unread, so that the kernel's buffers fill up.
    if (stalled_)
        return;
    const QByteArray chunk = device_->readAll();
    const auto* data = reinterpret_cast<const quint8*>(chunk.constData());
    const quint32 length = quint32(chunk.size());
    quint32 position = 0;
    while (position < length && !closed_) {
        if (uploadRemaining_ > 0) {
            const qint64 stallAt = printer_->faults().stallUpload;
            qint64 take = qMin<qint64>(uploadRemaining_, length - position);
            if (stallAt >= 0)
                take = qBound<qint64>(0, stallAt - uploadData_.size(), take);
            uploadData_.append(chunk.constData() + position, int(take));
            uploadRemaining_ -= take;
            position += quint32(take);
            if (stallAt >= 0 && uploadData_.size() >= stallAt && uploadRemaining_ > 0) {
                stall();
                return;
            }
            continue;
        }
        const packet::Assembler::Step step = assembler_.feed(data + position, length - position);
        if (step.consumed == 0) {
            printer_->log(tag_,
                QStringLiteral("dropped %1 bytes that do not start a packet: %2")
                    .arg(length - position)
                    .arg(QString::fromLatin1(chunk.mid(int(position), 16).toHex(' '))));
            assembler_.reset();
            return;
        }
        position += step.consumed;
        if (step.complete) {
            handlePacket();
            assembler_.reset();
        }
    }
}

void SimSession::onDisconnected()
{
    if (closed_)
        return;
    closed_ = true;
    if (uploading_)
        printer_->log(tag_,
            QStringLiteral("dropped the partial upload %1 (%2 bytes received)")
                .arg(uploadPath_)
                .arg(uploadData_.size()));
    printer_->log(tag_, QStringLiteral("closed"));
    Q_EMIT closed();
    deleteLater();
}

void SimSession::handlePacket()
{
    std::array<quint8, packet::kMaxBody> plain;
    const int bodySize = assembler_.bodySize();
    const quint8 blocks = assembler_.blockCount();
    const bool handshake = blocks == packet::kHandshakeCount;
    if (!handshake && !keyed_) {
        printer_->log(tag_, QStringLiteral("dropped a %1-block packet: no handshake yet").arg(blocks));
        return;
    }
    if (!aes_.decrypt(
            handshake ? keys_.defaultKey : sessionKey_, keys_.iv, assembler_.body(), bodySize, plain.data())) {
        printer_->log(tag_, QStringLiteral("dropped a %1-block packet: cipher failure").arg(blocks));
        return;
    }
    const int length = packet::unpaddedLength(plain.data(), bodySize);
    if (length == 0) {
        printer_->log(tag_, QStringLiteral("dropped a %1-block packet: bad padding (wrong key?)").arg(blocks));
        return;
    }
    if (handshake) {
        handleHandshake(plain.data(), length);
        return;
    }
    const QByteArray record(reinterpret_cast<const char*>(plain.data()), length);
    printer_->log(tag_, QStringLiteral("RX ") + SimLog::describe(record, SimLog::Direction::Received));
    if (handleFileRecord(record) || handleFontTableRecord(record))
        return;
    const QByteArray reply = printer_->handleRecord(record, tag_);
    if (!reply.isEmpty())
        sendRecord(reply);
}

void SimSession::handleHandshake(const quint8* plain, int length)
{
    if (length != kNonceSize) {
        printer_->log(
            tag_, QStringLiteral("dropped a handshake request of %1 bytes, expected %2").arg(length).arg(kNonceSize));
        return;
    }
    const quint32 nonce
        = quint32(plain[0]) | (quint32(plain[1]) << 8) | (quint32(plain[2]) << 16) | (quint32(plain[3]) << 24);

    // The key both sides derive: MD5 of the nonce as sent and the serial
    // number up to its first NUL in a zeroed 16-byte area.
    const QByteArray devInfo = printer_->model().devInfo();
    QByteArray seed(kNonceSize + layout::devinfo::kTextWidth, '\0');
    std::memcpy(seed.data(), plain, kNonceSize);
    const QByteArray sn = devInfo.mid(layout::devinfo::kSn, layout::devinfo::kTextWidth);
    const int nul = sn.indexOf('\0');
    const QByteArray snText = nul < 0 ? sn : sn.left(nul);
    std::memcpy(seed.data() + kNonceSize, snText.constData(), size_t(snText.size()));
    sessionKey_ = packet::keyFromBytes(QCryptographicHash::hash(seed, QCryptographicHash::Md5));
    const SimFaults::Handshake fault = printer_->faults().handshake;
    if (fault == SimFaults::Handshake::Never) {
        printer_->log(
            tag_, QStringLiteral("fault: handshake nonce 0x%1 not answered").arg(nonce, 8, 16, QLatin1Char('0')));
        return;
    }
    keyed_ = true;

    std::array<quint8, packet::kMaxPacket> out;
    const int size = packet::build(aes_, keys_.defaultKey, keys_.iv,
        reinterpret_cast<const quint8*>(devInfo.constData()), int(devInfo.size()), false, out.data());
    printer_->log(tag_,
        QStringLiteral("handshake nonce 0x%1, session key %2")
            .arg(nonce, 8, 16, QLatin1Char('0'))
            .arg(keyText(sessionKey_)));
    write(out.data(), size);
    if (fault == SimFaults::Handshake::Twice) {
        printer_->log(tag_, QStringLiteral("fault: handshake answered a second time"));
        write(out.data(), size);
    }
}

void SimSession::sendRecord(const QByteArray& record)
{
    if (closed_)
        return;
    std::array<quint8, packet::kMaxPacket> out;
    const int size = packet::build(aes_, sessionKey_, keys_.iv, reinterpret_cast<const quint8*>(record.constData()),
        int(record.size()), true, out.data());
    if (size == 0) {
        printer_->log(tag_, QStringLiteral("could not encrypt a %1-byte reply").arg(record.size()));
        return;
    }
    printer_->log(tag_, QStringLiteral("TX ") + SimLog::describe(record, SimLog::Direction::Sent));
    const SimFaults& faults = printer_->faults();
    ++repliesSent_;
    if (repliesSent_ == faults.dropMid) {
        printer_->log(tag_,
            QStringLiteral("fault: connection aborted inside reply %1, after %2 of its %3 bytes")
                .arg(repliesSent_)
                .arg(size / 2)
                .arg(size));
        writeRaw(reinterpret_cast<const char*>(out.data()), size / 2);
        flush();
        abort();
        return;
    }
    write(out.data(), size);
    if (repliesSent_ == faults.dropAfter) {
        printer_->log(tag_, QStringLiteral("fault: connection closed after %1 replies").arg(repliesSent_));
        // Closed, not reset: the replies sent so far still arrive.
        if (auto* socket = qobject_cast<QTcpSocket*>(device_))
            socket->disconnectFromHost();
        else
            abort();
    }
}

void SimSession::write(const quint8* data, int length)
{
    if (length <= 0 || closed_ || !device_->isOpen())
        return;
    if (auto* socket = qobject_cast<QTcpSocket*>(device_); socket && socket->state() != QAbstractSocket::ConnectedState)
        return;
    const SimFaults& faults = printer_->faults();
    QRandomGenerator& random = printer_->faultRandom();
    QByteArray bytes(reinterpret_cast<const char*>(data), length);
    if (faults.garbage) {
        // Random bytes before the packet, or a piece of a header after it,
        // which then ends the write; never both between two packets, so that
        // the piece is right in front of the next packet.
        if (packetsSent_ > 0 && !strayEnded_) {
            QByteArray garbage(random.bounded(1, 17), '\0');
            for (char& byte : garbage)
                byte = char(random.bounded(256));
            printer_->log(tag_,
                QStringLiteral("fault: %1 garbage bytes before the next packet: %2")
                    .arg(garbage.size())
                    .arg(QString::fromLatin1(garbage.toHex(' '))));
            writeRaw(garbage.constData(), int(garbage.size()));
        }
        strayEnded_ = random.bounded(2) == 1;
        if (strayEnded_) {
            QByteArray stray(packet::kHeaderSize + packet::kBlockSize, '\0');
            std::memcpy(stray.data(), packet::kMagic, sizeof packet::kMagic);
            for (int i = int(sizeof packet::kMagic); i < stray.size(); ++i)
                stray[i] = char(random.bounded(256));
            stray.truncate(random.bounded(1, stray.size()));
            printer_->log(tag_,
                QStringLiteral("fault: %1 bytes of a stray header after the packet: %2")
                    .arg(stray.size())
                    .arg(QString::fromLatin1(stray.toHex(' '))));
            bytes.append(stray);
        }
    }
    ++packetsSent_;
    if (!faults.split || bytes.size() < 2) {
        writeRaw(bytes.constData(), int(bytes.size()));
        return;
    }
    QList<int> cuts;
    const int pieces = random.bounded(2, qMin(int(bytes.size()), 6) + 1);
    while (cuts.size() < pieces - 1) {
        const int cut = random.bounded(1, int(bytes.size()));
        if (!cuts.contains(cut))
            cuts.append(cut);
    }
    std::sort(cuts.begin(), cuts.end());
    QStringList at;
    for (int cut : qAsConst(cuts))
        at.append(QString::number(cut));
    printer_->log(
        tag_, QStringLiteral("fault: %1-byte packet split at %2").arg(bytes.size()).arg(at.join(QLatin1Char(','))));
    int from = 0;
    cuts.append(int(bytes.size()));
    for (int cut : qAsConst(cuts)) {
        writeRaw(bytes.constData() + from, cut - from);
        flush();
        // A moment, so that the pieces reach the host as reads of their own.
        if (cut != bytes.size())
            QThread::usleep(300);
        from = cut;
    }
}

void SimSession::writeRaw(const char* data, int length)
{
    if (length > 0 && device_->write(data, length) != length)
        printer_->log(tag_, QStringLiteral("write failed: %1").arg(device_->errorString()));
}

void SimSession::flush()
{
    if (auto* socket = qobject_cast<QTcpSocket*>(device_))
        socket->flush();
}

void SimSession::stall()
{
    printer_->log(tag_,
        QStringLiteral("fault: stopped reading after %1 bytes of the upload %2")
            .arg(uploadData_.size())
            .arg(uploadPath_));
    stalled_ = true;
    // A full read buffer makes the socket stop taking bytes from the kernel.
    if (auto* socket = qobject_cast<QTcpSocket*>(device_))
        socket->setReadBufferSize(1);
}

bool SimSession::handleFileRecord(const QByteArray& record)
{
    namespace file = layout::file;
    const RecordReader reader(record);
    const quint16 id = reader.u16(layout::kIdOffset);
    SimFonts& fonts = printer_->fonts();
    QString why;
    if (uploading_ && id != layout::recordId(layout::code::kUploadComplete)) {
        printer_->log(tag_, QStringLiteral("dropped the upload %1: no completion record").arg(uploadPath_));
        uploading_ = false;
        uploadData_.clear();
    }
    if (id == layout::recordId(layout::code::kListDirectory)) {
        const QByteArray path = reader.text(file::kShortPath, file::kPathWidth);
        if (path != SimFonts::kRemoteFolder) {
            printer_->log(
                tag_, QStringLiteral("no listing for %1: only the font folder exists").arg(QString::fromUtf8(path)));
            return true;
        }
        for (const QByteArray& entry : fonts.listing())
            sendRecord(entry);
        return true;
    }
    if (id == layout::recordId(layout::code::kDeleteFile)) {
        const QString local = fonts.localPath(reader.text(file::kShortPath, file::kPathWidth), why);
        if (local.isEmpty() || !QFile::remove(local))
            printer_->log(tag_, QStringLiteral("not deleted: %1").arg(local.isEmpty() ? why : local));
        else
            printer_->log(tag_, QStringLiteral("deleted %1").arg(local));
        return true;
    }
    if (id == layout::recordId(layout::code::kUploadRequest)) {
        if (record.size() < file::kLongSize)
            return false;
        const QString local = fonts.localPath(reader.text(file::kPath, file::kPathWidth), why);
        const quint32 size = reader.u32(file::kFileSize);
        RecordWriter reply(file::kLongSize);
        reply.u8(0, layout::code::kUploadRequest)
            .u8(1, 1)
            .bytes(file::kPath, record.mid(file::kPath, file::kPathWidth + 4));
        if (local.isEmpty()) {
            printer_->log(tag_, QStringLiteral("refused an upload: %1").arg(why));
            sendRecord(reply.u16(file::kShortPath, 1).data());
            return true;
        }
        if (size > kMaxUpload) {
            printer_->log(tag_,
                QStringLiteral("refused an upload of %1 bytes to %2: more than %3 bytes")
                    .arg(size)
                    .arg(local)
                    .arg(kMaxUpload));
            sendRecord(reply.u16(file::kShortPath, 1).data());
            return true;
        }
        printer_->log(tag_, QStringLiteral("accepted an upload of %1 bytes to %2").arg(size).arg(local));
        uploading_ = true;
        uploadPath_ = local;
        uploadData_.clear();
        uploadRemaining_ = size;
        Q_EMIT uploadAccepted(size);
        sendRecord(reply.data());
        return true;
    }
    if (id == layout::recordId(layout::code::kUploadComplete)) {
        finishUpload(record);
        return true;
    }
    return false;
}

void SimSession::finishUpload(const QByteArray& record)
{
    namespace file = layout::file;
    if (!uploading_) {
        printer_->log(tag_, QStringLiteral("ignored a completion record: no upload"));
        return;
    }
    uploading_ = false;
    const QByteArray data = std::exchange(uploadData_, QByteArray());
    const RecordReader reader(record);
    const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Md5);
    QString error;
    if (record.size() < file::kLongSize || reader.u32(file::kFileSize) != quint32(data.size())
        || reader.bytes(file::kDigest, 16) != digest)
        printer_->log(tag_, QStringLiteral("discarded the upload %1: size or MD5 do not match").arg(uploadPath_));
    else if (!printer_->fonts().store(uploadPath_, data, error))
        printer_->log(tag_, QStringLiteral("cannot store %1: %2").arg(uploadPath_, error));
    else
        printer_->log(tag_, QStringLiteral("stored %1 (%2 bytes)").arg(uploadPath_).arg(data.size()));
}

bool SimSession::handleFontTableRecord(const QByteArray& record)
{
    using layout::recordId;
    namespace code = layout::code;
    const quint16 id = RecordReader(record).u16(layout::kIdOffset);
    switch (id) {
    case recordId(code::kFontTableRead): {
        const QList<QByteArray> replies = printer_->model().fontTableReplies();
        for (const QByteArray& reply : replies)
            sendRecord(reply);
        return true;
    }
    case recordId(code::kFontTableBegin):
        if (fontTableOpen_ && !fontRows_.isEmpty())
            printer_->log(tag_, QStringLiteral("font table begun again: %1 rows dropped").arg(fontRows_.size()));
        fontRows_.clear();
        fontTableOpen_ = true;
        return true;
    case recordId(code::kFontTableEntry): {
        SimFontEntry entry;
        if (!fontTableOpen_)
            printer_->log(tag_, QStringLiteral("ignored a font table entry: no begin record"));
        else if (!simfonttable::parse(record, entry))
            printer_->log(tag_,
                QStringLiteral("refused a font table entry: %1 bytes, expected %2")
                    .arg(record.size())
                    .arg(layout::fontentry::kSize));
        else if (fontRows_.size() >= simfonttable::kMaxEntries)
            printer_->log(tag_,
                QStringLiteral("refused a font table entry: the table holds %1 at most")
                    .arg(simfonttable::kMaxEntries));
        else
            fontRows_.append(entry);
        return true;
    }
    case recordId(code::kFontTableEnd):
        if (!fontTableOpen_) {
            printer_->log(tag_, QStringLiteral("ignored a font table end: no begin record"));
            return true;
        }
        fontTableOpen_ = false;
        printer_->setFontTable(std::exchange(fontRows_, SimFontTable()), tag_);
        return true;
    case recordId(code::kFontTableReset):
        printer_->resetFontTable(tag_);
        return true;
    default:
        return false;
    }
}
