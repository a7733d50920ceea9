#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "video/U_FadeBlend.h"
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

namespace {

// A channel value that is often an extreme, so that differences of ±255 come up.
std::uint32_t Channel(std::mt19937& rng) {
    const std::uint32_t v = rng();
    return (v & 3) == 0 ? 0 : (v & 3) == 1 ? 255 : (v >> 8) & 0xFF;
}

// Random pixels with random alpha; at width 511 and more the first row holds every difference
// from -255 to 255 in red and green, starting at 0 and at 255.
TBitmap32 RandomFrame(int width, int height, std::mt19937& rng, bool to) {
    TBitmap32 frame(width, height);
    for (auto& p : frame.Pixels)
        p = PackRGB(Channel(rng), Channel(rng), Channel(rng), Channel(rng));
    for (int x = 0; width >= 511 && x < 511; ++x) {
        const int d = x - 255;
        const int low = d < 0 ? -d : 0, high = d < 0 ? 255 : 255 - d;
        frame.At(x, 0) =
            PackRGB(static_cast<std::uint32_t>(to ? low + d : low),
                    static_cast<std::uint32_t>(to ? high + d : high), BlueOf(frame.At(x, 0)), 0x7F);
    }
    return frame;
}

} // namespace

TEST(FramesFader, EveryCodeMatchesPerChannelRounding) {
    std::mt19937 rng(20);
    for (const int frames : {1, 2, 3, 6, 7, 18, 24, 30, 59, 60, 600})
        for (const int width : {1, 3, 13, 17, 33, 1921}) {
            // FadeTo one pixel wider: its rows are read at its own stride. Width 13 leaves four
            // pixels past the last eight.
            const TBitmap32 from = RandomFrame(width, 2, rng, false);
            const TBitmap32 to = RandomFrame(width + 1, 2, rng, true);
            const TFramesFader fader(from, to, frames);
            TBitmap32 want(width, 2), out;
            for (int step = 0; step < frames; ++step) {
                const long double t = static_cast<float>(static_cast<long double>(step) / frames);
                // a + round(t (b - a)) per channel, each difference's value formed once.
                std::array<int, 511> rounded{};
                for (int d = -255; d <= 255; ++d)
                    rounded[static_cast<std::size_t>(d + 255)] = RoundToInt(t * d);
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < width; ++x) {
                        const auto at = [&](std::uint32_t (*of)(std::uint32_t)) {
                            const int a = static_cast<int>(of(from.At(x, y)));
                            const int b = static_cast<int>(of(to.At(x, y)));
                            return static_cast<std::uint32_t>(
                                a + rounded[static_cast<std::size_t>(b - a + 255)]);
                        };
                        want.At(x, y) = PackRGB(at(RedOf), at(GreenOf), at(BlueOf), 0);
                    }
                for (const auto code : {TFadeCode::Best, TFadeCode::Baseline, TFadeCode::Table}) {
                    fader.Blend(step, out, code);
                    ASSERT_EQ(out.Pixels, want.Pixels)
                        << frames << " frames, step " << step << ", width " << width << ", code "
                        << static_cast<int>(code);
                }
            }
        }
}

TEST(FramesFader, FormulaFinderReproducesEveryOffsetOrGivesNone) {
    for (int frames = 1; frames <= 120; ++frames)
        for (int step = 0; step < frames; ++step) {
            const long double t = static_cast<float>(static_cast<long double>(step) / frames);
            std::array<std::int16_t, 511> table{};
            for (int d = -255; d <= 255; ++d)
                table[static_cast<std::size_t>(d + 255)] =
                    static_cast<std::int16_t>(RoundToInt(t * d));
            const std::int16_t* offset = table.data() + 255;
            // Every step of these fades has one, exact ties (t = 1/2, 1/4, ...) included.
            const auto found = FindFadeFormula(t, offset);
            ASSERT_TRUE(found) << step << " of " << frames;
            for (int d = -255; d <= 255; ++d)
                ASSERT_EQ(FadeOffset(*found, d), offset[d]) << step << " of " << frames << " " << d;
            if (frames % 6 != 0 || frames > 60 || step % 3 != 1) continue;
            // One entry off by one anywhere: a formula, if any, must give the altered table.
            for (int d = -255; d <= 255; ++d) {
                std::array<std::int16_t, 511> altered = table;
                altered[static_cast<std::size_t>(d + 255)] += d > 0 ? -1 : 1;
                const auto other = FindFadeFormula(t, altered.data() + 255);
                if (d == 0) {
                    EXPECT_FALSE(other) << "no formula moves a zero difference";
                }
                for (int e = -255; other && e <= 255; ++e)
                    ASSERT_EQ(FadeOffset(*other, e), altered[static_cast<std::size_t>(e + 255)]);
            }
        }
}
