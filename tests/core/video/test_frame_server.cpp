#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "video/U_FrameServer.h"

using test::FindBox;
using test::MakeSolid;
using test::SameRGB;
using test::TBox;
using test::WriteBmp24;

namespace {

class FrameServerTest : public ::testing::Test {
protected:
    // Writes a solid picture and returns its path.
    std::string Solid(const std::string& name, std::uint32_t rgb, int w = 40, int h = 30) {
        const std::string path = dir.File(name);
        WriteBmp24(path, MakeSolid(w, h, rgb));
        return path;
    }
    test::TempDir dir;
    TBitmap32 frame;
};

bool Lit(std::uint32_t p) {
    return (p & 0xFFFFFFu) != 0;
}

} // namespace

TEST_F(FrameServerTest, TimelineOfStillsAndFades) {
    // Red 0, 180 and 36: fade steps land on whole numbers (10 and -8 per step).
    TStringList paths(
        {Solid("a.bmp", 0x000A14), Solid("b.bmp", 0xB40A14), Solid("c.bmp", 0x240A14)});
    TFrameServer server(paths, nullptr, 75, 30, 40, TShowStyle{.CrossFade = true});
    EXPECT_EQ(server.FadeFrames, 18);
    ASSERT_EQ(server.FrameCount(), 261);
    for (int i = 0; i < 261; ++i) {
        int want = 0;
        if (i < 75)
            want = 0;
        else if (i < 93)
            want = 10 * (i - 75);
        else if (i < 168)
            want = 180;
        else if (i < 186)
            want = 180 - 8 * (i - 168);
        else
            want = 36;
        server.GetFrame(frame, i);
        ASSERT_EQ(frame.Width, 40);
        ASSERT_EQ(frame.Height, 30);
        ASSERT_EQ(static_cast<int>(RedOf(frame.At(20, 15))), want) << "frame " << i;
        ASSERT_EQ(GreenOf(frame.At(3, 27)), 0x0Au) << "frame " << i;
    }
    // The fade into picture 2 has left it cached for its stills.
    EXPECT_EQ(server.CachedIndex(), 2);
    EXPECT_EQ(server.FadeIndex(), 1);
    EXPECT_THROW(server.GetFrame(frame, 261), EListIndexError);
    EXPECT_THROW(server.GetFrame(frame, -1), EListIndexError);
}

TEST_F(FrameServerTest, FadeLengthFollowsFramesPerPicture) {
    TStringList paths({"x.bmp", "y.bmp"}); // never loaded
    const int fpp[] = {19, 20, 75, 100, 1};
    const int fades[] = {0, 6, 18, 30, 0};
    for (int k = 0; k < 5; ++k) {
        TFrameServer on(paths, nullptr, fpp[k], 30, 40, TShowStyle{.CrossFade = true});
        TFrameServer off(paths, nullptr, fpp[k], 30, 40);
        EXPECT_EQ(on.FadeFrames, fades[k]) << fpp[k];
        EXPECT_EQ(on.FrameCount(), 2 * fpp[k] + fades[k]) << fpp[k];
        EXPECT_EQ(off.FadeFrames, 0);
        EXPECT_EQ(off.FrameCount(), 2 * fpp[k]);
    }
    TStringList one({"x.bmp"}), none;
    EXPECT_EQ(TFrameServer(one, nullptr, 75, 30, 40, TShowStyle{.CrossFade = true}).FrameCount(),
              75);
    EXPECT_EQ(TFrameServer(none, nullptr, 75, 30, 40, TShowStyle{.CrossFade = true}).FrameCount(),
              -18);
    EXPECT_THROW(TFrameServer(one, nullptr, 0, 30, 40), EMorvantaError);
    EXPECT_THROW(TFrameServer(one, nullptr, 5, 0, 40), EMorvantaError);
}

