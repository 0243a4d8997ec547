// Messages posted to a dialog from any thread, kept in order until the interface thread hands
// them to the dialog's logic. Both window hosts queue their posted messages here.
#pragma once

#include "platform/dialog.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class PostedMessages {
public:
    void Push(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    bool Empty() const;
    void Clear();
    // Hands the queued messages, oldest first, to `client` while `running()` holds: WM_CLOSE to
    // OnClose, every other message to WindowProc. Messages posted meanwhile are handed on too.
    void Dispatch(DialogClient& client, const std::function<bool()>& running);

private:
    struct Posted {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    mutable std::mutex m_lock;
    std::deque<Posted> m_queue;
};

}  // namespace platform
