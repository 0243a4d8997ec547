#include "platform/sim/fake_serial.h"

#include <algorithm>

namespace platform::sim {

namespace {

constexpr std::uint32_t Bit(SerialFault fault) { return 1u << static_cast<unsigned>(fault); }

// The fake's I/O record: the write in flight, if any.
struct FakeIoRecord final : IoRecord {
    bool pending = false;
};

}  // namespace

void FakeSerialDevice::Set(SerialFault fault, bool on) {
    std::lock_guard guard(m_lock);
    m_faults = on ? (m_faults | Bit(fault)) : (m_faults & ~Bit(fault));
}

bool FakeSerialDevice::Has(SerialFault fault) const {
    std::lock_guard guard(m_lock);
    return (m_faults & Bit(fault)) != 0;
}

void FakeSerialDevice::SetPartialWriteLimit(std::uint32_t bytes) {
    std::lock_guard guard(m_lock);
    m_partialWriteLimit = bytes;
}

void FakeSerialDevice::Deliver(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard guard(m_lock);
    m_toPc.insert(m_toPc.end(), bytes.begin(), bytes.end());
}

void FakeSerialDevice::AttachPeer(SerialPeer* peer) {
    std::lock_guard guard(m_lock);
    m_peer = peer;
}

std::vector<std::uint8_t> FakeSerialDevice::Written() const {
    std::lock_guard guard(m_lock);
    return m_written;
}

std::vector<std::vector<std::uint8_t>> FakeSerialDevice::Writes() const {
    std::lock_guard guard(m_lock);
    return m_writes;
}

void FakeSerialDevice::ClearWritten() {
    std::lock_guard guard(m_lock);
    m_written.clear();
    m_writes.clear();
}

LineSettings FakeSerialDevice::Settings() const {
    std::lock_guard guard(m_lock);
    return m_settings;
}

std::uint32_t FakeSerialDevice::EventMask() const {
    std::lock_guard guard(m_lock);
    return m_eventMask;
}

int FakeSerialDevice::PurgeCount() const {
    std::lock_guard guard(m_lock);
    return m_purges;
}

int FakeSerialDevice::ReadCalls() const {
    std::lock_guard guard(m_lock);
    return m_reads;
}

int FakeSerialDevice::OpenCount() const {
    std::lock_guard guard(m_lock);
    return m_opens;
}

bool FakeSerialDevice::IsOpen() const {
    std::lock_guard guard(m_lock);
    return m_open;
}

class FakeSerialPort final : public SerialPort {
public:
    FakeSerialPort(std::shared_ptr<FakeSerialDevice> device, Clock& clock) : m_device(std::move(device)), m_clock(clock) {}

    ~FakeSerialPort() override {
        std::lock_guard guard(m_device->m_lock);
        m_device->m_open = false;
    }

    std::unique_ptr<IoRecord> CreateIoRecord() override {
        if (Has(SerialFault::IoRecordFails)) return nullptr;
        return std::make_unique<FakeIoRecord>();
    }

    bool GetLineSettings(LineSettings& settings) override {
        std::lock_guard guard(m_device->m_lock);
        if (Faulty(SerialFault::GetSettingsFails) || Faulty(SerialFault::Removed)) return false;
        settings = m_device->m_settings;
        return true;
    }

    bool SetLineSettings(const LineSettings& settings) override {
        std::lock_guard guard(m_device->m_lock);
        if (Faulty(SerialFault::SetSettingsFails) || Faulty(SerialFault::Removed)) return false;
        m_device->m_settings = settings;
        return true;
    }

    bool SetEventMask(std::uint32_t mask) override {
        std::lock_guard guard(m_device->m_lock);
        m_device->m_eventMask = mask;
        return true;
    }

    bool SetQueueSizes(std::uint32_t, std::uint32_t) override { return true; }

    bool Purge() override {
        std::lock_guard guard(m_device->m_lock);
        ++m_device->m_purges;
        m_device->m_toPc.clear();
        return true;
    }

    std::uint32_t ClearErrorsAndCountWaiting() override {
        std::lock_guard guard(m_device->m_lock);
        if (Faulty(SerialFault::Removed)) return 0;
        if (m_device->m_peer) return static_cast<std::uint32_t>(m_device->m_peer->AvailableToPc(m_clock.TickCount()));
        return static_cast<std::uint32_t>(m_device->m_toPc.size());
    }

