// A worker thread that runs one function and keeps its exit code.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace platform {

class Thread {
public:
    using Body = std::function<std::uint32_t()>;

    // Starts `body` on a new thread; null when the thread cannot be created.
    static std::unique_ptr<Thread> Start(Body body);

    virtual ~Thread() = default;
    // True until the body has returned.
    virtual bool IsActive() const = 0;
    // The body's result; meaningful once IsActive() is false.
    virtual std::uint32_t ExitCode() const = 0;
    // Waits for the body to return and releases the thread.
    virtual void Join() = 0;
};

// Starts threads; tests hand in one that holds the body instead of running it.
class ThreadFactory {
public:
    virtual ~ThreadFactory() = default;
    virtual std::unique_ptr<Thread> Start(Thread::Body body) = 0;
};

// Starts real threads, through the backend's Thread::Start.
inline ThreadFactory& SystemThreads() {
    class SystemThreadFactory final : public ThreadFactory {
    public:
        std::unique_ptr<Thread> Start(Thread::Body body) override { return Thread::Start(std::move(body)); }
    };
    static SystemThreadFactory factory;
    return factory;
}

}  // namespace platform
