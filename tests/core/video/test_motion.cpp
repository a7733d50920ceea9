// The view over a picture: the plain pan in whole pixels, the zooms and pan-and-zoom sampled
// between pixels, smooth from frame to frame on a slow zoom at 1080p.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "TestPictures.h"
#include "TestSupport.h"
#include "video/U_FrameServer.h"
#include "video/U_Motion.h"

namespace {

// The brightness-weighted centre of the pixels of `frame` within the box, above a dark ground.
std::pair<double, double> Centroid(const TBitmap32& frame, int x0, int y0, int x1, int y1) {
    double sum = 0, sx = 0, sy = 0;
    for (int y = std::max(0, y0); y < std::min(frame.Height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(frame.Width, x1); ++x) {
            const double v = RedOf(frame.At(x, y));
            sum += v, sx += v * x, sy += v * y;
        }
    return {sx / sum, sy / sum};
}

// A dark canvas with soft round spots (Gaussian, sigma 4 pixels) at the given places.
TBitmap32 Spots(int w, int h, const std::vector<std::pair<int, int>>& at) {
    TBitmap32 canvas = test::MakeSolid(w, h, 0);
    for (const auto& [cx, cy] : at)
        for (int y = cy - 16; y <= cy + 16; ++y)
            for (int x = cx - 16; x <= cx + 16; ++x) {
                const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                const auto v = static_cast<std::uint32_t>(std::lround(255 * std::exp(-d2 / 32)));
                canvas.At(x, y) = PackRGB(v, v, v);
            }
    return canvas;
}

} // namespace

TEST(Motion, PlainPanKeepsItsDiagonalsInWholePixels) {
    struct Case {
        int Picture, Offset, Left, Top;
    };
    // 720 x 576, 75 frames: a quarter of the frame from end to end.
    const Case cases[] = {
        {0, 0, 0, 0},     {0, 74, 180, 144}, {1, 0, 0, 144},    {1, 74, 180, 0},
        {2, 0, 180, 144}, {3, 74, 0, 144},   {4, 74, 180, 144}, {0, 37, 90, 72},
    };
    for (const auto& c : cases) {
        const TPanWindow w = PanWindow(c.Picture, c.Offset, 75, 720, 576);
        EXPECT_EQ(w.Left, c.Left) << c.Picture << "/" << c.Offset;
        EXPECT_EQ(w.Top, c.Top) << c.Picture << "/" << c.Offset;
    }
    EXPECT_EQ(PanWindow(0, 0, 1, 720, 576).Left, 0) << "one frame: the window stays put";
}

TEST(Motion, ZoomsGoBetweenTheWholeCanvasAndAFrameSizedCentre) {
    struct Case {
        TMotion Motion;
        int Picture, Offset;
        TViewWindow View;
    };
    // Canvas 960 x 720 for a 720 x 540 frame, 11 frames.
    const Case cases[] = {
        {TMotion::ZoomIn, 0, 0, {0, 0, 960, 720}},
        {TMotion::ZoomIn, 0, 10, {120, 90, 720, 540}},
        {TMotion::ZoomIn, 0, 5, {60, 45, 840, 630}},
        {TMotion::ZoomOut, 0, 0, {120, 90, 720, 540}},
        {TMotion::ZoomOut, 0, 10, {0, 0, 960, 720}},
        {TMotion::KenBurns, 0, 10, {0, 0, 720, 540}},     // closes in on the top-left corner
        {TMotion::KenBurns, 2, 10, {240, 180, 720, 540}}, // the bottom-right corner
        {TMotion::KenBurns, 1, 0, {240, 0, 720, 540}},    // odd pictures open out instead
        {TMotion::KenBurns, 1, 10, {0, 0, 960, 720}},
        {TMotion::Pan, 2, 10, {0, 0, 720, 540}},
    };
    for (const auto& c : cases) {
        const TViewWindow v =
            MotionWindow(c.Motion, c.Picture, c.Offset, 11, false, 960, 720, 720, 540);
        EXPECT_NEAR(v.Left, c.View.Left, 1e-9) << NameOf(c.Motion) << " " << c.Offset;
        EXPECT_NEAR(v.Top, c.View.Top, 1e-9) << NameOf(c.Motion) << " " << c.Offset;
        EXPECT_NEAR(v.Width, c.View.Width, 1e-9) << NameOf(c.Motion) << " " << c.Offset;
        EXPECT_NEAR(v.Height, c.View.Height, 1e-9) << NameOf(c.Motion) << " " << c.Offset;
    }
}

TEST(Motion, EasingStartsAndEndsSlowly) {
    EXPECT_EQ(MotionProgress(0, 75, true), 0);
    EXPECT_EQ(MotionProgress(74, 75, true), 1);
    EXPECT_NEAR(MotionProgress(37, 75, true), 0.5, 1e-12);
    // The first step is far shorter than a linear one, the middle one longer.
    const double linear = MotionProgress(1, 75, false);
    EXPECT_LT(MotionProgress(1, 75, true), linear / 10);
    EXPECT_GT(MotionProgress(38, 75, true) - MotionProgress(37, 75, true), linear * 1.4);
    EXPECT_EQ(MotionProgress(0, 1, true), 0) << "a single frame";
}

TEST(Motion, SamplingAWholePixelViewAtFullSizeCopiesIt) {
    const TBitmap32 canvas = test::MakeGradient(96, 72);
    TBitmap32 out;
    SampleWindow(canvas, {7, 5, 80, 60}, out, 80, 60);
    int wrong = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            if ((out.At(x, y) & 0xFFFFFF) != (canvas.At(x + 7, y + 5) & 0xFFFFFF)) ++wrong;
    EXPECT_EQ(wrong, 0);
    // Half a pixel over, two neighbours mix evenly.
    SampleWindow(canvas, {7.5, 5, 80, 60}, out, 80, 60);
    const int a = static_cast<int>(RedOf(canvas.At(17, 9))),
              b = static_cast<int>(RedOf(canvas.At(18, 9)));
    EXPECT_NEAR(static_cast<int>(RedOf(out.At(10, 4))), (a + b) / 2.0, 0.51);
}

namespace {

// The sampling's definition one pixel at a time: each output pixel's centre lands on the source
// at 1/256 pixel, edges clamped; rows mix first, then the two mixed columns, each rounded.
std::uint32_t SampleOne(const TBitmap32& src, const TViewWindow& v, int dw, int dh, int x, int y) {
    const auto tap = [](double start, double step, int i, int size) {
        const long long fixed = std::llround((start + (i + 0.5) * step - 0.5) * 256);
        long long at = fixed >> 8, w = fixed & 255;
        if (at < 0 || at >= size - 1) at = std::clamp<long long>(at, 0, size - 1), w = 0;
        return std::pair<int, int>{static_cast<int>(at), static_cast<int>(w)};
    };
    const auto [sx, wx] = tap(v.Left, v.Width / dw, x, src.Width);
    const auto [sy, wy] = tap(v.Top, v.Height / dh, y, src.Height);
    const int sx1 = std::min(sx + 1, src.Width - 1), sy1 = std::min(sy + 1, src.Height - 1);
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const auto c = [&](int px, int py) {
            return static_cast<int>(src.At(px, py) >> shift & 255);
        };
        const int left = (c(sx, sy) * (256 - wy) + c(sx, sy1) * wy + 128) >> 8;
        const int right = (c(sx1, sy) * (256 - wy) + c(sx1, sy1) * wy + 128) >> 8;
        out |= static_cast<std::uint32_t>((left * (256 - wx) + right * wx + 128) >> 8) << shift;
    }
    return out;
}

} // namespace

