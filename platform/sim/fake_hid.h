// A fake HID bus of scriptable interfaces with named failure switches; an interface may have
// a peer (such as the emulated link adapter) that answers its reports.
#pragma once

#include "platform/clock.h"
#include "platform/hid.h"
#include "platform/sim/peer.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::sim {

enum class HidFault : std::uint8_t {
    HeldElsewhere,       // another program holds the interface: opening fails
    AttributesFail,      // vendor and product IDs cannot be read
    CapsFail,            // the report descriptor cannot be read
    IoRecordFails,       // the device cannot create its I/O record
    WriteSendsNothing,   // a write fails at once
    WriteStalls,         // a write does not complete within its wait and is cancelled
    ReadError,           // a read fails at once
    Removed,             // unplugged: not enumerated, cannot be opened, I/O fails
};

class FakeHidInterface {
public:
    void Set(HidFault fault, bool on = true);
    bool Has(HidFault fault) const;

    void SetAttributes(HidAttributes attributes);
    void SetCaps(HidCaps caps);
    // Attaches a peer that takes the output reports and gives the input reports
    // (its attributes and report lengths replace the scripted ones).
    void AttachPeer(HidPeer* peer);

    // An input report for the PC (used when no peer is attached).
    void DeliverReport(std::vector<std::uint8_t> report);

    std::vector<std::vector<std::uint8_t>> WrittenReports() const;
    void ClearWritten();
    bool IsOpen() const;
    int OpenCount() const;
    int ReadCalls() const;
    const std::u16string& Path() const { return m_path; }

private:
    friend class FakeHidBus;
    friend class FakeHidDevice;

    mutable std::mutex m_lock;
    std::u16string m_path;
    std::uint32_t m_faults = 0;
    HidAttributes m_attributes{0x10C4, 0x82FC};
    HidCaps m_caps{65, 65};
    HidPeer* m_peer = nullptr;
    std::deque<std::vector<std::uint8_t>> m_toPc;
    std::vector<std::vector<std::uint8_t>> m_written;
    bool m_open = false;
    int m_opens = 0;
    int m_reads = 0;
};

class FakeHidBus final : public HidBus {
public:
    explicit FakeHidBus(Clock& clock) : m_clock(clock) {}

    // Adds an interface at the end of the enumeration order; a link adapter by default.
    std::shared_ptr<FakeHidInterface> Add(const std::u16string& path);
    std::vector<std::shared_ptr<FakeHidInterface>> Interfaces() const;
    int EnumerationCalls() const;

    bool InterfacePath(std::uint32_t index, std::u16string& path) override;
    std::unique_ptr<HidDevice> Open(std::u16string_view path) override;

private:
    Clock& m_clock;
    mutable std::mutex m_lock;
    std::vector<std::shared_ptr<FakeHidInterface>> m_interfaces;
    int m_enumerations = 0;
};

}  // namespace platform::sim
