#include "platform/sim/recording_window.h"

namespace platform::sim {

void RecordingWindow::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard guard(m_lock);
        m_messages.push_back({message, wParam, lParam});
    }
    m_posted.notify_all();
}

std::vector<PostedMessage> RecordingWindow::Posted() const {
    std::lock_guard guard(m_lock);
    return m_messages;
}

void RecordingWindow::Clear() {
    std::lock_guard guard(m_lock);
    m_messages.clear();
}

bool RecordingWindow::WaitUntil(const std::function<bool(const std::vector<PostedMessage>&)>& done,
                                std::chrono::milliseconds limit) const {
    std::unique_lock guard(m_lock);
    return m_posted.wait_for(guard, limit, [&] { return done(m_messages); });
}

}  // namespace platform::sim
