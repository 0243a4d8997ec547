// Bytes on their way to the PC, each with the time it has fully arrived at the PC's end.
#pragma once

#include "emulator/device_time.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace emulator {

class TimedByteQueue {
public:
    // Source of a byte: the device itself, or the line echoing the PC's own byte.
    enum class Source : std::uint8_t { Device, Echo };

    // Queues a byte due at `at`, after every byte due at or before that time.
    void Push(Nanoseconds at, std::uint8_t value, Source source);
    // Number of bytes due by `now`.
    std::size_t CountDue(Nanoseconds now) const;
    // Moves up to `max` of the bytes due by `now` into `out`, oldest first; returns how many.
    std::size_t PopDue(std::uint8_t* out, std::size_t max, Nanoseconds now);
    // Forgets the device's bytes not yet due by `at` (the device lost power before sending them).
    void DropDeviceBytesAfter(Nanoseconds at);
    // When the oldest byte is due; nothing when the queue is empty.
    std::optional<Nanoseconds> NextDue() const;
    bool Empty() const { return m_bytes.empty(); }

private:
    struct Entry {
        Nanoseconds at;
        std::uint8_t value;
        Source source;
    };
    std::deque<Entry> m_bytes;
};

}  // namespace emulator
