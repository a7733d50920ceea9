// Every transition at its first, middle and last step, pixel by pixel, and in a render: its
// length, the frames around it, and random choices that repeat.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "video/U_FrameServer.h"
#include "video/U_FramesFader.h"
#include "video/U_Transitions.h"

namespace {

constexpr int W = 60;
constexpr int H = 40;
constexpr std::uint32_t A = 0x204060; // outgoing
constexpr std::uint32_t B = 0xC0A080; // incoming

std::uint32_t RGB(std::uint32_t p) {
    return p & 0xFFFFFFu;
}

// Each colour a + (b - a) * w / 256, rounded.
std::uint32_t Part(std::uint32_t a, std::uint32_t b, int w) {
    std::uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        const int ca = static_cast<int>((a >> shift) & 0xFF),
                  cb = static_cast<int>((b >> shift) & 0xFF);
        const int v = (ca * (256 - w) + cb * w + 128) >> 8;
        out |= static_cast<std::uint32_t>(v) << shift;
    }
    return out;
}

// Counts pixels whose colour differs from what `expected` says for them.
int Wrong(const TBitmap32& frame, const std::function<std::uint32_t(int, int)>& expected) {
    int wrong = 0;
    for (int y = 0; y < frame.Height; ++y)
        for (int x = 0; x < frame.Width; ++x)
            if (RGB(frame.At(x, y)) != expected(x, y)) ++wrong;
    return wrong;
}

struct SpatialCase {
    TTransition Kind;
    int Step; // of 6
    // Whether pixel (x, y) shows the incoming picture.
    std::function<bool(int, int)> Incoming;
};

} // namespace

TEST(Transitions, FirstStepIsTheOutgoingFrameForEveryKind) {
    const TBitmap32 from = test::MakeGradient(W, H);
    const TBitmap32 to = test::MakeSolid(W, H, B);
    for (const auto& named : TransitionNames()) {
        if (named.Value == TTransition::Random) continue;
        TBitmap32 out;
        RenderTransition(named.Value, from, to, 0, 6, out);
        EXPECT_TRUE(test::SameRGB(out, from)) << named.Name;
    }
}

TEST(Transitions, WipesMoveTheirEdgeTheNamedWay) {
    const TBitmap32 from = test::MakeSolid(W, H, A);
    const TBitmap32 to = test::MakeSolid(W, H, B);
    // Step 3 of 6 is half way, step 5 five sixths: edges at 30 and 50 columns, 20 and 33 rows.
    const SpatialCase cases[] = {
        {TTransition::WipeLeft, 3, [](int x, int) { return x >= 30; }},
        {TTransition::WipeLeft, 5, [](int x, int) { return x >= 10; }},
        {TTransition::WipeRight, 3, [](int x, int) { return x < 30; }},
        {TTransition::WipeRight, 5, [](int x, int) { return x < 50; }},
        {TTransition::WipeUp, 3, [](int, int y) { return y >= 20; }},
        {TTransition::WipeUp, 5, [](int, int y) { return y >= 7; }},
        {TTransition::WipeDown, 3, [](int, int y) { return y < 20; }},
        {TTransition::WipeDown, 5, [](int, int y) { return y < 33; }},
    };
    for (const auto& c : cases) {
        TBitmap32 out;
        RenderTransition(c.Kind, from, to, c.Step, 6, out);
        EXPECT_EQ(Wrong(out, [&](int x, int y) { return c.Incoming(x, y) ? B : A; }), 0)
            << NameOf(c.Kind) << " step " << c.Step;
    }
}

