// Construction, destruction, the status log, reset, open and close, and the worker's life.
#include "link/esc_link.h"
#include "link/link_text.h"

#include <algorithm>
#include <new>

ESCLink::ESCLink() : ESCLink(platform::DefaultServices()) {}

ESCLink::ESCLink(const platform::Services& services)
    : m_pClock(services.clock), m_pSerialPorts(services.serialPorts), m_pHidBus(services.hidBus),
      m_pThreads(services.threads != nullptr ? services.threads : &platform::SystemThreads()),
      m_pFiles(services.files != nullptr ? services.files : &platform::SystemFiles()),
      m_pResources(services.resources != nullptr ? services.resources : &platform::ProgramResources()) {
    ResetLink();
}

ESCLink::~ESCLink() {
    SetWorkerRunning(false);
    std::lock_guard guard(m_linkLock);
    m_pOutputReport.reset();
    m_pXfer.reset();
    m_pImage.reset();
    m_pImageCursor = nullptr;
    if (m_hPort.IsOpen() || m_pOverlapped) ClosePort();
}

std::unique_ptr<std::uint8_t[]> ESCLink::AllocateBuffer(std::size_t size) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

std::u16string_view ESCLink::PortName() const { return TextOf(m_portName); }

void ESCLink::AppendStatus(const char16_t* text, platform::CListBox* list) {
    if (list == nullptr) return;
    if (text != nullptr) {
        list->AddString(text);
        list->SetAnchorIndex(list->GetAnchorIndex() + 1);
        return;
    }
    for (int line = list->GetAnchorIndex(); line >= 0; --line) list->DeleteString(line);
}

void ESCLink::AppendMessage(std::u16string_view text) {
    CopyText(m_message, text);
    AppendStatus(m_message.data(), m_pStatusLog);
}

void ESCLink::PostLinkState(std::uintptr_t wParam, std::intptr_t lParam) {
    if (m_hMainWnd != nullptr) m_hMainWnd->PostMessage(WM_LINK_STATE, wParam, lParam);
}

void ESCLink::SetInfoText(std::u16string_view text) {
    if (m_pInfoText != nullptr) m_pInfoText->SetWindowText(text);
}

void ESCLink::SetLineLabel(std::u16string_view text) {
    if (m_pLineLabel != nullptr) m_pLineLabel->SetWindowText(text);
}

bool ESCLink::ResetLink() {
    std::lock_guard guard(m_linkLock);
    AppendStatus(nullptr, m_pStatusLog);
    if (m_pProgress != nullptr) m_pProgress->SetPos(0);
    if (m_hPort.IsOpen() || m_pOverlapped) ClosePort();
    m_identifyPending = 1;
    m_fullQuery = 1;
    m_step = 0;
    PostLinkState(0, 0);
    m_txBuffer.fill(0);
    m_txCount = 0;
    m_txOffset = 0;
    m_rxBuffer.fill(0);
    m_pauseAfterWrite = 0;
    m_echoCancel = 0;
    m_echoPending = 0;
    m_retriesLeft = kBlockRetries;
    m_deviceSignature.fill(0);
    m_firmwareVersion.fill(0);
    m_xferLength = 0;
    m_pXfer.reset();
    PutBackBlockInHand();
    if (PortName().empty()) return false;
    SetLineLabel(u"Off-line");
    SetInfoText(u"Waiting... please connect then power on ESC.");
    return true;
}

bool ESCLink::OpenPort() {
    std::lock_guard guard(m_linkLock);
    if (m_pResetButton != nullptr) m_pResetButton->EnableWindow(false);
    if (m_hPort.IsOpen() || m_pOverlapped) ClosePort();

    if (m_useHidLink) {
        for (std::uint32_t attempt = 0; attempt < kHidOpenAttempts; ++attempt) {
            if (m_hPort.IsOpen()) break;
            // A worker told to stop abandons the attempts, so stopping never waits for them.
            if (OnWorkerThread() && m_keepRunning.load() == 0) break;
            OpenHidLink(m_hidIndex);
            if (!m_hPort.IsOpen()) Clock().Sleep(kHidOpenRetryMs);
        }
    } else {
        OpenComPort();
    }

    const auto name = PortName();
    if (!m_hPort.IsOpen()) {
        m_hPort.Close();
        AppendMessage(FormatWithName(u"Can not open %s.", name));
        return false;
    }

    // Reads and writes need the record; a port without one is of no use.
    m_pOverlapped = m_hPort.serial ? m_hPort.serial->CreateIoRecord() : m_hPort.hid->CreateIoRecord();
    bool ready = m_pOverlapped != nullptr;
    if (ready) {
        if (m_useHidLink) {
            m_pOutputReport = std::make_unique<std::uint8_t[]>(m_outputReportLength);
        } else {
            ready = ConfigureComPort();
        }
    }
    if (!ready) {
        AppendMessage(FormatWithName(u"Can not open %s.", name));
        ClosePort();
        return false;
    }

    m_mode = ModeConnect;
    AppendMessage(FormatWithName(u"%s standby ready.", name));
    if (m_pResetButton != nullptr) {
        std::array<char16_t, 16> caption{};
        CopyText(caption, FormatWithName(u"%s Reset", name));
        m_pResetButton->SetWindowText(TextOf(caption));
        m_pResetButton->EnableWindow(true);
    }
    SetWorkerRunning(true);
    return true;
}

bool ESCLink::ClosePort() {
    std::lock_guard guard(m_linkLock);
    // No read or write can be under way here: they run only inside a worker pass, which holds
    // the link lock from before the read until after m_ioBusy is cleared again.
    m_pOverlapped.reset();
    if (m_hPort.IsOpen()) {
        m_hPort.Close();
        m_mode = ModeOffline;
    }
    if (m_useHidLink) ResetHidCaps();
    return true;
}

bool ESCLink::OnWorkerThread() const { return m_workerId.load() == std::this_thread::get_id(); }

bool ESCLink::SetWorkerRunning(bool run) {
    if (run) {
        // The worker itself reopening the port carries on; it must not undo a stop request.
        if (OnWorkerThread()) return false;
        std::lock_guard guard(m_threadLock);
        m_keepRunning = 1;
        if (m_hThread) return false;
        m_hThread = m_pThreads->Start([this] { return WorkerLoop(this); });
        return m_hThread != nullptr;
    }

    m_keepRunning = 0;
    platform::Thread* thread = nullptr;
    {
        std::lock_guard guard(m_threadLock);
        thread = m_hThread.get();
    }
    if (thread == nullptr) return true;
    // The worker ends within one pass; the limit only bounds how long this waits politely.
    auto start = Clock().TickCount();
    while (thread->IsActive()) {
        Clock().Sleep(kWorkerStopPollMs);
        const auto now = Clock().TickCount();
        if (start > now) {
            start = now;
        } else if (now - start > kWorkerStopLimitMs) {
            break;
        }
    }
    thread->Join();
    std::lock_guard guard(m_threadLock);
    m_hThread.reset();
    m_workerId = std::thread::id{};
    return true;
}
