#pragma once

// Doubles for the USB suites: a raw pseudo-terminal pair whose slave stands
// in for a usblp node, and a fake sysfs and /dev tree the Linux platform
// layer reads instead of the real ones.

#include "../linkfixture.h"
#include "link/usbdevice.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// Record 01 00 padded with fourteen 0E under the all-zero session key of a
// process without a handshake: the read request for type 1, and also the
// shortest reply to it. Computed with
//   openssl enc -aes-128-cbc -nopad -K 00000000000000000000000000000000
//       -iv a1047d3be952c8166f2a94dd30b75e83
inline const QByteArray kType1Packet = QByteArray::fromHex("10011101692d7f12efcdc0e924781674e0071d17");

class PtyPair final
{
public:
    PtyPair()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0
            || ::ptsname_r(master_, name, sizeof name) != 0)
            return;
        slavePath_ = QString::fromLocal8Bit(name);
        // Held open so that the device under test opening and closing the
        // slave never hangs up the master.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        raw_ = slave_ >= 0 && makeRaw(master_) && makeRaw(slave_);
    }
    ~PtyPair()
    {
        for (int fd : {master_, slave_}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return raw_; }
    QString slavePath() const { return slavePath_; }

    // Fills the slave-to-master direction until it takes nothing for a
    // while; returns the bytes it took.
    qint64 fillTowardsMaster(char value)
    {
        const QByteArray chunk(4096, value);
        qint64 total = 0;
        for (;;) {
            const ssize_t n = ::write(slave_, chunk.constData(), size_t(chunk.size()));
            if (n > 0) {
                total += n;
                continue;
            }
            // The kernel moves bytes on to the master's line discipline
            // in the background; full means no room appears for a while.
            pollfd fd = {slave_, POLLOUT, 0};
            if (::poll(&fd, 1, 200) > 0)
                continue;
            const ssize_t last = ::write(slave_, chunk.constData(), size_t(chunk.size()));
            if (last <= 0)
                return total;
            total += last;
        }
    }

    // Reads what the device under test wrote until `count` bytes are in or
    // nothing comes for `idleMs`.
    QByteArray readFromMaster(qint64 count, int idleMs = 5000)
    {
        QByteArray data;
        char buffer[8192];
        while (data.size() < count) {
            pollfd fd = {master_, POLLIN, 0};
            if (::poll(&fd, 1, idleMs) <= 0)
                break;
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            data.append(buffer, int(n));
        }
        return data;
    }

    bool writeToMaster(const QByteArray& data)
    {
        return ::write(master_, data.constData(), size_t(data.size())) == data.size();
    }

private:
    static bool makeRaw(int fd)
    {
        termios attributes = {};
        if (::tcgetattr(fd, &attributes) != 0)
            return false;
        ::cfmakeraw(&attributes);
        return ::tcsetattr(fd, TCSANOW, &attributes) == 0;
    }

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    bool raw_ = false;
};

// sys/devices/... with one USB device and its printer interface per printer,
// sys/class/usbmisc/lpN linking to the interface's class entry as sysfs
// does, and dev/usb/lpN as a symbolic link to whatever stands in for the node.
class FakeUsbTree final
{
public:
    FakeUsbTree()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("sys/class/usbmisc"));
        QDir(dir_.path()).mkpath(QStringLiteral("dev/usb"));
        setUsbDeviceRoots(QFile::encodeName(sysfsRoot()).toStdString(), QFile::encodeName(devRoot()).toStdString());
    }
    ~FakeUsbTree() { setUsbDeviceRoots(kUsbDefaultSysfsRoot, kUsbDefaultDevRoot); }
    FakeUsbTree(const FakeUsbTree&) = delete;
    FakeUsbTree& operator=(const FakeUsbTree&) = delete;

    bool isValid() const { return dir_.isValid(); }
    QString sysfsRoot() const { return dir_.filePath(QStringLiteral("sys/class/usbmisc")); }
    QString devRoot() const { return dir_.filePath(QStringLiteral("dev/usb")); }
    QString path(const QString& relative) const { return dir_.filePath(relative); }

    // `vendor` and `product` as sysfs writes them; empty leaves them out.
    // `node` empty: no device node.
    bool addPrinter(const QString& name, const QString& vendor, const QString& product, const QString& node = {})
    {
        const QString usbDevice = QStringLiteral("sys/devices/usb1/1-%1").arg(++devices_);
        const QString interface = usbDevice + QStringLiteral("/1-%1:1.0").arg(devices_);
        const QString classEntry = interface + QStringLiteral("/usbmisc/") + name;
        QDir root(dir_.path());
        if (!root.mkpath(classEntry))
            return false;
        if (!vendor.isEmpty() && !writeText(usbDevice + QStringLiteral("/idVendor"), vendor + QLatin1Char('\n')))
            return false;
        if (!product.isEmpty() && !writeText(usbDevice + QStringLiteral("/idProduct"), product + QLatin1Char('\n')))
            return false;
        return link(QStringLiteral("../../../") + QFileInfo(interface).fileName(),
                   classEntry + QStringLiteral("/device"))
            && link(QStringLiteral("../../devices/usb1/") + QFileInfo(usbDevice).fileName() + QLatin1Char('/')
                    + QFileInfo(interface).fileName() + QStringLiteral("/usbmisc/") + name,
                QStringLiteral("sys/class/usbmisc/") + name)
            && (node.isEmpty() || link(node, QStringLiteral("dev/usb/") + name));
    }

    // What the platform layer lists for a printer with IDs.
    QString interfacePath(const QString& name, const QString& vendor, const QString& product) const
    {
        return devRoot() + QLatin1Char('/') + name + QStringLiteral("?usb#vid_%1&pid_%2").arg(vendor, product);
    }

private:
    bool writeText(const QString& relative, const QString& text)
    {
        QFile file(dir_.filePath(relative));
        return file.open(QIODevice::WriteOnly) && file.write(text.toLatin1()) == text.size();
    }
    bool link(const QString& target, const QString& relative)
    {
        return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(dir_.filePath(relative)).constData())
            == 0;
    }

    QTemporaryDir dir_;
    int devices_ = 0;
};
