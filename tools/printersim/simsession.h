#pragma once

#include "link/packet.h"
#include "tools/printersim/simfonttable.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QIODevice;
class SimPrinter;

// The two protocol constants of a printer: the handshake key and the vector.
struct SimKeys
{
    packet::Key defaultKey = packet::keyFromBytes(QByteArray::fromHex(packet::kDefaultKeyHex));
    packet::Key iv = packet::keyFromBytes(QByteArray::fromHex(packet::kIvHex));
};

// One host connection: its own reassembly and session key. Decrypts what
// the host sends, hands the records to the printer and encrypts the replies.
// A TCP socket, or any other open device (the USB side's pseudo-terminal),
// which ends the session when it closes.
class SimSession final : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of the connected `device`.
    // A file larger than this is refused: it would be held in memory whole.
    static constexpr qint64 kMaxUpload = 64 * 1024 * 1024;

    SimSession(QIODevice* device, SimPrinter* printer, const SimKeys& keys, QObject* parent = nullptr);

    // A bare header, so a host's idle watchdog sees traffic.
    void sendKeepAlive();
    void abort();
    const QString& tag() const { return tag_; }

Q_SIGNALS:
    // The connection is gone; the session deletes itself later.
    void closed();
    // The host's next `size` bytes are the file, without packet framing.
    void uploadAccepted(qint64 size);

private:
    void onReadyRead();
    void onDisconnected();
    void handlePacket();
    void handleHandshake(const quint8* plain, int length);
    // Font folder commands; false when the record is not one of them.
    bool handleFileRecord(const QByteArray& record);
    void finishUpload(const QByteArray& record);
    // Font table read, apply and reset; false when the record is not one of them.
    bool handleFontTableRecord(const QByteArray& record);
    void sendRecord(const QByteArray& record);
    // One whole packet, through the split and garbage faults.
    void write(const quint8* data, int length);
    void writeRaw(const char* data, int length);
    // Out of the kernel's way now: a fault closes the connection next.
    void flush();
    // Stops reading, so the host's writes fill the buffers and stay there.
    void stall();

    QIODevice* device_;
    SimPrinter* printer_;
    SimKeys keys_;
    QString tag_;
    packet::Assembler assembler_ {packet::kHandshakeRequestBody};
    packet::AesCbc aes_;
    packet::Key sessionKey_ {};
    bool keyed_ = false;
    bool closed_ = false;
    // An accepted upload: its raw bytes are consumed before any packet.
    QString uploadPath_;
    QByteArray uploadData_;
    qint64 uploadRemaining_ = 0;
    bool uploading_ = false;
    // Rows of a font table apply in progress: they replace the table only
    // when its end record comes, so a dropped connection changes nothing.
    SimFontTable fontRows_;
    bool fontTableOpen_ = false;
    // For the faults: packets and reply records sent so far.
    int packetsSent_ = 0;
    int repliesSent_ = 0;
    bool strayEnded_ = false;
    bool stalled_ = false;
};
