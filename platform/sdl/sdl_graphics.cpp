#include "platform/sdl/sdl_graphics.h"

#include "platform/text.h"

#include <SDL_image.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <strings.h>

#include <cmath>
#include <string>

namespace platform::sdl {
namespace {

// Fonts are sized in points at the screen's 96 pixels an inch.
constexpr unsigned kScreenDpi = 96;
// The size of the font controls get when they were given none.
constexpr float kSystemFontPoints = 9.0f;

class SdlBitmap final : public Bitmap {
public:
    explicit SdlBitmap(SDL_Surface* surface) : m_surface(surface) {}
    ~SdlBitmap() override { SDL_FreeSurface(m_surface); }
    SdlBitmap(const SdlBitmap&) = delete;
    SdlBitmap& operator=(const SdlBitmap&) = delete;
    int Width() const override { return m_surface->w; }
    int Height() const override { return m_surface->h; }
    SDL_Surface* Surface() const { return m_surface; }

private:
    SDL_Surface* m_surface;
};

class SdlFont final : public Font {
public:
    SdlFont(TTF_Font* font, std::u16string family) : m_font(font), m_family(std::move(family)) {}
    ~SdlFont() override { TTF_CloseFont(m_font); }
    SdlFont(const SdlFont&) = delete;
    SdlFont& operator=(const SdlFont&) = delete;
    std::u16string FamilyName() const override { return m_family; }
    TTF_Font* Handle() const { return m_font; }

private:
    TTF_Font* m_font;
    std::u16string m_family;
};

SDL_Color ToSdl(Color c) { return {c.r, c.g, c.b, c.a}; }

std::string FcString(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || value == nullptr) return {};
    return reinterpret_cast<const char*>(value);
}

struct FontFile {
    std::string path;
    int index = 0;
    std::string family;
};

// The installed font fontconfig picks for a family name and style. fontconfig always finds
// something; the caller compares the family to learn whether it was a fallback.
bool MatchFont(const std::string& family, FontStyle style, FontFile& found) {
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, style == FontStyle::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    found.path = FcString(match, FC_FILE);
    found.family = FcString(match, FC_FAMILY);
    int index = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.index = index;
    FcPatternDestroy(match);
    return !found.path.empty();
}

// Whether fontconfig's answer is the family asked for: the same name, or a family that the
// configuration aliases to it (Arial is answered by its metric twin).
bool IsFamilyAnswer(const std::string& asked, const FontFile& found) {
    if (strcasecmp(asked.c_str(), found.family.c_str()) == 0) return true;
    FontFile generic;
    if (!MatchFont("sans-serif", FontStyle::Regular, generic)) return true;
    // A name fontconfig does not know falls to the default family; a known alias does not.
    if (strcasecmp(generic.family.c_str(), found.family.c_str()) != 0) return true;
    return false;
}

std::unique_ptr<Font> OpenFont(const FontFile& file, float points, FontStyle style) {
    const int size = static_cast<int>(std::lround(points));
    TTF_Font* font = TTF_OpenFontIndexDPI(file.path.c_str(), size, file.index, kScreenDpi, kScreenDpi);
    if (font == nullptr) return nullptr;
    // The matched file is the bold face when there is one; otherwise the style is synthesised.
    if (style == FontStyle::Bold && (TTF_GetFontStyle(font) & TTF_STYLE_BOLD) == 0) {
        const char* styleName = TTF_FontFaceStyleName(font);
        if (styleName == nullptr || std::string(styleName).find("Bold") == std::string::npos)
            TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    }
    return std::make_unique<SdlFont>(font, FromUtf8(file.family));
}

class SdlGraphicsImpl final : public Graphics {
public:
    std::uintptr_t Startup() override {
        const bool ttf = TTF_WasInit() > 0 || TTF_Init() == 0;
        IMG_Init(IMG_INIT_PNG);
        return ttf ? 1 : 0;
    }

