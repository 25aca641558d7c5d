#include "tools/printersim/simdiscovery.h"

#include "settings/recordlayouts.h"
#include "tools/printersim/simprinter.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QtEndian>

namespace {

const QHostAddress kGroup(QStringLiteral("224.0.0.1"));

QNetworkInterface interfaceOf(const QHostAddress& address)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& candidate : interfaces) {
        const QList<QNetworkAddressEntry> entries = candidate.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().isEqual(address))
                return candidate;
        }
    }
    return QNetworkInterface();
}

} // namespace

SimDiscovery::SimDiscovery(SimPrinter* printer, QObject* parent)
    : QObject(parent)
    , printer_(printer)
    , socket_(new QUdpSocket(this))
{
    connect(socket_, &QUdpSocket::readyRead, this, &SimDiscovery::onReadyRead);
}

bool SimDiscovery::start(const QHostAddress& address, QString& error)
{
    address_ = address;
    const bool anyAddress = address.isEqual(QHostAddress::AnyIPv4) || address.isEqual(QHostAddress::Any);
    QNetworkInterface interface;
    if (!anyAddress) {
        interface = interfaceOf(address);
        if (!interface.isValid()) {
            error = QStringLiteral("no network interface has the address %1").arg(address.toString());
            return false;
        }
    }
    // A unicast-bound socket never sees the multicast datagrams; shared, so
    // that a host and further printers on this machine can bind it as well.
    if (!socket_->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        error = socket_->errorString();
        return false;
    }
    interfaceIndex_ = anyAddress ? 0 : interface.index();
    interfaceName_ = anyAddress ? QStringLiteral("any interface") : interface.name();
    // Every host is in 224.0.0.1 anyway, so a refused join costs nothing.
    const bool joined
        = anyAddress ? socket_->joinMulticastGroup(kGroup) : socket_->joinMulticastGroup(kGroup, interface);
    if (!joined)
        printer_->log(QString(),
            QStringLiteral("discovery: cannot join %1 on %2: %3")
                .arg(kGroup.toString(), interfaceName_, socket_->errorString()));
    return true;
}

void SimDiscovery::onReadyRead()
{
    while (socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_->receiveDatagram();
        if (!datagram.isValid())
            return;
        if (interfaceIndex_ != 0 && int(datagram.interfaceIndex()) != interfaceIndex_)
            continue;
        const QByteArray request = datagram.data();
        const QString from
            = QStringLiteral("%1:%2").arg(datagram.senderAddress().toString()).arg(datagram.senderPort());
        if (request.size() != kRequestSize || datagram.senderPort() <= 0) {
            printer_->log(
                QString(), QStringLiteral("discovery: ignored %1 bytes from %2").arg(request.size()).arg(from));
            continue;
        }
        QNetworkDatagram reply(
            printer_->model().devInfo().left(kReplySize), datagram.senderAddress(), quint16(datagram.senderPort()));
        // From the address the host will connect to, whatever the routing picks.
        if (interfaceIndex_ != 0 && address_.protocol() == QAbstractSocket::IPv4Protocol)
            reply.setSender(address_);
        const qint64 sent = socket_->writeDatagram(reply);
        const quint32 nonce = qFromLittleEndian<quint32>(request.constData());
        printer_->log(QString(),
            QStringLiteral("discovery: nonce 0x%1 from %2, %3")
                .arg(nonce, 8, 16, QLatin1Char('0'))
                .arg(from, sent == kReplySize ? QStringLiteral("answered") : socket_->errorString()));
        if (printer_->faults().discoveryFlood > 0)
            flood(reply);
    }
}

void SimDiscovery::flood(QNetworkDatagram reply)
{
    const int count = printer_->faults().discoveryFlood;
    QByteArray data = reply.data();
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        // Serial numbers no real printer has: "FLOOD" and eleven digits.
        const QByteArray sn = "FLOOD" + QByteArray::number(i).rightJustified(11, '0');
        data.replace(layout::devinfo::kSn, layout::devinfo::kTextWidth, sn);
        reply.setData(data);
        if (socket_->writeDatagram(reply) == kReplySize)
            ++sent;
    }
    printer_->log(QString(), QStringLiteral("fault: discovery flood, %1 of %2 replies sent").arg(sent).arg(count));
}
