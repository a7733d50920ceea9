#include <gtest/gtest.h>

#include <numeric>
#include <utility>
#include <vector>

#include "platform/base/U_Errors.h"
#include "video/U_Resampler.h"

namespace {

TBitmap32 Resize(const TBitmap32& src, int w, int h) {
    TBitmap32 out(w, h);
    TMitchellResampler(src.Width, src.Height, w, h).Resample(src, out, 0, 0);
    return out;
}

} // namespace

TEST(Resampler, WeightSetsSumToOneAndStayInsideTheSource) {
    const std::vector<std::pair<int, int>> sizes = {{1, 7},     {2, 720},    {7, 3},
                                                    {100, 100}, {3000, 720}, {1200, 540},
                                                    {5, 1},     {10000, 3},  {640, 641}};
    for (const auto& [src, dst] : sizes) {
        const TResampleAxis axis = MakeMitchellAxis(src, dst);
        ASSERT_EQ(axis.Start.size(), static_cast<std::size_t>(dst));
        ASSERT_EQ(axis.Weights.size(), static_cast<std::size_t>(dst) * axis.Taps);
        EXPECT_LE(axis.Taps, src);
        for (int i = 0; i < dst; ++i) {
            const auto* w = &axis.Weights[static_cast<std::size_t>(i) * axis.Taps];
            EXPECT_EQ(std::accumulate(w, w + axis.Taps, 0), 1 << ResampleWeightBits)
                << src << "->" << dst << " pixel " << i;
            EXPECT_GE(axis.Start[i], 0);
            EXPECT_LE(axis.Start[i] + axis.Taps, src);
        }
    }
    // Shrinking widens the support: 3000 -> 720 covers more than 4 source pixels per output.
    EXPECT_GE(MakeMitchellAxis(3000, 720).Taps, 16);
    EXPECT_LE(MakeMitchellAxis(100, 400).Taps, 6);
    EXPECT_THROW(MakeMitchellAxis(0, 5), EMorvantaError);
}

TEST(Resampler, FlatColourStaysExact) {
    for (const std::uint32_t colour :
         {PackRGB(0, 0, 0), PackRGB(255, 255, 255), PackRGB(3, 128, 254)}) {
        TBitmap32 src(37, 23);
        for (auto& p : src.Pixels) p = colour;
        for (const auto& [w, h] :
             std::vector<std::pair<int, int>>{{720, 576}, {5, 3}, {37, 23}, {1, 1}}) {
            const TBitmap32 out = Resize(src, w, h);
            for (std::uint32_t p : out.Pixels) ASSERT_EQ(p, colour) << w << "x" << h;
        }
    }
}

TEST(Resampler, LinearRampIsReproducedWhenEnlarging) {
    // Mitchell-Netravali with B + 2C = 1 reproduces straight lines away from the edges.
    TBitmap32 src(26, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 26; ++x) src.At(x, y) = PackRGB(x * 10, 250 - x * 10, 0);
    const TBitmap32 out = Resize(src, 52, 4);
    for (int i = 4; i < 48; ++i) {
        const double expected = 10.0 * ((i + 0.5) / 2.0 - 0.5);
        EXPECT_NEAR(RedOf(out.At(i, 2)), expected, 1.0) << i;
        EXPECT_NEAR(GreenOf(out.At(i, 2)), 250 - expected, 1.0) << i;
    }
}

TEST(Resampler, ShrinkingAveragesInsteadOfAliasing) {
    // One-pixel stripes halved: a point-sampling kernel would keep full contrast.
    TBitmap32 src(200, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 200; ++x)
            src.At(x, y) = x % 2 ? PackRGB(255, 255, 255) : PackRGB(0, 0, 0);
    const TBitmap32 out = Resize(src, 100, 8);
    for (int x = 2; x < 98; ++x) EXPECT_NEAR(RedOf(out.At(x, 4)), 128, 8) << x;
    const TBitmap32 third = Resize(src, 61, 4);
    for (int x = 2; x < 59; ++x) EXPECT_NEAR(GreenOf(third.At(x, 2)), 128, 12) << x;
}

TEST(Resampler, OvershootIsClampedAndAlphaIsOpaque) {
    // A hard edge rings a little with negative lobes; results stay within 0..255.
    TBitmap32 src(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            src.At(x, y) = x < 4 ? PackRGB(0, 255, 0, 0) : PackRGB(255, 0, 255, 0);
    const TBitmap32 out = Resize(src, 40, 40);
    EXPECT_EQ(out.At(0, 0), PackRGB(0, 255, 0));
    EXPECT_EQ(out.At(39, 39), PackRGB(255, 0, 255));
    for (std::uint32_t p : out.Pixels) EXPECT_EQ(p >> 24, 255u);
}

TEST(Resampler, WritesOnlyTheTargetRectangle) {
    TBitmap32 src(10, 10);
    for (auto& p : src.Pixels) p = PackRGB(9, 9, 9);
    TBitmap32 dest(20, 20);
    for (auto& p : dest.Pixels) p = 0x12345678;
    TMitchellResampler(10, 10, 5, 4).Resample(src, dest, 7, 3);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 7 && x < 12 && y >= 3 && y < 7;
            EXPECT_EQ(dest.At(x, y), inside ? PackRGB(9, 9, 9) : 0x12345678u) << x << "," << y;
        }
    const TMitchellResampler r(10, 10, 5, 4);
    EXPECT_THROW(r.Resample(src, dest, 16, 0), EMorvantaError);
    EXPECT_THROW(r.Resample(TBitmap32(9, 10), dest, 0, 0), EMorvantaError);
}
