#include "emulator/timed_byte_queue.h"

#include <algorithm>

namespace emulator {

void TimedByteQueue::Push(Nanoseconds at, std::uint8_t value, Source source) {
    const auto after = std::upper_bound(m_bytes.begin(), m_bytes.end(), at,
                                        [](Nanoseconds time, const Entry& entry) { return time < entry.at; });
    m_bytes.insert(after, Entry{at, value, source});
}

std::size_t TimedByteQueue::CountDue(Nanoseconds now) const {
    const auto firstLater = std::upper_bound(m_bytes.begin(), m_bytes.end(), now,
                                             [](Nanoseconds time, const Entry& entry) { return time < entry.at; });
    return static_cast<std::size_t>(firstLater - m_bytes.begin());
}

std::size_t TimedByteQueue::PopDue(std::uint8_t* out, std::size_t max, Nanoseconds now) {
    const std::size_t count = std::min(max, CountDue(now));
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = m_bytes.front().value;
        m_bytes.pop_front();
    }
    return count;
}

void TimedByteQueue::DropDeviceBytesAfter(Nanoseconds at) {
    std::erase_if(m_bytes, [at](const Entry& entry) { return entry.source == Source::Device && entry.at > at; });
}

std::optional<Nanoseconds> TimedByteQueue::NextDue() const {
    if (m_bytes.empty()) {
        return std::nullopt;
    }
    return m_bytes.front().at;
}

}  // namespace emulator
