// The emulator's own time line in nanoseconds, driven by the millisecond ticks its callers
// pass in, so that byte times of a fraction of a millisecond add up exactly.
#pragma once

#include "platform/clock.h"

#include <cstdint>

namespace emulator {

using Nanoseconds = std::uint64_t;

inline constexpr Nanoseconds kNanosecondsPerMillisecond = 1'000'000;

class DeviceTime {
public:
    // The time of tick `now`. The first tick seen is time 0; the tick count's wrap-around is
    // followed; a tick older than the latest one seen counts as the latest (time never goes back).
    Nanoseconds At(platform::Tick now);
    // The latest time reached through At.
    Nanoseconds Latest() const { return m_latest; }
    // The first tick at which time `at` has been reached.
    platform::Tick TickOf(Nanoseconds at) const;

private:
    bool m_started = false;
    platform::Tick m_originTick = 0;
    platform::Tick m_latestTick = 0;
    Nanoseconds m_latest = 0;
};

}  // namespace emulator
