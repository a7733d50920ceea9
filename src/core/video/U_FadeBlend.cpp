#include "video/U_FadeBlend.h"

#include <cmath>

#include "platform/image/U_Bitmap32.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// AVX2 where the processor has it, chosen when the program runs: builds target plain x86-64.
#if defined(__x86_64__) && defined(__SSE2__) && defined(__GNUC__)
#define MORVANTA_FADE_AVX2 1
#include <immintrin.h>
#endif

std::int32_t FadeOffset(const TFadeFormula& f, int d) {
    const std::int32_t v = d * f.K;
    return (v + f.C + ((v >> FadeShift) & f.Parity)) >> FadeShift;
}

std::optional<TFadeFormula> FindFadeFormula(long double t, const std::int16_t* offset) {
    constexpr std::int32_t one = 1 << FadeShift;
    const long double scaled = t * one;
    if (!(scaled >= 0 && scaled < one)) return std::nullopt;
    const auto low = static_cast<std::int32_t>(std::floor(scaled));
    // The exact rounding first, then the nearest factors with a plain half added: a fraction
    // with more digits than the shift never meets an exact tie, only near ones whose side the
    // factor's error decides. Whatever is tried, only a check of every difference admits it.
    for (const std::int32_t k : {low, low + 1, low - 1, low + 2}) {
        if (k < 0 || k >= one) continue;
        for (const TFadeFormula f :
             {TFadeFormula{k, one / 2 - 1, 1}, TFadeFormula{k, one / 2, 0}}) {
            bool all = true;
            for (int d = -255; d <= 255 && all; ++d) all = FadeOffset(f, d) == offset[d];
            if (all) return f;
        }
    }
    return std::nullopt;
}

namespace {

MORVANTA_PIXEL_LOOP void TableRow(const std::uint32_t* a, const std::uint32_t* b,
                                  std::uint32_t* out, int count, const std::int16_t* off) {
    for (int x = 0; x < count; ++x) {
        const int ar = static_cast<int>(RedOf(a[x]));
        const int ag = static_cast<int>(GreenOf(a[x]));
        const int ab = static_cast<int>(BlueOf(a[x]));
        const int r = ar + off[static_cast<int>(RedOf(b[x])) - ar];
        const int g = ag + off[static_cast<int>(GreenOf(b[x])) - ag];
        const int bl = ab + off[static_cast<int>(BlueOf(b[x])) - ab];
        out[x] = PackRGB(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(g),
                         static_cast<std::uint32_t>(bl), 0);
    }
}

#if defined(__SSE2__)
// The formula's offsets of four (d 128, d) pairs: one multiply-add forms d K in 32 bits from
// K's two 16-bit factors.
inline __m128i Rounded(__m128i pairs, __m128i k, __m128i c, __m128i parity) {
    const __m128i v = _mm_madd_epi16(pairs, k);
    const __m128i odd = _mm_and_si128(_mm_srai_epi32(v, FadeShift), parity);
    return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(v, c), odd), FadeShift);
}

// The offsets of eight 16-bit differences.
inline __m128i Offsets(__m128i d, __m128i k, __m128i c, __m128i parity) {
    const __m128i d128 = _mm_slli_epi16(d, 7);
    return _mm_packs_epi32(Rounded(_mm_unpacklo_epi16(d128, d), k, c, parity),
                           Rounded(_mm_unpackhi_epi16(d128, d), k, c, parity));
}

// Both 16-bit factors of K side by side, in the order Offsets pairs the differences.
inline int PackedFactors(const TFadeFormula& f) {
    return static_cast<int>((static_cast<std::uint32_t>(f.K >> 7) & 0xFFFFu) |
                            (static_cast<std::uint32_t>(f.K & 127) << 16));
}

// Four pixels at a time; returns how many pixels it wrote.
MORVANTA_PIXEL_LOOP int FormulaRow(const std::uint32_t* a, const std::uint32_t* b,
                                   std::uint32_t* out, int count, const TFadeFormula& f) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i k = _mm_set1_epi32(PackedFactors(f));
    const __m128i c = _mm_set1_epi32(f.C);
    const __m128i parity = _mm_set1_epi32(f.Parity);
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        const __m128i alo = _mm_unpacklo_epi8(pa, zero);
        const __m128i ahi = _mm_unpackhi_epi8(pa, zero);
        const __m128i dlo = _mm_sub_epi16(_mm_unpacklo_epi8(pb, zero), alo);
        const __m128i dhi = _mm_sub_epi16(_mm_unpackhi_epi8(pb, zero), ahi);
        const __m128i lo = _mm_add_epi16(alo, Offsets(dlo, k, c, parity));
        const __m128i hi = _mm_add_epi16(ahi, Offsets(dhi, k, c, parity));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_and_si128(_mm_packus_epi16(lo, hi), colours));
    }
    return x;
}
#endif

#if defined(MORVANTA_FADE_AVX2)
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

__attribute__((target("avx2"))) inline __m256i Rounded(__m256i pairs, __m256i k, __m256i c,
                                                       __m256i parity) {
    const __m256i v = _mm256_madd_epi16(pairs, k);
    const __m256i odd = _mm256_and_si256(_mm256_srai_epi32(v, FadeShift), parity);
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(v, c), odd), FadeShift);
}

__attribute__((target("avx2"))) inline __m256i Offsets(__m256i d, __m256i k, __m256i c,
                                                       __m256i parity) {
    const __m256i d128 = _mm256_slli_epi16(d, 7);
    return _mm256_packs_epi32(Rounded(_mm256_unpacklo_epi16(d128, d), k, c, parity),
                              Rounded(_mm256_unpackhi_epi16(d128, d), k, c, parity));
}

// FormulaRow eight pixels at a time; unpacking and packing keep each 128-bit lane's order.
__attribute__((target("avx2"))) MORVANTA_PIXEL_LOOP int
FormulaRowAvx2(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t* out, int count,
               const TFadeFormula& f) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i k = _mm256_set1_epi32(PackedFactors(f));
    const __m256i c = _mm256_set1_epi32(f.C);
    const __m256i parity = _mm256_set1_epi32(f.Parity);
    const __m256i colours = _mm256_set1_epi32(0x00FFFFFF);
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
        const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x));
        const __m256i alo = _mm256_unpacklo_epi8(pa, zero);
        const __m256i ahi = _mm256_unpackhi_epi8(pa, zero);
        const __m256i dlo = _mm256_sub_epi16(_mm256_unpacklo_epi8(pb, zero), alo);
        const __m256i dhi = _mm256_sub_epi16(_mm256_unpackhi_epi8(pb, zero), ahi);
        const __m256i lo = _mm256_add_epi16(alo, Offsets(dlo, k, c, parity));
        const __m256i hi = _mm256_add_epi16(ahi, Offsets(dhi, k, c, parity));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_and_si256(_mm256_packus_epi16(lo, hi), colours));
    }
    return x + FormulaRow(a + x, b + x, out + x, count - x, f);
}
#endif

} // namespace

void FadeRow(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t* out, int count,
             const std::int16_t* offset, const TFadeFormula* formula, TFadeCode code) {
    int done = 0;
#if defined(__SSE2__)
    if (formula && code != TFadeCode::Table) {
#if defined(MORVANTA_FADE_AVX2)
        if (code == TFadeCode::Best && HasAvx2())
            done = FormulaRowAvx2(a, b, out, count, *formula);
        else
#endif
            done = FormulaRow(a, b, out, count, *formula);
    }
#else
    static_cast<void>(formula);
    static_cast<void>(code);
#endif
    TableRow(a + done, b + done, out + done, count - done, offset);
}
