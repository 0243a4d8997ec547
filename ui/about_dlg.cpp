#include "ui/about_dlg.h"

#include "ui/dialog_templates.h"

namespace {
constexpr platform::Color kFace{240, 240, 240, 255};
constexpr platform::Color kText{0, 0, 0, 255};
constexpr platform::Color kButton{225, 225, 225, 255};
constexpr platform::Rect kOkBox{260, 70, 80, 24};
}  // namespace

bool CAboutDlg::OnInitDialog(platform::DialogHost& host) {
    m_pHost = &host;
    host.SetTitle(AboutBoxTemplate().caption);
    if (m_services.graphics != nullptr) m_font = m_services.graphics->SystemFont();
    return true;
}

void CAboutDlg::OnPaint(platform::Canvas& paint) {
    paint.FillRect({0, 0, paint.Width(), paint.Height()}, kFace);
    if (!m_font) return;
    int y = 16;
    for (const auto& control : AboutBoxTemplate().controls) {
        if (control.kind != ControlKind::StaticText) continue;
        paint.DrawString(control.text, *m_font, kText, {60, y, paint.Width() - 70, 20});
        y += 24;
    }
    paint.FillRect(kOkBox, kButton);
    paint.DrawLabel(u"OK", *m_font, kText, kOkBox);
}

void CAboutDlg::OnCommand(int id, int) {
    if (id == platform::IDOK || id == platform::IDCANCEL) m_pHost->EndDialog(id);
}

void CAboutDlg::OnClose() { m_pHost->EndDialog(platform::IDCANCEL); }

void CAboutDlg::OnDestroy() { m_font.reset(); }
