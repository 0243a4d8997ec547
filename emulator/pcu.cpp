// The emulated PCU: power, the timing of both directions of the line, and what tests observe.
#include "emulator/pcu.h"

#include <algorithm>
#include <utility>

namespace emulator {
namespace {

constexpr Nanoseconds kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr std::uint32_t kDefaultBaud = 19200;

Nanoseconds ByteTime(std::uint32_t baudRate) {
    const Nanoseconds baud = baudRate == 0 ? kDefaultBaud : baudRate;
    return kBitsPerByte * 1'000'000'000ULL / baud;
}

}  // namespace

Pcu::Pcu(PcuConfig config)
    : m_config(std::move(config)), m_byteTime(ByteTime(m_config.baudRate)), m_refusalsLeft(m_config.refusals) {}

// ---- Power -------------------------------------------------------------------------------

void Pcu::PowerOn(platform::Tick now) {
    std::lock_guard lock(m_lock);
    const Nanoseconds at = m_time.At(now);
    if (m_powered) {
        PowerOffAt(at);
    }
    m_restartAt.reset();
    PowerOnAt(at);
}

void Pcu::PowerOff() {
    std::lock_guard lock(m_lock);
    m_restartAt.reset();
    if (m_powered) {
        PowerOffAt(m_time.Latest());
    }
}

void Pcu::PowerOff(platform::Tick now) {
    std::lock_guard lock(m_lock);
    const Nanoseconds at = m_time.At(now);
    m_restartAt.reset();
    if (m_powered) {
        PowerOffAt(at);
    }
}

bool Pcu::Powered() const {
    std::lock_guard lock(m_lock);
    return m_powered;
}

bool Pcu::Connected() const {
    std::lock_guard lock(m_lock);
    return m_powered && m_connected;
}

void Pcu::PowerOnAt(Nanoseconds at) {
    m_powered = true;
    ++m_powerOns;
    Record(PcuEventKind::PowerOn);
    m_step = Step::AwaitAnswer;
    m_connected = false;
    m_recordsSent = 0;
    m_block.clear();
    for (const std::uint8_t noise : m_config.garbageBeforeGreeting) {
        Send(noise, at);
    }
    Send(m_config.greeting, at);
}

void Pcu::PowerOffAt(Nanoseconds at) {
    m_powered = false;
    m_connected = false;
    m_toPc.DropDeviceBytesAfter(at);
    m_lineToPcFree = std::min(m_lineToPcFree, at);
    Record(PcuEventKind::PowerOff);
}

void Pcu::RestartIfDue(Nanoseconds at) {
    if (!m_powered && m_restartAt && *m_restartAt <= at) {
        const Nanoseconds restart = *m_restartAt;
        m_restartAt.reset();
        PowerOnAt(restart);
    }
}

Nanoseconds Pcu::Advance(platform::Tick now) {
    const Nanoseconds at = m_time.At(now);
    RestartIfDue(at);
    return at;
}

// ---- The line ----------------------------------------------------------------------------

void Pcu::SetLineEcho(bool on) {
    std::lock_guard lock(m_lock);
    m_lineEcho = on;
}

Nanoseconds Pcu::ArrivalOfNextPcByte(Nanoseconds now) {
    if (!m_config.lineTiming) {
        return now;
    }
    m_lineFromPcFree = std::max(now, m_lineFromPcFree) + m_byteTime;
    return m_lineFromPcFree;
}

void Pcu::Send(std::uint8_t value, Nanoseconds at) {
    // The device's line sends in order: a byte starts when the one before it has gone.
    const Nanoseconds start = std::max(at, m_lineToPcFree);
    m_lineToPcFree = start + (m_config.lineTiming ? m_byteTime : 0);
    m_toPc.Push(m_lineToPcFree, value, TimedByteQueue::Source::Device);
}

void Pcu::ReceiveFromPc(const std::uint8_t* data, std::size_t size, platform::Tick now) {
    std::lock_guard lock(m_lock);
    const Nanoseconds sent = Advance(now);
    for (std::size_t i = 0; i < size; ++i) {
        const Nanoseconds arrival = ArrivalOfNextPcByte(sent);
        if (m_lineEcho) {
            m_toPc.Push(arrival, data[i], TimedByteQueue::Source::Echo);
        }
        RestartIfDue(arrival);
        if (!m_powered) {
            continue;
        }
        m_received.push_back(data[i]);
        if (m_config.powerCut && !m_powerCutDone && m_received.size() == m_config.powerCut->afterByte) {
            m_powerCutDone = true;
            PowerOffAt(arrival);
            if (m_config.powerCut->restartDelayMs) {
                m_restartAt = arrival + *m_config.powerCut->restartDelayMs * kNanosecondsPerMillisecond;
            }
            continue;
        }
        HandleByte(data[i], arrival);
    }
}

std::size_t Pcu::AvailableToPc(platform::Tick now) {
    std::lock_guard lock(m_lock);
    return m_toPc.CountDue(Advance(now));
}

std::size_t Pcu::TransmitToPc(std::uint8_t* out, std::size_t max, platform::Tick now) {
    std::lock_guard lock(m_lock);
    return m_toPc.PopDue(out, max, Advance(now));
}

std::optional<platform::Tick> Pcu::NextEventTick() const {
    std::lock_guard lock(m_lock);
    std::optional<Nanoseconds> next = m_toPc.NextDue();
    if (!m_powered && m_restartAt) {
        next = next ? std::min(*next, *m_restartAt) : *m_restartAt;
    }
    if (!next) {
        return std::nullopt;
    }
    return m_time.TickOf(*next);
}

// ---- Observation -------------------------------------------------------------------------

void Pcu::Record(PcuEventKind kind, std::uint32_t block) {
    m_events.push_back(PcuEvent{kind, block});
}

std::vector<std::uint8_t> Pcu::ReceivedFromPc() const {
    std::lock_guard lock(m_lock);
    return m_received;
}

std::size_t Pcu::PowerOnCount() const {
    std::lock_guard lock(m_lock);
    return m_powerOns;
}

std::size_t Pcu::HandshakesCompleted() const {
    std::lock_guard lock(m_lock);
    return m_handshakes;
}

std::size_t Pcu::QueriesAnswered() const {
    std::lock_guard lock(m_lock);
    return m_queries;
}

std::size_t Pcu::ReadsAnswered() const {
    std::lock_guard lock(m_lock);
    return m_reads;
}

std::size_t Pcu::AbortsReceived() const {
    std::lock_guard lock(m_lock);
    return m_aborts;
}

std::vector<BlockAttempt> Pcu::Attempts() const {
    std::lock_guard lock(m_lock);
    return m_attempts;
}

std::vector<std::vector<std::uint8_t>> Pcu::AcceptedBlocks() const {
    std::lock_guard lock(m_lock);
    return m_accepted;
}

std::vector<std::uint8_t> Pcu::Flash() const {
    std::lock_guard lock(m_lock);
    std::vector<std::uint8_t> flash;
    for (const auto& block : m_accepted) {
        flash.insert(flash.end(), block.begin(), block.end());
    }
    return flash;
}

std::vector<PcuEvent> Pcu::Events() const {
    std::lock_guard lock(m_lock);
    return m_events;
}

std::vector<PcuEvent> Pcu::EventsSince(std::size_t first) const {
    std::lock_guard lock(m_lock);
    if (first >= m_events.size()) {
        return {};
    }
    return {m_events.begin() + static_cast<std::ptrdiff_t>(first), m_events.end()};
}

}  // namespace emulator
