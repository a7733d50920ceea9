// Captions laid out for a frame smaller than the video's (the live preview's): the face and
// every distance shrink with the frame, so the counter and the caption keep apart as they do
// in the video instead of running into each other.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestPictures.h"
#include "video/U_CaptionOverlay.h"

namespace {

// Columns [First, Last] holding text ink (bright pixels) on a black frame; First > Last for none.
struct TInk {
    int First = 1 << 30;
    int Last = -1;
    int Top = 1 << 30;
    int Bottom = -1;
};

TInk InkOf(const TBitmap32& frame) {
    TInk ink;
    for (int y = 0; y < frame.Height; ++y)
        for (int x = 0; x < frame.Width; ++x)
            if (GreenOf(frame.At(x, y)) > 96) {
                ink.First = std::min(ink.First, x), ink.Last = std::max(ink.Last, x);
                ink.Top = std::min(ink.Top, y), ink.Bottom = std::max(ink.Bottom, y);
            }
    return ink;
}

struct TDrawn {
    TInk Counter; // the counter alone
    TInk Caption; // what the caption adds to it
};

TDrawn Draw(int width, int height, double scale) {
    TCaptionOverlay overlay(TCaptionStyle{.Band = false}, scale);
    TBitmap32 counter = test::MakeSolid(width, height, 0);
    TBitmap32 both = counter;
    overlay.DrawTexts(counter, "Picture : 12 / 30", "");
    overlay.DrawTexts(both, "Picture : 12 / 30", "Dinner on the terrace");
    TBitmap32 caption = test::MakeSolid(width, height, 0);
    for (std::size_t i = 0; i < both.Pixels.size(); ++i)
        if (both.Pixels[i] != counter.Pixels[i]) caption.Pixels[i] = both.Pixels[i];
    return {InkOf(counter), InkOf(caption)};
}

} // namespace

TEST(CaptionScale, SmallFramesShowTheVideosLayoutShrunk) {
    // A 1280 x 720 video's captions, and the same on frames half and a quarter as large.
    const TDrawn video = Draw(1280, 720, 1);
    for (const double scale : {0.5, 0.25}) {
        SCOPED_TRACE(scale);
        const TDrawn small =
            Draw(static_cast<int>(1280 * scale), static_cast<int>(720 * scale), scale);
        for (const auto& [big, little] :
             {std::pair{video.Counter, small.Counter}, std::pair{video.Caption, small.Caption}}) {
            ASSERT_LE(little.First, little.Last) << "no text drawn";
            // Where the text starts and ends, and its rows, within a few pixels of the video's
            // shrunk (the face's hinting differs by size).
            EXPECT_NEAR(little.First, big.First * scale, 2);
            EXPECT_NEAR(little.Last, big.Last * scale, 2 + 0.1 * (big.Last - big.First) * scale);
            EXPECT_NEAR(little.Top, big.Top * scale, 2);
            EXPECT_NEAR(little.Bottom, big.Bottom * scale, 2);
        }
        EXPECT_LT(small.Counter.Last, small.Caption.First) << "the counter runs into the caption";
    }
}

TEST(CaptionScale, ThePreviewPanelKeepsCounterAndCaptionApart) {
    // A 640 x 480 video in a 160 x 120 panel: at the video's own size the counter would reach
    // past the caption's start, a quarter of the way in.
    const TDrawn unscaled = Draw(160, 120, 1);
    EXPECT_GE(unscaled.Counter.Last, unscaled.Caption.First) << "the fault this guards against";
    const TDrawn scaled = Draw(160, 120, 0.25);
    ASSERT_LE(scaled.Counter.First, scaled.Counter.Last);
    ASSERT_LE(scaled.Caption.First, scaled.Caption.Last);
    EXPECT_LT(scaled.Counter.Last, scaled.Caption.First);
    EXPECT_GE(scaled.Caption.Top, 120 * 3 / 4) << "still at the bottom";
}
