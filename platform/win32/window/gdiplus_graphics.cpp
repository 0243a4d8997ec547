#include "platform/win32/window/gdiplus_graphics.h"

#include "platform/win32/wide_path.h"
#include "platform/win32/window/win32_headers.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace platform::win32 {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 texts are passed to GDI+ as they are");

// Texts are laid out at the screen's 96 pixels an inch, whatever the bitmap says.
constexpr Gdiplus::REAL kScreenDpi = 96.0f;
// The size of the font controls get when the system's cannot be used.
constexpr float kSystemFontPoints = 9.0f;

const WCHAR* Wide(std::u16string_view text) { return reinterpret_cast<const WCHAR*>(text.data()); }
INT Length(std::u16string_view text) { return static_cast<INT>(text.size()); }

Gdiplus::Color ToGdiplus(Color c) { return Gdiplus::Color(c.a, c.r, c.g, c.b); }
Gdiplus::RectF ToRectF(const Rect& r) {
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(r.x), static_cast<Gdiplus::REAL>(r.y),
                          static_cast<Gdiplus::REAL>(r.width), static_cast<Gdiplus::REAL>(r.height));
}

std::uint32_t PackArgb(Color c) {
    return (std::uint32_t{c.a} << 24) | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

// A decoded image in pixels of its own (ARGB, rows from the top), seen by GDI+ as a bitmap.
class GdiplusBitmap final : public Bitmap {
public:
    GdiplusBitmap(std::vector<std::uint32_t> pixels, int width, int height)
        : m_pixels(std::move(pixels)), m_width(width), m_height(height),
          m_image(std::make_unique<Gdiplus::Bitmap>(width, height, width * 4, PixelFormat32bppARGB,
                                                    reinterpret_cast<BYTE*>(m_pixels.data()))) {}
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    bool Ok() const { return m_image->GetLastStatus() == Gdiplus::Ok; }
    Gdiplus::Bitmap& Image() const { return *m_image; }

private:
    std::vector<std::uint32_t> m_pixels;
    int m_width;
    int m_height;
    std::unique_ptr<Gdiplus::Bitmap> m_image;
};

class GdiplusFont final : public Font {
public:
    explicit GdiplusFont(std::unique_ptr<Gdiplus::Font> font) : m_font(std::move(font)) {}
    std::u16string FamilyName() const override {
        Gdiplus::FontFamily family;
        if (m_font->GetFamily(&family) != Gdiplus::Ok) return {};
        std::array<WCHAR, LF_FACESIZE> name{};
        if (family.GetFamilyName(name.data()) != Gdiplus::Ok) return {};
        return FromWide(name.data(), wcsnlen(name.data(), name.size()));
    }
    const Gdiplus::Font& Handle() const { return *m_font; }

private:
    std::unique_ptr<Gdiplus::Font> m_font;
};

const Gdiplus::Font& HandleOf(const Font& font) { return static_cast<const GdiplusFont&>(font).Handle(); }

std::unique_ptr<Font> MakeFont(const Gdiplus::FontFamily& family, float points, FontStyle style) {
    const INT gdiplusStyle = style == FontStyle::Bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular;
    auto font = std::make_unique<Gdiplus::Font>(&family, points, gdiplusStyle, Gdiplus::UnitPoint);
    if (font->GetLastStatus() != Gdiplus::Ok || !font->IsAvailable()) return nullptr;
    return std::make_unique<GdiplusFont>(std::move(font));
}

// A graphics on a canvas's bitmap for one drawing operation; it is flushed when it goes.
class CanvasGraphics {
public:
    explicit CanvasGraphics(Gdiplus::Bitmap& image) : m_graphics(&image) {}
    ~CanvasGraphics() { m_graphics.Flush(Gdiplus::FlushIntentionSync); }
    CanvasGraphics(const CanvasGraphics&) = delete;
    CanvasGraphics& operator=(const CanvasGraphics&) = delete;
    Gdiplus::Graphics* operator->() { return &m_graphics; }
    bool Ok() const { return m_graphics.GetLastStatus() == Gdiplus::Ok; }

private:
    Gdiplus::Graphics m_graphics;
};

// The width a one-line text takes, without the padding GDI+ adds around strings.
Gdiplus::REAL TextWidth(CanvasGraphics& graphics, std::u16string_view text, const Gdiplus::Font& font) {
    if (text.empty()) return 0;
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap |
                          Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
    Gdiplus::RectF bounds;
    graphics->MeasureString(Wide(text), Length(text), &font, Gdiplus::PointF(0, 0), &format, &bounds);
    return bounds.Width;
}

constexpr std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Decodes image bytes through a stream over a movable global block holding a copy of them,
// and copies the picture out as ARGB rows; false when it is no picture GDI+ can read.
bool DecodeThroughStream(std::span<const std::uint8_t> bytes, std::vector<std::uint32_t>& pixels, int& width,
                         int& height) {
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (block == nullptr) return false;
    void* copy = ::GlobalLock(block);
    if (copy == nullptr) {
        ::GlobalFree(block);
        return false;
    }
    std::memcpy(copy, bytes.data(), bytes.size());
    ::GlobalUnlock(block);
    IStream* stream = nullptr;
    if (::CreateStreamOnHGlobal(block, FALSE, &stream) != S_OK || stream == nullptr) {
        ::GlobalFree(block);
        return false;
    }
    bool decoded = false;
    {
        std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromStream(stream));
        if (image && image->GetLastStatus() == Gdiplus::Ok) {
            width = static_cast<int>(image->GetWidth());
            height = static_cast<int>(image->GetHeight());
            Gdiplus::Rect all(0, 0, width, height);
            Gdiplus::BitmapData data{};
            if (width > 0 && height > 0 &&
                image->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) == Gdiplus::Ok) {
                pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
                for (int row = 0; row < height; ++row)
                    std::memcpy(&pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width)],
                                static_cast<const std::uint8_t*>(data.Scan0) + static_cast<std::ptrdiff_t>(row) * data.Stride,
                                static_cast<std::size_t>(width) * 4);
                image->UnlockBits(&data);
                decoded = true;
            }
        }
    }
    stream->Release();
    ::GlobalFree(block);
    return decoded;
}

