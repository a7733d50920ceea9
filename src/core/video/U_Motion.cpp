#include "video/U_Motion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

MORVANTA_PIXEL_LOOP void SampleWindowPart(const TBitmap32& src, const TViewWindow& view,
                                          TBitmap32& dest, int left, int top, int right,
                                          int bottom) {
    if (src.Empty()) throw EMorvantaError("No picture to show");
    if (dest.Empty() || right <= left || bottom <= top) return;
    const std::vector<TTap> xs = Taps(view.Left, view.Width / dest.Width, dest.Width, src.Width);
    const std::vector<TTap> ys = Taps(view.Top, view.Height / dest.Height, dest.Height, src.Height);
    // Columns first: each row mixes the two source rows once over the columns it needs, then
    // each output pixel mixes two of those. One mix per output pixel instead of three.
    int first = src.Width, last = 0;
    for (int x = left; x < right; ++x) {
        first = std::min(first, xs[static_cast<std::size_t>(x)].Index);
        last = std::max(last, xs[static_cast<std::size_t>(x)].Next);
    }
    std::vector<std::uint32_t> mixed(static_cast<std::size_t>(last - first + 1));
    for (int y = top; y < bottom; ++y) {
        const TTap& ty = ys[static_cast<std::size_t>(y)];
        const std::uint32_t* r0 = src.Row(ty.Index);
        const std::uint32_t* r1 = src.Row(ty.Next);
        for (int i = first; i <= last; ++i)
            mixed[static_cast<std::size_t>(i - first)] = Mix(r0[i], r1[i], ty.Weight);
        std::uint32_t* out = dest.Row(y);
        for (int x = left; x < right; ++x) {
            const TTap& tx = xs[static_cast<std::size_t>(x)];
            out[x] = Mix(mixed[static_cast<std::size_t>(tx.Index - first)],
                         mixed[static_cast<std::size_t>(tx.Next - first)], tx.Weight) |
                     0xFF000000u;
        }
    }
}
