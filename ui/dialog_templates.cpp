#include "ui/dialog_templates.h"

#include <array>

namespace {

constexpr std::array kMainControls{
    DialogControl{IDC_RESET, ControlKind::PushButton, u"Reset", kStyleDefaultButton | kStyleDisabled},
    DialogControl{IDC_EXIT, ControlKind::PushButton, u"Exit", 0},
    DialogControl{IDC_PORT, ControlKind::ComboBox, u"", 0},
    DialogControl{IDC_INFO, ControlKind::StaticText, u"Static", 0},
    DialogControl{IDC_READ, ControlKind::PushButton, u"Read", kStyleDisabled},
    DialogControl{IDC_UPGRADE, ControlKind::PushButton, u"Upgrade", kStyleDisabled},
    DialogControl{IDC_DOWNLOAD, ControlKind::PushButton, u"Download", kStyleDisabled},
    DialogControl{IDC_PROGRESS, ControlKind::ProgressBar, u"", kStyleVisible},
    DialogControl{IDC_LINE, ControlKind::StaticText, u"Off-line", 0},
    DialogControl{IDC_STATUS_LOG, ControlKind::ListBox, u"", 0},
    DialogControl{IDC_FILE, ControlKind::PushButton, u"File...", 0},
    DialogControl{IDC_FILE_LABEL, ControlKind::StaticText, u"Select Upgrade File Here.", 0},
};

constexpr std::array kAboutControls{
    DialogControl{-1, ControlKind::StaticText, u"QueloLink Version 1.1", kStyleVisible},
    DialogControl{-1, ControlKind::StaticText, u"Copyright (C) Quelo Systems. All rights reserved.", kStyleVisible},
    DialogControl{1, ControlKind::PushButton, u"OK", kStyleVisible | kStyleDefaultButton},
};

const DialogTemplate kMainWindow{IDD_QUELOLINK_DIALOG, u"QueloLink", 319, 163, kMainControls};
const DialogTemplate kAboutBox{IDD_ABOUTBOX, u"About QueloLink", 235, 55, kAboutControls};

}  // namespace

const DialogTemplate& MainWindowTemplate() { return kMainWindow; }
const DialogTemplate& AboutBoxTemplate() { return kAboutBox; }

const DialogControl* FindControl(const DialogTemplate& dialog, int id) {
    for (const auto& control : dialog.controls)
        if (control.id == id) return &control;
    return nullptr;
}
