// Serial ports on termios: /dev/<name>, opened exclusively, raw, non-blocking.
#pragma once

#include "platform/serial.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

// Opens ttys under /dev by their name relative to /dev ("ttyUSB0", "pts/3").
// A port is held exclusively: TIOCEXCL keeps other non-root openers out, and an advisory
// flock keeps out every opener that also takes it (this program, root included).
class PosixSerialPortProvider final : public SerialPortProvider {
public:
    std::unique_ptr<SerialPort> Open(std::u16string_view name) override;
    std::vector<std::u16string> ListPortNames() override;
};

// The device path of a port name: "/dev/" + name; empty when the name is not acceptable
// (empty, absolute, containing "..", or containing a NUL character).
std::string SerialDevicePath(std::u16string_view name);

}  // namespace platform::posix
