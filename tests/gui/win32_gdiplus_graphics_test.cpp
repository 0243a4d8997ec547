// The GDI+ drawing services without a window: PNG decoding, image blending, fills, copies and
// texts on memory canvases, read back pixel by pixel.
#include "platform/graphics.h"
#include "platform/resources.h"
#include "platform/win32/window/gdiplus_graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using platform::Canvas;
using platform::Color;
using platform::Rect;

constexpr std::uint16_t kPanelImage = 141;  // 524 x 312, opaque
constexpr std::uint16_t kLampOnImage = 150;  // 20 x 20, a ball with soft edges on transparency

platform::Graphics& Gdiplus() { return platform::win32::GdiplusGraphics(); }

class GdiplusGraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_token = Gdiplus().Startup();
        ASSERT_NE(m_token, 0u);
    }
    void TearDown() override { Gdiplus().Shutdown(m_token); }

    static std::unique_ptr<platform::Bitmap> SkinImage(std::uint16_t id) {
        const auto bytes = platform::ProgramResources().Find(u"PNG", id);
        if (!bytes) return nullptr;
        return Gdiplus().DecodePng(*bytes);
    }

    static std::unique_ptr<Canvas> CanvasOf(int width, int height, Color fill) {
        auto canvas = Gdiplus().CreateMemoryCanvas(width, height);
        if (canvas) canvas->FillRect({0, 0, width, height}, fill);
        return canvas;
    }

    // The font of the application's font file, found among the installed families by the name
    // its private collection gives, else the generic sans-serif family.
    static std::unique_ptr<platform::Font> TextFont(float points) {
        const auto before = std::filesystem::current_path();
        std::filesystem::current_path(QL_APP_DIR);
        const auto families = Gdiplus().PrivateFontFamilies(u"Arial.ttf");
        std::filesystem::current_path(before);
        if (!families.empty())
            if (auto font = Gdiplus().InstalledFont(families[0], points, platform::FontStyle::Regular)) return font;
        return Gdiplus().GenericSansSerifFont(points, platform::FontStyle::Regular);
    }

    // The smallest rectangle holding every pixel that differs from `background`; empty if none.
    static Rect InkBounds(const Canvas& canvas, Color background) {
        int left = canvas.Width(), top = canvas.Height(), right = -1, bottom = -1;
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x)
                if (canvas.PixelAt(x, y) != background) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                    right = std::max(right, x);
                    bottom = std::max(bottom, y);
                }
        if (right < 0) return {};
        return {left, top, right - left + 1, bottom - top + 1};
    }

    std::uintptr_t m_token = 0;
};

constexpr Color kOpaqueBlack{0, 0, 0, 255};
constexpr Color kTransparent{0, 0, 0, 0};
constexpr Color kTeal{0, 128, 128, 255};

TEST_F(GdiplusGraphicsTest, DecodePng_SkinImagesHaveTheirSizes_OtherBytesGiveNone) {
    const auto panel = SkinImage(kPanelImage);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->Width(), 524);
    EXPECT_EQ(panel->Height(), 312);
    const auto lamp = SkinImage(kLampOnImage);
    ASSERT_TRUE(lamp);
    EXPECT_EQ(lamp->Width(), 20);
    EXPECT_EQ(lamp->Height(), 20);

    const std::uint8_t notAnImage[] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_FALSE(Gdiplus().DecodePng(notAnImage));
    EXPECT_FALSE(Gdiplus().DecodePng({}));
    // A PNG cut short after its header is no image either.
    const auto whole = platform::ProgramResources().Find(u"PNG", kLampOnImage);
    ASSERT_TRUE(whole);
    EXPECT_FALSE(Gdiplus().DecodePng(whole->first(40)));
}

