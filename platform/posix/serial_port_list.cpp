// Serial ports from sysfs: /sys/class/tty/<name>/device/driver exists for every tty that a
// serial driver (8250, usb-serial, cdc-acm, amba-pl011, ...) has bound.
#include "platform/posix/serial_port_list.h"

#include "platform/text.h"

#include <algorithm>
#include <system_error>

namespace platform::posix {
namespace {

constexpr const char* kSysClassTty = "/sys/class/tty";

bool HasDriver(const std::filesystem::path& entry) {
    std::error_code error;
    return std::filesystem::exists(entry / "device" / "driver", error);
}

}  // namespace

std::vector<std::string> ListSerialDeviceNames(const std::filesystem::path& classTtyDirectory) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entries(classTtyDirectory, error);
    for (const std::filesystem::directory_iterator end; !error && entries != end; entries.increment(error)) {
        std::string name = entries->path().filename().string();
        if (name.size() <= kMaxListedPortNameLength && HasDriver(entries->path())) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::u16string> ListSerialPortNames() {
    std::vector<std::u16string> names;
    for (const std::string& name : ListSerialDeviceNames(kSysClassTty)) {
        names.push_back(FromUtf8(name));
    }
    return names;
}

}  // namespace platform::posix
