#pragma once

#include "link/hostcmd.h"
#include "link/tcpprinter.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <functional>

class UsbPrinter;

// Owner of the one link to the printer: routes writes to the open transport,
// runs the handshake when a transport comes up and reports `connected()` once
// the printer has answered it.
class Transceiver final : public QObject
{
    Q_OBJECT

public:
    enum LinkState : qint32 { None = 0, Usb = 1, Tcp = 2 };

    // On the process-wide HostCmd, which writes through the global pointer.
    explicit Transceiver(QObject* parent = nullptr);
    // On a HostCmd of its own, made to write through this link; `cmd` must
    // outlive the link, whose USB reader feeds it.
    explicit Transceiver(HostCmd& cmd, QObject* parent = nullptr);
    ~Transceiver() override;

    bool openUsb(const QString& interfacePath, bool probe);
    bool openTcp(const QHostAddress& address, quint16 port = TcpPrinter::kPort);
    void close();
    // Refused (false, logged) while the link is held by another than `writer`.
    bool write(const void* data, quint32 length, qint32 timeoutMs, const QObject* writer = nullptr);

    // A file upload's raw bytes must reach the printer unbroken: while a
    // holder has the link, only its own writes go. False when another holds it.
    bool hold(QObject* holder);
    void release(const QObject* holder);
    bool isHeld() const { return !holder_.isNull(); }

    qint32 linkState() const { return linkState_; }
    QHostAddress hostAddress() const { return hostAddress_; }
    quint16 hostPort() const { return hostPort_; }
    TcpPrinter* tcpPrinter() const { return tcp_; }
    UsbPrinter* usbPrinter() const { return usb_; }

    // Where the Shift state comes from when the handshake nonce is chosen:
    // the keyboard in the application; without a source, no key is held.
    void setModifierSource(std::function<Qt::KeyboardModifiers()> source) { modifiers_ = std::move(source); }

Q_SIGNALS:
    void connected();
    void disconnected();
    void bytesWritten(qint64 bytes);

private Q_SLOTS:
    void onConnected();
    void onDeviceFound(host_cmd_dev_info_t devinfo);

private:
    Transceiver(HostCmd& cmd, bool ownsWriter, QObject* parent);

    HostCmd& cmd_;
    bool ownsWriter_ = false;
    UsbPrinter* usb_;
    TcpPrinter* tcp_;
    qint32 linkState_ = None;
    QHostAddress hostAddress_;
    quint16 hostPort_ = TcpPrinter::kPort;
    bool probe_ = false;
    QPointer<QObject> holder_;
    std::function<Qt::KeyboardModifiers()> modifiers_ = [] { return Qt::KeyboardModifiers(); };
};

extern Transceiver* transceiver;
