// The machine's monotonic millisecond clock.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace platform {
namespace {

class MonotonicClock final : public Clock {
public:
    Tick TickCount() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        // Only the low 32 bits are kept: the tick count wraps as the interface says.
        const auto milliseconds = static_cast<unsigned long long>(now.tv_sec) * 1000ULL +
                                  static_cast<unsigned long long>(now.tv_nsec) / 1000000ULL;
        return static_cast<Tick>(milliseconds);
    }

    void Sleep(std::uint32_t milliseconds) override {
        timespec remaining{};
        remaining.tv_sec = static_cast<time_t>(milliseconds / 1000U);
        remaining.tv_nsec = static_cast<long>(milliseconds % 1000U) * 1000000L;
        // A signal cuts the sleep short; go on sleeping for what is left.
        while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

Clock& SystemClock() {
    static MonotonicClock clock;
    return clock;
}

}  // namespace platform
