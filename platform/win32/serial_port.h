// Serial (COM) ports on Win32: "\\.\<name>" opened exclusively with overlapped I/O; the port
// names the system registers under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM.
#pragma once

#include "platform/serial.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

class Win32SerialPortProvider final : public SerialPortProvider {
public:
    std::unique_ptr<SerialPort> Open(std::u16string_view name) override;
    std::vector<std::u16string> ListPortNames() override;
};

// The device path of a port name: "\\.\" + name, so COM10 and higher open too.
std::u16string SerialDevicePath(std::u16string_view name);

// The longest port name the list gives: a 16-byte value buffer holds 7 characters and the
// terminator.
inline constexpr std::size_t kMaxListedPortNameLength = 7;

}  // namespace platform::win32
