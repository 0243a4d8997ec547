// The dialog templates of the program as data: the main window (102) and the About box (100),
// with each control's identifier, kind, text, style and whether it is shown.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum class ControlKind : std::uint8_t { PushButton, ComboBox, StaticText, ProgressBar, ListBox };

// Control styles that matter to the controls' state.
inline constexpr std::uint32_t kStyleDisabled = 0x08000000;  // WS_DISABLED
inline constexpr std::uint32_t kStyleVisible = 0x10000000;   // WS_VISIBLE
inline constexpr std::uint32_t kStyleDefaultButton = 0x0001; // BS_DEFPUSHBUTTON

struct DialogControl {
    int id;
    ControlKind kind;
    std::u16string_view text;
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    std::u16string_view caption;
    int widthDlu;   // dialog units
    int heightDlu;
    std::span<const DialogControl> controls;
};

// Identifiers of the main window's controls and commands.
inline constexpr int IDC_RESET = 1001;
inline constexpr int IDC_EXIT = 1002;
inline constexpr int IDC_PORT = 1003;
inline constexpr int IDC_INFO = 1005;
inline constexpr int IDC_READ = 1006;
inline constexpr int IDC_UPGRADE = 1007;
inline constexpr int IDC_DOWNLOAD = 1008;
inline constexpr int IDC_PROGRESS = 1011;
inline constexpr int IDC_LINE = 1014;
inline constexpr int IDC_STATUS_LOG = 1021;
inline constexpr int IDC_FILE = 1022;
inline constexpr int IDC_FILE_LABEL = 1023;
inline constexpr int IDC_SKIN_CLOSE = 2001;
inline constexpr int IDC_SKIN_MINIMIZE = 2002;
inline constexpr int IDC_SKIN_UPDATE = 2003;

inline constexpr int IDD_QUELOLINK_DIALOG = 102;
inline constexpr int IDD_ABOUTBOX = 100;

const DialogTemplate& MainWindowTemplate();
const DialogTemplate& AboutBoxTemplate();
// The control of a template with that identifier; null when there is none.
const DialogControl* FindControl(const DialogTemplate& dialog, int id);
