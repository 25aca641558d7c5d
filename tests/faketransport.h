#pragma once

// The printer's end of a TCP link, played in the test process: it answers
// the handshake and every read request with the program's own packet codec,
// deriving the session key on its own, and misbehaves on request.

#include "link/packet.h"
#include "link/tcpprinter.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

class FakePrinter final : public QObject
{
public:
    struct Faults
    {
        int piece = 0; // bytes per write, one write per turn of the loop; 0: all at once
        QByteArray before, after; // around every packet
        int handshakeAnswers = 1;
        qint64 dropAt = -1; // bytes sent, then the link goes (-1: never)
        bool reset = false; // it goes with a reset, not a close
    };

    FakePrinter()
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            socket_ = server_.nextPendingConnection();
            socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(socket_, &QTcpSocket::readyRead, this, &FakePrinter::onReadyRead);
            in_.reset();
            out_.clear();
            sent = 0;
            ++connections;
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
    void sendRecord(const QByteArray& record) { send(packet::build(aes_, key_, key(packet::kIvHex), record, true)); }
    void send(const QByteArray& bytes)
    {
        out_ += faults.before + bytes + faults.after;
        timer_.start(0);
    }
    void drop(bool reset)
    {
        out_.clear();
        if (!socket_)
            return;
        const linger abortive {1, 0};
        if (reset)
            ::setsockopt(int(socket_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        reset ? socket_->abort() : socket_->disconnectFromHost();
    }

    Faults faults;
    quint32 nonce = 0;
    int connections = 0;
    qint64 sent = 0;
    QList<QByteArray> received;

private:
    static packet::Key key(const char* hex) { return packet::keyFromBytes(QByteArray::fromHex(hex)); }

    void onReadyRead()
    {
        const QByteArray chunk = socket_->readAll();
        const auto* data = reinterpret_cast<const quint8*>(chunk.constData());
        for (quint32 at = 0; at < quint32(chunk.size());) {
            const packet::Assembler::Step step = in_.feed(data + at, quint32(chunk.size()) - at);
            if (step.consumed == 0)
                return;
            at += step.consumed;
            if (step.complete)
                takePacket();
        }
    }
    void takePacket()
    {
        const bool handshake = in_.blockCount() == packet::kHandshakeCount;
        QByteArray plain(in_.bodySize(), '\0');
        auto* out = reinterpret_cast<quint8*>(plain.data());
        aes_.decrypt(
            handshake ? key(packet::kDefaultKeyHex) : key_, key(packet::kIvHex), in_.body(), in_.bodySize(), out);
        plain.truncate(packet::unpaddedLength(out, int(plain.size())));
        in_.reset();
        if (handshake) {
            nonce = RecordReader(plain).u32(0);
            const QByteArray sn("FAKE000000000001");
            key_ = packet::keyFromBytes(QCryptographicHash::hash(plain + sn, QCryptographicHash::Md5));
            const QByteArray info = field("LQ560", 16) + field("LQ560-4G", 16) + sn + QByteArray(8, '\0');
            for (int i = 0; i < faults.handshakeAnswers; ++i)
                send(packet::build(aes_, key(packet::kDefaultKeyHex), key(packet::kIvHex), info, false));
            return;
        }
        received.append(plain);
        const quint16 type = RecordReader(plain).u16(0);
        if (plain.size() == 2 && type >= 1 && type <= layout::readtype::kAudio)
            sendRecord(readReply(type));
    }
    void writePiece()
    {
        qint64 take = faults.piece > 0 ? qMin<qint64>(faults.piece, out_.size()) : out_.size();
        if (faults.dropAt >= 0)
            take = qMin(take, faults.dropAt - sent);
        if (socket_ && socket_->state() == QAbstractSocket::ConnectedState) {
            socket_->write(out_.left(int(take)));
            socket_->flush();
        }
        sent += take;
        out_.remove(0, int(take));
        if (sent == faults.dropAt)
            drop(faults.reset);
        if (out_.isEmpty())
            timer_.stop();
    }

    QTcpServer server_;
    QPointer<QTcpSocket> socket_;
    QTimer timer_;
    QByteArray out_;
    packet::Assembler in_ {packet::kHandshakeRequestBody};
    packet::AesCbc aes_;
    packet::Key key_ {};
};
