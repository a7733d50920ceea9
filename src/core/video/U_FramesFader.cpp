#include "video/U_FramesFader.h"

#include <array>
#include <cstdint>
#include <optional>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"

TFramesFader::TFramesFader(const TBitmap32& FadeFrom, const TBitmap32& FadeTo, int FadeFrames)
    : FadeFrom(FadeFrom), FadeTo(FadeTo), FadeFrames(FadeFrames) {}

void TFramesFader::Blend(int Step, TBitmap32& Dest, TFadeCode code) const {
    if (FadeFrames < 1) throw EMorvantaError("Cross-fade without fade frames");
    if (Step < 0 || Step >= FadeFrames) throw EListIndexError(Step);
    const int w = FadeFrom.Width;
    const int h = FadeFrom.Height;
    if (FadeTo.Width < w || FadeTo.Height < h)
        throw EMorvantaError("Cross-fade frames differ in size");

    // t is kept in single precision on purpose: the rounding of every step depends on it
    // (t = 1/6 lies slightly above a sixth, 5/6 slightly below), and the product with the
    // difference is then formed in extended precision.
    const float t = static_cast<float>(static_cast<long double>(Step) / FadeFrames);
    const long double tx = t;

    // The rounded offset depends only on the signed difference, so one table per step serves
    // all pixels: out = A + Offset[B - A + 255].
    std::array<std::int16_t, 511> offset{};
    for (int d = -255; d <= 255; ++d)
        offset[static_cast<std::size_t>(d + 255)] = static_cast<std::int16_t>(RoundToInt(tx * d));
    const std::int16_t* off = offset.data() + 255;

    // The same offsets computed in integers, several pixels at a time, where a formula gives
    // every one of them; checked for all 511 differences each step, so the bytes never change.
    const std::optional<TFadeFormula> formula = FindFadeFormula(tx, off);

    Dest.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        FadeRow(FadeFrom.Row(y), FadeTo.Row(y), Dest.Row(y), w, off, formula ? &*formula : nullptr,
                code);
}