TEST_F(FrameServerTest, FadeRunsFromLastStillToFirstStill) {
    // Two different patterns, panned, so the end frames carry their pan positions.
    TBitmap32 first = test::MakeGradient(85, 64);
    TBitmap32 second = test::MakeGradient(85, 64);
    for (auto& p : second.Pixels) p ^= 0x00FFFFFFu;
    WriteBmp24(dir.File("one.bmp"), first);
    WriteBmp24(dir.File("two.bmp"), second);
    TStringList paths({dir.File("one.bmp"), dir.File("two.bmp")});
    TFrameServer server(paths, nullptr, 20, 48, 64,
                        TShowStyle{.DynamicPictures = true, .CrossFade = true});
    ASSERT_EQ(server.FadeFrames, 6);

    TBitmap32 lastStill, firstStill, step;
    server.GetFrame(lastStill, 19);
    server.GetFrame(step, 20);
    EXPECT_TRUE(SameRGB(step, lastStill)) << "fade step 0 is the outgoing last still";
    server.GetFrame(firstStill, 26);
    EXPECT_EQ(server.CachedIndex(), 1);

    // Every fade step is k/6 of the way from one to the other, pixel by pixel.
    for (int k = 1; k < 6; ++k) {
        server.GetFrame(step, 20 + k);
        const long double t = static_cast<float>(k / 6.0L);
        for (std::size_t i = 0; i < step.Pixels.size(); ++i) {
            const int a = static_cast<int>(GreenOf(lastStill.Pixels[i]));
            const int b = static_cast<int>(GreenOf(firstStill.Pixels[i]));
            ASSERT_EQ(static_cast<int>(GreenOf(step.Pixels[i])),
                      a + static_cast<int>(std::nearbyintl(t * (b - a))))
                << "step " << k << " pixel " << i;
        }
    }
    EXPECT_FALSE(SameRGB(step, firstStill));
}

TEST_F(FrameServerTest, PanWindowFollowsFourDiagonals) {
    // A 20 x 20 white mark on the 960 x 768 canvas; its place in the frame gives the window.
    TBitmap32 canvas = MakeSolid(960, 768, 0);
    test::FillRect(canvas, 400, 300, 20, 20, 0xFFFFFF);
    WriteBmp24(dir.File("mark.bmp"), canvas);
    TStringList paths(std::vector<std::string>(5, dir.File("mark.bmp")));
    TFrameServer server(paths, nullptr, 75, 576, 720, TShowStyle{.DynamicPictures = true});

    const auto window = [&](int picture, int offset) {
        server.GetFrame(frame, picture * 75 + offset);
        EXPECT_EQ(frame.Width, 720);
        EXPECT_EQ(frame.Height, 576);
        const TBox box = FindBox(frame, [](std::uint32_t p) { return RedOf(p) > 128; });
        EXPECT_EQ(box.Width(), 20) << "copied one to one";
        EXPECT_EQ(box.Height(), 20);
        return std::make_pair(400 - box.Left, 300 - box.Top);
    };
    using P = std::pair<int, int>; // (left, top)
    EXPECT_EQ(window(0, 0), P(0, 0));
    EXPECT_EQ(window(0, 37), P(90, 72));
    EXPECT_EQ(window(0, 74), P(180, 144));
    EXPECT_EQ(window(1, 0), P(0, 144));
    EXPECT_EQ(window(1, 74), P(180, 0));
    EXPECT_EQ(window(2, 0), P(180, 144));
    EXPECT_EQ(window(2, 74), P(0, 0));
    EXPECT_EQ(window(3, 0), P(180, 0));
    EXPECT_EQ(window(3, 74), P(0, 144));
    EXPECT_EQ(window(4, 0), P(0, 0));
    EXPECT_EQ(window(4, 74), P(180, 144));

    // One frame per picture: the window never moves.
    TFrameServer still(paths, nullptr, 1, 576, 720, TShowStyle{.DynamicPictures = true});
    for (int p = 0; p < 5; ++p) {
        still.GetFrame(frame, p);
        const TBox box = FindBox(frame, [](std::uint32_t px) { return RedOf(px) > 128; });
        EXPECT_EQ(box.Left, 400) << p;
        EXPECT_EQ(box.Top, 300) << p;
    }
}

