#pragma once

#include "link/packet.h"
#include "link/recordhistory.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <functional>
#include <mutex>

// The printer's identity: plaintext of the handshake answer.
struct host_cmd_dev_info_t
{
    char project[16];
    char model[16];
    char sn[16];
    quint8 reserved[8];
};
static_assert(sizeof(host_cmd_dev_info_t) == 56, "host_cmd_dev_info_t is a 56-byte wire record");
Q_DECLARE_TYPEINFO(host_cmd_dev_info_t, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(host_cmd_dev_info_t)

// The host side of the host command protocol: handshake, session key,
// reassembly of received packets and every command the program sends.
// One process-wide object (`hostCmd`), and one more per printer session.
class HostCmd final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kWriteTimeoutMs = 5000;
    using Writer = std::function<bool(const quint8* data, quint32 length, int timeoutMs)>;

    explicit HostCmd(QObject* parent = nullptr);

    // Parses the front of a received chunk; returns the bytes taken, 0 when
    // the rest of the chunk is to be dropped. Emits from within the call.
    quint32 receive(const quint8* data, quint32 length);
    // Feeds a whole chunk the way every transport does.
    void receiveAll(const quint8* data, quint32 length);
    // Forgets a partial packet, so a new link starts clean.
    void resetReassembly() { assembler_.reset(); }

    bool sendHandshake(bool fixedNonce);
    // Pads, encrypts and writes a record of 1..480 bytes; false when nothing
    // was sent or the write failed.
    bool sendRecord(const QByteArray& record, bool useSessionKey = true);
    bool requestRecord(quint16 type);

    bool requestFontSettings();
    bool beginFontSettings();
    bool sendFontSettingsEntry(const QByteArray& entry);
    bool endFontSettings();
    bool resetFontSettings();
    bool requestDirectory(const QByteArray& path);
    bool requestUpload(const QByteArray& path, quint32 size);
    bool completeUpload(const QByteArray& path, quint32 size, const QByteArray& md5);
    bool deleteFile(const QByteArray& path);
    bool restartWnet();

    void setKeys(const QByteArray& defaultKey, const QByteArray& iv);
    // Where packets go; the default is the global Transceiver.
    void setWriter(Writer writer) { writer_ = std::move(writer); }
    const Writer& writer() const { return writer_; }
    packet::Key sessionKey() const;
    quint32 nonce() const;
    // The last accepted handshake answer (`host_cmd_dev_info_t`), empty before one.
    QByteArray identity() const;
    // The last records sent and received, for a support archive.
    const RecordHistory& history() const { return history_; }

    // Set by the connect dialog when the user connects; read for per-model rules.
    QString project;
    QString model;

Q_SIGNALS:
    void deviceFound(host_cmd_dev_info_t devinfo);
    void responseReceived(QByteArray response);

private:
    bool sendCommand(quint8 code);
    bool write(const quint8* data, int length);
    // False when the packet is rejected.
    bool handlePacket();
    void acceptHandshakeAnswer(const quint8* plain);

    packet::Key defaultKey_ {};
    packet::Key iv_ {};
    // The USB reader thread takes handshake answers in, while the GUI thread
    // sends handshakes and records: the session state is theirs only under
    // this lock. A std::mutex, which thread checkers see, unlike Qt's.
    mutable std::mutex sessionMutex_;
    packet::Key sessionKey_ {};
    quint32 nonce_ = 0;
    QByteArray identity_;
    packet::Assembler assembler_ {packet::kHandshakeAnswerBody};
    // Receiving runs on the USB reader thread while sending runs on the GUI
    // thread: each direction has its own cipher context.
    packet::AesCbc receiveAes_;
    packet::AesCbc sendAes_;
    Writer writer_;
    RecordHistory history_;
};

extern HostCmd hostCmd;
