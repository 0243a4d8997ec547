// The controls the link reports on, as the window has them, and a window handle that keeps what
// is posted to it. qlflash reads the controls' state instead of drawing them.
#pragma once

#include "platform/controls.h"
#include "platform/window.h"

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

class ESCLink;

namespace qlflash {

struct PostedMessage {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// Queues posted messages from any thread until the main thread takes them.
class MessageQueue final : public platform::MessageTarget {
public:
    void PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    // The messages posted since the last call, in order.
    std::vector<PostedMessage> Take();

private:
    std::mutex m_lock;
    std::vector<PostedMessage> m_messages;
};

struct LinkControls {
    // Update starts disabled, as in the window before the device is ready.
    LinkControls() { updateButton.EnableWindow(false); }

    // Attaches every control and the window handle to `link`, as the main window does.
    void AttachTo(ESCLink& link);

    platform::CStatic infoText;
    platform::CStatic lineLabel;
    platform::CProgressCtrl progress;
    platform::CListBox statusLog;
    platform::CButton updateButton;
    platform::CButton resetButton;
    MessageQueue window;
};

}  // namespace qlflash
