// Filled frames (cropped, or over a blurred copy) and caption styles: colour, edges readable
// on white, place, counter, face, size and the photo's date.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "ExifTestFiles.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/text/U_TextRenderer.h"
#include "video/U_CaptionOverlay.h"
#include "video/U_Fill.h"
#include "video/U_FrameServer.h"
#include "video/U_ImageFile.h"
#include "video/U_PhotoDate.h"

namespace {

TBitmap32 ThreeBars(int w, int h) {
    // Red, green and blue thirds from left to right.
    TBitmap32 b = test::MakeSolid(w, h, 0xFF0000);
    test::FillRect(b, w / 3, 0, w / 3, h, 0x00FF00);
    test::FillRect(b, 2 * w / 3, 0, w - 2 * w / 3, h, 0x0000FF);
    return b;
}

int Count(const TBitmap32& f, int x0, int y0, int x1, int y1,
          const std::function<bool(std::uint32_t)>& match) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += match(f.At(x, y)) ? 1 : 0;
    return n;
}

bool Dark(std::uint32_t p) {
    return RedOf(p) < 96 && GreenOf(p) < 96 && BlueOf(p) < 96;
}

} // namespace

TEST(Fill, CropKeepsTheCentreAndLeavesNoBands) {
    // 120 x 30 into 40 x 30: only the green middle third is shown.
    const TBitmap32 wide = CropToFill(ThreeBars(120, 30), 40, 30);
    EXPECT_EQ(Count(wide, 0, 0, 40, 30,
                    [](std::uint32_t p) { return GreenOf(p) > 200 && RedOf(p) < 30; }),
              40 * 30);
    // A portrait into a landscape frame keeps its middle rows: the top red rows are cut.
    TBitmap32 tall = test::MakeSolid(30, 90, 0x00FF00);
    test::FillRect(tall, 0, 0, 30, 20, 0xFF0000);
    const TBitmap32 out = CropToFill(tall, 40, 30);
    EXPECT_EQ(Count(out, 0, 0, 40, 30, [](std::uint32_t p) { return RedOf(p) > 30; }), 0);
}

TEST(Fill, BlurFillsTheBandsDarkerAndLeavesThePicture) {
    test::TempDir temp;
    const std::string path = temp.File("portrait.bmp");
    TBitmap32 portrait = test::MakeSolid(60, 120, 0xFF0000);
    test::FillRect(portrait, 30, 0, 30, 120, 0x0000FF); // red left half, blue right half
    test::WriteBmp24(path, portrait);
    TImageFile bands(path, 160, 90),
        blurred(path, 160, 90, DefaultMaxPicturePixels, {}, TFill::Blur);
    const TFitBands fit = ComputeFitBands(60, 120, 160, 90);
    ASSERT_GT(fit.Side, 40);
    // The picture area is the same pixels.
    for (int y = 0; y < 90; ++y)
        for (int x = fit.Side; x < 160 - fit.Side; ++x)
            ASSERT_EQ(bands.Bitmap.At(x, y) & 0xFFFFFF, blurred.Bitmap.At(x, y) & 0xFFFFFF);
    // The bands: no longer black, at most half bright, reddish on the left, bluish on the right.
    const std::uint32_t left = blurred.Bitmap.At(5, 45), right = blurred.Bitmap.At(154, 45);
    EXPECT_GT(RedOf(left), 60u);
    EXPECT_LE(RedOf(left), 128u);
    EXPECT_GT(RedOf(left), BlueOf(left) + 40);
    EXPECT_GT(BlueOf(right), RedOf(right) + 40);
}

// The blur is made once per picture; at 1080p, for a portrait (the widest bands), it must stay
// a small part of the picture's loading.
TEST(Fill, BlurOfA1080pFrameTakesAFewMilliseconds) {
    const TFitBands fit = ComputeFitBands(3000, 4000, 1920, 1080);
    TBitmap32 base = test::MakeGradient(1920, 1080);
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        TBitmap32 frame = base;
        const auto start = std::chrono::steady_clock::now();
        FillBandsWithBlur(frame, fit.Side, fit.Top);
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    }
    std::printf("blurred background at 1920x1080, portrait: %.2f ms\n", best);
    // The target is 5 ms; the bound leaves room for a machine busy with other work, and still
    // catches a blur done at full size (hundreds of milliseconds).
    EXPECT_LT(best, 100);
}