    void Shutdown(std::uintptr_t token) override {
        if (token == 0) return;
        IMG_Quit();
        TTF_Quit();
        FcFini();  // fontconfig's configuration and caches, loaded by the first match
    }

    std::unique_ptr<Bitmap> DecodePng(std::span<const std::uint8_t> bytes) override {
        if (bytes.empty()) return nullptr;
        SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
        if (stream == nullptr) return nullptr;
        SDL_Surface* decoded = IMG_LoadTyped_RW(stream, 1, "PNG");
        if (decoded == nullptr) return nullptr;
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(decoded);
        if (argb == nullptr) return nullptr;
        SDL_SetSurfaceBlendMode(argb, SDL_BLENDMODE_BLEND);
        return std::make_unique<SdlBitmap>(argb);
    }

    std::vector<std::u16string> PrivateFontFamilies(std::u16string_view fontFile) override {
        std::vector<std::u16string> families;
        if (TTF_WasInit() == 0) return families;
        const std::string path = ToUtf8(fontFile);
        TTF_Font* font = TTF_OpenFont(path.c_str(), 12);
        if (font == nullptr) return families;
        const long faces = TTF_FontFaces(font);
        TTF_CloseFont(font);
        for (long face = 0; face < faces; ++face) {
            TTF_Font* one = TTF_OpenFontIndex(path.c_str(), 12, face);
            if (one == nullptr) continue;
            const char* name = TTF_FontFaceFamilyName(one);
            if (name != nullptr) {
                std::u16string family = FromUtf8(name);
                bool known = false;
                for (const auto& f : families) known = known || f == family;
                if (!known) families.push_back(std::move(family));
            }
            TTF_CloseFont(one);
        }
        return families;
    }

    std::unique_ptr<Font> InstalledFont(std::u16string_view family, float points, FontStyle style) override {
        if (TTF_WasInit() == 0) return nullptr;
        const std::string name = ToUtf8(family);
        if (name.empty()) return nullptr;
        FontFile file;
        if (!MatchFont(name, style, file) || !IsFamilyAnswer(name, file)) return nullptr;
        return OpenFont(file, points, style);
    }

    std::unique_ptr<Font> GenericSansSerifFont(float points, FontStyle style) override {
        if (TTF_WasInit() == 0) return nullptr;
        FontFile file;
        if (!MatchFont("sans-serif", style, file)) return nullptr;
        return OpenFont(file, points, style);
    }

    std::unique_ptr<Font> SystemFont() override { return GenericSansSerifFont(kSystemFontPoints, FontStyle::Regular); }

    std::unique_ptr<Canvas> CreateMemoryCanvas(int width, int height) override {
        SDL_Surface* surface = CreateArgbSurface(width, height);
        if (surface == nullptr) return nullptr;
        return std::make_unique<SurfaceCanvas>(surface, true);
    }
};

SDL_Rect Intersect(const SDL_Rect& a, const SDL_Rect& b) {
    SDL_Rect out{};
    if (!SDL_IntersectRect(&a, &b, &out)) return {0, 0, 0, 0};
    return out;
}

}  // namespace

SDL_Surface* CreateArgbSurface(int width, int height) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface != nullptr) SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 0, 0, 0, 255));
    return surface;
}

SurfaceCanvas::SurfaceCanvas(SDL_Surface* surface, bool owned) : m_surface(surface), m_owned(owned) {}

SurfaceCanvas::~SurfaceCanvas() {
    if (m_owned) SDL_FreeSurface(m_surface);
}

int SurfaceCanvas::Width() const { return m_surface->w; }
int SurfaceCanvas::Height() const { return m_surface->h; }

