#include "ui/quelolink_dlg.h"

#include "link/esc_link.h"
#include "link/port_combo.h"
#include "ui/about_dlg.h"
#include "ui/dialog_templates.h"
#include "ui/program_link.h"
#include "ui/quelolink_app.h"

namespace {

constexpr std::uint16_t kIconResource = 131;
constexpr platform::Rect kWindowPlace{0, 0, 540, 360};
constexpr platform::Rect kProgressPlace{80, 236, 380, 20};
constexpr float kUpdateFontPoints = 14.0f;
constexpr std::uint32_t kUpdateLabelColor = 0x00FFFFFF;

void ApplyTemplate(platform::CWnd& control, int id) {
    const DialogControl* item = FindControl(MainWindowTemplate(), id);
    if (item == nullptr) return;
    control.SetWindowText(item->text);
    control.EnableWindow((item->style & kStyleDisabled) == 0);
}

}  // namespace

CQueloLinkDlg::CQueloLinkDlg(UiServices& services) : m_services(services) {
    if (services.resources != nullptr && services.graphics != nullptr) {
        if (const auto icon = services.resources->Find(u"ICON", kIconResource))
            m_hIcon = services.graphics->DecodePng(*icon);
    }
    m_titleBox = {160, 9, 460, 31};
    m_statusBox = {54, 300, 394, 320};
}

CQueloLinkDlg::~CQueloLinkDlg() {
    // A run that ended without WM_CLOSE must not leave the worker running on these controls.
    StopAndDeleteLink();
    OnDestroy();
}

int CQueloLinkDlg::DoModal() {
    if (!m_services.createHost) return -1;
    auto host = m_services.createHost();
    if (!host) return -1;
    return host->RunModal(*this);
}

void CQueloLinkDlg::BindControls() {
    ApplyTemplate(m_portCombo, IDC_PORT);
    ApplyTemplate(m_infoText, IDC_INFO);
    ApplyTemplate(m_progress, IDC_PROGRESS);
    ApplyTemplate(m_lineLabel, IDC_LINE);
    ApplyTemplate(m_statusLog, IDC_STATUS_LOG);
    ApplyTemplate(m_upgradeButton, IDC_UPGRADE);
    ApplyTemplate(m_fileLabel, IDC_FILE_LABEL);
    ApplyTemplate(m_resetButton, IDC_RESET);
    ApplyTemplate(m_readButton, IDC_READ);
    ApplyTemplate(m_downloadButton, IDC_DOWNLOAD);
    // Of the template's controls only the progress bar is shown; the others hold state only.
    m_pProgressWindow = m_pHost->CreateChild(platform::ChildKind::ProgressBar, IDC_PROGRESS, kProgressPlace,
                                             m_progress, nullptr);
}

bool CQueloLinkDlg::OnInitDialog(platform::DialogHost& host) {
    m_pHost = &host;
    BindControls();
    // The host's window has no caption bar and no sizing or maximising.
    BuildSkin();
    host.SetIcon(m_hIcon.get());
    host.MoveWindow(kWindowPlace);
    if (m_pProgressWindow != nullptr) m_pProgressWindow->MoveWindow(kProgressPlace);

    if (!m_updateFont && theApp.m_pFontFamilies)
        m_updateFont = FontByName(AppFontFamilyName(), kUpdateFontPoints, platform::FontStyle::Regular);
    if (m_pUpdateButton) {
        m_pUpdateButton->SetFont(m_updateFont.get());
        m_pUpdateButton->m_textColor = kUpdateLabelColor;
        m_pUpdateButton->SetWindowText(u"Update");
    }
    host.BringToTop();
    // The Read button stays hidden, as every template control but the progress bar.
    host.SetTitle(kWindowTitle);

    if (theLink == nullptr && m_services.createLink) theLink = m_services.createLink().release();
    if (theLink == nullptr) {
        SetConnected(false);
        return true;
    }
    theLink->m_pPortCombo = &m_portCombo;
    theLink->m_pLineLabel = &m_lineLabel;
    theLink->m_pProgress = &m_progress;
    theLink->m_pStatusLog = &m_statusLog;
    theLink->m_pInfoText = &m_infoText;
    theLink->m_pResetButton = &m_resetButton;
    theLink->m_pUpdateButton = m_pUpdateButton.get();
    theLink->m_hMainWnd = &host.Handle();

    m_infoText.SetWindowText(u"Please select COM/USB port...");
    theLink->ListPorts();
    theLink->LoadBuiltInImage();
    SetConnected(false);
    return true;
}

