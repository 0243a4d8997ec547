// The backend's real threads: the body runs on its own thread, the thread is active until the
// body returns (whatever it returns), and the body's result is kept after the thread is joined.
#include "platform/thread.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

TEST(SystemThreadTest, ActiveUntilTheBodyReturns_ThenKeepsItsResult) {
    // 259 is what Windows reports for a thread still running: a body may return it all the same.
    for (const std::uint32_t result : {0u, 7u, 259u, 0xFFFFFFFFu}) {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::thread::id bodyThread;
        auto thread = platform::SystemThreads().Start([&bodyThread, released, result] {
            bodyThread = std::this_thread::get_id();
            released.wait();
            return result;
        });
        ASSERT_NE(thread, nullptr);
        EXPECT_TRUE(thread->IsActive()) << result;
        release.set_value();
        EXPECT_TRUE(testing_support::WaitFor([&] { return !thread->IsActive(); })) << result;
        EXPECT_EQ(thread->ExitCode(), result);
        thread->Join();
        thread->Join();  // a second join has nothing to wait for
        EXPECT_FALSE(thread->IsActive());
        EXPECT_EQ(thread->ExitCode(), result);
        EXPECT_NE(bodyThread, std::this_thread::get_id());
    }
}

TEST(SystemThreadTest, DestroyedWhileRunning_WaitsForTheBody) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool finished = false;
    auto thread = platform::Thread::Start([&finished, released] {
        released.wait();
        finished = true;
        return 0u;
    });
    ASSERT_NE(thread, nullptr);
    std::thread releaser([&release] { release.set_value(); });
    thread.reset();  // joins
    EXPECT_TRUE(finished);
    releaser.join();
}

}  // namespace
