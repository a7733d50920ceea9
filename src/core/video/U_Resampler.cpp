#include "video/U_Resampler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>

#include "platform/U_Errors.h"
#include "platform/U_Rounding.h"

static_assert(std::endian::native == std::endian::little, "pixels are read as B, G, R, A bytes");

namespace {

constexpr int WeightOne = 1 << ResampleWeightBits;
constexpr int HorizontalShift = ResampleWeightBits - ResampleIntermediateBits;
constexpr int VerticalShift = ResampleWeightBits + ResampleIntermediateBits;

std::int16_t ClampInt16(int v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

std::uint32_t ClampByte(int v) {
    return static_cast<std::uint32_t>(std::clamp(v, 0, 255));
}

} // namespace

double MitchellWeight(double x) {
    const double a = std::fabs(x);
    if (a < 1.0) return (7.0 * a * a * a - 12.0 * a * a + 16.0 / 3.0) / 6.0;
    if (a < 2.0) return (-7.0 / 3.0 * a * a * a + 12.0 * a * a - 20.0 * a + 32.0 / 3.0) / 6.0;
    return 0.0;
}

TResampleAxis MakeMitchellAxis(int srcSize, int dstSize) {
    if (srcSize <= 0 || dstSize <= 0) throw EMorvantaError("Invalid resampling size");
    TResampleAxis axis;
    axis.SrcSize = srcSize;
    axis.DstSize = dstSize;
    const double scale = static_cast<double>(srcSize) / dstSize;
    const double filterScale = std::max(1.0, scale);
    const double support = 2.0 * filterScale;

    // First pass: each output pixel's weights over its clamped source window.
    std::vector<int> first(dstSize);
    std::vector<std::vector<double>> sets(dstSize);
    for (int i = 0; i < dstSize; ++i) {
        const double center = (i + 0.5) * scale;
        const long lo = static_cast<long>(std::floor(center - support));
        const long hi = static_cast<long>(std::ceil(center + support));
        const int a = static_cast<int>(std::clamp<long>(lo, 0, srcSize - 1));
        const int b = static_cast<int>(std::clamp<long>(hi, 0, srcSize - 1));
        std::vector<double>& w = sets[i];
        w.assign(static_cast<std::size_t>(b - a + 1), 0.0);
        for (long j = lo; j <= hi; ++j) {
            const double v = MitchellWeight((j + 0.5 - center) / filterScale);
            if (v == 0.0) continue;
            w[static_cast<std::size_t>(std::clamp<long>(j, a, b) - a)] += v;
        }
        first[i] = a;
        axis.Taps = std::max(axis.Taps, b - a + 1);
    }

    // Second pass: fixed point with a fixed stride; each set sums to exactly WeightOne.
    axis.Start.resize(dstSize);
    axis.Weights.assign(static_cast<std::size_t>(dstSize) * axis.Taps, 0);
    for (int i = 0; i < dstSize; ++i) {
        const std::vector<double>& w = sets[i];
        double total = 0.0;
        for (double v : w) total += v;
        // Keep the window inside the source; the unused taps get weight 0.
        const int start = std::min(first[i], srcSize - axis.Taps);
        const int offset = first[i] - start;
        axis.Start[i] = start;
        std::int16_t* out = &axis.Weights[static_cast<std::size_t>(i) * axis.Taps];
        int sum = 0, largest = offset;
        for (std::size_t k = 0; k < w.size(); ++k) {
            const int q = RoundToInt(static_cast<long double>(w[k] / total * WeightOne));
            if (q < -32768 || q > 32767) throw EMorvantaError("Resampling weight out of range");
            out[offset + k] = static_cast<std::int16_t>(q);
            sum += q;
            if (out[offset + k] > out[largest]) largest = offset + static_cast<int>(k);
        }
        const int fixed = out[largest] + (WeightOne - sum);
        if (fixed > 32767) throw EMorvantaError("Resampling weight out of range");
        out[largest] = static_cast<std::int16_t>(fixed);
    }
    return axis;
}

TMitchellResampler::TMitchellResampler(int srcWidth, int srcHeight, int dstWidth, int dstHeight)
    : horizontal_(MakeMitchellAxis(srcWidth, dstWidth)),
      vertical_(MakeMitchellAxis(srcHeight, dstHeight)) {}

void TMitchellResampler::Resample(const TBitmap32& src, TBitmap32& dest, int left, int top) const {
    const int sw = horizontal_.SrcSize, sh = vertical_.SrcSize;
    const int dw = horizontal_.DstSize, dh = vertical_.DstSize;
    if (src.Width != sw || src.Height != sh) throw EMorvantaError("Resampler source size mismatch");
    if (left < 0 || top < 0 || left + dw > dest.Width || top + dh > dest.Height)
        throw EMorvantaError("Resampler target outside the frame");

    // Horizontal pass: every source row to dw pixels of R, G, B, (unused) in int16.
    const int hTaps = horizontal_.Taps;
    std::vector<std::int16_t> mid(static_cast<std::size_t>(sh) * dw * 4);
    for (int y = 0; y < sh; ++y) {
        const std::uint32_t* row = src.Row(y);
        std::int16_t* out = &mid[static_cast<std::size_t>(y) * dw * 4];
        for (int x = 0; x < dw; ++x) {
            // Bytes of a 0xAARRGGBB pixel in memory: B, G, R, A.
            const auto* s = reinterpret_cast<const std::uint8_t*>(row + horizontal_.Start[x]);
            const std::int16_t* w = &horizontal_.Weights[static_cast<std::size_t>(x) * hTaps];
            int r = 0, g = 0, b = 0;
            for (int k = 0; k < hTaps; ++k, s += 4) {
                r += w[k] * s[2];
                g += w[k] * s[1];
                b += w[k] * s[0];
            }
            constexpr int half = 1 << (HorizontalShift - 1);
            out[4 * x + 0] = ClampInt16((r + half) >> HorizontalShift);
            out[4 * x + 1] = ClampInt16((g + half) >> HorizontalShift);
            out[4 * x + 2] = ClampInt16((b + half) >> HorizontalShift);
            out[4 * x + 3] = 0;
        }
    }

    // Vertical pass: dh rows from the intermediate rows.
    const int vTaps = vertical_.Taps;
    const std::size_t midStride = static_cast<std::size_t>(dw) * 4;
    for (int y = 0; y < dh; ++y) {
        const std::int16_t* w = &vertical_.Weights[static_cast<std::size_t>(y) * vTaps];
        const std::int16_t* base = &mid[static_cast<std::size_t>(vertical_.Start[y]) * midStride];
        std::uint32_t* out = dest.Row(top + y) + left;
        for (int x = 0; x < dw; ++x) {
            int r = 0, g = 0, b = 0;
            const std::int16_t* s = base + 4 * x;
            for (int k = 0; k < vTaps; ++k, s += midStride) {
                r += w[k] * s[0];
                g += w[k] * s[1];
                b += w[k] * s[2];
            }
            constexpr int half = 1 << (VerticalShift - 1);
            out[x] = PackRGB(ClampByte((r + half) >> VerticalShift),
                             ClampByte((g + half) >> VerticalShift),
                             ClampByte((b + half) >> VerticalShift));
        }
    }
}
