// The main window painted offscreen and read back: lamp, progress, texts with and without the
// application font, missing layers, the skin buttons' images and label colours, and the image
// holders' loading.
#include "ui_window_fixture.h"

#include "ui/dialog_templates.h"
#include "ui/gdiplus_bitmap.h"
#include "platform/text.h"
#include "ui/skin_button.h"

#include <functional>

namespace {

using platform::Color;
using ui_test::WindowTest;

bool IsRed(Color c) { return c.r > 150 && c.g < 90 && c.b < 90; }
bool IsGreen(Color c) { return c.g > 120 && c.r < 100 && c.b < 100; }

// The number of pixels of `area` that `test` holds for.
int CountPixels(const platform::Canvas& canvas, const platform::Rect& area, const std::function<bool(Color)>& test) {
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) count += test(canvas.PixelAt(x, y)) ? 1 : 0;
    return count;
}

bool IsWhite(Color c) { return c.r > 230 && c.g > 230 && c.b > 230; }
bool IsDark(Color c) { return c.r < 60 && c.g < 60 && c.b < 60; }

// Where the texts are: the status text right of the lamp, the title right of the title logo.
constexpr platform::Rect kStatusArea{54, 300, 300, 20};
constexpr platform::Rect kTitleArea{160, 9, 290, 26};
constexpr platform::Rect kWordmarkArea{160, 145, 220, 70};

TEST_F(WindowTest, Lamp_RedWhileDisconnectedGreenWhenReady) {
    OpenWindow();
    EXPECT_TRUE(IsRed(Frame().PixelAt(42, 308)));
    Post(1, 0);
    EXPECT_TRUE(IsGreen(Frame().PixelAt(42, 308)));
}

TEST_F(WindowTest, ProgressBar_FillFollowsRangeAndPosition) {
    OpenWindow();
    dialog->m_progress.SetRange(0, 5);
    dialog->m_progress.SetPos(0);
    EXPECT_EQ(CountPixels(Frame(), {81, 237, 378, 18}, IsGreen), 0);
    dialog->m_progress.SetPos(2);
    const auto& half = Frame();
    EXPECT_TRUE(IsGreen(half.PixelAt(82, 246)));
    EXPECT_TRUE(IsGreen(half.PixelAt(81 + 378 * 2 / 5 - 2, 246)));
    EXPECT_FALSE(IsGreen(half.PixelAt(81 + 378 * 2 / 5 + 2, 246)));
    dialog->m_progress.SetPos(5);
    EXPECT_TRUE(IsGreen(Frame().PixelAt(458, 246)));
}

TEST_F(WindowTest, Texts_DrawnWithTheAppFontAbsentWithout) {
    OpenWindow();
    const auto& with = Frame();
    EXPECT_GT(CountPixels(with, kStatusArea, IsWhite), 50);
    EXPECT_GT(CountPixels(with, kTitleArea, IsDark), 100);
    host->Finish();
    dialog.reset();

    ui_test::LoadAppFontFrom(ui_test::DirectoryWithoutFont());
    ASSERT_FALSE(theApp.m_pFontFamilies);
    OpenWindow();
    const auto& without = Frame();
    EXPECT_EQ(CountPixels(without, kStatusArea, IsWhite), 0);
    EXPECT_EQ(CountPixels(without, kTitleArea, IsDark), 0);
    // The lamp still follows the state.
    Post(1, 0);
    EXPECT_TRUE(IsGreen(Frame().PixelAt(42, 308)));
}

TEST_F(WindowTest, AppFont_FamilyFromArialTtfInTheCurrentDirectory) {
    ASSERT_TRUE(theApp.m_pFontFamilies);
    EXPECT_EQ(theApp.m_pFontFamilies[0].GetFamilyName(), u"Liberation Sans");
    ui_test::LoadAppFontFrom(ui_test::DirectoryWithoutFont());
    EXPECT_FALSE(theApp.m_pFontFamilies);
}

