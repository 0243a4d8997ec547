// The main window's face: the skin's layers, the title and the status text, drawn into a memory
// canvas and copied out in one blit, so nothing flickers.
#include "ui/quelolink_app.h"
#include "ui/quelolink_dlg.h"

namespace {
constexpr float kTitlePoints = 14.0f;
constexpr float kStatusPoints = 12.0f;
constexpr std::uint32_t kTitleBrush = 0xFF000000;   // opaque black
constexpr std::uint32_t kStatusBrush = 0xFFFFFFFF;  // opaque white

platform::Rect BoxOf(const std::array<std::int32_t, 4>& box) { return {box[0], box[1], box[2], box[3]}; }
}  // namespace

std::u16string_view CQueloLinkDlg::StatusText() const {
    if (m_updateSucceeded != 0) return kStatusSucceeded;
    if (m_updating != 0) return kStatusUpdating;
    if (m_connected != 0) return kStatusConnected;
    return kStatusDisconnected;
}

std::int32_t CQueloLinkDlg::LampImage() const {
    return (m_connected != 0 || m_updating != 0) ? kLampOnImage : kLampOffImage;
}

std::unique_ptr<platform::Font> CQueloLinkDlg::FontByName(std::u16string_view family, float points,
                                                          platform::FontStyle style) {
    if (m_services.graphics == nullptr) return nullptr;
    if (auto font = m_services.graphics->InstalledFont(family, points, style)) return font;
    return m_services.graphics->GenericSansSerifFont(points, style);
}

void CQueloLinkDlg::PaintTexts(platform::Canvas& canvas) {
    const std::u16string family = AppFontFamilyName();
    if (auto title = FontByName(family, kTitlePoints, platform::FontStyle::Bold))
        canvas.DrawString(kTitleText, *title, platform::ColorFromArgb(kTitleBrush), BoxOf(m_titleBox));
    if (auto status = FontByName(family, kStatusPoints, platform::FontStyle::Regular))
        canvas.DrawString(StatusText(), *status, platform::ColorFromArgb(kStatusBrush), BoxOf(m_statusBox));
}

void CQueloLinkDlg::OnPaint(platform::Canvas& paint) {
    if (m_pHost != nullptr && m_pHost->IsMinimized()) {
        if (m_hIcon) paint.DrawImage(*m_hIcon, (paint.Width() - m_hIcon->Width() + 1) / 2,
                                     (paint.Height() - m_hIcon->Height() + 1) / 2);
        return;
    }
    if (m_services.graphics == nullptr) return;
    auto memory = m_services.graphics->CreateMemoryCanvas(paint.Width(), paint.Height());
    if (!memory) return;
    const std::int32_t lamp = LampImage();
    for (const auto& layer : m_layers) {
        if (layer.pImage == nullptr || !layer.pImage->m_pBitmap) continue;
        if ((layer.resourceId == kLampOnImage || layer.resourceId == kLampOffImage) && layer.resourceId != lamp)
            continue;
        memory->DrawImage(*layer.pImage->m_pBitmap, layer.x, layer.y);
    }
    if (theApp.m_pFontFamilies) PaintTexts(*memory);
    paint.CopyFrom(*memory);
}