void CQueloLinkDlg::SetConnected(bool ready) {
    m_connected = ready ? 1 : 0;
    if (m_pUpdateButton && m_pUpdateButton->Window() != nullptr) m_pUpdateButton->SetEnabled(ready);
    if (m_pHost != nullptr) m_pHost->Invalidate(&kLampStatusStrip, true);
}

std::intptr_t CQueloLinkDlg::WindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == WM_LINK_STATE) {
        m_updateSucceeded = lParam == 1 ? 1 : 0;
        SetConnected(wParam == 1);
        return 0;
    }
    if (message == WM_SYSCOMMAND) OnSysCommand(wParam);
    return 0;
}

void CQueloLinkDlg::OnSysCommand(std::uintptr_t command) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX || m_pHost == nullptr) return;
    CAboutDlg about(m_services);
    m_pHost->RunChildModal(about, 352, 90);
}

int CQueloLinkDlg::OnNcHitTest(int defaultResult, int screenX, int screenY) {
    if (defaultResult != platform::HTCLIENT) return defaultResult;
    if (m_pUpdateButton && m_pUpdateButton->Window() != nullptr &&
        m_pUpdateButton->Window()->ScreenRect().Contains(screenX, screenY))
        return platform::HTCLIENT;
    return platform::HTCAPTION;
}

void CQueloLinkDlg::PreTranslateKey(std::uint32_t& key) {
    if (key == platform::VK_RETURN || key == platform::VK_ESCAPE) key = platform::VK_TAB;
}

void CQueloLinkDlg::OnUpdateCommand() {
    if (m_updating == 0) {
        m_updating = 1;
        if (theLink != nullptr) theLink->StartDownload();
        return;
    }
    m_pHost->Handle().PostMessage(platform::WM_CLOSE, 0, 0);
}

void CQueloLinkDlg::OnCommand(int id, int notification) {
    // A button's command is its click; a double click on a skin button is not a second press
    // (it would end an update the first click had started).
    if (id != IDC_PORT && notification != BN_CLICKED) return;
    switch (id) {
    case IDC_SKIN_CLOSE: m_pHost->Handle().PostMessage(platform::WM_CLOSE, 0, 0); break;
    case IDC_SKIN_MINIMIZE: m_pHost->Minimize(); break;
    case IDC_SKIN_UPDATE: OnUpdateCommand(); break;
    case IDC_RESET:
        m_downloadButton.EnableWindow(false);
        if (theLink != nullptr && theLink->ResetLink()) theLink->OpenPort();
        break;
    case IDC_EXIT: OnClose(); break;
    case IDC_READ:
        if (theLink != nullptr) theLink->StartRead();
        break;
    case IDC_UPGRADE: break;
    case IDC_DOWNLOAD:
        if (theLink != nullptr) theLink->StartDownload();
        break;
    case IDC_FILE: OnBnClickedFile(); break;
    case IDC_PORT:
        if (notification == CBN_SELENDOK) OnCbnSelendokPort();
        if (notification == CBN_DROPDOWN) OnCbnDropdownPort();
        break;
    // The dialog's own OK and Cancel end it; they go through the close, so the link is stopped.
    case platform::IDOK:
    case platform::IDCANCEL: OnClose(); break;
    default: break;
    }
}

void CQueloLinkDlg::OnCbnSelendokPort() { PortComboSelected(theLink); }
void CQueloLinkDlg::OnCbnDropdownPort() { PortComboOpening(theLink); }

void CQueloLinkDlg::OnBnClickedFile() {
    m_fileLabel.SetWindowText(u"");
    if (m_pHost == nullptr || m_services.files == nullptr) return;
    const std::u16string path = m_pHost->GetOpenFileName(u"Quelo Firmware Upgrade Files", u"*.qfu", u"qfu");
    if (path.empty()) return;
    auto file = m_services.files->OpenForReading(path);
    if (!file || theLink == nullptr) return;
    if (theLink->ReadUpgradeFile(file.get())) m_fileLabel.SetWindowText(path);
}

void CQueloLinkDlg::StopAndDeleteLink() {
    if (theLink == nullptr) return;
    theLink->SetWorkerRunning(false);
    delete theLink;
    theLink = nullptr;
}

void CQueloLinkDlg::OnClose() {
    StopAndDeleteLink();
    if (m_pHost != nullptr) m_pHost->EndDialog(platform::IDCANCEL);
}

void CQueloLinkDlg::OnDestroy() {
    m_updateFont.reset();
    m_pCloseButton.reset();
    m_pMinimizeButton.reset();
    m_pUpdateButton.reset();
    for (auto& layer : m_layers) {
        delete layer.pImage;
        layer.pImage = nullptr;
    }
    m_layers.clear();
    m_pProgressWindow = nullptr;
}
