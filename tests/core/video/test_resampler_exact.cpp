// The fast resampler (vectorised, split across threads) against a plain scalar statement of
// the same integer arithmetic: every pixel must match, whatever the sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "video/U_Resampler.h"

namespace {

TBitmap32 Noise(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    TBitmap32 b(w, h);
    // Alpha is random too: it must never reach the colours.
    for (auto& p : b.Pixels) p = static_cast<std::uint32_t>(random());
    return b;
}

// Horizontal pass to int16 with 6 fractional bits, clamped; then vertical to bytes, clamped.
void ReferenceResample(const TMitchellResampler& r, const TBitmap32& src, TBitmap32& dest, int left,
                       int top) {
    const TResampleAxis& h = r.Horizontal();
    const TResampleAxis& v = r.Vertical();
    const int hShift = ResampleWeightBits - ResampleIntermediateBits;
    const int vShift = ResampleWeightBits + ResampleIntermediateBits;
    std::vector<int> mid(static_cast<std::size_t>(v.SrcSize) * h.DstSize * 3);
    for (int y = 0; y < v.SrcSize; ++y)
        for (int x = 0; x < h.DstSize; ++x)
            for (int c = 0; c < 3; ++c) {
                long long sum = 0;
                for (int k = 0; k < h.Taps; ++k) {
                    const std::uint32_t p = src.At(h.Start[x] + k, y);
                    sum += h.Weights[static_cast<std::size_t>(x) * h.Taps + k] *
                           static_cast<int>((p >> (8 * c)) & 0xFF);
                }
                const long long q = (sum + (1 << (hShift - 1))) >> hShift;
                mid[(static_cast<std::size_t>(y) * h.DstSize + x) * 3 + c] =
                    static_cast<int>(std::clamp<long long>(q, -32768, 32767));
            }
    for (int y = 0; y < v.DstSize; ++y)
        for (int x = 0; x < h.DstSize; ++x) {
            std::uint32_t bytes[3];
            for (int c = 0; c < 3; ++c) {
                long long sum = 0;
                for (int k = 0; k < v.Taps; ++k)
                    sum += v.Weights[static_cast<std::size_t>(y) * v.Taps + k] *
                           mid[(static_cast<std::size_t>(v.Start[y] + k) * h.DstSize + x) * 3 + c];
                const long long q = (sum + (1 << (vShift - 1))) >> vShift;
                bytes[c] = static_cast<std::uint32_t>(std::clamp<long long>(q, 0, 255));
            }
            dest.At(left + x, top + y) = PackRGB(bytes[2], bytes[1], bytes[0]);
        }
}

} // namespace

TEST(ResamplerExact, MatchesTheScalarArithmeticForEverySize) {
    struct Case {
        int sw, sh, dw, dh;
    };
    // Enlarging and shrinking, odd and even tap counts, single rows and columns, a panorama,
    // odd target widths (the last pixel of a row alone), and sizes big enough to be split.
    const Case cases[] = {{7, 5, 23, 17},        {301, 199, 37, 41},    {1, 9, 5, 3},
                          {9, 1, 4, 6},          {64, 48, 64, 48},      {3, 3, 1, 1},
                          {1200, 800, 301, 199}, {1800, 450, 720, 180}, {500, 1500, 133, 401},
                          {33, 700, 17, 29}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh);
        const TBitmap32 src = Noise(c.sw, c.sh, seed++);
        const TMitchellResampler resampler(c.sw, c.sh, c.dw, c.dh);
        // Placed off the corner of a larger frame, as a fitted picture between bands is.
        TBitmap32 fast(c.dw + 5, c.dh + 3), slow(c.dw + 5, c.dh + 3);
        std::fill(fast.Pixels.begin(), fast.Pixels.end(), 0x12345678u);
        slow.Pixels = fast.Pixels;
        resampler.Resample(src, fast, 3, 2);
        ReferenceResample(resampler, src, slow, 3, 2);
        ASSERT_EQ(fast.Pixels, slow.Pixels);
    }
}

TEST(ResamplerExact, ExtremeContrastSaturatesLikeTheScalarCode) {
    // Alternating black and white columns and rows overshoot both ends of the byte range.
    TBitmap32 src(97, 61);
    for (int y = 0; y < src.Height; ++y)
        for (int x = 0; x < src.Width; ++x)
            src.At(x, y) = ((x + y) % 2) ? PackRGB(255, 255, 255) : PackRGB(0, 0, 0, 0);
    for (const auto& [w, h] : {std::pair{211, 173}, std::pair{40, 25}}) {
        const TMitchellResampler resampler(src.Width, src.Height, w, h);
        TBitmap32 fast(w, h), slow(w, h);
        resampler.Resample(src, fast, 0, 0);
        ReferenceResample(resampler, src, slow, 0, 0);
        EXPECT_EQ(fast.Pixels, slow.Pixels) << w << "x" << h;
    }
}
