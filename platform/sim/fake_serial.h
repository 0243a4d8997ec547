// Scriptable serial ports with named failure switches, and virtual lines whose far end is a peer.
#pragma once

#include "platform/serial.h"
#include "platform/sim/peer.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::sim {

// What can go wrong with a fake serial port; each is a switch of one device.
enum class SerialFault : std::uint8_t {
    OpenFails,          // the device cannot be opened
    GetSettingsFails,   // the driver's settings cannot be read
    SetSettingsFails,   // the changed settings cannot be written
    IoRecordFails,      // the port cannot create its I/O record
    WriteSendsNothing,  // every write fails at once
    WriteSendsPart,     // a write completes with at most `partialWriteLimit` bytes
    WriteStalls,        // a write stays pending and never sends anything
    ReadError,          // bytes are reported waiting but reading them fails
    Removed,            // the device has gone: opening fails, reads and writes fail
};

// One serial device as the fake provider knows it: what the PC will read, what it wrote,
// how it was configured, and which faults are switched on. Shared by the provider and the
// open port, so a test can change it while the link uses it.
class FakeSerialDevice {
public:
    void Set(SerialFault fault, bool on = true);
    bool Has(SerialFault fault) const;
    void SetPartialWriteLimit(std::uint32_t bytes);

    // Bytes that arrive from the device side (used when no peer is attached).
    void Deliver(const std::vector<std::uint8_t>& bytes);
    // Attaches the far end of the line; it then supplies what the PC reads and gets what it writes.
    void AttachPeer(SerialPeer* peer);

    // Everything the PC sent, in order, and each write's bytes separately.
    std::vector<std::uint8_t> Written() const;
    std::vector<std::vector<std::uint8_t>> Writes() const;
    void ClearWritten();
    LineSettings Settings() const;
    std::uint32_t EventMask() const;
    int PurgeCount() const;
    int ReadCalls() const;
    int OpenCount() const;
    bool IsOpen() const;

private:
    friend class FakeSerialPort;
    friend class FakeSerialPorts;

    mutable std::mutex m_lock;
    std::uint32_t m_faults = 0;
    std::uint32_t m_partialWriteLimit = 1;
    std::deque<std::uint8_t> m_toPc;
    SerialPeer* m_peer = nullptr;
    std::vector<std::uint8_t> m_written;
    std::vector<std::vector<std::uint8_t>> m_writes;
    LineSettings m_settings{9600, 7, Parity::Even, StopBits::Two, true, true, true, true};
    std::uint32_t m_eventMask = 0;
    int m_purges = 0;
    int m_reads = 0;
    int m_opens = 0;
    bool m_open = false;
};

// A provider of named fake serial devices; opening is exclusive like a real port.
class FakeSerialPorts final : public SerialPortProvider {
public:
    explicit FakeSerialPorts(Clock& clock) : m_clock(clock) {}

    // Adds (or returns) the device of this name; it is listed in the order added.
    std::shared_ptr<FakeSerialDevice> Add(const std::u16string& name);
    std::shared_ptr<FakeSerialDevice> Device(const std::u16string& name) const;
    // Names passed to Open, in order, whether the open worked or not.
    std::vector<std::u16string> OpenedNames() const;

    std::unique_ptr<SerialPort> Open(std::u16string_view name) override;
    std::vector<std::u16string> ListPortNames() override;

private:
    Clock& m_clock;
    mutable std::mutex m_lock;
    std::vector<std::pair<std::u16string, std::shared_ptr<FakeSerialDevice>>> m_devices;
    std::vector<std::u16string> m_openedNames;
};

}  // namespace platform::sim