void SurfaceCanvas::BlitClipped(SDL_Surface* source, const SDL_Rect& to, const Rect& clip) {
    const SDL_Rect clipRect{clip.x, clip.y, clip.width, clip.height};
    const SDL_Rect visible = Intersect(to, clipRect);
    if (visible.w <= 0 || visible.h <= 0) return;
    SDL_Rect from{visible.x - to.x, visible.y - to.y, visible.w, visible.h};
    SDL_Rect dest = visible;
    SDL_BlitSurface(source, &from, m_surface, &dest);
}

void SurfaceCanvas::DrawImage(const Bitmap& bitmap, int x, int y) {
    const auto& image = static_cast<const SdlBitmap&>(bitmap);
    SDL_Rect to{x, y, image.Width(), image.Height()};
    SDL_BlitSurface(image.Surface(), nullptr, m_surface, &to);
}

void SurfaceCanvas::DrawString(std::u16string_view text, const Font& font, Color color, const Rect& box) {
    if (text.empty() || box.width <= 0) return;
    const std::string utf8 = ToUtf8(text);
    SDL_Surface* rendered = TTF_RenderUTF8_Blended_Wrapped(static_cast<const SdlFont&>(font).Handle(),
                                                          utf8.c_str(), ToSdl(color),
                                                          static_cast<Uint32>(box.width));
    if (rendered == nullptr) return;
    BlitClipped(rendered, SDL_Rect{box.x, box.y, rendered->w, rendered->h}, box);
    SDL_FreeSurface(rendered);
}

void SurfaceCanvas::DrawLabel(std::u16string_view text, const Font& font, Color color, const Rect& box) {
    if (text.empty() || box.width <= 0) return;
    TTF_Font* handle = static_cast<const SdlFont&>(font).Handle();
    std::u16string shown(text);
    auto widthOf = [&](const std::u16string& t) {
        int w = 0, h = 0;
        TTF_SizeUTF8(handle, ToUtf8(t).c_str(), &w, &h);
        return w;
    };
    if (widthOf(shown) > box.width) {
        // Cut at the end until the text and its ellipsis fit.
        while (!shown.empty() && widthOf(shown + u"...") > box.width) shown.pop_back();
        shown += u"...";
    }
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(handle, ToUtf8(shown).c_str(), ToSdl(color));
    if (rendered == nullptr) return;
    const SDL_Rect to{box.x + (box.width - rendered->w) / 2, box.y + (box.height - rendered->h) / 2,
                      rendered->w, rendered->h};
    BlitClipped(rendered, to, box);
    SDL_FreeSurface(rendered);
}

void SurfaceCanvas::FillRect(const Rect& area, Color color) {
    const SDL_Rect r{area.x, area.y, area.width, area.height};
    SDL_FillRect(m_surface, &r, SDL_MapRGBA(m_surface->format, color.r, color.g, color.b, color.a));
}

void SurfaceCanvas::CopyFrom(const Canvas& source) {
    SDL_Surface* from = static_cast<const SurfaceCanvas&>(source).Surface();
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetSurfaceBlendMode(from, &mode);
    SDL_SetSurfaceBlendMode(from, SDL_BLENDMODE_NONE);
    SDL_Rect to{0, 0, from->w, from->h};
    SDL_BlitSurface(from, nullptr, m_surface, &to);
    SDL_SetSurfaceBlendMode(from, mode);
}

Color SurfaceCanvas::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_surface->w || y >= m_surface->h) return {};
    SDL_LockSurface(m_surface);
    const auto* row = static_cast<const std::uint8_t*>(m_surface->pixels) + y * m_surface->pitch;
    Uint32 pixel = 0;
    const int bytes = m_surface->format->BytesPerPixel;
    SDL_memcpy(&pixel, row + x * bytes, static_cast<size_t>(bytes));
    SDL_UnlockSurface(m_surface);
    Color c;
    SDL_GetRGBA(pixel, m_surface->format, &c.r, &c.g, &c.b, &c.a);
    return c;
}

Graphics& SdlGraphics() {
    static SdlGraphicsImpl graphics;
    return graphics;
}

}  // namespace platform::sdl
