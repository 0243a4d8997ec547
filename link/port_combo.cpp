#include "link/port_combo.h"

#include "link/esc_link.h"
#include "link/link_text.h"

void PortComboSelected(ESCLink* link) {
    if (link == nullptr || link->m_pPortCombo == nullptr) return;
    auto& combo = *link->m_pPortCombo;
    std::array<char16_t, kPortNameChars> entry{};
    CopyText(entry, combo.GetLBText(combo.GetCurSel()));
    link->SelectPort(TextOf(entry));
    combo.SelectString(-1, TextOf(entry));
}

void PortComboOpening(ESCLink* link) {
    if (link != nullptr) link->ListPorts();
}
