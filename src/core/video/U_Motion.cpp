#include "video/U_Motion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// AVX2 where the processor has it, chosen when the program runs: builds target plain x86-64.
#if defined(__x86_64__) && defined(__SSE2__) && defined(__GNUC__)
#define MORVANTA_SAMPLING_AVX2 1
#include <immintrin.h>
#endif

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"

namespace {

long double PanStep(int side, int frames) {
    if (frames > 1) return static_cast<long double>(side) / 4 / (frames - 1);
    return side;
}

double Lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

// One output column or row: the first of two source pixels and the second one's weight in
// 1/256.
struct TTap {
    int Index;
    int Next;
    std::uint32_t Weight;
};

std::vector<TTap> Taps(double start, double step, int count, int srcSize) {
    std::vector<TTap> taps(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        // Centres of output pixels map onto centres of source pixels.
        const double pos = start + (i + 0.5) * step - 0.5;
        const long long fixed = std::llround(pos * 256);
        long long index = fixed >> 8;
        std::uint32_t weight = static_cast<std::uint32_t>(fixed & 255);
        if (index < 0) {
            index = 0;
            weight = 0;
        } else if (index >= srcSize - 1) {
            index = srcSize - 1;
            weight = 0;
        }
        const int at = static_cast<int>(index);
        taps[static_cast<std::size_t>(i)] = {at, std::min(at + 1, srcSize - 1), weight};
    }
    return taps;
}

// Red and blue, then green, each weighted in 1/256 with rounding; the sums never pass 32 bits.
inline std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t w) {
    const std::uint32_t v = 256 - w;
    const std::uint32_t rb = ((a & 0xFF00FFu) * v + (b & 0xFF00FFu) * w + 0x800080u) >> 8;
    const std::uint32_t g = ((a & 0xFF00u) * v + (b & 0xFF00u) * w + 0x8000u) >> 8;
    return (rb & 0xFF00FFu) | (g & 0xFF00u);
}

} // namespace

TPanWindow PanWindow(int picture, int offset, int frames, int width, int height) {
    const long double stepY = PanStep(height, frames);
    const long double stepX = PanStep(width, frames);
    const long double b = offset;
    const long double back = frames - 1 - offset;
    switch (picture % 4) {
    case 0:
        return {RoundToInt(b * stepX), RoundToInt(b * stepY)};
    case 1:
        return {RoundToInt(b * stepX), RoundToInt(back * stepY)};
    case 2:
        return {RoundToInt(back * stepX), RoundToInt(back * stepY)};
    default:
        return {RoundToInt(back * stepX), RoundToInt(b * stepY)};
    }
}

double MotionProgress(int offset, int frames, bool ease) {
    if (frames <= 1) return 0;
    const double t = std::clamp(static_cast<double>(offset) / (frames - 1), 0.0, 1.0);
    return ease ? t * t * (3 - 2 * t) : t;
}

TViewWindow MotionWindow(TMotion motion, int picture, int offset, int frames, bool ease,
                         int canvasWidth, int canvasHeight, int width, int height) {
    const double t = MotionProgress(offset, frames, ease);
    const double cw = canvasWidth, ch = canvasHeight, w = width, h = height;
    const bool even = picture % 2 == 0;
    switch (motion) {
    case TMotion::Pan: {
        const double x = w / 4 * t, y = h / 4 * t;
        const double xBack = w / 4 - x, yBack = h / 4 - y;
        switch (picture % 4) {
        case 0:
            return {x, y, w, h};
        case 1:
            return {x, yBack, w, h};
        case 2:
            return {xBack, yBack, w, h};
        default:
            return {xBack, y, w, h};
        }
    }
    case TMotion::ZoomIn:
    case TMotion::ZoomOut: {
        const double s = motion == TMotion::ZoomIn ? t : 1 - t;
        const double vw = Lerp(cw, w, s), vh = Lerp(ch, h, s);
        return {(cw - vw) / 2, (ch - vh) / 2, vw, vh};
    }
    case TMotion::KenBurns: {
        const double s = even ? t : 1 - t;
        const double vw = Lerp(cw, w, s), vh = Lerp(ch, h, s);
        // The corner the view closes in on.
        const int corner = picture % 4;
        const double fx = corner == 1 || corner == 2 ? 1 : 0;
        const double fy = corner >= 2 ? 1 : 0;
        return {(cw - vw) * fx, (ch - vh) * fy, vw, vh};
    }
    default:
        return {0, 0, w, h};
    }
}

