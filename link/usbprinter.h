#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class HostCmd;
class UsbDevice;

// USB transport of the Transceiver: a printer-class device opened for reading
// (on this thread, which feeds HostCmd) and writing (on the caller's).
class UsbPrinter final : public QThread
{
    Q_OBJECT

public:
    static constexpr uint32_t kReadChunk = 8192;
    // UTF-16 code units; Windows takes the path in a buffer of 256 with its NUL.
    static constexpr int kMaxInterfaceName = 255;
    static constexpr uint32_t kDefaultWriteTimeoutMs = 100;

    // Rebuilds the process-wide match patterns from `conf.vidPidList`. Feeds
    // what it reads to the process-wide HostCmd, or to `cmd`.
    explicit UsbPrinter(QObject* parent = nullptr);
    explicit UsbPrinter(HostCmd& cmd, QObject* parent = nullptr);
    ~UsbPrinter() override;

    // Interface paths of the present USB printers that match a configured
    // VID/PID pair, once per matching pair, in enumeration order.
    static QStringList enumerate();

    // Path of the open device; empty when closed.
    QString interfaceName() const { return interfaceName_; }

public Q_SLOTS:
    bool usbOpen(QString interfaceName);
    void usbClose();
    bool write(const void* data, uint32_t size, uint32_t milliseconds = kDefaultWriteTimeoutMs);

Q_SIGNALS:
    void connected();
    void disconnected();
    void bytesWritten(qint64 bytes);
    // From the reader thread as it ends; `reader` counts the readers started.
    void readerEnded(quint64 reader, QPrivateSignal);

protected:
    void run() override;

private:
    void onReaderEnded(quint64 reader);

    HostCmd& cmd_;
    // Taken by the reader as it ends and by the close after waiting for it,
    // around the device's closing; never held while the reader waits for bytes.
    std::mutex mutex_;
    QString interfaceName_;
    std::unique_ptr<UsbDevice> device_;
    std::atomic<bool> stop_ {false};
    // Counts the readers started; written before each start.
    quint64 reader_ = 0;
    std::array<quint8, kReadChunk> readBuffer_ {};
};
