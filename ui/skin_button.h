// An owner-drawn image button of the skin: normal, pressed, disabled and (optional) hover
// images, sized from the normal one, with a label drawn in the button's font.
#pragma once

#include "platform/controls.h"
#include "platform/dialog.h"
#include "ui/gdiplus_bitmap.h"

#include <cstdint>
#include <memory>

// The label's colour while the button is drawn disabled: a fixed near-black, RGB(17, 0, 0).
inline constexpr std::uint32_t kDisabledLabelColor = 0x00000011;

class CSkinButton : public platform::CButton, public platform::ChildWindowClient {
public:
    CSkinButton(platform::Graphics& graphics, platform::ResourceSource& resources);
    ~CSkinButton() override;
    CSkinButton(const CSkinButton&) = delete;
    CSkinButton& operator=(const CSkinButton&) = delete;

    // Creates the button's child window at `rect` of `parent` with command identifier `id`.
    bool Create(platform::DialogHost& parent, const platform::Rect& rect, int id);
    // Loads the four images (hover 0: none) and sizes the button to the normal one.
    void LoadImages(std::uint16_t normal, std::uint16_t pressed, std::uint16_t disabled, std::uint16_t hover);
    void SetEnabled(bool enabled);
    void SetFont(const platform::Font* font);  // not owned; null: the system font
    void ShowWindow(bool show);

    platform::ChildWindow* Window() const { return m_pWindow; }
    // The image the button shows for an owner-draw item state.
    const CGdiPlusBitmapResource* ImageFor(std::uint32_t itemState) const;

    void OnMouseMove() override;
    void OnMouseHover() override;
    void OnMouseLeave() override;
    void DrawItem(const platform::DrawItemStruct& item) override;

    std::int32_t m_enabled = 1;
    std::int32_t m_hover = 0;
    std::int32_t m_tracking = 0;
    std::uint32_t m_textColor = 0x00FFFFFF;  // label colour while drawn enabled; set by the owner
    std::unique_ptr<CGdiPlusBitmapResource> m_pNormalImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pPressedImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pDisabledImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pHoverImage;

private:
    std::unique_ptr<CGdiPlusBitmapResource> LoadOne(std::uint16_t id);

    platform::Graphics& m_graphics;
    platform::ResourceSource& m_resources;
    platform::DialogHost* m_pParent = nullptr;
    platform::ChildWindow* m_pWindow = nullptr;
    std::unique_ptr<platform::Font> m_systemFont;
};

// Makes a skin button at `point` of `parent` with its command and images; the caller owns it.
std::unique_ptr<CSkinButton> CreateSkinButton(int x, int y, platform::DialogHost& parent, int command,
                                              std::uint16_t normal, std::uint16_t pressed,
                                              std::uint16_t disabled, std::uint16_t hover,
                                              platform::Graphics& graphics, platform::ResourceSource& resources);
