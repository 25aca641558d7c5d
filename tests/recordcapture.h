#pragma once

// Captures what HostCmd writes and gives back the records inside the
// packets, decrypted under the current session key; and the printer's
// answers around a font upload.

#include "link/hostcmd.h"
#include "settings/records.h"

#include <QList>

class RecordCapture final
{
public:
    // HostCmd's writer from now on: each packet's record is kept, from an
    // empty list, and the write answers `result`, true until set otherwise.
    void install()
    {
        records.clear();
        result = true;
        hostCmd.setWriter([this](const quint8* data, quint32 length, int) {
            records.append(decrypt(QByteArray(reinterpret_cast<const char*>(data), int(length))));
            if (onRecord)
                onRecord(records.constLast());
            return result;
        });
    }

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

// The printer's answer to an upload request, and a directory listing's row.
inline QByteArray uploadReply(quint16 status)
{
    return RecordWriter(152).u8(0, 0x62).u8(1, 1).u16(2, status).data();
}
inline QByteArray listingRow(const QByteArray& name, quint32 size)
{
    return RecordWriter(134).u8(0, 0x61).u8(1, 1).bytes(2, name).u32(130, size).data();
}
