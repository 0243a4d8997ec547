// Serial ports through the Win32 communications calls and overlapped ReadFile/WriteFile.
// Every read and write uses the port's one overlapped record; an operation that is given up
// is cancelled and waited for, so the record is free when the next one starts.
#include "platform/win32/serial_port.h"

#include "platform/win32/overlapped_record.h"
#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform::win32 {
namespace {

// A read asks only for bytes already waiting and completes at once; this bounds the wait
// for a driver that keeps it pending anyway.
constexpr DWORD kLongestReadWaitMs = 1000;

BYTE ToDcbParity(Parity parity) {
    switch (parity) {
        case Parity::Odd: return ODDPARITY;
        case Parity::Even: return EVENPARITY;
        case Parity::Mark: return MARKPARITY;
        case Parity::Space: return SPACEPARITY;
        case Parity::None: break;
    }
    return NOPARITY;
}

Parity FromDcbParity(BYTE parity) {
    switch (parity) {
        case ODDPARITY: return Parity::Odd;
        case EVENPARITY: return Parity::Even;
        case MARKPARITY: return Parity::Mark;
        case SPACEPARITY: return Parity::Space;
        default: return Parity::None;
    }
}

BYTE ToDcbStopBits(StopBits stopBits) {
    switch (stopBits) {
        case StopBits::OneAndHalf: return ONE5STOPBITS;
        case StopBits::Two: return TWOSTOPBITS;
        case StopBits::One: break;
    }
    return ONESTOPBIT;
}

StopBits FromDcbStopBits(BYTE stopBits) {
    switch (stopBits) {
        case ONE5STOPBITS: return StopBits::OneAndHalf;
        case TWOSTOPBITS: return StopBits::Two;
        default: return StopBits::One;
    }
}

OverlappedRecord& AsOverlapped(IoRecord& record) { return static_cast<OverlappedRecord&>(record); }

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(HANDLE handle) : m_handle(handle) {}
    ~Win32SerialPort() override { ::CloseHandle(m_handle); }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    std::unique_ptr<IoRecord> CreateIoRecord() override {
        return OverlappedRecord::Create(OverlappedRecord::Reset::Manual);
    }

    bool GetLineSettings(LineSettings& settings) override {
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(m_handle, &dcb)) return false;
        settings.baudRate = dcb.BaudRate;
        settings.dataBits = dcb.ByteSize;
        settings.parity = FromDcbParity(dcb.Parity);
        settings.stopBits = FromDcbStopBits(dcb.StopBits);
        settings.dtrOn = dcb.fDtrControl != DTR_CONTROL_DISABLE;
        settings.rtsOn = dcb.fRtsControl != RTS_CONTROL_DISABLE;
        settings.xonXoffOut = dcb.fOutX != 0;
        settings.xonXoffIn = dcb.fInX != 0;
        return true;
    }

    // Every setting the record does not carry stays as the driver reports it.
    bool SetLineSettings(const LineSettings& settings) override {
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(m_handle, &dcb)) return false;
        dcb.BaudRate = settings.baudRate;
        dcb.ByteSize = settings.dataBits;
        dcb.Parity = ToDcbParity(settings.parity);
        dcb.StopBits = ToDcbStopBits(settings.stopBits);
        dcb.fDtrControl = settings.dtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = settings.rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        dcb.fOutX = settings.xonXoffOut ? 1 : 0;
        dcb.fInX = settings.xonXoffIn ? 1 : 0;
        return ::SetCommState(m_handle, &dcb) != 0;
    }

    bool SetEventMask(std::uint32_t mask) override { return ::SetCommMask(m_handle, mask) != 0; }

    bool SetQueueSizes(std::uint32_t inputBytes, std::uint32_t outputBytes) override {
        return ::SetupComm(m_handle, inputBytes, outputBytes) != 0;
    }

    bool Purge() override {
        return ::PurgeComm(m_handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != 0;
    }

    std::uint32_t ClearErrorsAndCountWaiting() override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(m_handle, &errors, &status)) return 0;
        return status.cbInQue;
    }

    std::uint32_t Read(IoRecord& record, std::uint8_t* buffer, std::uint32_t size) override {
        auto& overlapped = AsOverlapped(record);
        OVERLAPPED* operation = overlapped.Fresh();
        if (!::ReadFile(m_handle, buffer, size, nullptr, operation) && ::GetLastError() != ERROR_IO_PENDING) {
            ClearErrorsAndCountWaiting();
            return 0;
        }
        const DWORD start = ::GetTickCount();
        for (;;) {
            DWORD count = 0;
            if (::GetOverlappedResult(m_handle, operation, &count, FALSE)) return count;
            if (::GetLastError() != ERROR_IO_INCOMPLETE || ::GetTickCount() - start > kLongestReadWaitMs) {
                ClearErrorsAndCountWaiting();
                CancelAndWait(overlapped);
                return 0;
            }
        }
    }

    IoProgress StartWrite(IoRecord& record, const std::uint8_t* data, std::uint32_t size) override {
        OVERLAPPED* operation = AsOverlapped(record).Fresh();
        if (::WriteFile(m_handle, data, size, nullptr, operation)) return Result(operation);
        if (::GetLastError() == ERROR_IO_PENDING) return IoProgress{IoState::Pending, 0};
        return IoProgress{IoState::Failed, 0};
    }

    IoProgress PollWrite(IoRecord& record) override { return Result(AsOverlapped(record).Get()); }

    void CancelWrite(IoRecord& record) override { CancelAndWait(AsOverlapped(record)); }

private:
    // The state of the operation on the record, without waiting.
    IoProgress Result(OVERLAPPED* operation) {
        DWORD count = 0;
        if (::GetOverlappedResult(m_handle, operation, &count, FALSE)) return IoProgress{IoState::Done, count};
        if (::GetLastError() == ERROR_IO_INCOMPLETE) return IoProgress{IoState::Pending, 0};
        return IoProgress{IoState::Failed, 0};
    }

    // Stops the operation on the record and waits until the system is done with it.
    void CancelAndWait(OverlappedRecord& overlapped) {
        ::CancelIo(m_handle);
        DWORD count = 0;
        ::GetOverlappedResult(m_handle, overlapped.Get(), &count, TRUE);
    }

    HANDLE m_handle;
};

}  // namespace

std::u16string SerialDevicePath(std::u16string_view name) { return u"\\\\.\\" + std::u16string(name); }

std::unique_ptr<SerialPort> Win32SerialPortProvider::Open(std::u16string_view name) {
    std::wstring path;
    if (name.empty() || !ToWide(SerialDevicePath(name), path)) return nullptr;
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32SerialPort>(handle);
}

}  // namespace platform::win32