// The image a resource decodes to, drawn alone at (0, 0).
std::unique_ptr<platform::Canvas> DrawnAlone(std::uint16_t id) {
    auto& graphics = platform::sdl::SdlGraphics();
    CGdiPlusBitmapResource holder(graphics, platform::ProgramResources());
    if (!holder.Load(id)) return nullptr;
    auto canvas = graphics.CreateMemoryCanvas(holder.m_pBitmap->Width(), holder.m_pBitmap->Height());
    canvas->DrawImage(*holder.m_pBitmap, 0, 0);
    return canvas;
}

// The number of pixels of the wordmark's place that differ from the bare panel under it.
int PixelsOverThePanel(const platform::Canvas& frame, const platform::Canvas& panel) {
    return CountPixels(frame, kWordmarkArea, [&, x = kWordmarkArea.x, y = kWordmarkArea.y](Color) mutable {
        const bool differs = frame.PixelAt(x, y) != panel.PixelAt(x - 8, y - 40);
        if (++x == kWordmarkArea.x + kWordmarkArea.width) {
            x = kWordmarkArea.x;
            ++y;
        }
        return differs;
    });
}

TEST_F(WindowTest, MissingLayerImage_DrawsNothingOthersDraw) {
    const auto panel = DrawnAlone(141);
    ASSERT_TRUE(panel);
    OpenWindow();
    EXPECT_GT(PixelsOverThePanel(Frame(), *panel), 500);
    host->Finish();
    dialog.reset();

    resources.replaced[156] = {};                              // no such resource
    resources.replaced[154] = {0x89, 'P', 'N', 'G', 1, 2, 3};  // not decodable
    OpenWindow();
    const auto& frame = Frame();
    EXPECT_EQ(PixelsOverThePanel(frame, *panel), 0);
    EXPECT_EQ(CountPixels(frame, {32, 9, 120, 22}, IsDark), 0);  // title logo gone, title bar shows
    EXPECT_TRUE(IsRed(frame.PixelAt(42, 308)));
    ASSERT_EQ(dialog->m_layers.size(), 10u);
    EXPECT_FALSE(dialog->m_layers[9].pImage->m_pBitmap);
    EXPECT_FALSE(dialog->m_layers[7].pImage->m_pBitmap);
    EXPECT_TRUE(dialog->m_layers[8].pImage->m_pBitmap);
}

TEST_F(WindowTest, SkinButtons_SizedFromTheirNormalImages) {
    OpenWindow();
    EXPECT_EQ(dialog->m_pUpdateButton->Window()->WindowRect(), (platform::Rect{396, 296, 112, 32}));
    EXPECT_EQ(dialog->m_pCloseButton->Window()->WindowRect(), (platform::Rect{492, 4, 32, 32}));
    EXPECT_EQ(dialog->m_pMinimizeButton->Window()->WindowRect(), (platform::Rect{460, 4, 32, 32}));
}

// The Update button's face in the painted frame equals image `id` at a point off the label.
bool FaceIs(const platform::Canvas& frame, std::uint16_t id) {
    const auto alone = DrawnAlone(id);
    return alone && frame.PixelAt(396 + 6, 296 + 16) == alone->PixelAt(6, 16) &&
           frame.PixelAt(396 + 100, 296 + 4) == alone->PixelAt(100, 4);
}