void SampleWindow(const TBitmap32& src, const TViewWindow& view, TBitmap32& dest, int width,
                  int height) {
    dest.SetSize(width, height);
    SampleWindowPart(src, view, dest, 0, 0, width, height);
}

namespace {

// Two source rows mixed by weight w over count pixels: per channel (a (256 - w) + b w + 128) >> 8,
// as Mix does; the alpha byte of the result carries no meaning.
MORVANTA_PIXEL_LOOP void MixRows(const std::uint32_t* r0, const std::uint32_t* r1, std::uint32_t w,
                                 std::uint32_t* out, int count) {
    if (w == 0) {
        std::copy(r0, r0 + count, out);
        return;
    }
    int i = 0;
#if defined(__SSE2__)
    // Every sum fits 16 bits: 255 x 256 + 128 < 65536.
    const __m128i zero = _mm_setzero_si128();
    const __m128i wa = _mm_set1_epi16(static_cast<short>(256 - w));
    const __m128i wb = _mm_set1_epi16(static_cast<short>(w));
    const __m128i half = _mm_set1_epi16(128);
    for (; i + 4 <= count; i += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + i));
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), wa),
                                        _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), wb)),
                          half),
            8);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), wa),
                                        _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), wb)),
                          half),
            8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < count; ++i) out[i] = Mix(r0[i], r1[i], w);
}

#if defined(__SSE2__)
// The four channel sums a v + b w of the pixel pair at p, weights packed (v, w) in 16-bit halves.
inline __m128i MixPair(const std::uint32_t* p, __m128i weights) {
    const __m128i ab = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    // a's and b's bytes interleaved, then widened: a0 b0 a1 b1 a2 b2 a3 b3.
    const __m128i pairs = _mm_unpacklo_epi8(ab, _mm_srli_epi64(ab, 32));
    return _mm_madd_epi16(_mm_unpacklo_epi8(pairs, _mm_setzero_si128()), weights);
}
#endif

// out[x] for x in [left, right): the mixed row's pixels at each tap, opaque. `row` holds one
// readable pixel past the last tap's Next, which only ever gets weight 0.
MORVANTA_PIXEL_LOOP void MixColumns(const std::uint32_t* row, const std::vector<TTap>& xs,
                                    int first, int left, int right, std::uint32_t* out) {
    int x = left;
#if defined(__SSE2__)
    const __m128i half = _mm_set1_epi32(128);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const auto sums = [&](int at) {
        const TTap& t = xs[static_cast<std::size_t>(at)];
        const __m128i w = _mm_set1_epi32(static_cast<int>((256 - t.Weight) | (t.Weight << 16)));
        return _mm_srai_epi32(_mm_add_epi32(MixPair(row + (t.Index - first), w), half), 8);
    };
    for (; x + 4 <= right; x += 4) {
        const __m128i lo = _mm_packs_epi32(sums(x), sums(x + 1));
        const __m128i hi = _mm_packs_epi32(sums(x + 2), sums(x + 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
    }
#endif
    for (; x < right; ++x) {
        const TTap& t = xs[static_cast<std::size_t>(x)];
        out[x] = Mix(row[t.Index - first], row[t.Next - first], t.Weight) | 0xFF000000u;
    }
}

#if defined(MORVANTA_SAMPLING_AVX2)
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// MixRows eight pixels at a time; unpacking and packing keep each 128-bit lane's order.
__attribute__((target("avx2"))) MORVANTA_PIXEL_LOOP void
MixRowsAvx2(const std::uint32_t* r0, const std::uint32_t* r1, std::uint32_t w, std::uint32_t* out,
            int count) {
    int i = 0;
    if (w != 0) {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i wa = _mm256_set1_epi16(static_cast<short>(256 - w));
        const __m256i wb = _mm256_set1_epi16(static_cast<short>(w));
        const __m256i half = _mm256_set1_epi16(128);
        for (; i + 8 <= count; i += 8) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r0 + i));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r1 + i));
            const __m256i lo = _mm256_srli_epi16(
                _mm256_add_epi16(
                    _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero), wa),
                                     _mm256_mullo_epi16(_mm256_unpacklo_epi8(b, zero), wb)),
                    half),
                8);
            const __m256i hi = _mm256_srli_epi16(
                _mm256_add_epi16(
                    _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(a, zero), wa),
                                     _mm256_mullo_epi16(_mm256_unpackhi_epi8(b, zero), wb)),
                    half),
                8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
        }
    }
    MixRows(r0 + i, r1 + i, w, out + i, count - i);
}

