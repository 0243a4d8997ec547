// Posting messages to a window without waiting for it.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t WM_USER = 0x0400;

// Something that receives posted window messages, such as the main window.
// PostMessage queues and returns at once; it may be called from any thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// A window handle: the target of posted messages, or null.
using WindowHandle = MessageTarget*;

}  // namespace platform