class GdiplusGraphicsImpl final : public Graphics {
public:
    std::uintptr_t Startup() override {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 0;
        ++m_started;
        return token;
    }

    void Shutdown(std::uintptr_t token) override {
        if (token == 0) return;
        Gdiplus::GdiplusShutdown(token);
        if (m_started > 0) --m_started;
    }

    std::unique_ptr<Bitmap> DecodePng(std::span<const std::uint8_t> bytes) override {
        if (m_started == 0 || bytes.size() < kPngSignature.size() ||
            !std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin()))
            return nullptr;
        std::vector<std::uint32_t> pixels;
        int width = 0;
        int height = 0;
        if (!DecodeThroughStream(bytes, pixels, width, height)) return nullptr;
        auto bitmap = std::make_unique<GdiplusBitmap>(std::move(pixels), width, height);
        if (!bitmap->Ok()) return nullptr;
        return bitmap;
    }

    std::vector<std::u16string> PrivateFontFamilies(std::u16string_view fontFile) override {
        std::vector<std::u16string> names;
        std::wstring path;
        if (m_started == 0 || fontFile.empty() || !ToWide(fontFile, path)) return names;
        Gdiplus::PrivateFontCollection collection;
        if (collection.AddFontFile(path.c_str()) != Gdiplus::Ok) return names;
        const INT count = collection.GetFamilyCount();
        if (count <= 0) return names;
        std::vector<Gdiplus::FontFamily> families(static_cast<std::size_t>(count));
        INT found = 0;
        if (collection.GetFamilies(count, families.data(), &found) != Gdiplus::Ok) return names;
        for (INT i = 0; i < found; ++i) {
            std::array<WCHAR, LF_FACESIZE> name{};
            if (families[static_cast<std::size_t>(i)].GetFamilyName(name.data()) != Gdiplus::Ok) continue;
            std::u16string family = FromWide(name.data(), wcsnlen(name.data(), name.size()));
            if (!family.empty() && std::find(names.begin(), names.end(), family) == names.end())
                names.push_back(std::move(family));
        }
        return names;
    }

    std::unique_ptr<Font> InstalledFont(std::u16string_view family, float points, FontStyle style) override {
        std::wstring name;
        if (m_started == 0 || family.empty() || !ToWide(family, name)) return nullptr;
        Gdiplus::FontFamily installed(name.c_str(), nullptr);
        if (installed.GetLastStatus() != Gdiplus::Ok || !installed.IsAvailable()) return nullptr;
        return MakeFont(installed, points, style);
    }

    std::unique_ptr<Font> GenericSansSerifFont(float points, FontStyle style) override {
        if (m_started == 0) return nullptr;
        // Asked for each time by its name: a family object kept from an earlier start of GDI+
        // would not outlive its shutdown.
        Gdiplus::GpFontFamily* generic = nullptr;
        if (Gdiplus::DllExports::GdipGetGenericFontFamilySansSerif(&generic) != Gdiplus::Ok || generic == nullptr)
            return nullptr;
        std::array<WCHAR, LF_FACESIZE> name{};
        const bool named = Gdiplus::DllExports::GdipGetFamilyName(generic, name.data(), LANG_NEUTRAL) == Gdiplus::Ok;
        Gdiplus::DllExports::GdipDeleteFontFamily(generic);
        if (!named) return nullptr;
        Gdiplus::FontFamily family(name.data(), nullptr);
        if (family.GetLastStatus() != Gdiplus::Ok || !family.IsAvailable()) return nullptr;
        return MakeFont(family, points, style);
    }

    std::unique_ptr<Font> SystemFont() override {
        if (m_started == 0) return nullptr;
        // The GUI font, as controls get it; a font GDI+ cannot take (not TrueType) gives way to
        // the generic family at the same size as the SDL side uses.
        HDC screen = ::GetDC(nullptr);
        if (screen != nullptr) {
            auto font = std::make_unique<Gdiplus::Font>(screen, static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
            ::ReleaseDC(nullptr, screen);
            if (font->GetLastStatus() == Gdiplus::Ok && font->IsAvailable())
                return std::make_unique<GdiplusFont>(std::move(font));
        }
        return GenericSansSerifFont(kSystemFontPoints, FontStyle::Regular);
    }

    std::unique_ptr<Canvas> CreateMemoryCanvas(int width, int height) override {
        if (m_started == 0) return nullptr;
        return DibCanvas::Create(width, height);
    }

private:
    int m_started = 0;
};

}  // namespace

