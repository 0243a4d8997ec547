// Port discovery and selection: the port combo's entries (the serial ports and one entry for
// the HID link adapter) and the choice of the link's port.
#include "link/esc_link.h"
#include "link/link_text.h"

namespace {

// The one entry of the HID link in the port list.
constexpr char16_t kHidLinkEntry[] = u"USB0";

}  // namespace

void ESCLink::ListPorts() {
    std::lock_guard guard(m_linkLock);
    m_hidDeviceCount = 0;
    m_comPortCount = 0;
    if (m_pPortCombo != nullptr) {
        for (int entry = m_pPortCombo->GetCount() - 1; entry >= 0; --entry) m_pPortCombo->DeleteString(entry);
    }
    if (m_pSerialPorts != nullptr) {
        for (const auto& name : m_pSerialPorts->ListPortNames()) {
            // A name that does not fit the port name's 7 characters cannot be selected.
            if (name.empty() || name.size() >= kPortNameChars) continue;
            if (m_pPortCombo != nullptr) m_pPortCombo->AddString(name);
            m_comPortCount += 1;
        }
    }
    m_hidDeviceCount = CountHidLinks();
    if (m_hidDeviceCount > 0 && m_pPortCombo != nullptr) {
        m_pPortCombo->AddString(kHidLinkEntry);
        m_pPortCombo->SelectString(-1, kHidLinkEntry);
        SelectPort(kHidLinkEntry);
    }
    if (m_pPortCombo != nullptr) m_pPortCombo->SelectString(-1, PortName());
}

void ESCLink::SelectPort(std::u16string_view name) {
    std::lock_guard guard(m_linkLock);
    if (name == PortName()) return;
    CopyText(m_portName, name);
    // The HID link is told from a serial port by the entry's text, which holds whatever the
    // serial ports are named and wherever the sorted list puts them.
    if (PortName() == kHidLinkEntry) {
        m_useHidLink = 1;
        m_hidIndex = 0;
    } else {
        m_useHidLink = 0;
    }
    ResetLink();
    OpenPort();
    if (m_useHidLink) {
        // The adapter's set-up byte travels in a report of its own ID.
        m_hidReportId = HidReportSetup;
        QueueByte(CodeHidSetup);
    }
}
