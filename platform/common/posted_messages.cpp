#include "platform/common/posted_messages.h"

namespace platform {

void PostedMessages::Push(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_queue.push_back({message, wParam, lParam});
}

bool PostedMessages::Empty() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_queue.empty();
}

void PostedMessages::Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_queue.clear();
}

void PostedMessages::Dispatch(DialogClient& client, const std::function<bool()>& running) {
    while (running()) {
        Posted posted{};
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_queue.empty()) return;
            posted = m_queue.front();
            m_queue.pop_front();
        }
        // The logic runs without the lock: it may post again.
        if (posted.message == WM_CLOSE)
            client.OnClose();
        else
            client.WindowProc(posted.message, posted.wParam, posted.lParam);
    }
}

}  // namespace platform
