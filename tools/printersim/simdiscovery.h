#pragma once

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QObject>
#include <QString>

class QUdpSocket;
class SimPrinter;

// Answers the host's network discovery: every 4-byte datagram on UDP 17899
// (multicast to 224.0.0.1 or unicast) gets the printer's project, model and
// serial number back, unicast to the datagram's sender and nobody else.
class SimDiscovery final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 17899;
    static constexpr int kRequestSize = 4;
    // project, model and serial number: the part of the identity hosts read.
    static constexpr int kReplySize = 48;

    explicit SimDiscovery(SimPrinter* printer, QObject* parent = nullptr);

    // Binds the port and joins 224.0.0.1 on the interface that holds
    // `address`, and answers only datagrams that came in on it, from that
    // address; an any-address answers on every interface.
    bool start(const QHostAddress& address, QString& error);
    // "any interface" or the interface's name, for the start-up line.
    QString interfaceName() const { return interfaceName_; }

private:
    void onReadyRead();
    // The discovery flood fault: `reply` again under many serial numbers.
    void flood(QNetworkDatagram reply);

    SimPrinter* printer_;
    QUdpSocket* socket_;
    QHostAddress address_;
    int interfaceIndex_ = 0; // 0: every interface
    QString interfaceName_;
};
