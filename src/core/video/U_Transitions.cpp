#include "video/U_Transitions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "video/U_FramesFader.h"
#include "video/U_Motion.h"

namespace {

// a + (b - a) x w / 256 per colour, rounded; w from 0 to 256.
inline std::uint32_t Between(std::uint32_t a, std::uint32_t b, std::uint32_t w) {
    const std::uint32_t v = 256 - w;
    const std::uint32_t rb = ((a & 0xFF00FFu) * v + (b & 0xFF00FFu) * w + 0x800080u) >> 8;
    const std::uint32_t g = ((a & 0xFF00u) * v + (b & 0xFF00u) * w + 0x8000u) >> 8;
    return (rb & 0xFF00FFu) | (g & 0xFF00u) | 0xFF000000u;
}

std::uint32_t Weight(double t) {
    return static_cast<std::uint32_t>(std::clamp(std::lround(t * 256), 0L, 256L));
}

// Through black: the first half darkens `from`, the second lightens `to`.
MORVANTA_PIXEL_LOOP void FadeBlack(const TBitmap32& from, const TBitmap32& to, double t,
                                   TBitmap32& dest) {
    const bool first = t < 0.5;
    const TBitmap32& src = first ? from : to;
    const std::uint32_t w = Weight(first ? 1 - 2 * t : 2 * t - 1);
    for (std::size_t i = 0; i < dest.Pixels.size(); ++i)
        dest.Pixels[i] = Between(0, src.Pixels[i], w);
}

// The incoming picture covers a growing part of the frame, its edge moving the named way.
void Wipe(TTransition kind, const TBitmap32& from, const TBitmap32& to, double t, TBitmap32& dest) {
    const int w = dest.Width, h = dest.Height;
    const int ex = RoundToInt(t * w), ey = RoundToInt(t * h);
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* a = from.Row(y);
        const std::uint32_t* b = to.Row(y);
        std::uint32_t* out = dest.Row(y);
        switch (kind) {
        case TTransition::WipeLeft: // the edge comes in from the right
            std::copy_n(a, w - ex, out);
            std::copy(b + (w - ex), b + w, out + (w - ex));
            break;
        case TTransition::WipeRight:
            std::copy_n(b, ex, out);
            std::copy(a + ex, a + w, out + ex);
            break;
        case TTransition::WipeUp:
            std::copy_n(y >= h - ey ? b : a, w, out);
            break;
        default: // WipeDown
            std::copy_n(y < ey ? b : a, w, out);
            break;
        }
    }
}

// Both pictures move together the named way, the incoming one pushing the outgoing one out.
void Push(TTransition kind, const TBitmap32& from, const TBitmap32& to, double t, TBitmap32& dest) {
    const int w = dest.Width, h = dest.Height;
    const int ox = RoundToInt(t * w), oy = RoundToInt(t * h);
    for (int y = 0; y < h; ++y) {
        std::uint32_t* out = dest.Row(y);
        switch (kind) {
        case TTransition::PushLeft:
            std::copy(from.Row(y) + ox, from.Row(y) + w, out);
            std::copy_n(to.Row(y), ox, out + (w - ox));
            break;
        case TTransition::PushRight:
            std::copy(to.Row(y) + (w - ox), to.Row(y) + w, out);
            std::copy_n(from.Row(y), w - ox, out + ox);
            break;
        case TTransition::PushUp:
            std::copy_n(y + oy < h ? from.Row(y + oy) : to.Row(y + oy - h), w, out);
            break;
        default: // PushDown
            std::copy_n(y - oy >= 0 ? from.Row(y - oy) : to.Row(y - oy + h), w, out);
            break;
        }
    }
}

// The outgoing picture grows by up to half while the incoming one fades in over it.
MORVANTA_PIXEL_LOOP void ZoomDissolve(const TBitmap32& from, const TBitmap32& to, double t,
                                      TBitmap32& dest) {
    const double scale = 1 + t / 2;
    const double vw = dest.Width / scale, vh = dest.Height / scale;
    SampleWindow(from, {(dest.Width - vw) / 2, (dest.Height - vh) / 2, vw, vh}, dest, dest.Width,
                 dest.Height);
    const std::uint32_t w = Weight(t);
    for (std::size_t i = 0; i < dest.Pixels.size(); ++i)
        dest.Pixels[i] = Between(dest.Pixels[i], to.Pixels[i], w);
}

// A circle of the incoming picture opens from the centre, its rim anti-aliased over a pixel.
MORVANTA_PIXEL_LOOP void Iris(const TBitmap32& from, const TBitmap32& to, double t,
                              TBitmap32& dest) {
    const int w = dest.Width, h = dest.Height;
    const double cx = w / 2.0, cy = h / 2.0;
    const double r = t * std::hypot(cx, cy);
    const double inner = std::max(0.0, r - 0.5), outer = r + 0.5;
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* a = from.Row(y);
        const std::uint32_t* b = to.Row(y);
        std::uint32_t* out = dest.Row(y);
        std::copy_n(a, w, out);
        const double dy = y + 0.5 - cy;
        if (std::abs(dy) >= outer) continue;
        const double reach = std::sqrt(outer * outer - dy * dy);
        const int x0 = std::max(0, static_cast<int>(std::floor(cx - reach)));
        const int x1 = std::min(w, static_cast<int>(std::ceil(cx + reach)));
        const double full = inner > std::abs(dy) ? std::sqrt(inner * inner - dy * dy) : -1;
        for (int x = x0; x < x1; ++x) {
            const double dx = x + 0.5 - cx;
            if (std::abs(dx) < full) {
                out[x] = b[x];
                continue;
            }
            const double cover = std::clamp(r + 0.5 - std::hypot(dx, dy), 0.0, 1.0);
            out[x] = Between(a[x], b[x], Weight(cover));
        }
    }
}

} // namespace

void RenderTransition(TTransition kind, const TBitmap32& from, const TBitmap32& to, int step,
                      int steps, TBitmap32& dest) {
    if (kind == TTransition::CrossFade) {
        TFramesFader(from, to, steps).Blend(step, dest);
        return;
    }
    if (steps < 1) throw EMorvantaError("Transition without frames");
    if (step < 0 || step >= steps) throw EListIndexError(step);
    if (to.Width != from.Width || to.Height != from.Height)
        throw EMorvantaError("Transition frames differ in size");
    dest.SetSize(from.Width, from.Height);
    const double t = static_cast<double>(step) / steps;
    switch (kind) {
    case TTransition::FadeBlack:
        FadeBlack(from, to, t, dest);
        break;
    case TTransition::WipeLeft:
    case TTransition::WipeRight:
    case TTransition::WipeUp:
    case TTransition::WipeDown:
        Wipe(kind, from, to, t, dest);
        break;
    case TTransition::PushLeft:
    case TTransition::PushRight:
    case TTransition::PushUp:
    case TTransition::PushDown:
        Push(kind, from, to, t, dest);
        break;
    case TTransition::ZoomDissolve:
        ZoomDissolve(from, to, t, dest);
        break;
    case TTransition::Iris:
        Iris(from, to, t, dest);
        break;
    default: // a cut, or a Random nobody resolved
        std::copy(from.Pixels.begin(), from.Pixels.end(), dest.Pixels.begin());
        break;
    }
}
