#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/base/U_StringList.h"
#include "platform/text/U_TextRenderer.h"
#include "video/U_FrameServer.h"

namespace {

bool Lit(std::uint32_t p) {
    return (p & 0xFFFFFFu) != 0;
}

// Lit pixels of the frame in columns [x0, x1) and rows [y0, y1), cut to the frame.
int Ink(const TBitmap32& frame, int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, frame.Height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, frame.Width); ++x) n += Lit(frame.At(x, y));
    return n;
}

bool FamilyInstalled(const char* family) {
    struct Deleter {
        void operator()(FcPattern* p) const { FcPatternDestroy(p); }
        void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
        void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
    };
    std::unique_ptr<FcPattern, Deleter> pattern(
        FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family, static_cast<char*>(nullptr)));
    std::unique_ptr<FcObjectSet, Deleter> objects(
        FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr)));
    std::unique_ptr<FcFontSet, Deleter> fonts(FcFontList(nullptr, pattern.get(), objects.get()));
    return fonts && fonts->nfont > 0;
}

} // namespace

TEST(TextBand, MainFaceIsTheFamilyOnlyWhenItIsInstalled) {
    struct TCase {
        const char* Family;
        const char* Expected;
    };
    // fontconfig answers any unknown name with some installed face; which one depends on
    // what else is installed, so that answer is not taken.
    const TCase cases[] = {{"MS Sans Serif", "DejaVu Sans"},
                           {"No Such Face 7", "DejaVu Sans"},
                           {"sans-serif", "DejaVu Sans"},
                           {"WenQuanYi Zen Hei", "WenQuanYi Zen Hei"},
                           {"noto sans hebrew", "Noto Sans Hebrew"}};
    for (const TCase& c : cases) {
        if (FamilyInstalled(c.Family) && std::string(c.Expected) == FallbackFontFamily) continue;
        TTextRenderer text(16, c.Family);
        EXPECT_EQ(text.Fonts().Family(TFontSet::MainFace), c.Expected) << c.Family;
    }
}

struct TInkCase {
    const char* Name;
    const char* Text;
};

void PrintTo(const TInkCase& c, std::ostream* os) {
    *os << c.Name;
}

class CaptionInk : public ::testing::TestWithParam<TInkCase> {};

// Every glyph leaves ink in the columns the layout gives it, and none falls outside the
// text's box.
TEST_P(CaptionInk, EachGlyphInksItsOwnColumns) {
    static TTextRenderer text(16);
    const TInkCase& c = GetParam();
    const TTextLayout layout = text.Layout(c.Text);
    ASSERT_FALSE(layout.Glyphs.empty());
    constexpr int Left = 10, Top = 6;
    TBitmap32 frame = test::MakeSolid(400, 40, 0);
    text.DrawText(frame, Left, Top, c.Text);

    // Frame columns of a stretch of work pixels given in 1/64.
    const auto column = [](std::int32_t x64) { return Left + static_cast<int>(x64 / 128); };
    const int right = column(layout.Width);
    EXPECT_EQ(Ink(frame, 0, Left - 2, 0, frame.Height), 0);
    EXPECT_EQ(Ink(frame, right + 3, frame.Width, 0, frame.Height), 0);
    EXPECT_EQ(Ink(frame, 0, frame.Width, Top + 24, frame.Height), 0) << "below the text";

    for (std::size_t i = 0; i < layout.Glyphs.size(); ++i) {
        const TPlacedGlyph& g = layout.Glyphs[i];
        const std::int32_t end =
            i + 1 < layout.Glyphs.size() ? layout.Glyphs[i + 1].X : layout.Width;
        if (layout.Text[g.Cluster] == U' ' || end - g.X < 8 * 64) continue; // spaces, marks
        EXPECT_GT(Ink(frame, column(g.X), column(end) + 1, Top, Top + 24), 3)
            << "no ink for U+" << std::hex << unsigned(layout.Text[g.Cluster]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, CaptionInk,
    ::testing::Values(TInkCase{"Latin", "Picture : 2 / 9"}, TInkCase{"Chinese", "北京的秋天"},
                      TInkCase{"Arabic", "مرحبا بالعالم"}, TInkCase{"Hebrew", "שלום עולם"},
                      TInkCase{"Mixed", "abc שלום 123"}, TInkCase{"Emoji", "ok 🎉"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TextBand, TabsAndLineBreaksDrawAsSpaces) {
    TTextRenderer text(16);
    TBitmap32 spaced = test::MakeSolid(200, 30, 0);
    text.DrawText(spaced, 4, 4, "a b  c");
    TBitmap32 broken = test::MakeSolid(200, 30, 0);
    text.DrawText(broken, 4, 4, "a\tb\r\nc");
    EXPECT_TRUE(test::SameRGB(spaced, broken));
}

TEST(TextBand, FrameServerDrawsAChineseCaptionInTheBand) {
    test::TempDir dir;
    const std::string black = dir.File("black.bmp");
    test::WriteBmp24(black, test::MakeSolid(72, 54, 0));
    TStringList paths({black});
    TStringList captions({"北京的秋天"});
    TFrameServer server(paths, &captions, 1, 576, 720, TShowStyle{.CaptionText = true});
    TBitmap32 frame;
    server.GetFrame(frame, 0);
    // Five full-width characters from x = 310, one em (16 pixels) each, in the band's rows.
    const int top = 576 - 20;
    for (int k = 0; k < 5; ++k)
        EXPECT_GT(Ink(frame, 310 + 16 * k, 310 + 16 * (k + 1), top, 576), 20) << "character " << k;
    EXPECT_EQ(Ink(frame, 310 + 16 * 5 + 2, 720, 0, 576), 0);
    EXPECT_EQ(Ink(frame, 0, 720, 0, CaptionBandTop(576)), 0) << "nothing above the band";
}

TEST(TextBand, DrawingTheSameCaptionAgainIsCheap) {
    // A caption is drawn on every frame of its picture; only the first draw may look up
    // fonts and lay it out (a font look-up alone takes milliseconds). The bound leaves room
    // for sanitizer builds on a busy machine.
    TTextRenderer text(16);
    TBitmap32 frame = test::MakeSolid(720, 40, 0x202020);
    const std::string caption = "مرحبا بالعالم 北京的秋天 שלום";
    text.DrawText(frame, 310, 10, caption);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 500; ++i) text.DrawText(frame, 310, 10, caption);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000);
}
