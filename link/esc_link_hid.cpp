// The HID link side: finding and opening the adapter, framing the queue into output reports and
// unpacking input reports.
#include "link/esc_link.h"
#include "link/link_text.h"

#include <algorithm>
#include <cstring>

bool ESCLink::FindHidInterface(int index, std::array<char16_t, kHidPathChars>& path) {
    if (m_pHidBus == nullptr) return false;
    if (index < 0 || index >= kMaxHidInterfaces) return false;
    std::u16string found;
    if (!m_pHidBus->InterfacePath(static_cast<std::uint32_t>(index), found)) return false;
    CopyText(path, found);
    return true;
}

namespace {

bool IsHidLinkAdapter(platform::HidDevice& device) {
    platform::HidAttributes attributes;
    return device.GetAttributes(attributes) && attributes.vendorId == HidLinkVendorId &&
           attributes.productId == HidLinkProductId;
}

}  // namespace

int ESCLink::CountHidLinks() {
    std::lock_guard guard(m_linkLock);
    int count = 0;
    for (int index = 0; FindHidInterface(index, m_hidPath); ++index) {
        auto device = m_pHidBus->Open(TextOf(m_hidPath));
        if (device && IsHidLinkAdapter(*device)) ++count;
    }
    return count;
}

void ESCLink::ResetHidCaps() {
    m_inputReportLength = 0;
    m_outputReportLength = 0;
}

bool ESCLink::IsUsableAdapter(platform::HidDevice& device) {
    platform::HidCaps caps;
    if (!device.GetCaps(caps)) return false;
    // Writing needs a report ID, a length byte and room for payload; reading must fit m_rxBuffer.
    if (caps.outputReportByteLength < kMinOutputReportLength) return false;
    if (caps.inputReportByteLength < 1 || caps.inputReportByteLength > kRxBufferSize) return false;
    ResetHidCaps();
    m_inputReportLength = caps.inputReportByteLength;
    m_outputReportLength = caps.outputReportByteLength;
    return true;
}

void ESCLink::OpenHidLink(int n) {
    int matching = 0;
    for (int index = 0; FindHidInterface(index, m_hidPath); ++index) {
        auto device = m_pHidBus->Open(TextOf(m_hidPath));
        if (!device || !IsHidLinkAdapter(*device)) continue;
        if (matching++ != n) continue;  // not the one asked for: it closes again here
        // An adapter whose report lengths cannot be had, or cannot carry the link's reports,
        // is not used: it counts as not opened.
        if (IsUsableAdapter(*device)) m_hPort.hid = std::move(device);
        return;
    }
}

std::uint32_t ESCLink::WriteHidPort(const std::uint8_t* bytes) {
    if (!m_hPort.hid || !m_pOverlapped) return 0;
    m_ioBusy = 1;
    if (!m_pOutputReport || m_outputReportLength < kMinOutputReportLength) return 0;
    auto* report = m_pOutputReport.get();
    std::memset(report, 0, m_outputReportLength);
    report[0] = m_hidReportId;
    const int payload = std::min({m_outputReportLength - kReportHeaderLength, static_cast<int>(m_txCount), kMaxReportPayload});
    report[1] = static_cast<std::uint8_t>(payload);
    std::memcpy(report + kReportHeaderLength, bytes, static_cast<std::size_t>(payload));
    auto count = m_hPort.hid->WriteReport(*m_pOverlapped, report, m_outputReportLength, kHidWriteWaitMs);
    if (count == 0) return 0;
    // The system reports the whole report; the queue lost only the payload.
    count = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(payload));
    FinishWrite(count);
    return count;
}

std::uint32_t ESCLink::ReadHidPort(std::uint8_t* buffer) {
    if (!m_hPort.hid || !m_pOverlapped) return 0;
    m_ioBusy = 1;
    const auto count = m_hPort.hid->ReadReport(*m_pOverlapped, buffer, m_inputReportLength, kHidReadWaitMs);
    if (count == 0) return 0;
    std::uint32_t result = count;
    if (count == 1) {
        result = 0;
    } else if (buffer[0] == HidReportInput) {
        // A length byte that claims more than the report holds delivers only what it holds.
        result = std::min<std::uint32_t>(buffer[1], count - kReportHeaderLength);
        if (result != 0) std::memmove(buffer, buffer + kReportHeaderLength, result);
    }
    m_lastIoTick = Clock().TickCount();
    return result;
}
