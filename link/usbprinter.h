#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <cstdint>

// USB transport of the Transceiver: a printer-class device opened for reading
// (on this thread) and writing (on the caller's). The platform backend is
// not part of this build yet, so no device can be opened.
class UsbPrinter final : public QThread
{
    Q_OBJECT

public:
    explicit UsbPrinter(QObject* parent = nullptr);
    ~UsbPrinter() override;

    // Interface paths of the present USB printers that match the configured
    // VID/PID list.
    static QStringList enumerate();

    QString interfaceName() const { return interfaceName_; }

public Q_SLOTS:
    bool usbOpen(QString interfaceName);
    void usbClose();
    bool write(const void* data, uint32_t size, uint32_t milliseconds = 100);

Q_SIGNALS:
    void connected();
    void disconnected();
    void bytesWritten(qint64 bytes);

protected:
    void run() override;

private:
    QString interfaceName_;
    std::atomic<bool> stop_ {false};
};
