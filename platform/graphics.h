// Drawing for the window: bitmaps decoded from PNG bytes, fonts by family name, and canvases
// that bitmaps and strings are drawn on. One backend provides them (sdl).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A rectangle: left, top, width and height in pixels.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
    bool operator==(const Rect&) const = default;
};

struct Color {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    bool operator==(const Color&) const = default;
};

// 0xAARRGGBB, as solid brushes take it.
constexpr Color ColorFromArgb(std::uint32_t argb) {
    return {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
            static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 24)};
}
// 0x00BBGGRR, as text colours are given (opaque).
constexpr Color ColorFromColorRef(std::uint32_t colorRef) {
    return {static_cast<std::uint8_t>(colorRef), static_cast<std::uint8_t>(colorRef >> 8),
            static_cast<std::uint8_t>(colorRef >> 16), 255};
}

// A decoded image with its own pixels.
class Bitmap {
public:
    virtual ~Bitmap() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

enum class FontStyle : std::uint8_t { Regular = 0, Bold = 1 };

// A font of one family, size and style.
class Font {
public:
    virtual ~Font() = default;
    virtual std::u16string FamilyName() const = 0;
};

// Something to draw on: a memory canvas or a window's frame.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Draws `bitmap` unscaled, blended by its alpha, with its top-left corner at (x, y).
    virtual void DrawImage(const Bitmap& bitmap, int x, int y) = 0;
    // Draws `text` from the top-left corner of `box`, wrapping at the box's width, clipped to it.
    virtual void DrawString(std::u16string_view text, const Font& font, Color color, const Rect& box) = 0;
    // Draws `text` on one line, centred both ways in `box`, cut with an ellipsis when too long.
    virtual void DrawLabel(std::u16string_view text, const Font& font, Color color, const Rect& box) = 0;
    virtual void FillRect(const Rect& area, Color color) = 0;
    // Copies all of `source` to (0, 0) in one blit.
    virtual void CopyFrom(const Canvas& source) = 0;
    virtual Color PixelAt(int x, int y) const = 0;
};

class Graphics {
public:
    virtual ~Graphics() = default;
    // Makes the drawing services ready; the token goes back to Shutdown.
    virtual std::uintptr_t Startup() = 0;
    virtual void Shutdown(std::uintptr_t token) = 0;
    // Null when the bytes are not a decodable image.
    virtual std::unique_ptr<Bitmap> DecodePng(std::span<const std::uint8_t> bytes) = 0;
    // The family names of a private collection made from one font file (looked up as given:
    // a bare name is in the current directory); empty when the file is missing or holds no font.
    virtual std::vector<std::u16string> PrivateFontFamilies(std::u16string_view fontFile) = 0;
    // A font of the installed family of that name; null when no such family is installed.
    virtual std::unique_ptr<Font> InstalledFont(std::u16string_view family, float points, FontStyle style) = 0;
    // A font of the generic sans-serif family; null when there is none.
    virtual std::unique_ptr<Font> GenericSansSerifFont(float points, FontStyle style) = 0;
    // The font of controls that were given none.
    virtual std::unique_ptr<Font> SystemFont() = 0;
    virtual std::unique_ptr<Canvas> CreateMemoryCanvas(int width, int height) = 0;
};

}  // namespace platform