TEST(Transitions, PushesMoveBothPictures) {
    // Gradients, so that a pixel shows where it came from.
    const TBitmap32 from = test::MakeGradient(W, H);
    TBitmap32 to = test::MakeGradient(W, H);
    for (auto& p : to.Pixels) p ^= 0x00FFFFFFu;
    struct Case {
        TTransition Kind;
        int Step;
        std::function<std::uint32_t(int, int)> Expected;
    };
    const auto f = [&](int x, int y) { return RGB(from.At(x, y)); };
    const auto t = [&](int x, int y) { return RGB(to.At(x, y)); };
    const Case cases[] = {
        {TTransition::PushLeft, 3,
         [&](int x, int y) { return x < 30 ? f(x + 30, y) : t(x - 30, y); }},
        {TTransition::PushLeft, 5,
         [&](int x, int y) { return x < 10 ? f(x + 50, y) : t(x - 10, y); }},
        {TTransition::PushRight, 3,
         [&](int x, int y) { return x < 30 ? t(x + 30, y) : f(x - 30, y); }},
        {TTransition::PushUp, 3,
         [&](int x, int y) { return y < 20 ? f(x, y + 20) : t(x, y - 20); }},
        {TTransition::PushDown, 5,
         [&](int x, int y) { return y < 33 ? t(x, y + 7) : f(x, y - 33); }},
    };
    for (const auto& c : cases) {
        TBitmap32 out;
        RenderTransition(c.Kind, from, to, c.Step, 6, out);
        EXPECT_EQ(Wrong(out, c.Expected), 0) << NameOf(c.Kind) << " step " << c.Step;
    }
}

TEST(Transitions, FadeThroughBlackIsBlackHalfWay) {
    const TBitmap32 from = test::MakeSolid(W, H, A);
    const TBitmap32 to = test::MakeSolid(W, H, B);
    TBitmap32 out;
    RenderTransition(TTransition::FadeBlack, from, to, 1, 6, out); // a third down to black
    EXPECT_EQ(Wrong(out, [](int, int) { return Part(0, A, 171); }), 0);
    RenderTransition(TTransition::FadeBlack, from, to, 3, 6, out);
    EXPECT_EQ(Wrong(out, [](int, int) { return 0u; }), 0);
    RenderTransition(TTransition::FadeBlack, from, to, 5, 6, out); // two thirds up to B
    EXPECT_EQ(Wrong(out, [](int, int) { return Part(0, B, 171); }), 0);
}

TEST(Transitions, IrisOpensFromTheCentre) {
    const TBitmap32 from = test::MakeSolid(W, H, A);
    const TBitmap32 to = test::MakeSolid(W, H, B);
    TBitmap32 out;
    const double half = std::hypot(W / 2.0, H / 2.0);
    for (int step : {3, 5}) {
        RenderTransition(TTransition::Iris, from, to, step, 6, out);
        const double r = step / 6.0 * half;
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const double d = std::hypot(x + 0.5 - W / 2.0, y + 0.5 - H / 2.0);
                // Inside and outside the rim's pixel the colours are whole; on it they mix.
                if (d < r - 0.5 && RGB(out.At(x, y)) != B) ++wrong;
                if (d > r + 0.5 && RGB(out.At(x, y)) != A) ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "step " << step;
        EXPECT_EQ(RGB(out.At(W / 2, H / 2)), B);
        EXPECT_EQ(RGB(out.At(0, 0)), A) << "the corners open last";
    }
}

TEST(Transitions, ZoomDissolveGrowsTheOutgoingPictureWhileFading) {
    // A bright square in the middle of the outgoing frame grows by a quarter half way.
    TBitmap32 from = test::MakeSolid(W, H, 0);
    test::FillRect(from, 20, 10, 20, 20, 0xFFFFFF);
    const TBitmap32 to = test::MakeSolid(W, H, 0);
    TBitmap32 out;
    RenderTransition(TTransition::ZoomDissolve, from, to, 3, 6, out);
    const test::TBox box = test::FindBox(out, [](std::uint32_t p) { return RedOf(p) >= 64; });
    EXPECT_NEAR(box.Width(), 25, 1);
    EXPECT_NEAR(box.Height(), 25, 1);
    // Half faded towards the black incoming frame.
    EXPECT_NEAR(static_cast<int>(RedOf(out.At(W / 2, H / 2))), 128, 1);
}

