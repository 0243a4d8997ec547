#include "ui/skin_button.h"

// How long the mouse rests on a button before it shows its hover image.
constexpr std::uint32_t kHoverTimeMs = 1;

CSkinButton::CSkinButton(platform::Graphics& graphics, platform::ResourceSource& resources)
    : m_graphics(graphics), m_resources(resources) {}

CSkinButton::~CSkinButton() {
    m_pNormalImage.reset();
    m_pPressedImage.reset();
    m_pDisabledImage.reset();
    m_pHoverImage.reset();
    if (m_pParent != nullptr && m_pWindow != nullptr) m_pParent->DestroyChild(m_pWindow);
    m_pWindow = nullptr;
}

bool CSkinButton::Create(platform::DialogHost& parent, const platform::Rect& rect, int id) {
    m_pParent = &parent;
    m_pWindow = parent.CreateChild(platform::ChildKind::OwnerDrawButton, id, rect, *this, this);
    return m_pWindow != nullptr;
}

std::unique_ptr<CGdiPlusBitmapResource> CSkinButton::LoadOne(std::uint16_t id) {
    auto holder = std::make_unique<CGdiPlusBitmapResource>(m_graphics, m_resources);
    if (!holder->Load(id)) return nullptr;
    return holder;
}

void CSkinButton::LoadImages(std::uint16_t normal, std::uint16_t pressed, std::uint16_t disabled,
                             std::uint16_t hover) {
    m_pNormalImage = LoadOne(normal);
    m_pPressedImage = LoadOne(pressed);
    m_pDisabledImage = LoadOne(disabled);
    if (hover != 0) m_pHoverImage = LoadOne(hover);
    if (m_pWindow == nullptr) return;
    platform::Rect rect = m_pWindow->WindowRect();
    // Without its normal image the button keeps the size it was made with.
    if (m_pNormalImage) {
        rect.width = m_pNormalImage->m_pBitmap->Width();
        rect.height = m_pNormalImage->m_pBitmap->Height();
    }
    m_pWindow->MoveWindow(rect);
}

void CSkinButton::SetEnabled(bool enabled) {
    if (m_pWindow == nullptr) return;
    const std::int32_t was = m_enabled;
    m_enabled = enabled ? 1 : 0;
    if (was != m_enabled) m_pWindow->Invalidate();
    EnableWindow(enabled);
}

void CSkinButton::SetFont(const platform::Font* font) {
    if (m_pWindow != nullptr) m_pWindow->SetFont(font);
}

void CSkinButton::ShowWindow(bool show) {
    if (m_pWindow != nullptr) m_pWindow->ShowWindow(show);
}

const CGdiPlusBitmapResource* CSkinButton::ImageFor(std::uint32_t itemState) const {
    if (m_enabled == 0) return m_pDisabledImage.get();
    if ((itemState & (platform::ODS_SELECTED | platform::ODS_CHECKED)) != 0) return m_pPressedImage.get();
    if (m_hover != 0 && m_pHoverImage) return m_pHoverImage.get();
    return m_pNormalImage.get();
}

void CSkinButton::DrawItem(const platform::DrawItemStruct& item) {
    // A state whose image did not load draws no face; the label is drawn all the same.
    if (const auto* image = ImageFor(item.itemState); image != nullptr && image->m_pBitmap)
        item.canvas.DrawImage(*image->m_pBitmap, item.rcItem.x, item.rcItem.y);
    const std::u16string label = GetWindowText();
    if (label.empty()) return;
    const platform::Font* font = item.font;
    if (font == nullptr) {
        if (!m_systemFont) m_systemFont = m_graphics.SystemFont();
        font = m_systemFont.get();
    }
    if (font == nullptr) return;
    const std::uint32_t color = (item.itemState & platform::ODS_DISABLED) != 0 ? kDisabledLabelColor : m_textColor;
    item.canvas.DrawLabel(label, *font, platform::ColorFromColorRef(color), item.rcItem);
}

void CSkinButton::OnMouseMove() {
    if (m_tracking == 0 && m_pWindow != nullptr) m_tracking = m_pWindow->TrackMouse(kHoverTimeMs) ? 1 : 0;
}

void CSkinButton::OnMouseHover() {
    m_hover = 1;
    if (m_pWindow != nullptr) m_pWindow->Invalidate();
}

void CSkinButton::OnMouseLeave() {
    m_tracking = 0;
    m_hover = 0;
    if (m_pWindow != nullptr) m_pWindow->Invalidate();
}

std::unique_ptr<CSkinButton> CreateSkinButton(int x, int y, platform::DialogHost& parent, int command,
                                              std::uint16_t normal, std::uint16_t pressed,
                                              std::uint16_t disabled, std::uint16_t hover,
                                              platform::Graphics& graphics, platform::ResourceSource& resources) {
    auto button = std::make_unique<CSkinButton>(graphics, resources);
    button->Create(parent, {x, y, 0, 0}, command);
    button->LoadImages(normal, pressed, disabled, hover);
    if (button->Window() != nullptr) button->SetEnabled(true);
    return button;
}
