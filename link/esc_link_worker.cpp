// The worker loop: one pass reads and dispatches, or writes the queue, or does the mode's idle
// work (identity query, next block, keep-alive, ready notice, silence rule).
#include "link/esc_link.h"
#include "link/link_text.h"

std::uint32_t ESCLink::WorkerLoop(ESCLink* link) {
    if (link == nullptr) return kWorkerExitNoLink;
    link->m_workerId = std::this_thread::get_id();
    {
        std::lock_guard guard(link->m_linkLock);
        link->m_lastRxTick = 0;
        // A burst can only be under way once the worker has written part of it.
        if (link->m_txCount == 0) link->m_txOffset = 0;
    }
    while (link->m_keepRunning.load() == 1) link->WorkerPass();
    return kWorkerExitNormal;
}

void ESCLink::WorkerPass() {
    Clock().Sleep(kPassSleepMs);
    std::lock_guard guard(m_linkLock);

    const auto received = static_cast<std::int32_t>(ReadPort(m_rxBuffer.data()));
    m_ioBusy = 0;
    if (received > 0) {
        if (m_echoCancel && m_echoPending != 0) {
            if (received > m_echoPending) {
                DispatchReceived(m_rxBuffer.data() + m_echoPending, received - m_echoPending);
                m_echoPending = 0;
            } else {
                m_echoPending -= received;
            }
        } else {
            DispatchReceived(m_rxBuffer.data(), received);
        }
        return;
    }

    if (m_txCount > 0) {
        const auto written = static_cast<std::int32_t>(WritePort(m_txBuffer.data() + m_txOffset));
        m_ioBusy = 0;
        if (written > 0) {
            m_txOffset += written;
            m_txCount -= written;
            if (m_txCount == 0) m_txOffset = 0;
        } else if (m_mode.load() != ModeOffline) {
            // A port that takes nothing (a removed adapter, a dead line) would keep the bytes
            // queued for ever and the silence rule would never be looked at: look at it here,
            // armed by the machine call that queued the bytes.
            CheckSilence();
        }
        return;
    }

    switch (m_mode.load()) {
        case ModeReady:
            IdlePass();
            break;
        case ModeConnect:
        case ModeIdentify:
        case ModeRead:
        case ModeWrite:
        case ModeKeepAlive:
            CheckSilence();
            break;
        case ModeOffline:
            break;
    }
}

void ESCLink::IdlePass() {
    m_lastRxTick = 0;
    if (m_identifyPending) {
        m_step = QueryStart;
        m_mode = ModeIdentify;
        RunQuery(nullptr);
        return;
    }
    if (m_blocksLeft > 0) {
        TakeNextBlock();
        return;
    }
    if (platform::TicksSince(m_lastIoTick, Clock().TickCount()) > kKeepAliveIdleMs) {
        m_step = QueryStart;
        m_mode = ModeKeepAlive;
        RunQuery(nullptr);
        return;
    }
    // Until the window has enabled Update, tell it again on every quiet pass that it may.
    if (m_pImage && m_pUpdateButton != nullptr && !m_pUpdateButton->IsWindowEnabled() && m_hMainWnd != nullptr) {
        PostLinkState(1, 0);
    }
}

void ESCLink::CheckSilence() {
    if (m_lastRxTick == 0) return;
    const auto now = Clock().TickCount();
    if (m_lastRxTick > now) {
        m_lastRxTick = now;  // the tick count wrapped: count the silence from here
    } else if (now - m_lastRxTick > kSilenceLimitMs) {
        TakeOffline();
    }
}

void ESCLink::TakeOffline() {
    m_lastRxTick = 0;
    PostLinkState(0, 0);
    SetLineLabel(u"Off-line");
    m_mode = ModeOffline;
    SetInfoText(m_useHidLink ? u"Please select or reset USB port..." : u"Please select or reset COM port...");
    if (m_pProgress != nullptr) m_pProgress->SetPos(0);
    AppendStatus(nullptr, m_pStatusLog);
    AppendStatus(u"ESC off-lined.", m_pStatusLog);
    if (ResetLink()) OpenPort();
}
