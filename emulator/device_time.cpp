#include "emulator/device_time.h"

namespace emulator {

Nanoseconds DeviceTime::At(platform::Tick now) {
    if (!m_started) {
        m_started = true;
        m_originTick = now;
        m_latestTick = now;
        return m_latest;
    }
    const std::uint32_t elapsed = platform::TicksSince(m_latestTick, now);
    // A difference of more than half the tick range is a tick from the past, not a jump ahead.
    if (elapsed < 0x8000'0000U) {
        m_latestTick = now;
        m_latest += static_cast<Nanoseconds>(elapsed) * kNanosecondsPerMillisecond;
    }
    return m_latest;
}

platform::Tick DeviceTime::TickOf(Nanoseconds at) const {
    const Nanoseconds milliseconds = (at + kNanosecondsPerMillisecond - 1) / kNanosecondsPerMillisecond;
    return static_cast<platform::Tick>(m_originTick + static_cast<platform::Tick>(milliseconds));
}

}  // namespace emulator
