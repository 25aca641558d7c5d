#include "link/transceiver.h"

#include "app/debuglog.h"
#include "link/tcpprinter.h"
#include "link/usbprinter.h"

Transceiver* transceiver = nullptr;

Transceiver::Transceiver(QObject* parent)
    : QObject(parent)
    , usb_(new UsbPrinter(this))
    , tcp_(new TcpPrinter(this))
{
    // Queued: USB reports connected() from inside usbOpen, before openUsb has
    // set the link state that the handshake write needs.
    connect(usb_, &UsbPrinter::connected, this, &Transceiver::onConnected, Qt::QueuedConnection);
    connect(usb_, &UsbPrinter::disconnected, this, &Transceiver::disconnected);
    connect(usb_, &UsbPrinter::bytesWritten, this, &Transceiver::bytesWritten);
    connect(tcp_, &TcpPrinter::connected, this, &Transceiver::onConnected, Qt::QueuedConnection);
    connect(tcp_, &TcpPrinter::disconnected, this, &Transceiver::disconnected);
    connect(tcp_, &TcpPrinter::bytesWritten, this, &Transceiver::bytesWritten);
    connect(&hostCmd, &HostCmd::deviceFound, this, &Transceiver::onDeviceFound, Qt::QueuedConnection);
}

bool Transceiver::openUsb(const QString& interfacePath, bool probe)
{
    if (linkState_ != None)
        return false;
    // A partial packet of an earlier link must not corrupt this link's first one.
    hostCmd.resetReassembly();
    if (!usb_->usbOpen(interfacePath))
        return false;
    linkState_ = Usb;
    hostAddress_.clear();
    probe_ = probe;
    return true;
}

bool Transceiver::openTcp(const QHostAddress& address)
{
    if (linkState_ != None)
        return false;
    hostCmd.resetReassembly();
    if (!tcp_->connectToHost(address, TcpPrinter::kPort))
        return false;
    linkState_ = Tcp;
    hostAddress_ = address;
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
    hostCmd.sendHandshake(modifiers_() == Qt::ShiftModifier);
}

void Transceiver::onDeviceFound(host_cmd_dev_info_t devinfo)
{
    Q_UNUSED(devinfo);
    if (!probe_)
        Q_EMIT connected();
}
