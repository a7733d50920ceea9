#include "video/U_Resampler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <functional>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"

static_assert(std::endian::native == std::endian::little, "pixels are read as B, G, R, A bytes");

namespace {

constexpr int WeightOne = 1 << ResampleWeightBits;
constexpr int HorizontalShift = ResampleWeightBits - ResampleIntermediateBits;
constexpr int VerticalShift = ResampleWeightBits + ResampleIntermediateBits;

#if !defined(__SSE2__)
std::int16_t ClampInt16(int v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}
#endif

std::uint32_t ClampByte(int v) {
    return static_cast<std::uint32_t>(std::clamp(v, 0, 255));
}

// Below this many multiply-adds a pass stays on one thread.
constexpr long long ParallelWork = 1 << 20;

// Runs body(first, last) over 0 .. count - 1, the second half on another thread when the work
// is worth it. Each output row depends on nothing but its inputs, so the split cannot change
// a pixel.
void SplitRows(int count, long long workPerRow, const std::function<void(int, int)>& body) {
    if (count < 2 || workPerRow * count < ParallelWork) return body(0, count);
    const int half = count / 2;
    std::thread helper;
    try {
        helper = std::thread(body, half, count);
    } catch (const std::system_error&) {
        return body(0, count); // no thread to spare
    }
    try {
        body(0, half);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
}

// Weight k and k + 1 of each set packed in one int32 (low half first), sets padded to an even
// number of taps with zero weights: the layout the paired multiply-add reads.
std::vector<std::int32_t> PairWeights(const TResampleAxis& axis) {
    const int pairs = (axis.Taps + 1) / 2;
    std::vector<std::int32_t> out(static_cast<std::size_t>(axis.DstSize) * pairs);
    for (int i = 0; i < axis.DstSize; ++i) {
        const std::int16_t* w = &axis.Weights[static_cast<std::size_t>(i) * axis.Taps];
        for (int j = 0; j < pairs; ++j) {
            const int k = 2 * j;
            const auto lo = static_cast<std::uint16_t>(w[k]);
            const auto hi = static_cast<std::uint16_t>(k + 1 < axis.Taps ? w[k + 1] : 0);
            out[static_cast<std::size_t>(i) * pairs + j] = static_cast<std::int32_t>(
                static_cast<std::uint32_t>(lo) | (static_cast<std::uint32_t>(hi) << 16));
        }
    }
    return out;
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
      vertical_(MakeMitchellAxis(srcHeight, dstHeight)), hPairs_(PairWeights(horizontal_)),
      vPairs_(PairWeights(vertical_)) {}

// The intermediate rows hold B, G, R and an unused lane per pixel, as int16 with
// ResampleIntermediateBits fractional bits: Clamp16((sum w * s + half) >> shift).
MORVANTA_PIXEL_LOOP void TMitchellResampler::HorizontalRows(const TBitmap32& src, std::int16_t* mid,
                                                            int first, int last) const {
    const int dw = horizontal_.DstSize;
    const int taps = horizontal_.Taps;
    constexpr int half = 1 << (HorizontalShift - 1);
#if defined(__SSE2__)
    const int pairs = (taps + 1) / 2;
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(half);
    for (int y = first; y < last; ++y) {
        const std::uint32_t* row = src.Row(y);
        std::int16_t* out = mid + static_cast<std::size_t>(y) * dw * 4;
        for (int x = 0; x < dw; ++x) {
            const std::uint32_t* s = row + horizontal_.Start[x];
            const std::int32_t* w = &hPairs_[static_cast<std::size_t>(x) * pairs];
            __m128i acc = zero;
            int j = 0;
            for (; j < taps / 2; ++j, s += 2) {
                // Two pixels B0 G0 R0 A0 B1 G1 R1 A1 become B0 B1 G0 G1 R0 R1 A0 A1 in int16.
                const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
                const __m128i mixed = _mm_unpacklo_epi8(two, _mm_srli_si128(two, 4));
                acc = _mm_add_epi32(
                    acc, _mm_madd_epi16(_mm_unpacklo_epi8(mixed, zero), _mm_set1_epi32(w[j])));
            }
            if (j < pairs) { // an odd tap count: the last pixel alone, its partner weight 0
                const __m128i one = _mm_cvtsi32_si128(static_cast<int>(*s));
                const __m128i mixed = _mm_unpacklo_epi8(one, zero);
                acc = _mm_add_epi32(
                    acc, _mm_madd_epi16(_mm_unpacklo_epi8(mixed, zero), _mm_set1_epi32(w[j])));
            }
            const __m128i v =
                _mm_srai_epi32(_mm_add_epi32(acc, round), HorizontalShift); // B, G, R, A
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * x), _mm_packs_epi32(v, v));
        }
    }
#else
    for (int y = first; y < last; ++y) {
        const std::uint32_t* row = src.Row(y);
        std::int16_t* out = mid + static_cast<std::size_t>(y) * dw * 4;
        for (int x = 0; x < dw; ++x) {
            const std::uint32_t* s = row + horizontal_.Start[x];
            const std::int16_t* w = &horizontal_.Weights[static_cast<std::size_t>(x) * taps];
            int acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < taps; ++k)
                for (int c = 0; c < 4; ++c)
                    acc[c] += w[k] * static_cast<int>((s[k] >> (8 * c)) & 0xFF);
            for (int c = 0; c < 4; ++c)
                out[4 * x + c] = ClampInt16((acc[c] + half) >> HorizontalShift);
        }
    }
#endif
}