std::unique_ptr<DibCanvas> DibCanvas::Create(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section != nullptr) ::DeleteObject(section);
        return nullptr;
    }
    std::unique_ptr<DibCanvas> canvas(new DibCanvas(section, static_cast<std::uint32_t*>(bits), width, height));
    canvas->m_image = std::make_unique<Gdiplus::Bitmap>(width, height, width * 4, PixelFormat32bppARGB,
                                                        static_cast<BYTE*>(bits));
    if (canvas->m_image->GetLastStatus() != Gdiplus::Ok) return nullptr;
    canvas->m_image->SetResolution(kScreenDpi, kScreenDpi);
    std::fill_n(canvas->m_pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF000000u);
    return canvas;
}

DibCanvas::DibCanvas(HBITMAP section, std::uint32_t* pixels, int width, int height)
    : m_section(section), m_pixels(pixels), m_width(width), m_height(height) {}

DibCanvas::~DibCanvas() {
    m_image.reset();  // before the pixels it draws on
    ::DeleteObject(m_section);
}

void DibCanvas::DrawImage(const Bitmap& bitmap, int x, int y) {
    const auto& image = static_cast<const GdiplusBitmap&>(bitmap);
    CanvasGraphics graphics(*m_image);
    if (!graphics.Ok()) return;
    // One image pixel on one canvas pixel: no resampling, whatever resolution the image says.
    graphics->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics->DrawImage(&image.Image(), Gdiplus::Rect(x, y, image.Width(), image.Height()), 0, 0, image.Width(),
                        image.Height(), Gdiplus::UnitPixel);
}

