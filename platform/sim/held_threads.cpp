#include "platform/sim/held_threads.h"

namespace platform::sim {

namespace {

// A thread that never ran: it is not active, so stopping it returns at once.
class HeldThread final : public Thread {
public:
    bool IsActive() const override { return false; }
    std::uint32_t ExitCode() const override { return 0; }
    void Join() override {}
};

}  // namespace

std::unique_ptr<Thread> HeldThreads::Start(Thread::Body body) {
    std::lock_guard guard(m_lock);
    m_bodies.push_back(std::move(body));
    return std::make_unique<HeldThread>();
}

int HeldThreads::Started() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_bodies.size());
}

}  // namespace platform::sim
