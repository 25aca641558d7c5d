#include "link/usbdevice.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

std::string sysfsRoot = kUsbDefaultSysfsRoot;
std::string devRoot = kUsbDefaultDevRoot;

constexpr char kIdsMark[] = "?usb#";

// File names are UTF-8 here; the interface speaks UTF-16 like Windows.
std::string toUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Bytes that are not UTF-8 become U+FFFD; such a path cannot be opened again,
// but it still shows in the log.
std::u16string toUtf16(const std::string& text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = uint8_t(text[i]);
        int extra = -1;
        uint32_t c = 0;
        if (lead < 0x80) {
            extra = 0;
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            c = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            c = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            c = lead & 0x07;
        }
        bool valid = extra >= 0 && i + size_t(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = uint8_t(text[i + size_t(k)]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        static const uint32_t shortest[4] = {0, 0x80, 0x800, 0x10000};
        valid = valid && c >= shortest[extra];
        if (!valid || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            out += char16_t(0xFFFD);
            ++i;
            continue;
        }
        i += size_t(extra) + 1;
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

// A sysfs ID attribute: four hexadecimal digits and a line end.
bool readId(const std::string& path, std::string& id)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[16] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n < 4)
        return false;
    id.assign(text, 4);
    return std::all_of(id.begin(), id.end(), [](char c) { return std::isxdigit((unsigned char)(c)) != 0; })
        && (n == 4 || std::isspace((unsigned char)(text[4])));
}

// "lp" and a number; ordered by that number, as the kernel counts them.
bool lpNumber(const char* name, unsigned long& number)
{
    if (std::strncmp(name, "lp", 2) != 0 || !std::isdigit((unsigned char)(name[2])))
        return false;
    char* end = nullptr;
    number = std::strtoul(name + 2, &end, 10);
    return *end == '\0';
}

bool retryable(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

class LinuxUsbDevice final : public UsbDevice
{
public:
    LinuxUsbDevice(std::string sysfs, std::string dev)
        : sysfs_(std::move(sysfs))
        , dev_(std::move(dev))
    {
    }
    ~LinuxUsbDevice() override { close(); }

    bool interfaces(std::vector<std::u16string>& paths) override
    {
        DIR* dir = ::opendir(sysfs_.c_str());
        if (!dir)
            // Without any usblp device the class is not there at all.
            return errno == ENOENT;
        std::vector<std::pair<unsigned long, std::string>> names;
        while (const dirent* entry = ::readdir(dir)) {
            unsigned long number = 0;
            if (lpNumber(entry->d_name, number))
                names.emplace_back(number, entry->d_name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());

        for (const auto& name : names) {
            // The class entry's device is the printer interface; the IDs
            // belong to the USB device above it.
            const std::string usbDevice = sysfs_ + '/' + name.second + "/device/../";
            std::string path = dev_ + '/' + name.second;
            std::string vendor;
            std::string product;
            if (readId(usbDevice + "idVendor", vendor) && readId(usbDevice + "idProduct", product))
                path += kIdsMark + ("vid_" + vendor) + "&pid_" + product;
            paths.push_back(toUtf16(path));
        }
        return true;
    }

    UsbResult open(const std::u16string& path) override
    {
        if (fd_ >= 0)
            return UsbResult::failed(UsbCall::Open, EBUSY);
        std::string node = toUtf8(path);
        const size_t mark = node.rfind(kIdsMark);
        if (mark != std::string::npos)
            node.erase(mark);
        // Non-blocking, so that a write can give up at its timeout and a read
        // never blocks past the poll that woke it.
        const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return UsbResult::failed(UsbCall::Open, uint32_t(errno));
        const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake < 0) {
            const int error = errno;
            ::close(fd);
            return UsbResult::failed(UsbCall::Open, uint32_t(error));
        }
        fd_ = fd;
        wake_ = wake;
        return UsbResult::done(0);
    }

    bool isOpen() const override { return fd_ >= 0; }

    void close() override
    {
        if (fd_ < 0)
            return;
        ::close(fd_);
        ::close(wake_);
        fd_ = -1;
        wake_ = -1;
    }

    UsbResult read(void* buffer, uint32_t size) override
    {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
        while (::poll(fds, 2, -1) < 0) {
            if (errno != EINTR)
                return UsbResult::failed(UsbCall::Wait, uint32_t(errno), kUsbWaitFailed);
        }
        // The counter is never read back, so a stop before this call is seen too.
        if (fds[1].revents != 0)
            return UsbResult::stopped();
        const ssize_t n = ::read(fd_, buffer, size);
        if (n > 0)
            return UsbResult::done(uint32_t(n));
        const int error = n < 0 ? errno : 0;
        // A hung-up device reads as end of file (a pty) or fails (usblp); a
        // printer may also send an empty packet, which reads as 0 too.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return UsbResult::failed(UsbCall::Read, uint32_t(error != 0 && !retryable(error) ? error : ENODEV));
        if (n < 0 && !retryable(error))
            return UsbResult::failed(UsbCall::Read, uint32_t(error));
        return UsbResult::done(0);
    }

    void stop() override
    {
        const uint64_t one = 1;
        // Only a full counter fails, and that one wakes the reader already.
        if (wake_ >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
        }
    }

    UsbResult write(const void* data, uint32_t size, uint32_t timeoutMs) override
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        const auto* bytes = static_cast<const uint8_t*>(data);
        uint32_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd_, bytes + done, size - done);
            if (n > 0) {
                done += uint32_t(n);
                continue;
            }
            if (n < 0 && !retryable(errno))
                return UsbResult::failed(UsbCall::Write, uint32_t(errno));
            if (timeoutMs == 0)
                break;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return UsbResult::failed(UsbCall::Wait, ETIMEDOUT, kUsbWaitTimeout);
            pollfd fd = {fd_, POLLOUT, 0};
            const int ready = ::poll(&fd, 1, int(left));
            if (ready < 0 && errno != EINTR)
                return UsbResult::failed(UsbCall::Wait, uint32_t(errno), kUsbWaitFailed);
            if (ready == 0)
                return UsbResult::failed(UsbCall::Wait, ETIMEDOUT, kUsbWaitTimeout);
        }
        return UsbResult::done(done);
    }

private:
    std::string sysfs_;
    std::string dev_;
    int fd_ = -1;
    int wake_ = -1;
};

} // namespace

std::unique_ptr<UsbDevice> createUsbDevice()
{
    return std::make_unique<LinuxUsbDevice>(sysfsRoot, devRoot);
}

void setUsbDeviceRoots(const std::string& sysfs, const std::string& dev)
{
    sysfsRoot = sysfs;
    devRoot = dev;
}