TEST_F(GdiplusGraphicsTest, DrawImage_BlendsByAlphaUnscaledAtItsCorner) {
    const auto lamp = SkinImage(kLampOnImage);
    ASSERT_TRUE(lamp);
    // The image's own pixels: drawn on full transparency, the result is the source.
    const auto source = CanvasOf(20, 20, kTransparent);
    ASSERT_TRUE(source);
    source->DrawImage(*lamp, 0, 0);
    int opaque = 0, clear = 0, partial = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const int a = source->PixelAt(x, y).a;
            opaque += a == 255;
            clear += a == 0;
            partial += a > 0 && a < 255;
        }
    ASSERT_GT(opaque, 0);
    ASSERT_GT(clear, 0);
    ASSERT_GT(partial, 0) << "the lamp's edges are soft";

    const auto target = CanvasOf(40, 30, kTeal);
    ASSERT_TRUE(target);
    target->DrawImage(*lamp, 7, 5);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const Color got = target->PixelAt(x, y);
            if (!Rect{7, 5, 20, 20}.Contains(x, y)) {
                ASSERT_EQ(got, kTeal) << "outside the image at " << x << "," << y;
                continue;
            }
            const Color src = source->PixelAt(x - 7, y - 5);
            auto blend = [&](int s, int d) { return (s * src.a + d * (255 - src.a) + 127) / 255; };
            ASSERT_NEAR(got.r, blend(src.r, kTeal.r), 2) << x << "," << y;
            ASSERT_NEAR(got.g, blend(src.g, kTeal.g), 2) << x << "," << y;
            ASSERT_NEAR(got.b, blend(src.b, kTeal.b), 2) << x << "," << y;
            ASSERT_EQ(got.a, 255);
        }
}

TEST_F(GdiplusGraphicsTest, FillRect_SetsTheAreaClippedToTheCanvas) {
    auto canvas = Gdiplus().CreateMemoryCanvas(16, 12);
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->PixelAt(5, 5), kOpaqueBlack) << "a new canvas is opaque black";
    const Color half{200, 100, 50, 128};
    canvas->FillRect({10, 8, 20, 20}, half);  // reaches past the right and bottom edges
    canvas->FillRect({-5, -5, 7, 7}, kTeal);  // reaches past the left and top edges
    struct Case {
        int x, y;
        Color expected;
    } const cases[] = {
        {10, 8, half}, {15, 11, half}, {9, 8, kOpaqueBlack}, {10, 7, kOpaqueBlack},
        {0, 0, kTeal}, {1, 0, kTeal},  {2, 0, kOpaqueBlack}, {0, 1, kTeal}, {0, 2, kOpaqueBlack},
    };
    for (const auto& c : cases) EXPECT_EQ(canvas->PixelAt(c.x, c.y), c.expected) << c.x << "," << c.y;
    EXPECT_EQ(canvas->PixelAt(-1, 0), Color{});
    EXPECT_EQ(canvas->PixelAt(16, 0), Color{});
    EXPECT_FALSE(Gdiplus().CreateMemoryCanvas(0, 10));
}

TEST_F(GdiplusGraphicsTest, CopyFrom_TakesTheWholeSourceAtTheCorner) {
    const auto source = CanvasOf(8, 6, kTeal);
    ASSERT_TRUE(source);
    source->FillRect({3, 2, 1, 1}, Color{1, 2, 3, 4});
    const auto target = CanvasOf(10, 10, Color{9, 9, 9, 255});
    ASSERT_TRUE(target);
    target->CopyFrom(*source);
    EXPECT_EQ(target->PixelAt(0, 0), kTeal);
    EXPECT_EQ(target->PixelAt(3, 2), (Color{1, 2, 3, 4})) << "copied as it is, alpha included";
    EXPECT_EQ(target->PixelAt(7, 5), kTeal);
    EXPECT_EQ(target->PixelAt(8, 5), (Color{9, 9, 9, 255}));
    EXPECT_EQ(target->PixelAt(7, 6), (Color{9, 9, 9, 255}));
}

