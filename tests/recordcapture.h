#pragma once

// Captures what HostCmd writes and gives back the records inside the
// packets, decrypted under the current session key.

#include "link/hostcmd.h"
#include "link/packet.h"

#include <QByteArray>
#include <QList>

#include <functional>

class RecordCapture final
{
public:
    // A writer that records each packet's record, then passes the packet on
    // to `next` (or answers `result`).
    HostCmd::Writer writer(std::function<bool(const quint8*, quint32, int)> next = {})
    {
        return [this, next](const quint8* data, quint32 length, int timeoutMs) {
            records.append(decrypt(QByteArray(reinterpret_cast<const char*>(data), int(length))));
            if (onRecord)
                onRecord(records.constLast());
            return next ? next(data, length, timeoutMs) : result;
        };
    }
    void install() { hostCmd.setWriter(writer()); }

    QByteArray decrypt(const QByteArray& bytes)
    {
        const int bodySize = int(bytes.size()) - packet::kHeaderSize;
        if (bodySize <= 0 || bodySize % packet::kBlockSize != 0)
            return QByteArray();
        QByteArray plain(bodySize, '\0');
        auto* out = reinterpret_cast<quint8*>(plain.data());
        if (!aes_.decrypt(hostCmd.sessionKey(), packet::keyFromBytes(QByteArray::fromHex(packet::kIvHex)),
                reinterpret_cast<const quint8*>(bytes.constData()) + packet::kHeaderSize, bodySize, out))
            return QByteArray();
        return plain.left(packet::unpaddedLength(out, bodySize));
    }

    QList<QByteArray> records;
    std::function<void(const QByteArray&)> onRecord;
    bool result = true;

private:
    packet::AesCbc aes_;
};
