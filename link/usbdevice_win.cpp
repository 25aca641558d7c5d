#include "link/usbdevice.h"

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601 // CancelIoEx
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// setupapi.h needs the types of windows.h.
// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

namespace {

// GUID_DEVINTERFACE_USBPRINT {28d78fad-5a12-11d1-ae5b-0000f803a8c2}
const GUID kUsbPrintInterface = {0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

constexpr DWORD kOpenFlags = 0x68000080;
static_assert(
    kOpenFlags == (FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL),
    "overlapped, unbuffered, sequential, normal");
static_assert(DIGCF_PRESENT == 0x02 && DIGCF_DEVICEINTERFACE == 0x10, "present device interfaces");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows paths are UTF-16");

class WinUsbDevice final : public UsbDevice
{
public:
    WinUsbDevice() = default;
    ~WinUsbDevice() override { close(); }

    bool interfaces(std::vector<std::u16string>& paths) override
    {
        HDEVINFO set
            = SetupDiGetClassDevsW(&kUsbPrintInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE)
            return false;
        SP_DEVICE_INTERFACE_DATA data = {};
        data.cbSize = sizeof data;
        for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbPrintInterface, index, &data); ++index) {
            // The first call only tells the size; it fails by design.
            DWORD required = 0;
            SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
            std::u16string path;
            if (required >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
                // Whole DWORDs keep the structure aligned.
                std::vector<DWORD> buffer((required + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
                auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
                // The fixed part only: 6 bytes on 32-bit Windows.
                detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
                SP_DEVINFO_DATA info = {};
                info.cbSize = sizeof info;
                if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, &info))
                    path = reinterpret_cast<const char16_t*>(detail->DevicePath);
            }
            paths.push_back(path);
        }
        SetupDiDestroyDeviceInfoList(set);
        return true;
    }

    UsbResult open(const std::u16string& path) override
    {
        if (device_ != INVALID_HANDLE_VALUE)
            return UsbResult::failed(UsbCall::Open, ERROR_BUSY);
        HANDLE device = CreateFileW(reinterpret_cast<LPCWSTR>(path.c_str()), GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ, nullptr, OPEN_ALWAYS, kOpenFlags, nullptr);
        if (device == INVALID_HANDLE_VALUE)
            return UsbResult::failed(UsbCall::Open, GetLastError());
        writeEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        readEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        // Manual-reset and apart from the read event: ReadFile resets its
        // event, which would swallow a stop signalled just before the read.
        stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!writeEvent_ || !readEvent_ || !stopEvent_) {
            const DWORD error = GetLastError();
            device_ = device;
            close();
            return UsbResult::failed(UsbCall::Open, error);
        }
        device_ = device;
        return UsbResult::done(0);
    }

    bool isOpen() const override { return device_ != INVALID_HANDLE_VALUE; }

    void close() override
    {
        if (device_ != INVALID_HANDLE_VALUE) {
            settleDetachedWrite(0);
            CloseHandle(device_);
            device_ = INVALID_HANDLE_VALUE;
        }
        for (HANDLE* event : {&writeEvent_, &readEvent_, &stopEvent_}) {
            if (*event) {
                CloseHandle(*event);
                *event = nullptr;
            }
        }
    }

    UsbResult read(void* buffer, uint32_t size) override
    {
        if (WaitForSingleObject(stopEvent_, 0) == WAIT_OBJECT_0)
            return UsbResult::stopped();
        OVERLAPPED overlapped = {};
        overlapped.hEvent = readEvent_;
        if (!ReadFile(device_, buffer, size, nullptr, &overlapped)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING)
                return UsbResult::failed(UsbCall::Read, error);
        }
        HANDLE events[2] = {readEvent_, stopEvent_};
        const DWORD ret = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (ret != WAIT_OBJECT_0) {
            const DWORD error = GetLastError();
            // The block and the buffer must outlive the read: cancel and wait.
            settle(overlapped);
            if (ret == WAIT_OBJECT_0 + 1)
                return UsbResult::stopped();
            return UsbResult::failed(UsbCall::Wait, error, ret);
        }
        DWORD transferred = 0;
        if (!GetOverlappedResult(device_, &overlapped, &transferred, FALSE))
            return UsbResult::failed(UsbCall::OverlappedResult, GetLastError());
        return UsbResult::done(transferred);
    }

    void stop() override
    {
        if (stopEvent_)
            SetEvent(stopEvent_);
    }

    UsbResult write(const void* data, uint32_t size, uint32_t timeoutMs) override
    {
        settleDetachedWrite(timeoutMs);
        ResetEvent(writeEvent_);
        if (timeoutMs == 0) {
            // Goes on after the return: its data and control block are ours,
            // kept until the next write or the close settles them.
            detachedData_.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
            detached_ = {};
            detached_.hEvent = writeEvent_;
            if (!WriteFile(device_, detachedData_.data(), size, nullptr, &detached_)) {
                const DWORD error = GetLastError();
                if (error != ERROR_IO_PENDING)
                    return UsbResult::failed(UsbCall::Write, error);
            }
            detachedPending_ = true;
            return UsbResult::done(0);
        }
        OVERLAPPED overlapped = {};
        overlapped.hEvent = writeEvent_;
        if (!WriteFile(device_, data, size, nullptr, &overlapped)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING)
                return UsbResult::failed(UsbCall::Write, error);
        }
        const DWORD ret = WaitForSingleObject(writeEvent_, timeoutMs);
        if (ret != WAIT_OBJECT_0) {
            const DWORD error = GetLastError();
            // The control block is on this stack and the data the caller's.
            settle(overlapped);
            return UsbResult::failed(UsbCall::Wait, error, ret);
        }
        DWORD transferred = 0;
        if (!GetOverlappedResult(device_, &overlapped, &transferred, FALSE))
            return UsbResult::failed(UsbCall::OverlappedResult, GetLastError());
        return UsbResult::done(transferred);
    }

private:
    // Cancels an operation unless it has finished, and waits until the
    // system no longer uses its control block.
    void settle(OVERLAPPED& overlapped)
    {
        CancelIoEx(device_, &overlapped);
        DWORD transferred = 0;
        GetOverlappedResult(device_, &overlapped, &transferred, TRUE);
    }

    // Gives a write of timeout 0 up to `timeoutMs` more, then cancels it.
    void settleDetachedWrite(uint32_t timeoutMs)
    {
        if (!detachedPending_)
            return;
        if (WaitForSingleObject(writeEvent_, timeoutMs) != WAIT_OBJECT_0)
            CancelIoEx(device_, &detached_);
        DWORD transferred = 0;
        GetOverlappedResult(device_, &detached_, &transferred, TRUE);
        detachedPending_ = false;
    }

    HANDLE device_ = INVALID_HANDLE_VALUE;
    HANDLE writeEvent_ = nullptr;
    HANDLE readEvent_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    OVERLAPPED detached_ = {};
    std::vector<uint8_t> detachedData_;
    bool detachedPending_ = false;
};

} // namespace

std::unique_ptr<UsbDevice> createUsbDevice()
{
    return std::make_unique<WinUsbDevice>();
}
