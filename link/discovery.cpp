#include "link/discovery.h"

#include "app/debuglog.h"
#include "settings/settings.h"

#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QUdpSocket>
#include <QtEndian>

namespace {

const QHostAddress kDiscoveryGroup(QStringLiteral("224.0.0.1"));

} // namespace

Discovery::Discovery(QObject* parent)
    : QObject(parent)
    , socket_(new QUdpSocket(this))
{
    // Not checked: without the port the datagrams still go out, only the
    // replies may not come in.
    socket_->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    socket_->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    connect(socket_, &QUdpSocket::readyRead, this, &Discovery::onReadyRead);
    newNonce();
}

void Discovery::newNonce()
{
    nonce_ = QRandomGenerator::system()->generate();
}

void Discovery::sendPass()
{
    char datagram[4];
    qToLittleEndian(nonce_, datagram);
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        if (flags & (QNetworkInterface::IsLoopBack | QNetworkInterface::IsPointToPoint))
            continue;
        if (!(flags & (QNetworkInterface::IsUp | QNetworkInterface::IsRunning | QNetworkInterface::CanMulticast)))
            continue;
        socket_->setMulticastInterface(interface);
        socket_->writeDatagram(datagram, sizeof datagram, kDiscoveryGroup, kPort);
    }
}

void Discovery::onReadyRead()
{
    // All that is pending, up to a bound that keeps the caller responsive: a
    // datagram a turn lets a flood of replies overrun the socket's buffer and
    // push out a printer's own.
    constexpr int kDatagramsPerTurn = 256;
    QList<Reply> replies;
    for (int i = 0; i < kDatagramsPerTurn && socket_->hasPendingDatagrams(); ++i) {
        QByteArray datagram(int(qMax<qint64>(socket_->pendingDatagramSize(), 0)), '\0');
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 size = socket_->readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
        LOG("%d bytes received from %s:%u", int(size), qPrintable(sender.toString()), unsigned(senderPort));
        datagram.truncate(int(qMax<qint64>(size, 0)));
        Reply reply = parseReply(datagram);
        if (!reply.valid)
            continue;
        reply.address = sender.toString();
        replies.append(reply);
    }
    if (!replies.isEmpty())
        Q_EMIT repliesReceived(replies);
}

Discovery::Reply Discovery::parseReply(const QByteArray& datagram)
{
    Reply reply;
    // Shorter is no reply: for one, other hosts' discovery datagrams reach
    // this port too.
    const auto identity = settings::DeviceIdentity::fromBytes(datagram);
    if (!identity)
        return reply;
    using settings::DeviceIdentity;
    reply.valid = true;
    reply.project = identity->text(DeviceIdentity::Project);
    reply.model = identity->text(DeviceIdentity::Model);
    reply.sn = identity->text(DeviceIdentity::Sn);
    return reply;
}