TEST_F(WindowTest, UpdateButton_NormalHoverAndDisabledFacesAndLabels) {
    OpenWindow();
    ASSERT_FALSE(FaceIs(Frame(), 152) && FaceIs(Frame(), 153));  // the two faces differ there

    // Disabled: image 152, label in RGB(17, 0, 0), no hover image even with the mouse on it.
    host->MouseMove(450, 310);
    host->Pump();
    const auto& disabled = Frame();
    EXPECT_TRUE(FaceIs(disabled, 152));
    EXPECT_EQ(dialog->m_pUpdateButton->m_hover, 0);
    EXPECT_EQ(CountPixels(disabled, {396, 296, 112, 32}, IsWhite), 0);

    Post(1, 0);
    const auto& normal = Frame();
    EXPECT_TRUE(FaceIs(normal, 152));
    EXPECT_GT(CountPixels(normal, {396, 296, 112, 32}, IsWhite), 30);

    host->MouseMove(450, 310);
    ASSERT_TRUE(PumpUntil([&] { return dialog->m_pUpdateButton->m_hover == 1; }));
    EXPECT_TRUE(FaceIs(Frame(), 153));

    host->MouseMove(200, 100);
    EXPECT_EQ(dialog->m_pUpdateButton->m_hover, 0);
    EXPECT_TRUE(FaceIs(Frame(), 152));
}

TEST_F(WindowTest, SkinButtonLabel_DisabledColourIsFixedNearBlack) {
    auto& graphics = platform::sdl::SdlGraphics();
    auto font = graphics.InstalledFont(u"Liberation Sans", 14, platform::FontStyle::Regular);
    ASSERT_TRUE(font);
    CSkinButton button(graphics, resources);  // no images: the label alone is drawn
    button.SetWindowText(u"Update");
    auto draw = [&](std::uint32_t state, Color ground) {
        auto canvas = graphics.CreateMemoryCanvas(112, 32);
        canvas->FillRect({0, 0, 112, 32}, ground);
        button.DrawItem({*canvas, {0, 0, 112, 32}, state, font.get()});
        return canvas;
    };
    const auto disabled = draw(platform::ODS_DISABLED, {255, 255, 255, 255});
    EXPECT_GT(CountPixels(*disabled, {0, 0, 112, 32}, [](Color c) { return c == Color{17, 0, 0, 255}; }), 10);
    const auto enabled = draw(0, {0, 0, 0, 255});
    EXPECT_GT(CountPixels(*enabled, {0, 0, 112, 32}, [](Color c) { return c == Color{255, 255, 255, 255}; }), 10);
}

TEST(ImageHolder, Load_FailuresLeaveItEmptyAndReloadReplaces) {
    auto& graphics = platform::sdl::SdlGraphics();
    ui_test::EditedResources resources;
    resources.replaced[141] = {};
    resources.replaced[142] = {'n', 'o', 't', ' ', 'p', 'n', 'g'};
    CGdiPlusBitmapResource holder(graphics, resources);
    struct Case {
        std::uint16_t id;
        bool loads;
    };
    for (const Case c : {Case{150, true}, Case{141, false}, Case{150, true}, Case{142, false}, Case{999, false},
                         Case{152, true}}) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(holder.Load(c.id), c.loads);
        EXPECT_EQ(static_cast<bool>(holder.m_pBitmap), c.loads);
        EXPECT_EQ(static_cast<bool>(holder.m_hBuffer), c.loads);
    }
    // The last load replaced the 20 x 20 lamp with the 112 x 32 face.
    EXPECT_EQ(holder.m_pBitmap->Width(), 112);
    EXPECT_EQ(holder.m_pBitmap->Height(), 32);
}

}  // namespace

namespace {

// Fonts by family name: an installed family (or one the system aliases, as Arial) is found; an
// unknown one is not, so the window falls back to the generic sans-serif family.
TEST_F(WindowTest, FontsByName_UnknownFamilyIsNotFoundGenericOneIs) {
    auto& graphics = platform::sdl::SdlGraphics();
    struct Case {
        std::u16string_view family;
        bool found;
    };
    for (const Case c : {Case{u"Liberation Sans", true}, Case{u"Arial", true}, Case{u"No Such Family Anywhere", false},
                         Case{u"", false}}) {
        SCOPED_TRACE(platform::ToUtf8(c.family));
        EXPECT_EQ(static_cast<bool>(graphics.InstalledFont(c.family, 12, platform::FontStyle::Regular)), c.found);
    }
    EXPECT_TRUE(graphics.GenericSansSerifFont(12, platform::FontStyle::Bold));
}

}  // namespace