// The channel sums of output pixels at and at + 1, in the low and the high lane, rounded.
__attribute__((target("avx2"))) inline __m256i TwoColumns(const std::uint32_t* row,
                                                          const std::vector<TTap>& xs, int first,
                                                          int at, __m256i spread, __m256i half) {
    const TTap& t0 = xs[static_cast<std::size_t>(at)];
    const TTap& t1 = xs[static_cast<std::size_t>(at) + 1];
    const __m128i p0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + (t0.Index - first)));
    const __m128i p1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + (t1.Index - first)));
    const __m256i pairs =
        _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(p0), p1, 1), spread);
    const __m128i w0 = _mm_set1_epi32(static_cast<int>((256 - t0.Weight) | (t0.Weight << 16)));
    const __m128i w1 = _mm_set1_epi32(static_cast<int>((256 - t1.Weight) | (t1.Weight << 16)));
    const __m256i w = _mm256_inserti128_si256(_mm256_castsi128_si256(w0), w1, 1);
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(pairs, w), half), 8);
}

// MixColumns eight pixels at a time: two pixel pairs per register, spread into 16-bit
// (a, b) pairs by one byte shuffle, then one multiply-add gives both pixels' channel sums.
__attribute__((target("avx2"))) MORVANTA_PIXEL_LOOP void
MixColumnsAvx2(const std::uint32_t* row, const std::vector<TTap>& xs, int first, int left,
               int right, std::uint32_t* out) {
    int x = left;
    const __m256i spread =
        _mm256_setr_epi8(0, -128, 4, -128, 1, -128, 5, -128, 2, -128, 6, -128, 3, -128, 7, -128, 0,
                         -128, 4, -128, 1, -128, 5, -128, 2, -128, 6, -128, 3, -128, 7, -128);
    const __m256i half = _mm256_set1_epi32(128);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    // Packing leaves pixels 0 2 4 6 in the low lane and 1 3 5 7 in the high one.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    for (; x + 8 <= right; x += 8) {
        const __m256i a = _mm256_packs_epi32(TwoColumns(row, xs, first, x, spread, half),
                                             TwoColumns(row, xs, first, x + 2, spread, half));
        const __m256i b = _mm256_packs_epi32(TwoColumns(row, xs, first, x + 4, spread, half),
                                             TwoColumns(row, xs, first, x + 6, spread, half));
        const __m256i pixels = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a, b), order);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_or_si256(pixels, opaque));
    }
    MixColumns(row, xs, first, x, right, out);
}
#endif

} // namespace

void SampleWindowPart(const TBitmap32& src, const TViewWindow& view, TBitmap32& dest, int left,
                      int top, int right, int bottom, TSamplingCode code) {
    if (src.Empty()) throw EMorvantaError("No picture to show");
    if (dest.Empty() || right <= left || bottom <= top) return;
    const std::vector<TTap> xs = Taps(view.Left, view.Width / dest.Width, dest.Width, src.Width);
    const std::vector<TTap> ys = Taps(view.Top, view.Height / dest.Height, dest.Height, src.Height);
    // Rows first: each output row mixes its two source rows once over the columns it needs,
    // then each output pixel mixes two neighbours of that row. Two mixes per output pixel
    // instead of three, both over contiguous memory.
    int first = src.Width, last = 0;
    for (int x = left; x < right; ++x) {
        first = std::min(first, xs[static_cast<std::size_t>(x)].Index);
        last = std::max(last, xs[static_cast<std::size_t>(x)].Next);
    }
    // One pixel more than the columns: pixel pairs are read whole, even where the second one
    // has no weight.
    std::vector<std::uint32_t> mixed(static_cast<std::size_t>(last - first + 2));
    auto mixRows = MixRows;
    auto mixColumns = MixColumns;
#if defined(MORVANTA_SAMPLING_AVX2)
    if (code == TSamplingCode::Best && HasAvx2()) {
        mixRows = MixRowsAvx2;
        mixColumns = MixColumnsAvx2;
    }
#else
    static_cast<void>(code);
#endif
    for (int y = top; y < bottom; ++y) {
        const TTap& ty = ys[static_cast<std::size_t>(y)];
        mixRows(src.Row(ty.Index) + first, src.Row(ty.Next) + first, ty.Weight, mixed.data(),
                last - first + 1);
        mixColumns(mixed.data(), xs, first, left, right, dest.Row(y));
    }
}
