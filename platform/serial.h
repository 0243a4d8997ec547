// Serial (COM) ports: open by name, line settings, queued bytes, reads and overlapped writes.
#pragma once

#include "platform/io_record.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class Parity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : std::uint8_t { One, OneAndHalf, Two };

// The line settings the link reads from the driver, changes and writes back.
// Settings a backend keeps but the link never changes are not part of this record.
struct LineSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool dtrOn = false;
    bool rtsOn = false;
    bool xonXoffOut = false;  // fOutX
    bool xonXoffIn = false;   // fInX
};

// Events a port may report; the link sets the mask but never waits for them.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;

// State of a write, at its start or when asked later.
enum class IoState : std::uint8_t {
    Done,     // completed; `count` bytes were sent
    Pending,  // still running in the background; `count` bytes sent so far
    Failed,   // failed; nothing more will be sent
};

struct IoProgress {
    IoState state = IoState::Failed;
    std::uint32_t count = 0;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // A record for this port's reads and writes (on Windows: OVERLAPPED with a manual-reset event).
    // Null when it cannot be created.
    virtual std::unique_ptr<IoRecord> CreateIoRecord() = 0;

    virtual bool GetLineSettings(LineSettings& settings) = 0;
    virtual bool SetLineSettings(const LineSettings& settings) = 0;
    virtual bool SetEventMask(std::uint32_t mask) = 0;
    virtual bool SetQueueSizes(std::uint32_t inputBytes, std::uint32_t outputBytes) = 0;
    // Aborts pending reads and writes and discards both queues.
    virtual bool Purge() = 0;

    // Reads and clears the line's error state; returns the number of bytes waiting to be read.
    virtual std::uint32_t ClearErrorsAndCountWaiting() = 0;

    // Reads up to `size` waiting bytes and waits for the read to complete;
    // returns the number read (0 when nothing was read or the read failed).
    virtual std::uint32_t Read(IoRecord& record, std::uint8_t* buffer, std::uint32_t size) = 0;

    // Starts a write of `size` bytes. Done: all or part of it went out at once.
    // Pending: it goes on in the background; ask PollWrite, and CancelWrite before giving up.
    virtual IoProgress StartWrite(IoRecord& record, const std::uint8_t* data, std::uint32_t size) = 0;
    // Asks for the state of the pending write without waiting (or waiting at most a millisecond).
    virtual IoProgress PollWrite(IoRecord& record) = 0;
    // Stops a pending write and waits until the record is free for the next operation.
    virtual void CancelWrite(IoRecord& record) = 0;
};

class SerialPortProvider {
public:
    virtual ~SerialPortProvider() = default;
    // Opens the port of this name exclusively, for reading and writing (COM3 on Windows,
    // ttyUSB0 or pts/3 under /dev on Linux); null when it cannot be opened.
    virtual std::unique_ptr<SerialPort> Open(std::u16string_view name) = 0;
    // The names of the serial ports the system knows of, in the system's order.
    virtual std::vector<std::u16string> ListPortNames() = 0;
};

}  // namespace platform
