#include "tools/printersim/simpty.h"

#include "tools/printersim/simprinter.h"
#include "tools/printersim/simrawprint.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

// The master side as a device the session can read and write. Writes the
// host does not take yet wait here until the pty has room. With a raw
// stream, reads yield only the session's bytes; the stream keeps the print data.
class PtyMaster final : public QIODevice
{
public:
    PtyMaster(int fd, SimUsbStream* raw, QObject* parent)
        : QIODevice(parent)
        , fd_(fd)
        , raw_(raw)
        , reader_(new QSocketNotifier(fd, QSocketNotifier::Read, this))
        , writer_(new QSocketNotifier(fd, QSocketNotifier::Write, this))
    {
        writer_->setEnabled(false);
        connect(reader_, &QSocketNotifier::activated, this, [this] { Q_EMIT readyRead(); });
        connect(writer_, &QSocketNotifier::activated, this, [this] { flush(); });
        QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    ~PtyMaster() override { PtyMaster::close(); }

    bool isSequential() const override { return true; }

    // Reads stop at `limit` bytes in all; then `reached` runs, once, from the event loop.
    void setReadLimit(qint64 limit, std::function<void()> reached)
    {
        limit_ = limit;
        reached_ = std::move(reached);
    }

    void close() override
    {
        if (fd_ < 0)
            return;
        QIODevice::close();
        if (raw_)
            raw_->finish();
        reader_->setEnabled(false);
        writer_->setEnabled(false);
        ::close(fd_);
        fd_ = -1;
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (fd_ < 0)
            return -1;
        if (!raw_)
            return readFd(data, maxSize);
        // A read of print data only is no end of the stream: read on.
        while (packets_.isEmpty()) {
            char buffer[4096];
            const qint64 n = readFd(buffer, sizeof buffer);
            if (n <= 0)
                return packets_.isEmpty() ? n : 0;
            packets_ += raw_->take(QByteArray(buffer, int(n)));
        }
        const int n = int(qMin(maxSize, qint64(packets_.size())));
        std::memcpy(data, packets_.constData(), size_t(n));
        packets_.remove(0, n);
        return n;
    }

    qint64 writeData(const char* data, qint64 size) override
    {
        if (fd_ < 0)
            return -1;
        pending_.append(data, int(size));
        flush();
        return size;
    }

private:
    qint64 readFd(char* data, qint64 maxSize)
    {
        if (limit_ >= 0)
            maxSize = qMin(maxSize, limit_ - readTotal_);
        const ssize_t n = maxSize > 0 ? ::read(fd_, data, size_t(maxSize)) : 0;
        if (n > 0)
            readTotal_ += n;
        if (limit_ >= 0 && readTotal_ >= limit_ && reached_) {
            // Not from inside the session's read.
            QTimer::singleShot(0, parent(), std::exchange(reached_, nullptr));
        }
        if (n >= 0)
            return n;
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    }

    void flush()
    {
        while (!pending_.isEmpty()) {
            const ssize_t n = ::write(fd_, pending_.constData(), size_t(pending_.size()));
            if (n > 0) {
                pending_.remove(0, int(n));
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                break;
            } else {
                pending_.clear();
            }
        }
        writer_->setEnabled(!pending_.isEmpty());
    }

    int fd_;
    SimUsbStream* raw_;
    QByteArray packets_;
    QSocketNotifier* reader_;
    QSocketNotifier* writer_;
    QByteArray pending_;
    qint64 limit_ = -1;
    qint64 readTotal_ = 0;
    std::function<void()> reached_;
};

// No echo, no line editing, no XON/XOFF: packets carry 0x11 and 0x13.
bool makeRaw(int fd)
{
    termios attributes = {};
    if (::tcgetattr(fd, &attributes) != 0)
        return false;
    ::cfmakeraw(&attributes);
    return ::tcsetattr(fd, TCSANOW, &attributes) == 0;
}

QString systemError(const char* call)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(call), QString::fromLocal8Bit(std::strerror(errno)));
}

// [0] written by the handler, [1] read on the event loop.
int signalPipe[2] = {-1, -1};

extern "C" void onUnplugSignal(int)
{
    const char byte = 1;
    // Nothing to do on failure inside a signal handler.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

SimPty::SimPty(SimPrinter* printer, const SimKeys& keys, QObject* parent)
    : QObject(parent)
    , printer_(printer)
    , keys_(keys)
{
}

SimPty::~SimPty()
{
    release();
    if (signalNotifier_) {
        std::signal(signalNumber_, SIG_DFL);
        delete signalNotifier_;
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

bool SimPty::open(const QString& linkPath, QString& error)
{
    if (isOpen()) {
        error = QStringLiteral("the pseudo-terminal is open already");
        return false;
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = systemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        error = systemError("unlockpt");
        ::close(master);
        return false;
    }
    // Held open for the whole run: the host opening and closing the slave
    // then never hangs up the master.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = systemError(name);
        ::close(master);
        return false;
    }
    if (!makeRaw(master) || !makeRaw(slave) || ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        error = systemError("tcsetattr");
        ::close(slave);
        ::close(master);
        return false;
    }
    if (QFileInfo(linkPath).isSymLink())
        QFile::remove(linkPath);
    if (::symlink(name, QFile::encodeName(linkPath).constData()) != 0) {
        error = systemError("symlink");
        ::close(slave);
        ::close(master);
        return false;
    }

    slaveFd_ = slave;
    slavePath_ = QString::fromLocal8Bit(name);
    linkPath_ = linkPath;
    auto* raw = capture_ ? new SimUsbStream(capture_, this) : nullptr;
    auto* device = new PtyMaster(master, raw, this);
    device->setObjectName(QStringLiteral("usb %1").arg(slavePath_));
    master_ = device;
    const qint64 closeAfter = printer_->faults().ptyCloseAfter;
    if (closeAfter >= 0)
        device->setReadLimit(closeAfter, [this, closeAfter] {
            if (!isOpen())
                return;
            printer_->log(QString(), QStringLiteral("fault: USB closed after %1 bytes read").arg(closeAfter));
            release();
            Q_EMIT unplugged();
        });
    auto* session = new SimSession(device, printer_, keys_, this);
    if (raw)
        connect(session, &SimSession::uploadAccepted, raw, &SimUsbStream::passThrough);
    return true;
}

void SimPty::unplug()
{
    if (!isOpen())
        return;
    printer_->log(QString(), QStringLiteral("USB unplugged"));
    release();
    Q_EMIT unplugged();
}

bool SimPty::unplugOnSignal(int signalNumber)
{
    if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    ::fcntl(signalPipe[0], F_SETFL, ::fcntl(signalPipe[0], F_GETFL) | O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = onUnplugSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(signalNumber, &action, nullptr) != 0) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
        return false;
    }
    signalNumber_ = signalNumber;
    signalNotifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalPipe[1], &byte, 1) == 1)
            unplug();
    });
    return true;
}

void SimPty::release()
{
    // The master first: closing it hangs up the host's end.
    if (master_)
        master_->close();
    if (slaveFd_ >= 0) {
        ::close(slaveFd_);
        slaveFd_ = -1;
    }
    if (!linkPath_.isEmpty() && QFileInfo(linkPath_).isSymLink())
        QFile::remove(linkPath_);
}
