#include "link/transceiver.h"

#include "app/debuglog.h"
#include "link/tcpprinter.h"
#include "link/usbprinter.h"

Transceiver* transceiver = nullptr;

Transceiver::Transceiver(QObject* parent)
    : Transceiver(hostCmd, false, parent)
{
}

Transceiver::Transceiver(HostCmd& cmd, QObject* parent)
    : Transceiver(cmd, true, parent)
{
    cmd_.setWriter(
        [this](const quint8* data, quint32 length, int timeoutMs) { return write(data, length, timeoutMs); });
}

Transceiver::Transceiver(HostCmd& cmd, bool ownsWriter, QObject* parent)
    : QObject(parent)
    , cmd_(cmd)
    , ownsWriter_(ownsWriter)
    , usb_(new UsbPrinter(cmd, this))
    , tcp_(new TcpPrinter(cmd, this))
{
    // Queued: USB reports connected() from inside usbOpen, before openUsb has
    // set the link state that the handshake write needs.
    connect(usb_, &UsbPrinter::connected, this, &Transceiver::onConnected, Qt::QueuedConnection);
    connect(usb_, &UsbPrinter::disconnected, this, &Transceiver::disconnected);
    connect(usb_, &UsbPrinter::bytesWritten, this, &Transceiver::bytesWritten);
    connect(tcp_, &TcpPrinter::connected, this, &Transceiver::onConnected, Qt::QueuedConnection);
    connect(tcp_, &TcpPrinter::disconnected, this, &Transceiver::disconnected);
    connect(tcp_, &TcpPrinter::bytesWritten, this, &Transceiver::bytesWritten);
    connect(&cmd_, &HostCmd::deviceFound, this, &Transceiver::onDeviceFound, Qt::QueuedConnection);
}

Transceiver::~Transceiver()
{
    if (ownsWriter_)
        cmd_.setWriter({});
}

bool Transceiver::openUsb(const QString& interfacePath, bool probe)
{
    if (linkState_ != None)
        return false;
    // A partial packet of an earlier link must not corrupt this link's first one.
    cmd_.resetReassembly();
    if (!usb_->usbOpen(interfacePath))
        return false;
    linkState_ = Usb;
    hostAddress_.clear();
    probe_ = probe;
    return true;
}

bool Transceiver::openTcp(const QHostAddress& address, quint16 port)
{
    if (linkState_ != None)
        return false;
    cmd_.resetReassembly();
    if (!tcp_->connectToHost(address, port))
        return false;
    linkState_ = Tcp;
    hostAddress_ = address;
    hostPort_ = port;
    return true;
}

void Transceiver::close()
{
    usb_->usbClose();
    tcp_->close();
    linkState_ = None;
    probe_ = false;
}

bool Transceiver::write(const void* data, quint32 length, qint32 timeoutMs, const QObject* writer)
{
    if (holder_ && holder_ != writer) {
        LOG("%u bytes not written: a file upload holds the link", length);
        return false;
    }
    switch (linkState_) {
    case Usb:
        return usb_->write(data, length, uint32_t(timeoutMs));
    case Tcp:
        return tcp_->write(data, length, timeoutMs);
    default:
        return false;
    }
}

bool Transceiver::hold(QObject* holder)
{
    if (holder_ && holder_ != holder)
        return false;
    holder_ = holder;
    return true;
}

void Transceiver::release(const QObject* holder)
{
    if (holder_ == holder)
        holder_.clear();
}

void Transceiver::onConnected()
{
    cmd_.sendHandshake(modifiers_() == Qt::ShiftModifier);
}

void Transceiver::onDeviceFound(host_cmd_dev_info_t devinfo)
{
    Q_UNUSED(devinfo);
    if (!probe_)
        Q_EMIT connected();
}