MORVANTA_PIXEL_LOOP void TMitchellResampler::VerticalRows(const std::int16_t* mid, TBitmap32& dest,
                                                          int left, int top, int first,
                                                          int last) const {
    const int dw = horizontal_.DstSize;
    const int taps = vertical_.Taps;
    const std::size_t stride = static_cast<std::size_t>(dw) * 4;
    constexpr int half = 1 << (VerticalShift - 1);
#if defined(__SSE2__)
    const int pairs = (taps + 1) / 2;
    const __m128i round = _mm_set1_epi32(half);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (int y = first; y < last; ++y) {
        const std::int32_t* w = &vPairs_[static_cast<std::size_t>(y) * pairs];
        const std::int16_t* base = mid + static_cast<std::size_t>(vertical_.Start[y]) * stride;
        std::uint32_t* out = dest.Row(top + y) + left;
        int x = 0;
        // Two pixels (eight lanes) at a time; rows k and k + 1 interleaved for the multiply-add.
        for (; x + 2 <= dw; x += 2) {
            const std::int16_t* s = base + 4 * x;
            __m128i lo = _mm_setzero_si128(), hi = _mm_setzero_si128();
            for (int j = 0; j < pairs; ++j, s += 2 * stride) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
                // An odd tap count pairs the last row with itself under weight 0.
                const __m128i b =
                    2 * j + 1 < taps ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + stride))
                                     : a;
                const __m128i wk = _mm_set1_epi32(w[j]);
                lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), wk));
                hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), wk));
            }
            lo = _mm_srai_epi32(_mm_add_epi32(lo, round), VerticalShift);
            hi = _mm_srai_epi32(_mm_add_epi32(hi, round), VerticalShift);
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(lo, hi), _mm_setzero_si128());
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(bytes, opaque));
        }
        for (; x < dw; ++x) {
            int acc[3] = {0, 0, 0};
            const std::int16_t* s = base + 4 * x;
            for (int k = 0; k < taps; ++k, s += stride) {
                const int wk = vertical_.Weights[static_cast<std::size_t>(y) * taps + k];
                for (int c = 0; c < 3; ++c) acc[c] += wk * s[c];
            }
            out[x] = PackRGB(ClampByte((acc[2] + half) >> VerticalShift),
                             ClampByte((acc[1] + half) >> VerticalShift),
                             ClampByte((acc[0] + half) >> VerticalShift));
        }
    }
#else
    for (int y = first; y < last; ++y) {
        const std::int16_t* w = &vertical_.Weights[static_cast<std::size_t>(y) * taps];
        const std::int16_t* base = mid + static_cast<std::size_t>(vertical_.Start[y]) * stride;
        std::uint32_t* out = dest.Row(top + y) + left;
        for (int x = 0; x < dw; ++x) {
            int acc[3] = {0, 0, 0};
            const std::int16_t* s = base + 4 * x;
            for (int k = 0; k < taps; ++k, s += stride)
                for (int c = 0; c < 3; ++c) acc[c] += w[k] * s[c];
            out[x] = PackRGB(ClampByte((acc[2] + half) >> VerticalShift),
                             ClampByte((acc[1] + half) >> VerticalShift),
                             ClampByte((acc[0] + half) >> VerticalShift));
        }
    }
#endif
}

void TMitchellResampler::Resample(const TBitmap32& src, TBitmap32& dest, int left, int top) const {
    const int sw = horizontal_.SrcSize, sh = vertical_.SrcSize;
    const int dw = horizontal_.DstSize, dh = vertical_.DstSize;
    if (src.Width != sw || src.Height != sh) throw EMorvantaError("Resampler source size mismatch");
    if (left < 0 || top < 0 || left + dw > dest.Width || top + dh > dest.Height)
        throw EMorvantaError("Resampler target outside the frame");

    std::vector<std::int16_t> mid(static_cast<std::size_t>(sh) * dw * 4);
    SplitRows(sh, static_cast<long long>(dw) * horizontal_.Taps,
              [&](int first, int last) { HorizontalRows(src, mid.data(), first, last); });
    SplitRows(dh, static_cast<long long>(dw) * vertical_.Taps,
              [&](int first, int last) { VerticalRows(mid.data(), dest, left, top, first, last); });
}