// The row-wise, vectorised sampling against its definition: ragged widths (loop tails), views
// reaching past every edge, shrinking and enlarging, parts of the frame, one-pixel sources.
TEST(Motion, SamplingMatchesItsPixelByPixelDefinition) {
    struct Case {
        int SrcW, SrcH, DestW, DestH;
        TViewWindow View;
        int Left, Top, Right, Bottom; // the part drawn; 0, 0, 0, 0 for all of it
    };
    const Case cases[] = {
        {97, 61, 80, 50, {3.3, 2.7, 88.1, 55.2}, 0, 0, 0, 0},
        {97, 61, 83, 47, {-9.6, -4.2, 110.4, 70.3}, 0, 0, 0, 0},  // past every edge
        {64, 48, 125, 93, {10.1, 7.9, 40.5, 30.2}, 0, 0, 0, 0},   // enlarged
        {200, 150, 61, 45, {0, 0, 200, 150}, 0, 0, 0, 0},         // shrunk
        {128, 96, 96, 72, {12.25, 9.75, 100, 75}, 5, 7, 66, 41},  // a part
        {128, 96, 96, 72, {12.25, 9.75, 100, 75}, 93, 0, 96, 72}, // a strip at the right edge
        {1, 1, 7, 5, {0, 0, 1, 1}, 0, 0, 0, 0},
        {5, 1, 3, 9, {0.4, -0.5, 4.2, 1.5}, 0, 0, 0, 0},
        {33, 17, 1, 1, {15.5, 7.5, 2, 2}, 0, 0, 0, 0},
        {331, 97, 253, 61, {20.7, 11.1, 290.3, 70.9}, 3, 2, 250, 60}, // 8-wide runs and tails
    };
    std::uint32_t seed = 7;
    for (const auto code : {TSamplingCode::Best, TSamplingCode::Baseline})
        for (const auto& c : cases) {
            TBitmap32 src(c.SrcW, c.SrcH);
            for (auto& p : src.Pixels) p = seed = seed * 1664525u + 1013904223u;
            const bool whole = c.Right == 0;
            TBitmap32 out(c.DestW, c.DestH);
            std::fill(out.Pixels.begin(), out.Pixels.end(), 0x00123456u);
            const int l = whole ? 0 : c.Left, t = whole ? 0 : c.Top;
            const int r = whole ? c.DestW : c.Right, b = whole ? c.DestH : c.Bottom;
            if (whole && code == TSamplingCode::Best)
                SampleWindow(src, c.View, out, c.DestW, c.DestH);
            else
                SampleWindowPart(src, c.View, out, l, t, r, b, code);
            SCOPED_TRACE(code == TSamplingCode::Best ? "best instructions"
                                                     : "baseline instructions");
            int wrong = 0, outside = 0;
            for (int y = 0; y < c.DestH; ++y)
                for (int x = 0; x < c.DestW; ++x) {
                    if (x < l || x >= r || y < t || y >= b)
                        outside += out.At(x, y) != 0x00123456u;
                    else
                        wrong += out.At(x, y) != SampleOne(src, c.View, c.DestW, c.DestH, x, y);
                }
            EXPECT_EQ(wrong, 0) << c.SrcW << "x" << c.SrcH << " into " << c.DestW << "x" << c.DestH;
            EXPECT_EQ(outside, 0) << "pixels beyond the part were drawn";
        }
}

