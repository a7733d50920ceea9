#include "video/U_Fill.h"

#include <algorithm>
#include <vector>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "video/U_Motion.h"
#include "video/U_Resampler.h"

namespace {

// The blur works on a copy this many times smaller each way, then is scaled back up: the
// cost is then nearly all in the final scaling of the bands.
constexpr int BlurShrink = 8;
constexpr int BlurPasses = 3; // three box passes come close to a Gaussian

// One box pass of radius r along rows (step 1) or columns (step = width), edges repeated.
void BoxPass(std::vector<std::uint32_t>& px, int count, int lines, int along, int across, int r) {
    std::vector<std::uint32_t> line(static_cast<std::size_t>(count));
    const int n = 2 * r + 1;
    for (int l = 0; l < lines; ++l) {
        std::uint32_t* base = px.data() + static_cast<std::size_t>(l) * across;
        const auto at = [&](int i) {
            return base[static_cast<std::size_t>(std::clamp(i, 0, count - 1)) * along];
        };
        std::uint32_t sr = 0, sg = 0, sb = 0;
        for (int i = -r; i <= r; ++i) {
            const std::uint32_t p = at(i);
            sr += RedOf(p), sg += GreenOf(p), sb += BlueOf(p);
        }
        for (int i = 0; i < count; ++i) {
            line[static_cast<std::size_t>(i)] = PackRGB(sr / n, sg / n, sb / n);
            const std::uint32_t in = at(i + r + 1), out = at(i - r);
            sr += RedOf(in) - RedOf(out);
            sg += GreenOf(in) - GreenOf(out);
            sb += BlueOf(in) - BlueOf(out);
        }
        for (int i = 0; i < count; ++i)
            base[static_cast<std::size_t>(i) * along] = line[static_cast<std::size_t>(i)];
    }
}

} // namespace

TBitmap32 CropToFill(const TBitmap32& src, int width, int height) {
    if (src.Empty() || width <= 0 || height <= 0) throw EMorvantaError("Invalid picture size");
    // The largest centred part of the picture with the frame's aspect.
    int cw = src.Width, ch = src.Height;
    if (static_cast<long long>(src.Width) * height > static_cast<long long>(src.Height) * width)
        cw = std::max(1, RoundToInt(static_cast<long double>(src.Height) * width / height));
    else
        ch = std::max(1, RoundToInt(static_cast<long double>(src.Width) * height / width));
    const int x0 = (src.Width - cw) / 2, y0 = (src.Height - ch) / 2;
    TBitmap32 part(cw, ch);
    for (int y = 0; y < ch; ++y) std::copy_n(src.Row(y0 + y) + x0, cw, part.Row(y));
    TBitmap32 out(width, height);
    TMitchellResampler(cw, ch, width, height).Resample(part, out, 0, 0);
    return out;
}

MORVANTA_PIXEL_LOOP void FillBandsWithBlur(TBitmap32& fitted, int side, int top) {
    const int w = fitted.Width, h = fitted.Height;
    const int aw = w - 2 * side, ah = h - 2 * top;
    if ((side <= 0 && top <= 0) || aw <= 0 || ah <= 0) return;
    const int sw = std::max(1, (w + BlurShrink - 1) / BlurShrink);
    const int sh = std::max(1, (h + BlurShrink - 1) / BlurShrink);
    // The picture area scaled to cover the small frame: each small pixel averages a 4 x 4
    // grid of points over its footprint in the area.
    const double scale = std::max(static_cast<double>(sw) / aw, static_cast<double>(sh) / ah);
    const double fx0 = side + (aw - sw / scale) / 2, fy0 = top + (ah - sh / scale) / 2;
    TBitmap32 small(sw, sh);
    for (int y = 0; y < sh; ++y) {
        for (int x = 0; x < sw; ++x) {
            std::uint32_t r = 0, g = 0, b = 0;
            for (int j = 0; j < 4; ++j) {
                const int sy = std::clamp(static_cast<int>(fy0 + (y + (j + 0.5) / 4) / scale), top,
                                          h - top - 1);
                const std::uint32_t* row = fitted.Row(sy);
                for (int i = 0; i < 4; ++i) {
                    const int sx = std::clamp(static_cast<int>(fx0 + (x + (i + 0.5) / 4) / scale),
                                              side, w - side - 1);
                    r += RedOf(row[sx]), g += GreenOf(row[sx]), b += BlueOf(row[sx]);
                }
            }
            // Averaged and darkened to half at once.
            small.At(x, y) = PackRGB(r / 32, g / 32, b / 32);
        }
    }
    const int radius = std::max(1, sw / 48);
    for (int pass = 0; pass < BlurPasses; ++pass) {
        BoxPass(small.Pixels, sw, sh, 1, sw, radius);
        BoxPass(small.Pixels, sh, sw, sw, 1, radius);
    }
    const TViewWindow all{0, 0, static_cast<double>(sw), static_cast<double>(sh)};
    if (top > 0) {
        SampleWindowPart(small, all, fitted, 0, 0, w, top);
        SampleWindowPart(small, all, fitted, 0, h - top, w, h);
    }
    if (side > 0) {
        SampleWindowPart(small, all, fitted, 0, top, side, h - top);
        SampleWindowPart(small, all, fitted, w - side, top, w, h - top);
    }
}
