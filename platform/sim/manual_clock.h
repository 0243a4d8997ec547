// A clock that moves only when told to, or when someone sleeps on it.
#pragma once

#include "platform/clock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace platform::sim {

class ManualClock final : public Clock {
public:
    explicit ManualClock(Tick start = 1000) : m_now(start) {}

    Tick TickCount() override { return m_now.load(); }
    // Advances virtual time by the sleep and records it.
    void Sleep(std::uint32_t milliseconds) override;

    void Advance(std::uint32_t milliseconds) { m_now.fetch_add(milliseconds); }
    void Set(Tick now) { m_now.store(now); }

    // Every sleep, in order.
    std::vector<std::uint32_t> Sleeps() const;
    void ClearSleeps();
    // Called after every sleep with the number of sleeps so far, so a test can change the
    // world while the code under test waits.
    void OnSleep(std::function<void(std::size_t)> hook);

private:
    std::atomic<Tick> m_now;
    mutable std::mutex m_lock;
    std::vector<std::uint32_t> m_sleeps;
    std::function<void(std::size_t)> m_hook;
};

}  // namespace platform::sim