TEST_F(FrameServerTest, CaptionBandDarkensBottomRows) {
    EXPECT_EQ(CaptionBandTop(240), 212);
    EXPECT_EQ(CaptionBandTop(480), 446);
    EXPECT_EQ(CaptionBandTop(576), 535);
    EXPECT_EQ(CaptionBandTop(10), 0);

    TStringList captions({""});
    const int heights[] = {240, 480, 576};
    const int widths[] = {320, 640, 720};
    const int rows[] = {28, 34, 41};
    for (int k = 0; k < 3; ++k) {
        const int h = heights[k];
        const int w = widths[k];
        // The frame's own size: no black bands.
        TStringList paths({Solid("grey" + std::to_string(h) + ".bmp", 0xC86433, w, h)});
        TFrameServer server(paths, &captions, 1, h, w, TShowStyle{.CaptionText = true});
        server.GetFrame(frame, 0);
        // Columns left of the counter and at the right edge carry no text.
        for (const int x : {0, 9, w - 1}) {
            for (int y = 0; y < h; ++y) {
                const bool band = y >= h - rows[k];
                const std::uint32_t want = band ? 0x783C1Fu : 0xC86433u; // round(0.6 v)
                ASSERT_EQ(frame.At(x, y) & 0xFFFFFFu, want) << h << " lines, x " << x << " y " << y;
                if (band) {
                    ASSERT_EQ(frame.At(x, y) >> 24, 255u);
                }
            }
        }
    }
}

TEST_F(FrameServerTest, CounterAndCaptionAreDrawn) {
    const std::string black = Solid("black.bmp", 0x000000, 72, 54);
    TStringList paths({black});
    TStringList captions({"Hello"});
    const auto litBox = [&](int x0, int x1) {
        TBox box{frame.Width, frame.Height, -1, -1};
        for (int y = 0; y < frame.Height; ++y)
            for (int x = x0; x < x1; ++x)
                if (Lit(frame.At(x, y))) {
                    box.Left = std::min(box.Left, x), box.Right = std::max(box.Right, x);
                    box.Top = std::min(box.Top, y), box.Bottom = std::max(box.Bottom, y);
                }
        return box;
    };

    {
        TFrameServer server(paths, &captions, 1, 576, 720, TShowStyle{.CaptionText = true});
        server.GetFrame(frame, 0);
        const TBox counter = litBox(0, 300);
        ASSERT_FALSE(counter.Empty());
        EXPECT_GE(counter.Left, 10);
        EXPECT_LE(counter.Left, 13);
        EXPECT_GE(counter.Top, 556);
        EXPECT_LE(counter.Bottom, 575);
        EXPECT_GT(counter.Right, 60) << "\"Picture : 1 / 1\" is wider than a few letters";
        const TBox caption = litBox(300, 720);
        ASSERT_FALSE(caption.Empty());
        EXPECT_GE(caption.Left, 310);
        EXPECT_LE(caption.Left, 313);
        EXPECT_LT(caption.Right, 310 + 5 * 16);
        // White text on black: grey levels, some of them full.
        std::uint32_t brightest = 0;
        for (int y = counter.Top; y <= counter.Bottom; ++y)
            for (int x = counter.Left; x <= counter.Right; ++x) {
                const std::uint32_t p = frame.At(x, y);
                ASSERT_EQ(RedOf(p), GreenOf(p));
                ASSERT_EQ(RedOf(p), BlueOf(p));
                brightest = std::max(brightest, RedOf(p));
            }
        EXPECT_GE(brightest, 200u);
    }
    {
        TStringList empty({""});
        TFrameServer server(paths, &empty, 1, 576, 720, TShowStyle{.CaptionText = true});
        server.GetFrame(frame, 0);
        EXPECT_FALSE(litBox(0, 300).Empty());
        EXPECT_TRUE(litBox(200, 720).Empty()) << "an empty caption draws only the counter";
    }
    {
        // Without a caption list the file name, not the whole path, is shown.
        TFrameServer server(paths, nullptr, 1, 576, 720, TShowStyle{.CaptionText = true});
        server.GetFrame(frame, 0);
        const TBox caption = litBox(300, 720);
        ASSERT_FALSE(caption.Empty());
        ASSERT_GT(black.size(), 30u);
        EXPECT_LT(caption.Right, 310 + 16 * 9) << "\"black.bmp\" only";
    }
    {
        TStringList shortCaptions;
        TFrameServer server(paths, &shortCaptions, 1, 576, 720, TShowStyle{.CaptionText = true});
        EXPECT_THROW(server.GetFrame(frame, 0), EListIndexError);
    }
}