namespace {

class CaptionStyleTest : public ::testing::Test {
protected:
    TBitmap32 Render(const TCaptionStyle& caption, std::uint32_t ground = 0x808080,
                     const std::string& text = "Holiday") {
        if (path.empty()) {
            path = dir.File("p.bmp");
            test::WriteBmp24(path, test::MakeSolid(72, 54, ground));
        }
        TStringList paths({path}), captions({text});
        TShowStyle style{.CaptionText = true};
        style.Caption = caption;
        TFrameServer server(paths, &captions, 1, 240, 320, style);
        TBitmap32 frame;
        server.GetFrame(frame, 0);
        return frame;
    }
    test::TempDir dir;
    std::string path;
};

} // namespace

TEST_F(CaptionStyleTest, ColourAndPlace) {
    TCaptionStyle yellow;
    yellow.Colour = 0xFFFF00;
    const TBitmap32 f = Render(yellow);
    // Ink that is yellow: red and green up, blue at the band's level.
    const test::TBox ink =
        test::FindBox(f, [](std::uint32_t p) { return RedOf(p) > 200 && BlueOf(p) < 100; });
    ASSERT_FALSE(ink.Empty());
    EXPECT_GE(ink.Top, CaptionBandTop(240));

    TCaptionStyle top;
    top.Place = TCaptionPlace::Top;
    top.Counter = false;
    const TBitmap32 t = Render(top);
    const int bandRows = 240 - CaptionBandTop(240);
    EXPECT_EQ(RedOf(t.At(0, 0)), 77u) << "the band is at the top: round(0.6 x 128)";
    EXPECT_EQ(RedOf(t.At(0, 239)), 128u);
    const test::TBox topInk = test::FindBox(t, [](std::uint32_t p) { return RedOf(p) > 200; });
    EXPECT_LT(topInk.Bottom, bandRows);
    EXPECT_NEAR(topInk.Left, 319 - topInk.Right, 3) << "centred";
}

TEST_F(CaptionStyleTest, CounterCanBeSwitchedOffAlone) {
    TCaptionStyle none;
    none.Counter = false;
    const TBitmap32 with = Render({}), without = Render(none);
    const auto ink = [](std::uint32_t p) { return RedOf(p) > 200; };
    const test::TBox a = test::FindBox(with, ink), b = test::FindBox(without, ink);
    EXPECT_NEAR(a.Left, 10, 3) << "the counter first";
    // Without the counter the caption moves to the left edge and is the only text.
    EXPECT_LT(b.Width(), a.Width() / 2 + 10);
    EXPECT_LT(b.Left, 20);
    TCaptionStyle centred = none;
    centred.Place = TCaptionPlace::BottomCentre;
    const test::TBox c = test::FindBox(Render(centred), ink);
    EXPECT_NEAR(c.Left, 319 - c.Right, 3) << "centred";
}

TEST_F(CaptionStyleTest, OutlineAndShadowKeepWhiteTextReadableOnWhite) {
    TCaptionStyle plain;
    plain.Band = false;
    // White on white without an edge: nothing shows.
    EXPECT_EQ(Count(Render(plain, 0xFFFFFF), 0, 0, 320, 240, Dark), 0);
    for (TTextEdge edge : {TTextEdge::Outline, TTextEdge::Shadow}) {
        TCaptionStyle style = plain;
        style.Edge = edge;
        const TBitmap32 f = Render(style, 0xFFFFFF);
        const int dark = Count(f, 0, 200, 320, 240, Dark);
        EXPECT_GT(dark, 150) << NameOf(edge) << ": dark pixels set the letters off";
        EXPECT_EQ(Count(f, 0, 0, 320, 200, Dark), 0) << "only around the text";
    }
}

