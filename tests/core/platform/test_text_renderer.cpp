#include <gtest/gtest.h>

#include <filesystem>

#include "TestPictures.h"
#include "platform/text/U_TextRenderer.h"

namespace {

// Frame value expected under the 2 x 2 block (x, y) of a work map placed at the text origin.
std::uint32_t Coverage(const TCoverageMap& work, int x, int y) {
    const int wx = 2 * x - work.Left;
    const int wy = 2 * y - work.Top;
    if (wx < 0 || wy < 0 || wx + 1 >= work.Width || wy + 1 >= work.Height) return 0;
    return (work.At(wx, wy) + work.At(wx + 1, wy) + work.At(wx, wy + 1) +
            work.At(wx + 1, wy + 1)) >>
           2;
}

} // namespace

TEST(TextRenderer, DrawsAtTwiceTheSizeThenAveragesBlocks) {
    TTextRenderer text(16); // 12 points at 96 dpi
    EXPECT_EQ(text.WorkEmPixels(), 32);
    EXPECT_TRUE(std::filesystem::exists(text.FontFile())) << text.FontFile();

    // A capital H at a 32-pixel em is about 23 work pixels high (cap height ~0.73 em), and
    // its top sits a few pixels below the ascender line, which is the top of the text box.
    const TCoverageMap h = text.RenderWork("H", 1000);
    ASSERT_GT(h.Width, 0);
    EXPECT_EQ(h.Left % 2, 0);
    EXPECT_EQ(h.Top % 2, 0);
    int first = -1, last = -1;
    for (int y = 0; y < h.Height; ++y)
        for (int x = 0; x < h.Width; ++x)
            if (h.At(x, y) > 0) {
                if (first < 0) first = y;
                last = y;
            }
    EXPECT_GE(last - first + 1, 22);
    EXPECT_LE(last - first + 1, 25);
    EXPECT_GE(h.Top + first, 2);
    EXPECT_LE(h.Top + first, 10);

    // On black, each frame pixel is exactly the block average of the work bitmap.
    const std::string sample = "Picture : 12 / 34 Ég";
    const TCoverageMap work = text.RenderWork(sample, 2 * 230);
    TBitmap32 frame = test::MakeSolid(240, 40, 0);
    text.DrawText(frame, 10, 6, sample);
    int lit = 0;
    for (int y = 0; y < frame.Height; ++y)
        for (int x = 0; x < frame.Width; ++x) {
            const std::uint32_t want = Coverage(work, x - 10, y - 6);
            ASSERT_EQ(frame.At(x, y) & 0xFFFFFFu, want * 0x010101u) << x << "," << y;
            lit += want > 0;
        }
    EXPECT_GT(lit, 100);
}

TEST(TextRenderer, BlendsTowardsWhite) {
    TTextRenderer text(16);
    const TCoverageMap work = text.RenderWork("Wo", 1000);
    TBitmap32 frame = test::MakeSolid(60, 30, 0x648CFF); // 100, 140, 255
    text.DrawText(frame, 4, 4, "Wo");
    bool partial = false;
    for (int y = 0; y < frame.Height; ++y)
        for (int x = 0; x < frame.Width; ++x) {
            const std::uint32_t a = Coverage(work, x - 4, y - 4);
            const auto lift = [a](std::uint32_t v) { return v + ((255 - v) * a + 127) / 255; };
            const std::uint32_t p = frame.At(x, y);
            ASSERT_EQ(RedOf(p), lift(100)) << x << "," << y;
            ASSERT_EQ(GreenOf(p), lift(140));
            ASSERT_EQ(BlueOf(p), 255u);
            partial |= a > 0 && a < 255;
        }
    EXPECT_TRUE(partial) << "anti-aliased edges";
}

TEST(TextRenderer, ClipsAtFrameEdgesAndSurvivesOddText) {
    TTextRenderer text(16);
    TBitmap32 frame = test::MakeSolid(50, 20, 0);
    // Partly outside on every side; nothing may be written outside the frame.
    text.DrawText(frame, -7, -9, "Clipped text");
    text.DrawText(frame, 40, 12, "Clipped text");
    text.DrawText(frame, 1 << 30, 5, "far away");
    text.DrawText(frame, 5, -(1 << 30), "far away");
    const test::TBox box =
        test::FindBox(frame, [](std::uint32_t p) { return (p & 0xFFFFFFu) != 0; });
    ASSERT_FALSE(box.Empty());
    EXPECT_EQ(box.Left, 0);
    EXPECT_EQ(box.Right, 49);

    // Broken UTF-8 (shown as Latin-1), control characters and a huge caption finish quickly.
    text.DrawText(frame, 0, 0, std::string("\xff\xfe\xc3(\x01\t\n\xe2\x82", 9));
    text.DrawText(frame, 0, 0, std::string(1 << 20, 'M'));
    std::string marks;
    for (int i = 0; i < 100000; ++i) marks += "\xcc\x81"; // zero-width combining accents
    text.DrawText(frame, 0, 0, marks);
    EXPECT_EQ(text.RenderWork("", 100).Width, 0);
    EXPECT_EQ(text.RenderWork("   ", 100).Width, 0);
}
