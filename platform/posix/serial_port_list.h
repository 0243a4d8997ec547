// The serial ports the system registers: the ttys that sysfs shows bound to a driver.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace platform::posix {

// Longest port name listed, in characters.
inline constexpr std::size_t kMaxListedPortNameLength = 7;

// Names, relative to /dev, of the entries of `classTtyDirectory` (sysfs's class/tty) that have a
// device/driver link, at most kMaxListedPortNameLength characters long, sorted by text.
// Virtual terminals and pseudo-terminals have no driver and are left out; an unreadable
// directory gives an empty list.
std::vector<std::string> ListSerialDeviceNames(const std::filesystem::path& classTtyDirectory);

// ListSerialDeviceNames of /sys/class/tty, as UTF-16.
std::vector<std::u16string> ListSerialPortNames();

}  // namespace platform::posix