void DibCanvas::DrawString(std::u16string_view text, const Font& font, Color color, const Rect& box) {
    if (text.empty() || box.width <= 0 || box.height <= 0) return;
    CanvasGraphics graphics(*m_image);
    if (!graphics.Ok()) return;
    graphics->SetClip(Gdiplus::Rect(box.x, box.y, box.width, box.height));
    Gdiplus::StringFormat format(0, LANG_NEUTRAL);
    Gdiplus::SolidBrush brush(ToGdiplus(color));
    graphics->DrawString(Wide(text), Length(text), &HandleOf(font), ToRectF(box), &format, &brush);
}

void DibCanvas::DrawLabel(std::u16string_view text, const Font& font, Color color, const Rect& box) {
    if (text.empty() || box.width <= 0 || box.height <= 0) return;
    CanvasGraphics graphics(*m_image);
    if (!graphics.Ok()) return;
    const Gdiplus::Font& handle = HandleOf(font);
    std::u16string shown(text);
    const auto room = static_cast<Gdiplus::REAL>(box.width);
    if (TextWidth(graphics, shown, handle) > room) {
        // Cut at the end until the text and its ellipsis fit.
        while (!shown.empty() && TextWidth(graphics, shown + u"...", handle) > room) shown.pop_back();
        shown += u"...";
    }
    graphics->SetClip(Gdiplus::Rect(box.x, box.y, box.width, box.height));
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap |
                          Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    Gdiplus::SolidBrush brush(ToGdiplus(color));
    graphics->DrawString(Wide(shown), Length(shown), &handle, ToRectF(box), &format, &brush);
}

void DibCanvas::FillRect(const Rect& area, Color color) {
    // The pixels take the colour as it is, alpha included, as a fill of a surface does.
    const int left = std::max(area.x, 0);
    const int top = std::max(area.y, 0);
    const int right = std::min(area.x + area.width, m_width);
    const int bottom = std::min(area.y + area.height, m_height);
    if (left >= right || top >= bottom) return;
    const std::uint32_t value = PackArgb(color);
    for (int row = top; row < bottom; ++row)
        std::fill(m_pixels + static_cast<std::ptrdiff_t>(row) * m_width + left,
                  m_pixels + static_cast<std::ptrdiff_t>(row) * m_width + right, value);
}

void DibCanvas::CopyFrom(const Canvas& source) { CopyArea(static_cast<const DibCanvas&>(source), 0, 0); }

void DibCanvas::CopyArea(const DibCanvas& source, int x, int y) {
    ::GdiFlush();
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + m_width, source.m_width);
    const int bottom = std::min(y + m_height, source.m_height);
    if (left >= right || top >= bottom) return;
    for (int row = top; row < bottom; ++row)
        std::memcpy(m_pixels + static_cast<std::ptrdiff_t>(row - y) * m_width + (left - x),
                    source.m_pixels + static_cast<std::ptrdiff_t>(row) * source.m_width + left,
                    static_cast<std::size_t>(right - left) * 4);
}

Color DibCanvas::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return {};
    ::GdiFlush();
    const std::uint32_t p = m_pixels[static_cast<std::ptrdiff_t>(y) * m_width + x];
    return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p),
            static_cast<std::uint8_t>(p >> 24)};
}

bool DibCanvas::BlitTo(HDC target, int x, int y) const {
    HDC memory = ::CreateCompatibleDC(target);
    if (memory == nullptr) return false;
    HGDIOBJ previous = ::SelectObject(memory, m_section);
    const bool copied = ::BitBlt(target, x, y, m_width, m_height, memory, 0, 0, SRCCOPY) != FALSE;
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
    return copied;
}

Graphics& GdiplusGraphics() {
    static GdiplusGraphicsImpl graphics;
    return graphics;
}

HICON CreateIconFromBitmap(const Bitmap& bitmap) {
    HICON icon = nullptr;
    if (static_cast<const GdiplusBitmap&>(bitmap).Image().GetHICON(&icon) != Gdiplus::Ok) return nullptr;
    return icon;
}

}  // namespace platform::win32