// A slow zoom of a large photo into 1080p: a 24 MP photo fills the 2560 x 1440 canvas the
// motion moves over, so the view's path over that canvas is what the eye sees. Spots away from
// the centre must move along a smooth curve: whole-pixel views would jump by up to a pixel
// between frames.
TEST(Motion, SlowZoomAt1080pMovesWithoutSteps) {
    const int w = 1920, h = 1080, cw = 2560, ch = 1440, frames = 125; // 5 s at 25 fps
    const std::vector<std::pair<int, int>> spots = {{700, 450}, {1900, 1000}, {1280, 300}};
    const TBitmap32 canvas = Spots(cw, ch, spots);
    TBitmap32 frame;
    std::vector<std::vector<std::pair<double, double>>> paths(spots.size());
    double quickest = 1e9, fastest = 0;
    std::vector<double> lastX(spots.size());
    for (int i = 0; i < frames; ++i) {
        const TViewWindow v = MotionWindow(TMotion::ZoomIn, 0, i, frames, true, cw, ch, w, h);
        const auto start = std::chrono::steady_clock::now();
        SampleWindow(canvas, v, frame, w, h);
        quickest = std::min(quickest, std::chrono::duration<double, std::milli>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
        for (std::size_t s = 0; s < spots.size(); ++s) {
            // Where the spot should be, then its measured centre near there.
            const double ex = (spots[s].first + 0.5 - v.Left) * w / v.Width - 0.5;
            const double ey = (spots[s].second + 0.5 - v.Top) * h / v.Height - 0.5;
            const auto c = Centroid(frame, static_cast<int>(ex) - 24, static_cast<int>(ey) - 24,
                                    static_cast<int>(ex) + 25, static_cast<int>(ey) + 25);
            EXPECT_NEAR(c.first, ex, 0.05) << "spot " << s << " frame " << i;
            EXPECT_NEAR(c.second, ey, 0.05) << "spot " << s << " frame " << i;
            paths[s].push_back({c.first - ex, c.second - ey});
            if (i > 0) fastest = std::max(fastest, std::abs(ex - lastX[s]));
            lastX[s] = ex;
        }
    }
    // Jitter: how far each frame-to-frame step differs from the ideal path's step.
    double jitter = 0;
    for (const auto& errors : paths)
        for (std::size_t i = 1; i < errors.size(); ++i)
            jitter = std::max({jitter, std::abs(errors[i].first - errors[i - 1].first),
                               std::abs(errors[i].second - errors[i - 1].second)});
    std::printf("slow zoom at 1080p: largest step %.2f px, jitter %.4f px, %.1f ms a frame\n",
                fastest, jitter, quickest);
    EXPECT_LT(fastest, 6) << "a slow zoom";
    EXPECT_LT(jitter, 0.1) << "whole-pixel views would step by up to a pixel";
}

namespace {

class MotionServerTest : public ::testing::Test {
protected:
    std::string Gradient(const std::string& name) {
        const std::string path = dir.File(name);
        test::WriteBmp24(path, test::MakeGradient(160, 120));
        return path;
    }
    test::TempDir dir;
};

} // namespace

TEST_F(MotionServerTest, PicturesMayMoveOtherwiseThanTheShow) {
    TStringList paths({Gradient("a.bmp"), Gradient("b.bmp"), Gradient("c.bmp")});
    TShowStyle style{.DynamicPictures = true};
    TFrameServer server(paths, nullptr, 10, 60, 80, style);
    TPictureStyle still, zoom;
    still.Motion = TMotion::Still;
    zoom.Motion = TMotion::ZoomIn;
    server.SetPictureStyles({still, zoom}, 100);
    TBitmap32 first, last;
    // Picture 0 stands still over the frame-sized fit.
    server.GetFrame(first, 0);
    server.GetFrame(last, 9);
    EXPECT_TRUE(test::SameRGB(first, last));
    // Picture 1 starts on the whole canvas (the whole picture, shrunk) and ends on its centre.
    server.GetFrame(first, 10);
    server.GetFrame(last, 19);
    TBitmap32 whole = test::MakeGradient(160, 120);
    EXPECT_NEAR(static_cast<int>(RedOf(first.At(79, 30))),
                static_cast<int>(RedOf(whole.At(159, 60))), 8);
    EXPECT_NEAR(static_cast<int>(RedOf(last.At(0, 30))), static_cast<int>(RedOf(whole.At(20, 60))),
                8);
    // Picture 2 pans as the show does.
    TFrameServer plain(paths, nullptr, 10, 60, 80, style);
    TBitmap32 a, b;
    server.GetFrame(a, 25);
    plain.GetFrame(b, 25);
    EXPECT_EQ(a.Pixels, b.Pixels);
}
