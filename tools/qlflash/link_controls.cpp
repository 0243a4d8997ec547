#include "tools/qlflash/link_controls.h"

#include "link/esc_link.h"

namespace qlflash {

void MessageQueue::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::lock_guard guard(m_lock);
    m_messages.push_back({message, wParam, lParam});
}

std::vector<PostedMessage> MessageQueue::Take() {
    std::lock_guard guard(m_lock);
    return std::exchange(m_messages, {});
}

void LinkControls::AttachTo(ESCLink& link) {
    link.m_pInfoText = &infoText;
    link.m_pLineLabel = &lineLabel;
    link.m_pProgress = &progress;
    link.m_pStatusLog = &statusLog;
    link.m_pUpdateButton = &updateButton;
    link.m_pResetButton = &resetButton;
    link.m_hMainWnd = &window;
}

}  // namespace qlflash
