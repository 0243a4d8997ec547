// The program's one window: a skinned 540 x 360 dialog without a caption bar. It creates the
// link, hands it its controls and its handle, and shows what the link reports with
// WM_LINK_STATE: a lamp, a status text, the progress bar and the Update button.
#pragma once

#include "platform/controls.h"
#include "platform/dialog.h"
#include "ui/skin_button.h"
#include "ui/skin_layers.h"
#include "ui/ui_services.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uintptr_t IDM_ABOUTBOX = 0x0010;

// The click notification of a push button; owner-drawn buttons also report double clicks (5).
inline constexpr int BN_CLICKED = 0;
inline constexpr int BN_DOUBLECLICKED = 5;

// Notifications of the port combo box.
inline constexpr int CBN_DROPDOWN = 7;
inline constexpr int CBN_SELENDOK = 9;

// The status texts, first that applies.
inline constexpr std::u16string_view kStatusSucceeded = u"Update Success !!";
inline constexpr std::u16string_view kStatusUpdating = u"Updating...";
inline constexpr std::u16string_view kStatusConnected = u"Connected. Ready to Update.";
inline constexpr std::u16string_view kStatusDisconnected = u"Disconnected.";
inline constexpr std::u16string_view kTitleText = u"PCU Firmware V1.1 Updator";
inline constexpr std::u16string_view kWindowTitle = u"Quelo Link for KORVA PCU";

// The strip that holds the lamp and the status text (left, top, width, height).
inline constexpr platform::Rect kLampStatusStrip{0, 298, 479, 22};

class CQueloLinkDlg : public platform::DialogClient {
public:
    explicit CQueloLinkDlg(UiServices& services);
    ~CQueloLinkDlg() override;
    CQueloLinkDlg(const CQueloLinkDlg&) = delete;
    CQueloLinkDlg& operator=(const CQueloLinkDlg&) = delete;

    // Runs the window on a host of the program's window layer; the dialog's result.
    int DoModal();

    void SetConnected(bool ready);
    void BuildSkin();
    void LoadLayers();
    void OnBnClickedFile();
    void OnCbnSelendokPort();
    void OnCbnDropdownPort();

    // What the flags show.
    std::u16string_view StatusText() const;
    std::int32_t LampImage() const;

    // --- The window host's calls ------------------------------------------------------------
    bool OnInitDialog(platform::DialogHost& host) override;
    void OnPaint(platform::Canvas& paint) override;
    int OnNcHitTest(int defaultResult, int screenX, int screenY) override;
    void PreTranslateKey(std::uint32_t& key) override;
    void OnCommand(int id, int notification) override;
    std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void OnClose() override;
    void OnDestroy() override;

    // --- Fields ------------------------------------------------------------------------------
    std::vector<_tag_UI_ImageStruct> m_layers;
    std::unique_ptr<platform::Bitmap> m_hIcon;
    std::uint8_t m_connected = 0;
    std::uint8_t m_updating = 0;
    std::uint8_t m_updateSucceeded = 0;
    std::unique_ptr<platform::Font> m_updateFont;
    std::array<std::int32_t, 4> m_titleBox{};
    std::array<std::int32_t, 4> m_statusBox{};
    std::unique_ptr<CSkinButton> m_pCloseButton;
    std::unique_ptr<CSkinButton> m_pMinimizeButton;
    std::unique_ptr<CSkinButton> m_pUpdateButton;
    platform::CProgressCtrl m_progress;
    platform::CComboBox m_portCombo;
    platform::CListBox m_statusLog;
    platform::CStatic m_lineLabel;
    platform::CStatic m_infoText;
    platform::CButton m_upgradeButton;
    platform::CButton m_resetButton;
    platform::CButton m_readButton;
    platform::CStatic m_fileLabel;
    platform::CButton m_downloadButton;

private:
    void BindControls();
    void OnUpdateCommand();
    void StopAndDeleteLink();
    void OnSysCommand(std::uintptr_t command);
    // A font of `family` by name among the installed fonts, else of the generic sans-serif family.
    std::unique_ptr<platform::Font> FontByName(std::u16string_view family, float points, platform::FontStyle style);
    void PaintTexts(platform::Canvas& canvas);

    UiServices& m_services;
    platform::DialogHost* m_pHost = nullptr;
    platform::ChildWindow* m_pProgressWindow = nullptr;
};
