#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QUdpSocket;

// Network discovery without a window: the 4-byte request (a nonce) multicast
// on every interface that can carry it, and the replies, each naming the
// printer's project, model and serial number. The connect dialog and the
// command line both use it.
class Discovery final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 17899;

    // What a discovery reply names; `valid` is false for a datagram too
    // short to be one.
    struct Reply
    {
        bool valid = false;
        QString project;
        QString model;
        QString sn;
        // The sender, as text.
        QString address;
    };
    // Pure, so that it is tested without a socket.
    static Reply parseReply(const QByteArray& datagram);

    // Binds the discovery port and reads the replies for as long as it lives.
    explicit Discovery(QObject* parent = nullptr);

    // A fresh nonce for the next passes.
    void newNonce();
    // One request on each interface.
    void sendPass();

Q_SIGNALS:
    // The valid replies read in one turn, in the order they came.
    void repliesReceived(const QList<Discovery::Reply>& replies);

private:
    void onReadyRead();

    QUdpSocket* socket_;
    quint32 nonce_ = 0;
};
