// Waiting for a condition that another thread or process brings about, with a generous limit.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

inline constexpr std::chrono::milliseconds kEventLimit{10000};

// Checks `done` every few milliseconds until it holds or `limit` has passed; whether it held.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = kEventLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace testing_support