    std::uint32_t Read(IoRecord&, std::uint8_t* buffer, std::uint32_t size) override {
        std::lock_guard guard(m_device->m_lock);
        ++m_device->m_reads;
        if (Faulty(SerialFault::ReadError) || Faulty(SerialFault::Removed)) return 0;
        if (m_device->m_peer) {
            return static_cast<std::uint32_t>(m_device->m_peer->TransmitToPc(buffer, size, m_clock.TickCount()));
        }
        auto& queue = m_device->m_toPc;
        const auto count = std::min<std::size_t>(size, queue.size());
        std::copy_n(queue.begin(), count, buffer);
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(count));
        return static_cast<std::uint32_t>(count);
    }

    IoProgress StartWrite(IoRecord& record, const std::uint8_t* data, std::uint32_t size) override {
        std::lock_guard guard(m_device->m_lock);
        if (Faulty(SerialFault::WriteSendsNothing) || Faulty(SerialFault::Removed)) return {IoState::Failed, 0};
        if (Faulty(SerialFault::WriteStalls)) {
            static_cast<FakeIoRecord&>(record).pending = true;
            return {IoState::Pending, 0};
        }
        std::uint32_t count = size;
        if (Faulty(SerialFault::WriteSendsPart)) count = std::min(size, m_device->m_partialWriteLimit);
        Send(data, count);
        return {IoState::Done, count};
    }

    IoProgress PollWrite(IoRecord& record) override {
        if (!static_cast<FakeIoRecord&>(record).pending) return {IoState::Failed, 0};
        // A stalled write: asking waits a millisecond for it, as a real port's poll does.
        m_clock.Sleep(1);
        return {IoState::Pending, 0};
    }

    void CancelWrite(IoRecord& record) override { static_cast<FakeIoRecord&>(record).pending = false; }

private:
    bool Has(SerialFault fault) const { return m_device->Has(fault); }
    bool Faulty(SerialFault fault) const { return (m_device->m_faults & Bit(fault)) != 0; }  // lock held

    void Send(const std::uint8_t* data, std::uint32_t count) {  // lock held
        if (count == 0) return;
        m_device->m_written.insert(m_device->m_written.end(), data, data + count);
        m_device->m_writes.emplace_back(data, data + count);
        if (m_device->m_peer) m_device->m_peer->ReceiveFromPc(data, count, m_clock.TickCount());
    }

    std::shared_ptr<FakeSerialDevice> m_device;
    Clock& m_clock;
};

std::shared_ptr<FakeSerialDevice> FakeSerialPorts::Add(const std::u16string& name) {
    std::lock_guard guard(m_lock);
    for (auto& [known, device] : m_devices) {
        if (known == name) return device;
    }
    auto device = std::make_shared<FakeSerialDevice>();
    m_devices.emplace_back(name, device);
    return device;
}

std::shared_ptr<FakeSerialDevice> FakeSerialPorts::Device(const std::u16string& name) const {
    std::lock_guard guard(m_lock);
    for (auto& [known, device] : m_devices) {
        if (known == name) return device;
    }
    return nullptr;
}

std::vector<std::u16string> FakeSerialPorts::OpenedNames() const {
    std::lock_guard guard(m_lock);
    return m_openedNames;
}

std::unique_ptr<SerialPort> FakeSerialPorts::Open(std::u16string_view name) {
    std::shared_ptr<FakeSerialDevice> device;
    {
        std::lock_guard guard(m_lock);
        m_openedNames.emplace_back(name);
        for (auto& [known, candidate] : m_devices) {
            if (known == name) device = candidate;
        }
    }
    if (!device) return nullptr;
    std::lock_guard guard(device->m_lock);
    const auto refused = Bit(SerialFault::OpenFails) | Bit(SerialFault::Removed);
    if ((device->m_faults & refused) != 0 || device->m_open) return nullptr;
    device->m_open = true;
    ++device->m_opens;
    return std::make_unique<FakeSerialPort>(device, m_clock);
}

std::vector<std::u16string> FakeSerialPorts::ListPortNames() {
    std::lock_guard guard(m_lock);
    std::vector<std::u16string> names;
    for (auto& [name, device] : m_devices) {
        if (!device->Has(SerialFault::Removed)) names.push_back(name);
    }
    return names;
}

}  // namespace platform::sim
