// HID devices through SetupAPI and the HID class driver. Each read or write waits on the
// record's auto-reset event; one that does not finish in time is cancelled and waited for,
// so the record is free when the next one starts.
#include "platform/win32/hid_device.h"

#include "platform/win32/overlapped_record.h"
#include "platform/win32/wide_path.h"

#include <cstddef>
#include <cwchar>
#include <vector>

#include <windows.h>

#include <setupapi.h>
// These headers do not declare their functions with C linkage themselves.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

namespace platform::win32 {
namespace {

OverlappedRecord& AsOverlapped(IoRecord& record) { return static_cast<OverlappedRecord&>(record); }

class Win32HidDevice final : public HidDevice {
public:
    explicit Win32HidDevice(HANDLE handle) : m_handle(handle) {}
    ~Win32HidDevice() override { ::CloseHandle(m_handle); }
    Win32HidDevice(const Win32HidDevice&) = delete;
    Win32HidDevice& operator=(const Win32HidDevice&) = delete;

    std::unique_ptr<IoRecord> CreateIoRecord() override {
        return OverlappedRecord::Create(OverlappedRecord::Reset::Automatic);
    }

    bool GetAttributes(HidAttributes& attributes) override {
        HIDD_ATTRIBUTES system{};
        system.Size = sizeof(system);
        if (!::HidD_GetAttributes(m_handle, &system)) return false;
        attributes.vendorId = system.VendorID;
        attributes.productId = system.ProductID;
        return true;
    }

    bool GetCaps(HidCaps& caps) override {
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (!::HidD_GetPreparsedData(m_handle, &preparsed)) return false;
        HIDP_CAPS system{};
        const bool read = ::HidP_GetCaps(preparsed, &system) == HIDP_STATUS_SUCCESS;
        ::HidD_FreePreparsedData(preparsed);
        if (!read) return false;
        caps.inputReportByteLength = system.InputReportByteLength;
        caps.outputReportByteLength = system.OutputReportByteLength;
        return true;
    }

    std::uint32_t ReadReport(IoRecord& record, std::uint8_t* buffer, std::uint32_t size,
                             std::uint32_t waitMs) override {
        auto& overlapped = AsOverlapped(record);
        OVERLAPPED* operation = overlapped.Fresh();
        if (!::ReadFile(m_handle, buffer, size, nullptr, operation) && ::GetLastError() != ERROR_IO_PENDING) return 0;
        return Finish(overlapped, waitMs);
    }

    std::uint32_t WriteReport(IoRecord& record, const std::uint8_t* report, std::uint32_t size,
                              std::uint32_t waitMs) override {
        auto& overlapped = AsOverlapped(record);
        OVERLAPPED* operation = overlapped.Fresh();
        if (!::WriteFile(m_handle, report, size, nullptr, operation) && ::GetLastError() != ERROR_IO_PENDING) {
            return 0;
        }
        return Finish(overlapped, waitMs);
    }

private:
    // Waits up to `waitMs` for the started operation; its count, or 0 once it is cancelled.
    std::uint32_t Finish(OverlappedRecord& overlapped, std::uint32_t waitMs) {
        DWORD count = 0;
        if (::WaitForSingleObject(overlapped.Event(), waitMs) == WAIT_OBJECT_0 &&
            ::GetOverlappedResult(m_handle, overlapped.Get(), &count, FALSE)) {
            return count;
        }
        ::CancelIo(m_handle);
        // Waits until the system has let go of the record, whether the operation was cancelled
        // or finished in the meantime; a cancelled one counts as nothing done.
        ::GetOverlappedResult(m_handle, overlapped.Get(), &count, TRUE);
        return 0;
    }

    HANDLE m_handle;
};

}  // namespace

bool Win32HidBus::InterfacePath(std::uint32_t index, std::u16string& path) {
    GUID hidClass{};
    ::HidD_GetHidGuid(&hidClass);
    const HDEVINFO devices = ::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    SP_DEVICE_INTERFACE_DATA interface{};
    interface.cbSize = sizeof(interface);
    if (index < kMaxHidInterfaces && ::SetupDiEnumDeviceInterfaces(devices, nullptr, &hidClass, index, &interface)) {
        DWORD required = 0;
        ::SetupDiGetDeviceInterfaceDetailW(devices, &interface, nullptr, 0, &required, nullptr);
        if (required >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            // Aligned storage for the variable-length detail record.
            std::vector<std::max_align_t> storage(required / sizeof(std::max_align_t) + 1);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            if (::SetupDiGetDeviceInterfaceDetailW(devices, &interface, detail, required, nullptr, nullptr)) {
                const std::size_t length = std::wcslen(detail->DevicePath);
                path = FromWide(detail->DevicePath,
                                length < kMaxHidPathCharacters ? length : kMaxHidPathCharacters - 1);
                found = true;
            }
        }
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return found;
}

std::unique_ptr<HidDevice> Win32HidBus::Open(std::u16string_view path) {
    std::wstring name;
    if (path.empty() || !ToWide(path, name)) return nullptr;
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32HidDevice>(handle);
}

}  // namespace platform::win32