TEST_F(FrameServerTest, FadeShowsIncomingPictureText) {
    const std::string black = Solid("black.bmp", 0x000000);
    TStringList paths({black, black, black});
    TStringList captions({"one", "two", "three"});
    TFrameServer server(paths, &captions, 75, 240, 320,
                        TShowStyle{.CrossFade = true, .CaptionText = true});
    TBitmap32 before, fade, after;
    server.GetFrame(before, 74);
    server.GetFrame(fade, 75);
    server.GetFrame(after, 93);
    EXPECT_TRUE(SameRGB(fade, after)) << "counter and caption of picture 1 during the fade";
    EXPECT_FALSE(SameRGB(fade, before));
}

TEST_F(FrameServerTest, ThumbnailsAndEffects) {
    const std::string tall = Solid("tall.bmp", 0xFFFFFF, 30, 40);
    const std::string colour = Solid("colour.bmp", 0xC86432);
    TStringList paths({tall, colour});
    TFrameServer thumbs(paths, &paths, 1, 75, 100);
    thumbs.GetFrame(frame, 0);
    ASSERT_EQ(frame.Width, 100);
    ASSERT_EQ(frame.Height, 75);
    EXPECT_EQ(frame.At(0, 40) & 0xFFFFFFu, 0u) << "side band";
    EXPECT_EQ(frame.At(99, 40) & 0xFFFFFFu, 0u) << "side band";
    EXPECT_EQ(frame.At(50, 74) & 0xFFFFFFu, 0xFFFFFFu) << "no caption band on thumbnails";

    // Greyscale (I = 119) runs before sepia; the other order would give (148, ...).
    TFrameServer grey(paths, nullptr, 1, 30, 40, TShowStyle{.Greyscale = true});
    TFrameServer sepia(paths, nullptr, 1, 30, 40, TShowStyle{.Sepia = true});
    TFrameServer both(paths, nullptr, 1, 30, 40, TShowStyle{.Greyscale = true, .Sepia = true});
    grey.GetFrame(frame, 1);
    EXPECT_EQ(frame.At(5, 5) & 0xFFFFFFu, 0x777777u);
    sepia.GetFrame(frame, 1);
    EXPECT_EQ(frame.At(5, 5) & 0xFFFFFFu, PackRGB(165, 147, 114, 0));
    both.GetFrame(frame, 1);
    EXPECT_EQ(frame.At(5, 5) & 0xFFFFFFu, PackRGB(161, 143, 112, 0));
}

TEST_F(FrameServerTest, ListChangesReachEveryLiveServer) {
    TStringList paths({Solid("red.bmp", 0xFF0000), Solid("green.bmp", 0x00FF00)});
    const std::string blue = Solid("blue.bmp", 0x0000FF);
    TFrameServer render(paths, nullptr, 2, 30, 40);
    TFrameServer thumbs(paths, nullptr, 1, 30, 40);
    {
        // A server that is gone must not be told (the sanitizer build catches a call).
        TFrameServer gone(paths, nullptr, 1, 30, 40);
        gone.GetFrame(frame, 0);
    }
    render.GetFrame(frame, 0);
    EXPECT_EQ(frame.At(0, 0) & 0xFFFFFFu, 0xFF0000u);
    thumbs.GetFrame(frame, 0);
    EXPECT_EQ(thumbs.CachedIndex(), 0);
    EXPECT_EQ(render.CachedIndex(), 0);

    paths.Set(0, blue);
    EXPECT_EQ(thumbs.CachedIndex(), -1);
    EXPECT_EQ(render.CachedIndex(), -1);
    thumbs.GetFrame(frame, 0);
    EXPECT_EQ(frame.At(0, 0) & 0xFFFFFFu, 0x0000FFu) << "the picture now at index 0";
    render.GetFrame(frame, 1);
    EXPECT_EQ(frame.At(0, 0) & 0xFFFFFFu, 0x0000FFu);

    paths.Move(0, 1);
    render.GetFrame(frame, 0);
    EXPECT_EQ(frame.At(0, 0) & 0xFFFFFFu, 0x00FF00u);
}

