#include "emulator/hid_link_adapter.h"

#include <algorithm>

namespace emulator {

HidLinkAdapter::HidLinkAdapter(Pcu& device, HidLinkAdapterConfig config) : m_device(device), m_config(config) {}

platform::HidAttributes HidLinkAdapter::Attributes() const {
    return platform::HidAttributes{m_config.vendorId, m_config.productId};
}

std::optional<platform::HidCaps> HidLinkAdapter::Caps() const {
    if (!m_config.capsReadable) {
        return std::nullopt;
    }
    return platform::HidCaps{m_config.inputReportLength, m_config.outputReportLength};
}

bool HidLinkAdapter::ReceiveOutputReport(const std::uint8_t* report, std::size_t size, platform::Tick now) {
    std::lock_guard lock(m_lock);
    const bool wellFormed = size == m_config.outputReportLength && size >= 2 && report[1] <= size - 2 &&
                            (report[0] == report::kData || report[0] == report::kSetUp);
    if (!wellFormed) {
        ++m_refused;
        return false;
    }
    const std::uint8_t length = report[1];
    const std::uint8_t* payload = report + 2;
    if (report[0] == report::kSetUp) {
        if (length == 1 && payload[0] == report::kSetUpByte) {
            m_setUp = true;
        }
        return true;
    }
    m_device.ReceiveFromPc(payload, length, now);
    return true;
}

std::optional<std::vector<std::uint8_t>> HidLinkAdapter::NextInputReport(platform::Tick now) {
    std::lock_guard lock(m_lock);
    if (!m_setUp || m_config.inputReportLength < 3) {
        return std::nullopt;
    }
    const std::size_t room = std::min<std::size_t>(m_config.inputReportLength - 2U, 0xFF);
    std::vector<std::uint8_t> input(m_config.inputReportLength, 0);
    const std::size_t count = m_device.TransmitToPc(input.data() + 2, room, now);
    if (count == 0) {
        return std::nullopt;
    }
    input[0] = report::kDeviceData;
    input[1] = static_cast<std::uint8_t>(count);
    return input;
}

bool HidLinkAdapter::SetUp() const {
    std::lock_guard lock(m_lock);
    return m_setUp;
}

std::size_t HidLinkAdapter::ReportsRefused() const {
    std::lock_guard lock(m_lock);
    return m_refused;
}

}  // namespace emulator
