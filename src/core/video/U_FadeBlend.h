#pragma once
// One cross-fade step over a row, a + offset(b - a) per colour, several pixels at a time where an
// integer formula reproduces the step's rounded offsets exactly.
#include <cstdint>
#include <optional>

// offset(d) = (v + C + ((v >> FadeShift) & Parity)) >> FadeShift with v = d K, arithmetic shifts.
// With Parity 1 and C = 2^(FadeShift - 1) - 1 this rounds v / 2^FadeShift to nearest, ties to
// even, so a step whose fraction has few enough binary digits is reproduced by construction.
struct TFadeFormula {
    std::int32_t K = 0;
    std::int32_t C = 0;
    std::int32_t Parity = 0;
};

// 22 bits of the step's fraction: K is split into two 16-bit factors, K = 128 Khi + Klo, and
// 255 x 2^22 plus C still fits 32 bits.
constexpr int FadeShift = 22;

// The formula's offset for one difference, exactly as the vector code computes it.
std::int32_t FadeOffset(const TFadeFormula& f, int d);

// A formula giving offset[d] for every d in -255..255 (`offset` points at d = 0), tried from
// candidates near t x 2^FadeShift; none when no candidate matches all 511 values.
std::optional<TFadeFormula> FindFadeFormula(long double t, const std::int16_t* offset);

// Which instructions FadeRow may use: Best picks AVX2 when the processor has it; Baseline keeps
// to SSE2; Table is the plain per-pixel lookup.
enum class TFadeCode { Best, Baseline, Table };

// out[i] = a[i] + offset[b[i] - a[i]] per colour, alpha 0, for count pixels. `formula`, when
// given, must reproduce `offset` for every difference (FindFadeFormula's result).
void FadeRow(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t* out, int count,
             const std::int16_t* offset, const TFadeFormula* formula, TFadeCode code);
