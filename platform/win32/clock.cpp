// The machine's millisecond tick count, GetTickCount, which wraps as the interface says.
#include "platform/clock.h"

#include <windows.h>

namespace platform {
namespace {

class TickCountClock final : public Clock {
public:
    Tick TickCount() override { return static_cast<Tick>(::GetTickCount()); }
    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

Clock& SystemClock() {
    static TickCountClock clock;
    return clock;
}

}  // namespace platform
