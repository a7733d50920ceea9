#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "video/U_FrameServer.h"
#include "video/U_PreviewPlayer.h"

using namespace std::chrono_literals;
using test::MakeGradient;
using test::SameRGB;

namespace {

class PreviewPlayerTest : public ::testing::Test {
protected:
    PreviewPlayerTest() {
        for (int i = 0; i < 3; ++i) {
            TBitmap32 picture = MakeGradient(160, 120);
            test::FillRect(picture, 20 * i, 10, 40, 40, 0xFF0000u >> (8 * i));
            paths.push_back(dir.File("p" + std::to_string(i) + ".bmp"));
            test::WriteBmp24(paths.back(), picture);
        }
        request.Paths = paths;
        request.Captions = {"one", "two", "three"};
        request.Frames.PictureDurationMs = 1000; // 25 frames of 40 ms
        request.Frames.CrossFade = true;         // 6 fade frames
        request.Frames.CaptionText = true;
        request.Frames.DynamicPictures = true;
        request.FrameDuration = 40;
        request.Width = 64;
        request.Height = 48;
    }

    // Polls at `now` until a frame or the end comes (the worker may still be making it).
    TPreviewPoll PollAt(TPreviewPlayer& player, TPreviewClock::time_point now) {
        const auto giveUp = TPreviewClock::now() + 10s;
        for (;;) {
            TPreviewPoll poll = player.Poll(now, frame);
            if (poll.NewFrame || poll.Ended || TPreviewClock::now() > giveUp) return poll;
            std::this_thread::sleep_for(1ms);
        }
    }

    test::TempDir dir;
    std::vector<std::string> paths;
    TPreviewRequest request;
    TBitmap32 frame;
};

} // namespace

TEST(PreviewSize, KeepsTheOutputsShapeInThePanel) {
    const struct {
        int OutW, OutH, PanelW, PanelH, W, H;
    } cases[] = {
        {640, 480, 120, 90, 120, 90},   // same shape
        {1920, 1080, 120, 90, 120, 68}, // wide: fewer rows (67.5 ties to even)
        {720, 576, 120, 90, 112, 90},   // 112.5 ties to even
        {1080, 1920, 120, 90, 51, 90},  // portrait
        {0, 0, 120, 90, 120, 90},       // no output size: the panel
        {640, 480, 0, 0, 1, 1},         // no panel: one pixel, never zero
    };
    for (const auto& c : cases) {
        int w = 0;
        int h = 0;
        FitPreviewSize(c.OutW, c.OutH, c.PanelW, c.PanelH, w, h);
        EXPECT_EQ(w, c.W) << c.OutW << "x" << c.OutH;
        EXPECT_EQ(h, c.H) << c.OutW << "x" << c.OutH;
    }
}

TEST_F(PreviewPlayerTest, OnTimeEveryFrameIsTheFrameServersAndNoneIsDropped) {
    TStringList list(paths);
    TStringList captions(request.Captions);
    TFrameServer server(list, &captions, 25, 48, 64,
                        TShowStyle{.DynamicPictures = true, .CrossFade = true, .CaptionText = true},
                        DefaultMaxPicturePixels, {.AutoRotate = true, .SmallTarget = true});
    ASSERT_EQ(server.FrameCount(), 87);
    TBitmap32 expected;

    TPreviewPlayer player(request);
    const auto t0 = TPreviewClock::now();
    for (int k = 0; k < 87; ++k) {
        // Each poll lands inside frame k's own time.
        const TPreviewPoll poll = PollAt(player, t0 + k * 40ms + 1ms);
        ASSERT_TRUE(poll.NewFrame) << k;
        EXPECT_EQ(poll.Index, k);
        server.GetFrame(expected, k);
        ASSERT_TRUE(SameRGB(frame, expected)) << "frame " << k;
    }
    EXPECT_EQ(player.StartFrame(), 0);
    EXPECT_EQ(player.FrameCount(), 87);
    EXPECT_FALSE(player.Poll(t0 + 87 * 40ms - 1ms, frame).NewFrame); // the last is still on
    EXPECT_TRUE(player.Poll(t0 + 87 * 40ms + 1ms, frame).Ended);
    const TPreviewStats stats = player.Stats();
    EXPECT_EQ(stats.Shown, 87);
    EXPECT_EQ(stats.Dropped, 0);
    EXPECT_GE(stats.FirstFrameMs, 0);
}

TEST_F(PreviewPlayerTest, StartsAtAPictureOrAtATimeIntoTheShow) {
    // (StartPicture, StartMs) -> first frame; a picture is 25 frames plus a 6-frame fade.
    const struct {
        int Picture;
        long long Ms;
        int Frame;
    } cases[] = {{0, -1, 0}, {1, -1, 31}, {2, -1, 62},   {9, -1, 86},   {-4, -1, 0},
                 {0, 0, 0},  {2, 41, 1},  {0, 1000, 25}, {0, 99999, 86}};
    for (const auto& c : cases) {
        request.StartPicture = c.Picture;
        request.StartMs = c.Ms;
        TPreviewPlayer player(request);
        const TPreviewPoll poll = PollAt(player, TPreviewClock::now());
        ASSERT_TRUE(poll.NewFrame) << c.Picture << " " << c.Ms;
        EXPECT_EQ(poll.Index, c.Frame) << c.Picture << " " << c.Ms;
        EXPECT_EQ(player.StartFrame(), c.Frame);
    }
}