TEST_F(FrameServerTest, FailedLoadEmptiesCacheAndPassesErrorOn) {
    const std::string good = Solid("good.bmp", 0x336699);
    const std::string missing = dir.File("missing.bmp");
    const std::string corrupt = dir.File("corrupt.bmp");
    test::WriteText(corrupt, "BM this is no picture");
    TStringList paths({good, missing, corrupt, good});
    TFrameServer server(paths, nullptr, 1, 30, 40, TShowStyle{.CaptionText = true});
    server.GetFrame(frame, 0);
    EXPECT_EQ(server.CachedIndex(), 0);
    for (const int index : {1, 2}) {
        try {
            server.GetFrame(frame, index);
            ADD_FAILURE() << "picture " << index << " loaded";
        } catch (const EMorvantaError& e) {
            EXPECT_NE(std::string(e.what()).find(index == 1 ? "missing.bmp" : "corrupt.bmp"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(server.CachedIndex(), -1);
    }
    server.GetFrame(frame, 3);
    EXPECT_EQ(server.CachedIndex(), 3);
    // 30 rows: the band starts at row 2 (H - 28); above it the picture is untouched.
    EXPECT_EQ(frame.At(1, 1) & 0xFFFFFFu, 0x336699u);
    EXPECT_EQ(frame.At(1, 2) & 0xFFFFFFu, PackRGB(31, 61, 92, 0));
}

TEST_F(FrameServerTest, FramesSaidToRepeatAreThePreviousFrame) {
    // Pictures with detail, so that any move or redraw shows in the pixels.
    const auto detailed = [&](const std::string& name, int w, int h) {
        TBitmap32 b = test::MakeGradient(w, h);
        test::FillRect(b, w / 3, h / 4, 5, 4, 0xF0F0F0);
        WriteBmp24(dir.File(name), b);
        return dir.File(name);
    };
    TStringList paths({detailed("a.bmp", 120, 80), detailed("b.bmp", 60, 90),
                       detailed("c.bmp", 200, 50), detailed("d.bmp", 7, 5)});
    TStringList captions({"one", "two", "three", "four"});
    struct TCase {
        const char* Name;
        TShowStyle Style;
        std::vector<TPictureStyle> Pictures;
        int MinRepeats; // a floor, so that a server that never says so fails
    };
    const std::vector<TCase> cases = {
        {"still, fades and captions", {.CrossFade = true, .CaptionText = true}, {}, 4 * 19},
        {"still, greyscale, no captions", {.CrossFade = true, .Greyscale = true}, {}, 4 * 19},
        {"pan in whole pixels", {.DynamicPictures = true, .CaptionText = true}, {}, 20},
        {"eased pan", {.DynamicPictures = true, .Ease = true}, {}, 0},
        {"zoom", {.DynamicPictures = true, .Motion = TMotion::ZoomIn}, {}, 0},
        {"own times, motions and transitions",
         {.CrossFade = true, .CaptionText = true},
         {{.TimeMs = 400, .Transition = TTransition::Cut},
          {.Motion = TMotion::Pan},
          {.TimeMs = 1200, .Transition = TTransition::WipeLeft},
          {.Motion = TMotion::ZoomOut}},
         10},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFrameServer server(paths, &captions, 20, 30, 40, c.Style);
        if (!c.Pictures.empty()) server.SetPictureStyles(c.Pictures, 40);
        TBitmap32 previous;
        int repeats = 0;
        for (int i = 0; i < server.FrameCount(); ++i) {
            // Asked before the frame is drawn, as the renderer does.
            const bool saidToRepeat = server.RepeatsPrevious(i);
            server.GetFrame(frame, i);
            if (saidToRepeat) {
                ++repeats;
                ASSERT_TRUE(frame.Pixels == previous.Pixels) << "frame " << i;
            }
            previous = frame;
        }
        EXPECT_GE(repeats, c.MinRepeats);
        if (c.MinRepeats == 0) {
            EXPECT_EQ(repeats, 0);
        }
    }

    // A changed list drops the picture in hand: nothing repeats until it is drawn again.
    TFrameServer server(paths, &captions, 20, 30, 40, TShowStyle{.CaptionText = true});
    server.GetFrame(frame, 3);
    EXPECT_TRUE(server.RepeatsPrevious(4));
    EXPECT_FALSE(server.RepeatsPrevious(0));
    EXPECT_FALSE(server.RepeatsPrevious(20)); // the next picture's first frame
    EXPECT_FALSE(server.RepeatsPrevious(server.FrameCount()));
    paths.Move(0, 1);
    EXPECT_FALSE(server.RepeatsPrevious(4));
    server.GetFrame(frame, 4);
    EXPECT_TRUE(server.RepeatsPrevious(5));
}
