// Drawing on GDI+: PNG decoded from a stream over a global memory block, fonts of a private
// collection and of the installed families, and canvases that are 32-bit ARGB DIB sections,
// drawn on through a GDI+ bitmap over the same pixels, so they can also be blitted to a window.
#pragma once

#include "platform/graphics.h"

#include <cstdint>
#include <memory>
#include <string>

struct HBITMAP__;
struct HDC__;
struct HICON__;
namespace Gdiplus {
class Bitmap;
class Font;
}  // namespace Gdiplus

namespace platform::win32 {

// A canvas over a top-down 32-bit DIB section, ARGB without premultiplied alpha.
class DibCanvas final : public Canvas {
public:
    // Null when the section or its GDI+ bitmap cannot be made (GDI+ not started). It starts
    // opaque black.
    static std::unique_ptr<DibCanvas> Create(int width, int height);
    ~DibCanvas() override;
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void DrawImage(const Bitmap& bitmap, int x, int y) override;
    void DrawString(std::u16string_view text, const Font& font, Color color, const Rect& box) override;
    void DrawLabel(std::u16string_view text, const Font& font, Color color, const Rect& box) override;
    void FillRect(const Rect& area, Color color) override;
    void CopyFrom(const Canvas& source) override;
    Color PixelAt(int x, int y) const override;

    // Fills this canvas with the pixels of `source` whose top-left corner is at (x, y) there;
    // what lies outside `source` is left as it was.
    void CopyArea(const DibCanvas& source, int x, int y);
    // Copies all of this canvas to (x, y) of `target` in one BitBlt.
    bool BlitTo(HDC__* target, int x, int y) const;

private:
    DibCanvas(HBITMAP__* section, std::uint32_t* pixels, int width, int height);

    HBITMAP__* m_section;
    std::uint32_t* m_pixels;  // the section's, row after row from the top
    int m_width;
    int m_height;
    std::unique_ptr<Gdiplus::Bitmap> m_image;
};

// The GDI+ drawing services.
Graphics& GdiplusGraphics();

// An icon of the bitmap's picture, owned by the caller (DestroyIcon); null on failure.
HICON__* CreateIconFromBitmap(const Bitmap& bitmap);

}  // namespace platform::win32
