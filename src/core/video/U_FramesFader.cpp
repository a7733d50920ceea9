#include "video/U_FramesFader.h"

#include <array>
#include <cstdint>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"

TFramesFader::TFramesFader(const TBitmap32& FadeFrom, const TBitmap32& FadeTo, int FadeFrames)
    : FadeFrom(FadeFrom), FadeTo(FadeTo), FadeFrames(FadeFrames) {}

MORVANTA_PIXEL_LOOP void TFramesFader::Blend(int Step, TBitmap32& Dest) const {
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

    Dest.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* a = FadeFrom.Row(y);
        const std::uint32_t* b = FadeTo.Row(y);
        std::uint32_t* out = Dest.Row(y);
        for (int x = 0; x < w; ++x) {
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
}
