#include "tools/qlflash/port_choice.h"

#include "platform/controls.h"
#include "platform/text.h"
#include "tools/qlflash/options.h"

namespace qlflash {

std::vector<std::u16string> PortList(const std::vector<std::u16string>& serialPortNames, int hidLinks) {
    // The combo itself does the sorting, so the order cannot drift from the window's.
    platform::CComboBox combo;
    for (const auto& name : serialPortNames) {
        if (!name.empty() && name.size() <= kMaxPortNameChars) combo.AddString(name);
    }
    if (hidLinks > 0) combo.AddString(platform::FromUtf8(kHidLinkPort));
    return combo.Entries();
}

PortChoice ChoosePort(const std::optional<std::string>& requested, const std::vector<std::u16string>& serialPortNames,
                      int hidLinks) {
    PortChoice choice;
    if (requested) {
        choice.ok = true;
        choice.port = platform::FromUtf8(*requested);
        return choice;
    }
    if (hidLinks > 0) {
        choice.ok = true;
        choice.port = platform::FromUtf8(kHidLinkPort);
        return choice;
    }
    std::string ports;
    for (const auto& name : PortList(serialPortNames, 0)) {
        ports += ports.empty() ? "" : ", ";
        ports += platform::ToUtf8(name);
    }
    choice.error = "no HID link adapter found; name a serial port with --port (" +
                   (ports.empty() ? std::string("no serial ports found") : "serial ports: " + ports) + ")";
    return choice;
}

}  // namespace qlflash
