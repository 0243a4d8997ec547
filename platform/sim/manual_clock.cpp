#include "platform/sim/manual_clock.h"

namespace platform::sim {

void ManualClock::Sleep(std::uint32_t milliseconds) {
    std::function<void(std::size_t)> hook;
    std::size_t count = 0;
    {
        std::lock_guard guard(m_lock);
        m_sleeps.push_back(milliseconds);
        count = m_sleeps.size();
        hook = m_hook;
    }
    Advance(milliseconds);
    if (hook) hook(count);
}

void ManualClock::OnSleep(std::function<void(std::size_t)> hook) {
    std::lock_guard guard(m_lock);
    m_hook = std::move(hook);
}

std::vector<std::uint32_t> ManualClock::Sleeps() const {
    std::lock_guard guard(m_lock);
    return m_sleeps;
}

void ManualClock::ClearSleeps() {
    std::lock_guard guard(m_lock);
    m_sleeps.clear();
}

}  // namespace platform::sim
