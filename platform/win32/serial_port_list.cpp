// The serial ports the system registers: the data of every value of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, in the registry's order. A value whose
// name does not fit 64 characters, or whose data does not fit 16 bytes, is left out.
#include "platform/win32/serial_port.h"

#include "platform/win32/wide_path.h"

#include <array>
#include <cwchar>

#include <windows.h>

namespace platform::win32 {
namespace {

constexpr DWORD kValueNameCharacters = 64;
constexpr DWORD kValueDataBytes = 16;

}  // namespace

std::vector<std::u16string> Win32SerialPortProvider::ListPortNames() {
    std::vector<std::u16string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    DWORD valueCount = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        valueCount = 0;
    }
    for (DWORD index = 0; index < valueCount; ++index) {
        std::array<wchar_t, kValueNameCharacters> valueName{};
        DWORD nameLength = kValueNameCharacters;
        if (::RegEnumValueW(key, index, valueName.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            continue;
        }
        // One character more than the data can fill keeps the name terminated whatever it holds.
        std::array<wchar_t, kValueDataBytes / sizeof(wchar_t) + 1> data{};
        DWORD dataBytes = kValueDataBytes;
        if (::RegQueryValueExW(key, valueName.data(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                               &dataBytes) != ERROR_SUCCESS) {
            continue;
        }
        const std::size_t length = std::wcslen(data.data());
        names.push_back(FromWide(data.data(), length < kMaxListedPortNameLength ? length : kMaxListedPortNameLength));
    }
    ::RegCloseKey(key);
    return names;
}

}  // namespace platform::win32
