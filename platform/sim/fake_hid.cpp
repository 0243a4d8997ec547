#include "platform/sim/fake_hid.h"

#include <algorithm>

namespace platform::sim {

namespace {

constexpr std::uint32_t Bit(HidFault fault) { return 1u << static_cast<unsigned>(fault); }

struct FakeHidIoRecord final : IoRecord {};

}  // namespace

void FakeHidInterface::Set(HidFault fault, bool on) {
    std::lock_guard guard(m_lock);
    m_faults = on ? (m_faults | Bit(fault)) : (m_faults & ~Bit(fault));
}

bool FakeHidInterface::Has(HidFault fault) const {
    std::lock_guard guard(m_lock);
    return (m_faults & Bit(fault)) != 0;
}

void FakeHidInterface::SetAttributes(HidAttributes attributes) {
    std::lock_guard guard(m_lock);
    m_attributes = attributes;
}

void FakeHidInterface::SetCaps(HidCaps caps) {
    std::lock_guard guard(m_lock);
    m_caps = caps;
}

void FakeHidInterface::AttachPeer(HidPeer* peer) {
    std::lock_guard guard(m_lock);
    m_peer = peer;
}

void FakeHidInterface::DeliverReport(std::vector<std::uint8_t> report) {
    std::lock_guard guard(m_lock);
    m_toPc.push_back(std::move(report));
}

std::vector<std::vector<std::uint8_t>> FakeHidInterface::WrittenReports() const {
    std::lock_guard guard(m_lock);
    return m_written;
}

void FakeHidInterface::ClearWritten() {
    std::lock_guard guard(m_lock);
    m_written.clear();
}

bool FakeHidInterface::IsOpen() const {
    std::lock_guard guard(m_lock);
    return m_open;
}

int FakeHidInterface::OpenCount() const {
    std::lock_guard guard(m_lock);
    return m_opens;
}

int FakeHidInterface::ReadCalls() const {
    std::lock_guard guard(m_lock);
    return m_reads;
}

class FakeHidDevice final : public HidDevice {
public:
    FakeHidDevice(std::shared_ptr<FakeHidInterface> target, Clock& clock) : m_if(std::move(target)), m_clock(clock) {}

    ~FakeHidDevice() override {
        std::lock_guard guard(m_if->m_lock);
        m_if->m_open = false;
    }

    std::unique_ptr<IoRecord> CreateIoRecord() override {
        if (m_if->Has(HidFault::IoRecordFails)) return nullptr;
        return std::make_unique<FakeHidIoRecord>();
    }

    bool GetAttributes(HidAttributes& attributes) override {
        std::lock_guard guard(m_if->m_lock);
        if (Faulty(HidFault::AttributesFail) || Faulty(HidFault::Removed)) return false;
        attributes = m_if->m_peer ? m_if->m_peer->Attributes() : m_if->m_attributes;
        return true;
    }

    bool GetCaps(HidCaps& caps) override {
        std::lock_guard guard(m_if->m_lock);
        if (Faulty(HidFault::CapsFail) || Faulty(HidFault::Removed)) return false;
        if (m_if->m_peer) {
            auto peerCaps = m_if->m_peer->Caps();
            if (!peerCaps) return false;
            caps = *peerCaps;
            return true;
        }
        caps = m_if->m_caps;
        return true;
    }

    std::uint32_t ReadReport(IoRecord&, std::uint8_t* buffer, std::uint32_t size, std::uint32_t waitMs) override {
        std::optional<std::vector<std::uint8_t>> report;
        {
            std::lock_guard guard(m_if->m_lock);
            ++m_if->m_reads;
            if (Faulty(HidFault::ReadError) || Faulty(HidFault::Removed)) return 0;
            if (m_if->m_peer) {
                report = m_if->m_peer->NextInputReport(m_clock.TickCount());
            } else if (!m_if->m_toPc.empty()) {
                report = std::move(m_if->m_toPc.front());
                m_if->m_toPc.pop_front();
            }
        }
        if (!report) {
            m_clock.Sleep(waitMs);  // nothing arrived: the read waits out its limit and is cancelled
            return 0;
        }
        const auto count = std::min<std::size_t>(size, report->size());
        std::copy_n(report->begin(), count, buffer);
        return static_cast<std::uint32_t>(count);
    }

    std::uint32_t WriteReport(IoRecord&, const std::uint8_t* report, std::uint32_t size, std::uint32_t waitMs) override {
        bool stalls = false;
        {
            std::lock_guard guard(m_if->m_lock);
            if (Faulty(HidFault::WriteSendsNothing) || Faulty(HidFault::Removed)) return 0;
            stalls = Faulty(HidFault::WriteStalls);
            if (!stalls) {
                if (m_if->m_peer && !m_if->m_peer->ReceiveOutputReport(report, size, m_clock.TickCount())) return 0;
                m_if->m_written.emplace_back(report, report + size);
            }
        }
        if (stalls) {
            m_clock.Sleep(waitMs);
            return 0;
        }
        return size;
    }

private:
    bool Faulty(HidFault fault) const { return (m_if->m_faults & Bit(fault)) != 0; }  // lock held

    std::shared_ptr<FakeHidInterface> m_if;
    Clock& m_clock;
};

std::shared_ptr<FakeHidInterface> FakeHidBus::Add(const std::u16string& path) {
    std::lock_guard guard(m_lock);
    auto added = std::make_shared<FakeHidInterface>();
    added->m_path = path;
    m_interfaces.push_back(added);
    return added;
}

std::vector<std::shared_ptr<FakeHidInterface>> FakeHidBus::Interfaces() const {
    std::lock_guard guard(m_lock);
    return m_interfaces;
}

int FakeHidBus::EnumerationCalls() const {
    std::lock_guard guard(m_lock);
    return m_enumerations;
}

bool FakeHidBus::InterfacePath(std::uint32_t index, std::u16string& path) {
    std::lock_guard guard(m_lock);
    ++m_enumerations;
    std::uint32_t present = 0;
    for (auto& candidate : m_interfaces) {
        if (candidate->Has(HidFault::Removed)) continue;
        if (present++ == index) {
            path = candidate->Path();
            return true;
        }
    }
    return false;
}

std::unique_ptr<HidDevice> FakeHidBus::Open(std::u16string_view path) {
    std::shared_ptr<FakeHidInterface> target;
    {
        std::lock_guard guard(m_lock);
        for (auto& candidate : m_interfaces) {
            if (candidate->Path() == path) target = candidate;
        }
    }
    if (!target) return nullptr;
    std::lock_guard guard(target->m_lock);
    const auto refused = Bit(HidFault::HeldElsewhere) | Bit(HidFault::Removed);
    if ((target->m_faults & refused) != 0 || target->m_open) return nullptr;
    target->m_open = true;
    ++target->m_opens;
    return std::make_unique<FakeHidDevice>(target, m_clock);
}

}  // namespace platform::sim
