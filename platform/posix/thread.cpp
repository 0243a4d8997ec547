// Worker threads on std::thread (POSIX threads underneath).
#include "platform/thread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace platform {

namespace {

class StdThread final : public Thread {
public:
    bool Launch(Body body) {
        try {
            m_thread = std::thread([this, body = std::move(body)] {
                m_exitCode.store(body());
                m_active.store(false);
            });
        } catch (const std::system_error&) {
            m_active.store(false);
            return false;
        }
        return true;
    }

    ~StdThread() override { Join(); }

    bool IsActive() const override { return m_active.load(); }
    std::uint32_t ExitCode() const override { return m_exitCode.load(); }

    void Join() override {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::atomic<bool> m_active{true};
    std::atomic<std::uint32_t> m_exitCode{0};
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<Thread> Thread::Start(Body body) {
    auto thread = std::make_unique<StdThread>();
    if (!thread->Launch(std::move(body))) return nullptr;
    return thread;
}

}  // namespace platform
