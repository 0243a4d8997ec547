// Which port qlflash uses, and the port list it prints: the same entries, in the same order, as
// the window's port combo holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qlflash {

// The serial port names that the link can hold (1 to 7 characters), and USB0 when at least one
// HID link adapter is present, sorted without regard to case as the sorted combo sorts them.
std::vector<std::u16string> PortList(const std::vector<std::u16string>& serialPortNames, int hidLinks);

struct PortChoice {
    bool ok = false;
    std::u16string port;
    std::string error;  // why there is no port, when !ok
};

// The port named on the command line; without one, the HID link adapter when there is one, as
// the window selects it. Otherwise the error names the serial ports that could be given.
PortChoice ChoosePort(const std::optional<std::string>& requested, const std::vector<std::u16string>& serialPortNames,
                      int hidLinks);

}  // namespace qlflash