TEST(Transitions, CrossFadeIsTheFadersStep) {
    const TBitmap32 from = test::MakeGradient(W, H);
    const TBitmap32 to = test::MakeSolid(W, H, B);
    for (int step : {0, 3, 5}) {
        TBitmap32 ours, fader;
        RenderTransition(TTransition::CrossFade, from, to, step, 6, ours);
        TFramesFader(from, to, 6).Blend(step, fader);
        EXPECT_EQ(ours.Pixels, fader.Pixels) << step;
    }
}

TEST(Transitions, RefuseStepsOutsideAndFramesOfOtherSizes) {
    const TBitmap32 from = test::MakeSolid(W, H, A);
    const TBitmap32 small = test::MakeSolid(W - 1, H, B);
    TBitmap32 out;
    EXPECT_THROW(RenderTransition(TTransition::Iris, from, from, 6, 6, out), EListIndexError);
    EXPECT_THROW(RenderTransition(TTransition::Iris, from, from, 0, 0, out), EMorvantaError);
    EXPECT_THROW(RenderTransition(TTransition::WipeLeft, from, small, 1, 6, out), EMorvantaError);
}

namespace {

class TransitionServerTest : public ::testing::Test {
protected:
    std::string Solid(const std::string& name, std::uint32_t rgb) {
        const std::string path = dir.File(name);
        test::WriteBmp24(path, test::MakeSolid(W, H, rgb));
        return path;
    }
    test::TempDir dir;
};

} // namespace

TEST_F(TransitionServerTest, TheShowsTransitionTakesTheFadesPlace) {
    TStringList paths({Solid("a.bmp", A), Solid("b.bmp", B)});
    TShowStyle style{.CrossFade = true};
    style.Transition = TTransition::WipeRight;
    TFrameServer server(paths, nullptr, 40, H, W, style);
    ASSERT_EQ(server.FadeFrames, 12);
    ASSERT_EQ(server.FrameCount(), 92);
    TBitmap32 frame;
    server.GetFrame(frame, 39);
    EXPECT_EQ(Wrong(frame, [](int, int) { return A; }), 0) << "last still of the first picture";
    server.GetFrame(frame, 46); // step 6 of 12: half the columns
    EXPECT_EQ(Wrong(frame, [](int x, int) { return x < 30 ? B : A; }), 0);
    server.GetFrame(frame, 52);
    EXPECT_EQ(Wrong(frame, [](int, int) { return B; }), 0) << "the incoming picture's first";

    // A cut for the show: no transition frames at all.
    style.Transition = TTransition::Cut;
    EXPECT_EQ(TFrameServer(paths, nullptr, 40, H, W, style).FrameCount(), 80);
}

TEST_F(TransitionServerTest, RandomTransitionsRepeatForTheSameShow) {
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i)
        files.push_back(Solid("p" + std::to_string(i) + ".bmp", i % 2 ? A : B));
    TStringList paths(files);
    TShowStyle style{.CrossFade = true};
    style.Transition = TTransition::Random;
    const auto render = [&](TStringList& list) {
        TFrameServer server(list, nullptr, 20, H, W, style);
        std::vector<std::uint32_t> all;
        TBitmap32 frame;
        for (int i = 0; i < server.FrameCount(); ++i) {
            server.GetFrame(frame, i);
            all.insert(all.end(), frame.Pixels.begin(), frame.Pixels.end());
        }
        return all;
    };
    EXPECT_EQ(render(paths), render(paths));
    // Several kinds are drawn for one show.
    std::set<TTransition> kinds;
    const std::uint64_t seed = ShowSeed(files);
    for (int i = 0; i < 11; ++i) kinds.insert(ResolveTransition(TTransition::Random, seed, i));
    EXPECT_GE(kinds.size(), 4u);
    EXPECT_FALSE(kinds.count(TTransition::Cut) || kinds.count(TTransition::Random));
    EXPECT_NE(ShowSeed(files), ShowSeed({files[1], files[0]})) << "the order is the project's";
}
