// HID devices on hidraw through hidapi, held exclusively by an advisory lock on the node.
#pragma once

#include "platform/hid.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform::posix {

// Interfaces are the /dev/hidrawN nodes that hidapi enumerates, in path order. An open device
// holds flock(LOCK_EX) on its node, so a second opener that also takes the lock (this program
// or another instance of it) is refused.
class PosixHidBus final : public HidBus {
public:
    bool InterfacePath(std::uint32_t index, std::u16string& path) override;
    std::unique_ptr<HidDevice> Open(std::u16string_view path) override;
};

// True for "/dev/hidraw" followed by a decimal number: the only paths Open accepts.
bool IsHidrawNodePath(std::string_view path);

}  // namespace platform::posix
