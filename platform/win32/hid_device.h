// HID devices on Win32: the HID-class interfaces SetupAPI enumerates, opened exclusively with
// overlapped I/O, reports read and written with a time limit.
#pragma once

#include "platform/hid.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform::win32 {

// Interfaces beyond this many are not looked at.
inline constexpr std::uint32_t kMaxHidInterfaces = 64;
// Characters of an interface path, the terminator included.
inline constexpr std::size_t kMaxHidPathCharacters = 260;

class Win32HidBus final : public HidBus {
public:
    bool InterfacePath(std::uint32_t index, std::u16string& path) override;
    std::unique_ptr<HidDevice> Open(std::u16string_view path) override;
};

}  // namespace platform::win32
