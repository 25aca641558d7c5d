#pragma once

// Doubles for the USB suites: a raw pseudo-terminal pair whose slave stands
// in for a usblp node, and a fake sysfs and /dev tree the Linux platform
// layer reads instead of the real ones.

#include "../linkfixture.h"
#include "link/usbdevice.h"

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>

class PtyPair final
{
public:
    PtyPair()
    {
        char name[128] = {};
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0
            || ::ptsname_r(master_, name, sizeof name) != 0)
            return;
        // Held open so that the device under test opening and closing the
        // slave never hangs up the master.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        const auto makeRaw = [](int fd) {
            termios attributes = {};
            return ::tcgetattr(fd, &attributes) == 0 && (::cfmakeraw(&attributes), true)
                && ::tcsetattr(fd, TCSANOW, &attributes) == 0;
        };
        if (slave_ >= 0 && makeRaw(master_) && makeRaw(slave_))
            slavePath_ = QString::fromLocal8Bit(name);
    }
    ~PtyPair() { ::close(master_), ::close(slave_); }
    Q_DISABLE_COPY(PtyPair)

    bool isValid() const { return !slavePath_.isEmpty(); }
    QString slavePath() const { return slavePath_; }
    int slaveFd() const { return slave_; }

    // Fills the slave-to-master direction until it takes nothing for a
    // while; returns the bytes it took.
    qint64 fillTowardsMaster(char value)
    {
        const QByteArray chunk(4096, value);
        for (qint64 total = 0;;) {
            // The kernel moves bytes on to the master's line discipline in
            // the background; full means no room appears for a while, and
            // one more write takes nothing.
            pollfd fd = {slave_, POLLOUT, 0};
            const bool room = ::poll(&fd, 1, 200) > 0;
            const ssize_t n = ::write(slave_, chunk.constData(), size_t(chunk.size()));
            if (n <= 0 && !room)
                return total;
            total += qMax<ssize_t>(n, 0);
        }
    }

    // Reads what the device under test wrote until `count` bytes are in or
    // nothing comes for `waitMs`.
    QByteArray readFromMaster(qint64 count, int waitMs = 5000)
    {
        QByteArray data;
        char buffer[8192];
        pollfd fd = {master_, POLLIN, 0};
        for (ssize_t n = 0;
             data.size() < count && ::poll(&fd, 1, waitMs) > 0 && (n = ::read(master_, buffer, sizeof buffer)) > 0;)
            data.append(buffer, int(n));
        return data;
    }

    bool writeToMaster(const QByteArray& data)
    {
        return ::write(master_, data.constData(), size_t(data.size())) == data.size();
    }

private:
    int master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC), slave_ = -1;
    // Set once the pair is open and raw.
    QString slavePath_;
};

// sys/devices/... with one USB device and its printer interface per printer,
// and sys/class/usbmisc/lpN linking to the interface's class entry as sysfs
// does; the nodes dev/usb/lpN are left to whoever stands in for them.
class FakeUsbTree final
{
public:
    FakeUsbTree()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("sys/class/usbmisc"));
        QDir(dir_.path()).mkpath(QStringLiteral("dev/usb"));
        setUsbDeviceRoots(QFile::encodeName(path(QStringLiteral("sys/class/usbmisc"))).toStdString(),
            QFile::encodeName(devRoot()).toStdString());
    }
    ~FakeUsbTree() { setUsbDeviceRoots(kUsbDefaultSysfsRoot, kUsbDefaultDevRoot); }

    QString devRoot() const { return path("dev/usb"); }
    QString path(const QString& relative) const { return dir_.filePath(relative); }

    // `vendor` and `product` as sysfs writes them; empty leaves them out.
    bool addPrinter(const QString& name, const QString& vendor, const QString& product)
    {
        const QString port = QString("1-%1").arg(++devices_), usbDevice = "sys/devices/usb1/" + port;
        const QString interface = port + ":1.0", classEntry = usbDevice + '/' + interface + "/usbmisc/" + name;
        const auto id = [this, &usbDevice](const char* file, const QString& value) {
            return value.isEmpty() || !writeScratchFile(path(usbDevice + file), value.toLatin1() + '\n').isEmpty();
        };
        const auto link = [this](const QString& target, const QString& relative) {
            return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(relative)).constData()) == 0;
        };
        return QDir(dir_.path()).mkpath(classEntry) && id("/idVendor", vendor) && id("/idProduct", product)
            && link("../../../" + interface, classEntry + "/device")
            && link("../../" + classEntry.mid(4), "sys/class/usbmisc/" + name);
    }

    // What the platform layer lists for a printer with IDs.
    QString interfacePath(const QString& name, const QString& vendor, const QString& product) const
    {
        return devRoot() + QLatin1Char('/') + name + QStringLiteral("?usb#vid_%1&pid_%2").arg(vendor, product);
    }

    // Printer lp0 with the first default IDs, served by `sim` on its
    // pseudo-terminal, and its path as listed.
    bool serve(SimProcess& sim, const QStringList& arguments = {})
    {
        return addPrinter("lp0", "5a7c", "0002")
            && sim.start(QStringList {"--usb-pty", devRoot() + "/lp0"} + arguments);
    }
    QString lp0() const { return interfacePath("lp0", "5a7c", "0002"); }

private:
    QTemporaryDir dir_;
    int devices_ = 0;
};
