// The emulated PCU: the device's side of the byte conversation (greeting and handshake,
// identity query, block write, memory read), with a flash model of the accepted blocks,
// optional 19200 baud line timing and named faults.
//
// The device has no clock of its own: every call carries the caller's tick, so it runs on a
// manual clock in tests and on the real one in the pseudo-terminal runner. Every outgoing byte
// gets the time it has fully reached the PC; AvailableToPc and TransmitToPc see only the bytes
// due by the tick they are given. All members are safe to call from several threads.
#pragma once

#include "emulator/device_time.h"
#include "emulator/pcu_config.h"
#include "emulator/timed_byte_queue.h"
#include "platform/clock.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace emulator {

enum class PcuEventKind : std::uint8_t {
    PowerOn,
    PowerOff,
    Connected,      // handshake completed
    Query,          // identity query answered (count and first record sent)
    BlockAccepted,  // `block` written to the flash
    BlockRefused,   // `block` refused
    Read,           // memory read answered
};

struct PcuEvent {
    PcuEventKind kind = PcuEventKind::PowerOn;
    std::uint32_t block = 0;  // block events only

    friend bool operator==(const PcuEvent&, const PcuEvent&) = default;
};

// One complete block the PC sent, and the device's verdict on it.
struct BlockAttempt {
    std::uint32_t block = 0;          // number of blocks accepted before this attempt
    std::vector<std::uint8_t> bytes;  // block byte 0, block byte 1, body
    bool accepted = false;

    friend bool operator==(const BlockAttempt&, const BlockAttempt&) = default;
};

class Pcu {
public:
    explicit Pcu(PcuConfig config = {});
    Pcu(const Pcu&) = delete;
    Pcu& operator=(const Pcu&) = delete;

    // Power. PowerOn starts a fresh conversation and sends the greeting (a device that is on
    // goes off first). PowerOff silences the device; bytes it had not yet put on the line by
    // then are lost, the flash keeps what it holds. Without a tick, the latest tick seen is used.
    void PowerOn(platform::Tick now);
    void PowerOff();
    void PowerOff(platform::Tick now);
    bool Powered() const;
    // The handshake of the current power-on has completed.
    bool Connected() const;

    // The line, seen from the PC.
    void ReceiveFromPc(const std::uint8_t* data, std::size_t size, platform::Tick now);
    std::size_t AvailableToPc(platform::Tick now);
    std::size_t TransmitToPc(std::uint8_t* out, std::size_t max, platform::Tick now);
    // The next tick at which something happens by itself: a queued byte reaches the PC, or the
    // device powers on again after a power cut. Nothing when neither is pending.
    std::optional<platform::Tick> NextEventTick() const;

    // The line the device sits on echoes every PC byte back to the PC, before the device's
    // answer to it, whether the device is on or not (set by the serial line it is put on).
    void SetLineEcho(bool on);

    // Observation.
    const PcuConfig& Config() const { return m_config; }
    // Every byte the device took in while it was on, in order.
    std::vector<std::uint8_t> ReceivedFromPc() const;
    std::size_t PowerOnCount() const;
    std::size_t HandshakesCompleted() const;
    std::size_t QueriesAnswered() const;
    std::size_t ReadsAnswered() const;
    // 0x7C bytes taken while idle or in place of a write command.
    std::size_t AbortsReceived() const;
    std::vector<BlockAttempt> Attempts() const;
    std::vector<std::vector<std::uint8_t>> AcceptedBlocks() const;
    // The accepted blocks concatenated, in order.
    std::vector<std::uint8_t> Flash() const;
    // What happened, in order; EventsSince(n) gives the events after the first n.
    std::vector<PcuEvent> Events() const;
    std::vector<PcuEvent> EventsSince(std::size_t first) const;

private:
    // Where the conversation stands.
    enum class Step : std::uint8_t {
        AwaitAnswer,   // greeting sent; waits for the PC's answer (0xF7, or 0xFA after a 0xF7 greeting)
        Idle,          // connected; waits for 0x27 (query), 0x62 (write) or 0x86 (read)
        Query,         // some records sent; 0xF7 asks for the next, 0xF1 ends, 0x27 starts again
        WriteCommand,  // 0x62 acknowledged; waits for 0x81 (0x7C gives the block up)
        WriteByte0,    // write command acknowledged; waits for block byte 0
        WriteByte1,    // waits for block byte 1
        WriteBody,     // collects the body, blockSize - 2 bytes, sent without acknowledgements
        ReadCommand,   // 0x86 acknowledged; waits for 0x82
    };

    Nanoseconds Advance(platform::Tick now);
    void RestartIfDue(Nanoseconds at);
    void PowerOnAt(Nanoseconds at);
    void PowerOffAt(Nanoseconds at);
    Nanoseconds ArrivalOfNextPcByte(Nanoseconds now);
    void Send(std::uint8_t value, Nanoseconds at);
    void Record(PcuEventKind kind, std::uint32_t block = 0);

    void HandleByte(std::uint8_t value, Nanoseconds at);
    void HandleAnswer(std::uint8_t value, Nanoseconds at);
    void HandleIdle(std::uint8_t value, Nanoseconds at);
    void HandleQuery(std::uint8_t value, Nanoseconds at);
    void StartQuery(Nanoseconds at);
    void SendNextRecord(Nanoseconds at);
    void TakeBlockByte(std::uint8_t value, Nanoseconds at);
    void FinishBlock(Nanoseconds at);
    bool RefuseThisAttempt(std::uint32_t block);
    void AnswerRead(Nanoseconds at);
    std::size_t BodySize() const;

    const PcuConfig m_config;
    const Nanoseconds m_byteTime;

    mutable std::mutex m_lock;
    DeviceTime m_time;
    TimedByteQueue m_toPc;
    Nanoseconds m_lineToPcFree = 0;    // when the device's transmit line is next free
    Nanoseconds m_lineFromPcFree = 0;  // when the PC's transmit line is next free
    bool m_lineEcho = false;

    bool m_powered = false;
    std::optional<Nanoseconds> m_restartAt;
    bool m_powerCutDone = false;
    std::vector<BlockRefusal> m_refusalsLeft;

    Step m_step = Step::AwaitAnswer;
    bool m_connected = false;
    std::size_t m_recordsSent = 0;
    std::uint32_t m_attemptBlock = 0;
    std::vector<std::uint8_t> m_block;

    std::vector<std::uint8_t> m_received;
    std::size_t m_powerOns = 0;
    std::size_t m_handshakes = 0;
    std::size_t m_queries = 0;
    std::size_t m_reads = 0;
    std::size_t m_aborts = 0;
    std::vector<BlockAttempt> m_attempts;
    std::vector<std::vector<std::uint8_t>> m_accepted;
    std::vector<PcuEvent> m_events;
};

}  // namespace emulator
