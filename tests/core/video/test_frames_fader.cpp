#include <gtest/gtest.h>

#include <cmath>

#include "platform/base/U_Errors.h"
#include "video/U_FramesFader.h"

namespace {

TBitmap32 OnePixel(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    TBitmap32 bitmap(1, 1);
    bitmap.At(0, 0) = PackRGB(r, g, b);
    return bitmap;
}

// Red, green and blue of fade step `step` of `frames` between single pixels.
std::uint32_t BlendOne(std::uint32_t from, std::uint32_t to, int frames, int step) {
    const TBitmap32 a = OnePixel(RedOf(from), GreenOf(from), BlueOf(from));
    const TBitmap32 b = OnePixel(RedOf(to), GreenOf(to), BlueOf(to));
    TBitmap32 out;
    TFramesFader(a, b, frames).Blend(step, out);
    return out.At(0, 0);
}

} // namespace

TEST(FramesFader, HalfwayTiesGoToEven) {
    // t = 9 / 18 = 0.5 exactly: 0.5 -> 0, 1.5 -> 2, -0.5 -> 0; one value per channel.
    const std::uint32_t p = BlendOne(0x646465, 0x656764, 18, 9);
    EXPECT_EQ(RedOf(p), 100u);   // 100 -> 101
    EXPECT_EQ(GreenOf(p), 102u); // 100 -> 103
    EXPECT_EQ(BlueOf(p), 101u);  // 101 -> 100
}

TEST(FramesFader, SinglePrecisionStepDecidesNearTies) {
    // 1/6 in single precision lies above a sixth: 3 x t is just over 0.5.
    EXPECT_EQ(RedOf(BlendOne(0x000000, 0x030000, 18, 3)), 1u);
    // 5/6 in single precision lies below: 255 x t = 212.4999...
    const std::uint32_t p = BlendOne(0x000000, 0xFFFFFF, 6, 5);
    EXPECT_EQ(RedOf(p), 212u);
    EXPECT_EQ(GreenOf(p), 212u);
    EXPECT_EQ(BlueOf(p), 212u);
    // Falling by 255 at step 1 of 6: single-precision t makes it -42.500002, so 212; a
    // double-precision sixth would give -42.4999... and 213.
    EXPECT_EQ(RedOf(BlendOne(0xFF0000, 0x000000, 6, 1)), 212u);
}

TEST(FramesFader, StepZeroIsFadeFromAndAlphaIsZero) {
    TBitmap32 from(7, 5), to(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            from.At(x, y) = PackRGB(x * 30, y * 50, 255 - x * 20, 0x80);
            to.At(x, y) = PackRGB(255 - y * 40, x * 7, y * 60, 0x11);
        }
    TBitmap32 out(2, 2);
    TFramesFader fader(from, to, 18);
    fader.Blend(0, out);
    ASSERT_EQ(out.Width, 7);
    ASSERT_EQ(out.Height, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(out.At(x, y), from.At(x, y) & 0x00FFFFFFu);

    // The fader reads its frames afresh: refilling them in place changes the next blend.
    from = to;
    fader.Blend(17, out);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(out.At(x, y), to.At(x, y) & 0x00FFFFFFu);
}

TEST(FramesFader, EveryStepStaysBetweenEndsAndMatchesFormula) {
    TBitmap32 from(256, 1), to(256, 1);
    for (int x = 0; x < 256; ++x) {
        from.At(x, 0) = PackRGB(x, 255 - x, 0);
        to.At(x, 0) = PackRGB(255 - x, x, 255);
    }
    TFramesFader fader(from, to, 30);
    TBitmap32 out;
    for (int step = 0; step < 30; ++step) {
        fader.Blend(step, out);
        const long double t = static_cast<float>(step / 30.0L);
        for (int x = 0; x < 256; ++x) {
            const int d = 255 - 2 * x;
            const int want = x + static_cast<int>(std::nearbyintl(t * d));
            ASSERT_EQ(static_cast<int>(RedOf(out.At(x, 0))), want) << step << " " << x;
            ASSERT_GE(static_cast<int>(BlueOf(out.At(x, 0))), 0);
            ASSERT_LT(static_cast<int>(BlueOf(out.At(x, 0))), 255) << "never reaches FadeTo";
        }
    }
}

TEST(FramesFader, RefusesImpossibleSteps) {
    TBitmap32 a(2, 2), b(2, 2), small(1, 1), out;
    EXPECT_THROW(TFramesFader(a, b, 0).Blend(0, out), EMorvantaError);
    EXPECT_THROW(TFramesFader(a, b, 6).Blend(6, out), EListIndexError);
    EXPECT_THROW(TFramesFader(a, b, 6).Blend(-1, out), EListIndexError);
    EXPECT_THROW(TFramesFader(a, small, 6).Blend(1, out), EMorvantaError);
}
