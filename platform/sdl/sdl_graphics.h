// Drawing on SDL2 surfaces: PNG through SDL2_image, texts through SDL2_ttf, fonts by family
// name through fontconfig. Works without a display.
#pragma once

#include "platform/graphics.h"

#include <SDL.h>

namespace platform::sdl {

// A canvas over an SDL surface, owned or borrowed (a window's surface).
class SurfaceCanvas final : public Canvas {
public:
    SurfaceCanvas(SDL_Surface* surface, bool owned);
    ~SurfaceCanvas() override;
    SurfaceCanvas(const SurfaceCanvas&) = delete;
    SurfaceCanvas& operator=(const SurfaceCanvas&) = delete;

    int Width() const override;
    int Height() const override;
    void DrawImage(const Bitmap& bitmap, int x, int y) override;
    void DrawString(std::u16string_view text, const Font& font, Color color, const Rect& box) override;
    void DrawLabel(std::u16string_view text, const Font& font, Color color, const Rect& box) override;
    void FillRect(const Rect& area, Color color) override;
    void CopyFrom(const Canvas& source) override;
    Color PixelAt(int x, int y) const override;

    SDL_Surface* Surface() const { return m_surface; }

private:
    void BlitClipped(SDL_Surface* source, const SDL_Rect& to, const Rect& clip);

    SDL_Surface* m_surface;
    bool m_owned;
};

// An ARGB8888 surface of that size, filled with opaque black; null on failure.
SDL_Surface* CreateArgbSurface(int width, int height);

// The SDL2 drawing services.
Graphics& SdlGraphics();

}  // namespace platform::sdl
