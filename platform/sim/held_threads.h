// A thread factory that starts nothing: it keeps each body so a test can run the worker's
// passes itself, on the test thread.
#pragma once

#include "platform/thread.h"

#include <mutex>
#include <vector>

namespace platform::sim {

class HeldThreads final : public ThreadFactory {
public:
    std::unique_ptr<Thread> Start(Thread::Body body) override;
    // How many threads were asked for.
    int Started() const;

private:
    mutable std::mutex m_lock;
    std::vector<Thread::Body> m_bodies;
};

}  // namespace platform::sim