TEST_F(GdiplusGraphicsTest, Fonts_FromTheFontFileAndByName_NoneForAnUnknownFamily) {
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(QL_APP_DIR);
    const auto families = Gdiplus().PrivateFontFamilies(u"Arial.ttf");
    std::filesystem::current_path(before);
    ASSERT_EQ(families.size(), 1u);
    EXPECT_EQ(families[0], u"Liberation Sans");

    EXPECT_TRUE(Gdiplus().PrivateFontFamilies(u"No Such Font File.ttf").empty());
    EXPECT_FALSE(Gdiplus().InstalledFont(u"No Such Family Anywhere", 12, platform::FontStyle::Regular));
    EXPECT_FALSE(Gdiplus().InstalledFont(u"", 12, platform::FontStyle::Regular));
    // A family found by name is that family, never a stand-in (here the machine's own copy of
    // the file's family is installed; on a Windows without it there is no font at all).
    if (const auto installed = Gdiplus().InstalledFont(families[0], 14, platform::FontStyle::Bold)) {
        EXPECT_EQ(installed->FamilyName(), u"Liberation Sans");
    }
    // The GUI font, or the generic family in its place (which a bare Wine may not have).
    EXPECT_TRUE(Gdiplus().SystemFont());
}

TEST_F(GdiplusGraphicsTest, DrawString_InksInsideItsBoxOnly_WrapsAtItsWidth) {
    const auto font = TextFont(12);
    ASSERT_TRUE(font);
    const Color white{255, 255, 255, 255};
    const auto canvas = CanvasOf(200, 120, kOpaqueBlack);
    ASSERT_TRUE(canvas);
    const Rect box{20, 10, 90, 100};
    canvas->DrawString(u"Connected. Ready to Update.", *font, white, box);
    const Rect ink = InkBounds(*canvas, kOpaqueBlack);
    ASSERT_GT(ink.width, 0) << "the text drew nothing";
    EXPECT_GE(ink.x, box.x);
    EXPECT_GE(ink.y, box.y);
    EXPECT_LE(ink.x + ink.width, box.x + box.width);
    EXPECT_LT(ink.x, box.x + 8) << "the text starts at the box's left edge";
    EXPECT_LT(ink.y, box.y + 8) << "the text starts at the box's top edge";
    // 12 points are 16 pixels: the text does not fit 90 pixels on one line.
    EXPECT_GT(ink.height, 24) << "the text did not wrap";

    // A box too low for the text clips it.
    const auto clipped = CanvasOf(200, 120, kOpaqueBlack);
    ASSERT_TRUE(clipped);
    clipped->DrawString(u"Connected. Ready to Update.", *font, white, {20, 10, 90, 6});
    const Rect cut = InkBounds(*clipped, kOpaqueBlack);
    EXPECT_LE(cut.y + cut.height, 16);
}

TEST_F(GdiplusGraphicsTest, DrawLabel_CentresOneLineAndCutsWhatDoesNotFit) {
    const auto font = TextFont(14);
    ASSERT_TRUE(font);
    const Color white{255, 255, 255, 255};
    const Rect box{10, 10, 112, 32};
    const auto canvas = CanvasOf(140, 60, kOpaqueBlack);
    ASSERT_TRUE(canvas);
    canvas->DrawLabel(u"Update", *font, white, box);
    const Rect ink = InkBounds(*canvas, kOpaqueBlack);
    ASSERT_GT(ink.width, 0);
    EXPECT_NEAR(ink.x + ink.width / 2.0, box.x + box.width / 2.0, 3.0);
    EXPECT_NEAR(ink.y + ink.height / 2.0, box.y + box.height / 2.0, 4.0);

    const auto longer = CanvasOf(140, 60, kOpaqueBlack);
    ASSERT_TRUE(longer);
    longer->DrawLabel(u"A label far too long for the button it is on", *font, white, box);
    const Rect cut = InkBounds(*longer, kOpaqueBlack);
    ASSERT_GT(cut.width, 0);
    EXPECT_GE(cut.x, box.x);
    EXPECT_LE(cut.x + cut.width, box.x + box.width);
    EXPECT_LT(cut.height, 24) << "one line only";
}

TEST(GdiplusGraphicsStoppedTest, NothingIsMadeBeforeStartup) {
    EXPECT_FALSE(Gdiplus().CreateMemoryCanvas(10, 10));
    EXPECT_FALSE(Gdiplus().GenericSansSerifFont(12, platform::FontStyle::Regular));
    EXPECT_TRUE(Gdiplus().PrivateFontFamilies(u"Arial.ttf").empty());
    const auto bytes = platform::ProgramResources().Find(u"PNG", kLampOnImage);
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(Gdiplus().DecodePng(*bytes));
}

}  // namespace