TEST_F(CaptionStyleTest, SizeAndFaceAreTheStyles) {
    TCaptionStyle big;
    big.SizePoints = 24;
    big.Counter = false;
    TCaptionStyle small = big;
    small.SizePoints = 12;
    const auto ink = [](std::uint32_t p) { return RedOf(p) > 200; };
    const test::TBox b = test::FindBox(Render(big), ink), s = test::FindBox(Render(small), ink);
    EXPECT_GT(b.Height(), s.Height() * 3 / 2);
    EXPECT_GE(b.Bottom, CaptionBandTop(240)) << "the band grows with the text";
    // Any installed family: a monospaced face draws other glyphs.
    TTextRenderer mono(16, "DejaVu Sans Mono"), sans(16, "DejaVu Sans");
    EXPECT_NE(mono.FontFile(), sans.FontFile());
    TCaptionStyle monoStyle = small;
    monoStyle.Family = "DejaVu Sans Mono";
    EXPECT_NE(Render(monoStyle).Pixels, Render(small).Pixels);
}

TEST(PhotoDate, ReadFromExifAndWrittenTheLocalesWay) {
    // IFD0 with DateTime and a pointer to the EXIF IFD holding DateTimeOriginal.
    const auto tiff = [](bool big, bool original) {
        std::vector<std::uint8_t> t(120, 0);
        t[0] = t[1] = big ? 'M' : 'I';
        exiftest::Put(t, 2, 42, 2, big);
        exiftest::Put(t, 4, 8, 4, big);
        exiftest::Put(t, 8, 2, 2, big);
        exiftest::Put(t, 10, 0x0132, 2, big); // DateTime
        exiftest::Put(t, 12, 2, 2, big);
        exiftest::Put(t, 14, 20, 4, big);
        exiftest::Put(t, 18, 60, 4, big);
        exiftest::Put(t, 22, 0x8769, 2, big); // EXIF IFD
        exiftest::Put(t, 24, 4, 2, big);
        exiftest::Put(t, 26, 1, 4, big);
        exiftest::Put(t, 30, original ? 34 : 200, 4, big);
        exiftest::Put(t, 34, 1, 2, big);
        exiftest::Put(t, 36, 0x9003, 2, big); // DateTimeOriginal
        exiftest::Put(t, 38, 2, 2, big);
        exiftest::Put(t, 40, 20, 4, big);
        exiftest::Put(t, 44, 90, 4, big);
        const char* modified = "2024:01:05 10:00:00";
        const char* taken = "2023:12:24 18:30:00";
        std::copy(modified, modified + 19, t.begin() + 60);
        std::copy(taken, taken + 19, t.begin() + 90);
        return t;
    };
    for (bool big : {false, true}) {
        EXPECT_EQ(ExifPhotoDate(tiff(big, true)), (TPhotoDate{2023, 12, 24})) << big;
        // A broken pointer to the EXIF IFD falls back to IFD0's date.
        EXPECT_EQ(ExifPhotoDate(tiff(big, false)), (TPhotoDate{2024, 1, 5})) << big;
    }
    auto cut = tiff(false, true);
    cut.resize(65); // both strings cut off
    EXPECT_FALSE(ExifPhotoDate(cut));
    auto bad = tiff(false, true);
    bad[95] = '1', bad[96] = '3'; // month 13
    EXPECT_EQ(ExifPhotoDate(bad), (TPhotoDate{2024, 1, 5}));

    const TPhotoDate day{2023, 12, 24};
    EXPECT_EQ(FormatPhotoDate(day, "de_DE.UTF-8"), "24.12.2023");
    EXPECT_EQ(FormatPhotoDate(day, "fr_FR.UTF-8"), "24/12/2023");
    EXPECT_EQ(FormatPhotoDate(day, "en_US.UTF-8"), "12/24/2023");
    EXPECT_EQ(FormatPhotoDate(day, "C"), "2023-12-24");

    // In a caption, from the photo's own file; a photo without a date leaves nothing.
    test::TempDir dir;
    const std::string dated = dir.File("dated.jpg"), plain = dir.File("plain.jpg");
    const auto jpeg = exiftest::MarkedJpeg(32, 32);
    test::WriteFile(dated, exiftest::WithSegment(jpeg, exiftest::ExifSegment(tiff(false, true))));
    test::WriteFile(plain, jpeg);
    EXPECT_EQ(ExpandPhotoDate("Noël, %date (%date)", dated, "de_DE"),
              "Noël, 24.12.2023 (24.12.2023)");
    EXPECT_EQ(ExpandPhotoDate("Taken %date", plain, "de_DE"), "Taken ");
    EXPECT_EQ(ExpandPhotoDate("100% sure", dated, "de_DE"), "100% sure");
}
