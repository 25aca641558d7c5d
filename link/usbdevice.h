#pragma once

// The platform operations under UsbPrinter: enumeration of the present USB
// printer-class interfaces, and I/O on one of them. Plain C++ without Qt, so
// that the Windows side builds with nothing but the platform's headers.
//
// Linux: the usblp character devices. An interface path is the device node
// followed by "?usb#vid_XXXX&pid_YYYY", e.g.
// "/dev/usb/lp0?usb#vid_5a7c&pid_0002", the IDs as sysfs shows them; the node
// is the text before the last "?usb#". A node whose IDs cannot be read is
// listed as the bare node. Any other text is opened as a node as it is.
//
// Windows: the device interface paths of GUID_DEVINTERFACE_USBPRINT, which
// carry the same "usb#vid_XXXX&pid_YYYY" text.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The platform call a failure belongs to. UsbPrinter writes that call's log
// line, with the same text on every system, so support staff read one set.
enum class UsbCall : uint8_t {
    None,
    Open, // "CreateFile failed (err=%u)."
    Read, // "ReadFile failed (err=%u)."
    Write, // "WriteFile failed (err=%u)."
    Wait, // "WaitForSingleObject failed (ret=0x%x, err=%u)."
    OverlappedResult, // "GetOverlappedResult failed."
};

struct UsbResult
{
    enum Outcome : uint8_t {
        Done, // `bytes` were transferred (0 is possible)
        Stopped, // a read ended by UsbDevice::stop()
        Failed, // `call` failed with `error` (and `waitResult` for UsbCall::Wait)
    };

    Outcome outcome = Done;
    UsbCall call = UsbCall::None;
    uint32_t error = 0;
    uint32_t waitResult = 0;
    uint32_t bytes = 0;

    static UsbResult done(uint32_t bytes) { return {Done, UsbCall::None, 0, 0, bytes}; }
    static UsbResult stopped() { return {Stopped, UsbCall::None, 0, 0, 0}; }
    static UsbResult failed(UsbCall call, uint32_t error, uint32_t waitResult = 0)
    {
        return {Failed, call, error, waitResult, 0};
    }
};

// Wait results as Windows reports them; Linux reports its expired and failed
// waits with the same values.
inline constexpr uint32_t kUsbWaitTimeout = 0x102;
inline constexpr uint32_t kUsbWaitFailed = 0xFFFFFFFF;

// One device at a time. open, close and write run on one thread, read on
// another (never during open or close), stop on any.
class UsbDevice
{
public:
    UsbDevice() = default;
    virtual ~UsbDevice() = default;
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    // The present printer-class interfaces in enumeration order; an empty
    // entry stands for one whose path could not be read. False when the set
    // itself could not be had ("SetupDiGetClassDevs failed.").
    virtual bool interfaces(std::vector<std::u16string>& paths) = 0;

    virtual UsbResult open(const std::u16string& path) = 0;
    virtual bool isOpen() const = 0;
    // Cancels and waits for whatever is still under way, then closes.
    virtual void close() = 0;

    // Waits for bytes without limit; returns early with Stopped once stop()
    // was called, also when that happened before this call.
    virtual UsbResult read(void* buffer, uint32_t size) = 0;
    // Stays in force until the next open.
    virtual void stop() = 0;

    // Waits up to `timeoutMs` for all bytes to go out and cancels the rest.
    // 0 does not wait: the bytes go as far as the device takes them before
    // the next write or the close. Either way `data` is free on return.
    virtual UsbResult write(const void* data, uint32_t size, uint32_t timeoutMs) = 0;
};

std::unique_ptr<UsbDevice> createUsbDevice();

#if !defined(_WIN32)
// Where the Linux side finds the usblp class in sysfs and the device nodes;
// applies to devices created afterwards. Tests point them at a fake tree.
inline constexpr char kUsbDefaultSysfsRoot[] = "/sys/class/usbmisc";
inline constexpr char kUsbDefaultDevRoot[] = "/dev/usb";
void setUsbDeviceRoots(const std::string& sysfsRoot, const std::string& devRoot);
#endif
