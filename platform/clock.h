// Millisecond tick count and sleeping.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start; unsigned 32 bits, wraps after about 49.7 days.
using Tick = std::uint32_t;

class Clock {
public:
    virtual ~Clock() = default;
    virtual Tick TickCount() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The machine's monotonic clock.
Clock& SystemClock();

// Milliseconds from `from` to `to`, modulo 2^32.
constexpr std::uint32_t TicksSince(Tick from, Tick to) { return to - from; }

}  // namespace platform
