#include "link/usbprinter.h"

UsbPrinter::UsbPrinter(QObject* parent)
    : QThread(parent)
{
    connect(this, &QThread::finished, this, &UsbPrinter::usbClose);
}

UsbPrinter::~UsbPrinter()
{
    usbClose();
}

QStringList UsbPrinter::enumerate()
{
    return {};
}

bool UsbPrinter::usbOpen(QString interfaceName)
{
    Q_UNUSED(interfaceName);
    return false;
}

void UsbPrinter::usbClose()
{
    if (isRunning()) {
        stop_ = true;
        wait();
    }
    interfaceName_.clear();
}

bool UsbPrinter::write(const void* data, uint32_t size, uint32_t milliseconds)
{
    Q_UNUSED(data);
    Q_UNUSED(size);
    Q_UNUSED(milliseconds);
    return false;
}

void UsbPrinter::run() { }