TEST_F(PreviewPlayerTest, ALateCallerSkipsAheadAndEveryFrameIsShownOrCountedDropped) {
    request.StartPicture = 1; // frames 31 .. 86: 56 of them
    TPreviewPlayer player(request);
    const auto t0 = TPreviewClock::now();
    int last = -1;
    // The caller wakes up at irregular times, some far behind the clock (more frames than the
    // worker makes ahead): it gets the frame due then, after at most a few older ones.
    for (const int at : {0, 1, 7, 8, 9, 30, 31, 50}) {
        const auto now = t0 + at * 40ms + 1ms;
        const auto giveUp = TPreviewClock::now() + 10s;
        TPreviewPoll poll;
        while (poll.Index != 31 + at && TPreviewClock::now() < giveUp) {
            poll = PollAt(player, now);
            ASSERT_TRUE(poll.NewFrame) << at;
            EXPECT_GT(poll.Index, last);
            EXPECT_LE(poll.Index, 31 + at);
            last = poll.Index;
        }
        ASSERT_EQ(poll.Index, 31 + at);
    }
    EXPECT_TRUE(player.Poll(t0 + 56 * 40ms + 1ms, frame).Ended);
    const TPreviewStats stats = player.Stats();
    EXPECT_GE(stats.Shown, 8);
    EXPECT_EQ(stats.Shown + stats.Dropped, 56);
    EXPECT_GE(stats.Dropped, 56 - 8 - 6); // the far jumps skipped most frames
}

TEST_F(PreviewPlayerTest, APictureThatCannotBeReadEndsThePlayWithItsError) {
    request.Paths[1] = dir.File("missing.bmp");
    request.StartPicture = 1;
    TPreviewPlayer player(request);
    const TPreviewPoll poll = PollAt(player, TPreviewClock::now());
    EXPECT_FALSE(poll.NewFrame);
    ASSERT_TRUE(poll.Ended);
    ASSERT_TRUE(poll.Error);
    EXPECT_NE(ExceptionMessage(poll.Error).find("missing.bmp"), std::string::npos)
        << ExceptionMessage(poll.Error);
}

TEST_F(PreviewPlayerTest, NoPicturesEndsAtOnceAndABadFrameDurationIsRefused) {
    request.Paths.clear();
    request.Captions.clear();
    TPreviewPlayer empty(request);
    EXPECT_TRUE(PollAt(empty, TPreviewClock::now()).Ended);
    request.FrameDuration = 0;
    EXPECT_THROW(TPreviewPlayer{request}, EMorvantaError);
}

TEST_F(PreviewPlayerTest, StopReturnsAtOnceAndTheWorkerEndsSoonAfter) {
    // A large picture keeps the worker busy when Stop comes.
    TBitmap32 big = MakeGradient(3000, 2000);
    request.Paths[0] = dir.File("big.bmp");
    test::WriteBmp24(request.Paths[0], big);
    TPreviewPlayer player(request);
    std::this_thread::sleep_for(2ms);
    const auto before = TPreviewClock::now();
    player.Stop();
    EXPECT_LT(TPreviewClock::now() - before, 5ms);
    EXPECT_FALSE(player.Poll(TPreviewClock::now(), frame).NewFrame);
    const auto giveUp = TPreviewClock::now() + 10s;
    while (!player.Finished() && TPreviewClock::now() < giveUp) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(player.Finished());
}

TEST_F(PreviewPlayerTest, TheFirstFrameComesWellWithinTheLatencyBound) {
    // Photo-sized JPEG-free pictures at the panel's size: the real clock, polled as the window's
    // timer does.
    request.Width = 120;
    request.Height = 90;
    for (auto& path : request.Paths) {
        path = dir.File("photo" + std::to_string(&path - request.Paths.data()) + ".bmp");
        test::WriteBmp24(path, MakeGradient(1600, 1200));
    }
    TPreviewPlayer player(request);
    TPreviewPoll poll;
    const auto giveUp = TPreviewClock::now() + 5s;
    while (!poll.NewFrame && TPreviewClock::now() < giveUp) {
        std::this_thread::sleep_for(5ms);
        poll = player.Poll(TPreviewClock::now(), frame);
    }
    ASSERT_TRUE(poll.NewFrame);
    EXPECT_EQ(frame.Width, 120);
    EXPECT_LT(player.Stats().FirstFrameMs, 200.0);
    std::printf("first frame after %.1f ms\n", player.Stats().FirstFrameMs);
}
