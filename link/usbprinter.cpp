#include "link/usbprinter.h"

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/usbdevice.h"

#include <vector>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <cerrno>
#endif

namespace {

// One per configured VID/PID pair, in configuration order.
QStringList matchPatterns;

#if defined(Q_OS_WIN)
constexpr uint32_t kNameTooLong = ERROR_FILENAME_EXCED_RANGE;
#else
constexpr uint32_t kNameTooLong = ENAMETOOLONG;
#endif

void logFailure(const UsbResult& result)
{
    switch (result.call) {
    case UsbCall::Open:
        LOG("CreateFile failed (err=%u).", result.error);
        break;
    case UsbCall::Read:
        LOG("ReadFile failed (err=%u).", result.error);
        break;
    case UsbCall::Write:
        LOG("WriteFile failed (err=%u).", result.error);
        break;
    case UsbCall::Wait:
        LOG("WaitForSingleObject failed (ret=0x%x, err=%u).", result.waitResult, result.error);
        break;
    case UsbCall::OverlappedResult:
        LOG("GetOverlappedResult failed.");
        break;
    case UsbCall::None:
        break;
    }
}

} // namespace

UsbPrinter::UsbPrinter(QObject* parent)
    : UsbPrinter(hostCmd, parent)
{
}

UsbPrinter::UsbPrinter(HostCmd& cmd, QObject* parent)
    : QThread(parent)
    , cmd_(cmd)
    , device_(createUsbDevice())
{
    matchPatterns.clear();
    for (quint32 entry : qAsConst(conf.vidPidList))
        matchPatterns.append(QString::asprintf("usb#vid_%04x&pid_%04x", entry >> 16, entry & 0xFFFF));
    connect(this, &UsbPrinter::readerEnded, this, &UsbPrinter::onReaderEnded, Qt::QueuedConnection);
}

UsbPrinter::~UsbPrinter()
{
    usbClose();
}

QStringList UsbPrinter::enumerate()
{
    std::vector<std::u16string> paths;
    if (!createUsbDevice()->interfaces(paths)) {
        LOG("SetupDiGetClassDevs failed.");
        return {};
    }
    QStringList result;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (paths[i].empty())
            continue;
        const QString path = QString::fromStdU16String(paths[i]);
        LOG("%u: %s", unsigned(i + 1), path.toLatin1().constData());
        for (const QString& pattern : qAsConst(matchPatterns)) {
            if (path.contains(pattern, Qt::CaseInsensitive))
                result.append(path);
        }
    }
    return result;
}

bool UsbPrinter::usbOpen(QString interfaceName)
{
    if (device_->isOpen())
        return false;
    if (interfaceName.size() > kMaxInterfaceName) {
        LOG("CreateFile failed (err=%u).", kNameTooLong);
        return false;
    }
    const UsbResult opened = device_->open(interfaceName.toStdU16String());
    if (opened.outcome != UsbResult::Done) {
        logFailure(opened);
        return false;
    }
    stop_ = false;
    ++reader_;
    interfaceName_ = interfaceName;
    LOG("USB opened.");
    start();
    Q_EMIT connected();
    return true;
}

void UsbPrinter::usbClose()
{
    if (device_->isOpen()) {
        stop_ = true;
        device_->stop();
        wait();
    }
    bool wasOpen = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        wasOpen = device_->isOpen();
        if (wasOpen) {
            device_->close();
            LOG("USB closed.");
        }
    }
    if (wasOpen)
        Q_EMIT disconnected();
    interfaceName_.clear();
}

bool UsbPrinter::write(const void* data, uint32_t size, uint32_t milliseconds)
{
    if (!device_->isOpen())
        return false;
    const UsbResult written = device_->write(data, size, milliseconds);
    if (written.outcome != UsbResult::Done) {
        logFailure(written);
        return false;
    }
    if (milliseconds == 0)
        return true;
    Q_EMIT bytesWritten(qint64(written.bytes));
    return true;
}

void UsbPrinter::run()
{
    LOG("thread started");
    const quint64 reader = reader_;
    // No lock while reading, which can wait for ever: the device is closed
    // only once this thread has ended.
    while (!stop_) {
        const UsbResult result = device_->read(readBuffer_.data(), kReadChunk);
        if (result.outcome == UsbResult::Stopped || stop_)
            break;
        if (result.outcome == UsbResult::Failed) {
            logFailure(result);
            // A failed wait or result may pass; a read that cannot be issued
            // means the device is gone.
            if (result.call == UsbCall::Read)
                break;
            continue;
        }
        cmd_.receiveAll(readBuffer_.data(), result.bytes);
    }
    LOG("thread exited");
    // The end is handed over under the lock that the close takes after
    // waiting for this thread (QThread's own wait is not seen by thread
    // checkers), and the device is closed on the thread it belongs to.
    const std::lock_guard<std::mutex> lock(mutex_);
    Q_EMIT readerEnded(reader, QPrivateSignal());
}

void UsbPrinter::onReaderEnded(quint64 reader)
{
    // A reader that ended on its own leaves a device that stopped answering.
    // The late notice of one that usbClose already waited for is ignored: a
    // device opened since then has a reader running and must stay open.
    if (reader == reader_)
        usbClose();
}
