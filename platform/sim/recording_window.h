// A window handle that records every posted message, in order, from any thread.
#pragma once

#include "platform/window.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace platform::sim {

struct PostedMessage {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const PostedMessage&) const = default;
};

class RecordingWindow final : public MessageTarget {
public:
    void PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

    std::vector<PostedMessage> Posted() const;
    void Clear();
    // Waits until `done` holds for the messages posted so far, or the limit passes.
    bool WaitUntil(const std::function<bool(const std::vector<PostedMessage>&)>& done,
                   std::chrono::milliseconds limit) const;

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_posted;
    std::vector<PostedMessage> m_messages;
};

}  // namespace platform::sim
