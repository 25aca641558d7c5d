#pragma once

// The printer's end of a TCP link, played in the test process: it answers
// the handshake and every read request with the program's own packet codec,
// deriving the session key on its own, and misbehaves on request.

#include "linkfixture.h"
#include "settings/recordlayouts.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <sys/socket.h>

class FakePrinter final : public QObject
{
public:
    struct Faults
    {
        // Bytes per write, one write per turn of the loop (0: all at once);
        // answers to a handshake.
        int piece = 0, handshakeAnswers = 1;
        // Around every packet.
        QByteArray before, after;
        // Bytes sent, then the link goes (-1: never), with a reset or a close.
        qint64 dropAt = -1;
        bool reset = false;
    };

    FakePrinter()
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            socket_ = server_.nextPendingConnection();
            socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(socket_, &QTcpSocket::readyRead, this, &FakePrinter::onReadyRead);
            in_.reset();
            out_.clear();
            // A printer that comes back is sound.
            faults = connections++ ? Faults {} : faults;
        });
        connect(&timer_, &QTimer::timeout, this, &FakePrinter::writePiece);
    }
    bool listen() { return server_.listen(SimProcess::testAddress(), TcpPrinter::kPort); }
    QHostAddress address() const { return server_.serverAddress(); }

    // A reply as long as its type needs, every byte 01 but the type and the model.
    static QByteArray readReply(quint16 type)
    {
        using namespace layout;
        return RecordWriter(QByteArray(readtype::kMinLength[type], '\x01'))
            .u16(kIdOffset, type)
            .text(deviceinfo::kModel, type == readtype::kDeviceInfo ? deviceinfo::kTextWidth : 0, "LQ560-4G")
            .data();
    }
    void sendRecord(const QByteArray& record) { send(packet::build(aes_, key_, iv_, record, true)); }
    void send(const QByteArray& bytes)
    {
        out_ += faults.before + bytes + faults.after;
        timer_.start(0);
    }
    void drop(bool reset)
    {
        out_.clear();
        const linger abortive {1, 0};
        if (reset)
            ::setsockopt(int(socket_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        reset ? socket_->abort() : socket_->disconnectFromHost();
    }

    Faults faults;
    quint32 nonce = 0;
    int connections = 0;

private:
    void onReadyRead()
    {
        const QByteArray chunk = socket_->readAll();
        const auto* data = reinterpret_cast<const quint8*>(chunk.constData());
        for (quint32 at = 0, consumed = 1; at < quint32(chunk.size()) && consumed > 0; at += consumed) {
            const packet::Assembler::Step step = in_.feed(data + at, quint32(chunk.size()) - at);
            consumed = step.consumed;
            if (!step.complete)
                continue;
            const bool handshake = in_.blockCount() == packet::kHandshakeCount;
            QByteArray plain(in_.bodySize(), '\0');
            auto* out = reinterpret_cast<quint8*>(plain.data());
            aes_.decrypt(handshake ? defaultKey_ : key_, iv_, in_.body(), in_.bodySize(), out);
            plain.truncate(packet::unpaddedLength(out, int(plain.size())));
            in_.reset();
            const quint16 type = RecordReader(plain).u16(0);
            if (handshake) {
                nonce = RecordReader(plain).u32(0);
                const QByteArray sn("FAKE000000000001"), info = field("LQ560", 16) + field("LQ560-4G", 16) + sn;
                key_ = packet::keyFromBytes(QCryptographicHash::hash(plain + sn, QCryptographicHash::Md5));
                for (int i = 0; i < faults.handshakeAnswers; ++i)
                    send(packet::build(aes_, defaultKey_, iv_, info + QByteArray(8, '\0'), false));
            } else if (plain.size() == 2 && type >= 1 && type <= layout::readtype::kAudio) {
                sendRecord(readReply(type));
            }
        }
    }
    void writePiece()
    {
        const qint64 size = out_.size();
        const qint64 take = qMin(
            qMin<qint64>(size, faults.piece > 0 ? faults.piece : size), faults.dropAt >= 0 ? faults.dropAt : size);
        if (socket_->state() == QAbstractSocket::ConnectedState && socket_->write(out_.left(int(take))) >= 0)
            socket_->flush();
        out_.remove(0, int(take));
        // Counted down to the drop.
        if (faults.dropAt >= 0 && (faults.dropAt -= take) == 0)
            drop(faults.reset);
        if (out_.isEmpty())
            timer_.stop();
    }

    QTcpServer server_;
    QTcpSocket* socket_ = nullptr;
    QTimer timer_;
    QByteArray out_;
    packet::Assembler in_ {packet::kHandshakeRequestBody};
    packet::AesCbc aes_;
    const packet::Key defaultKey_ = packet::keyFromBytes(QByteArray::fromHex(packet::kDefaultKeyHex)),
                      iv_ = packet::keyFromBytes(QByteArray::fromHex(packet::kIvHex));
    packet::Key key_ {};
};
