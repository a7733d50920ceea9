// Cuts on the beat: the beat tracker on music with and without a steady beat, and picture
// changes moved onto beats with as many pictures and frames as before.
#include <gtest/gtest.h>

#include <cmath>

#include "../audio/SongFiles.h"
#include "app/U_BeatCuts.h"
#include "audio/U_BeatTracker.h"
#include "audio/U_SongList.h"
#include "video/U_FrameServer.h"

namespace {

std::vector<double> Every(double gap, int count, double start = 0.25) {
    std::vector<double> beats;
    for (int i = 0; i < count; ++i) beats.push_back(start + gap * i);
    return beats;
}

struct TShow {
    TStringList Paths;
    TVideoMakerInputs Inputs;
    TShow(int pictures, int ms, bool crossFade) {
        for (int i = 0; i < pictures; ++i) Paths.Add("/nowhere/" + std::to_string(i) + ".jpg");
        Inputs.PicturePaths = &Paths;
        Inputs.PictureDurationMs = ms;
        Inputs.CrossFade = crossFade;
    }
    // Frames of the show and where each change lies, as the frame server sees them.
    std::pair<int, std::vector<double>> Timeline(const std::vector<TPictureStyle>& styles) {
        TFrameServer server(Paths, nullptr, FramesPerPicture(Inputs.PictureDurationMs, 40, false),
                            16, 16, ShowStyleOf(Inputs));
        server.SetPictureStyles(styles, 40);
        std::vector<double> changes;
        for (int i = 0; i + 1 < static_cast<int>(Paths.Count()); ++i) {
            const auto slot = server.Slot(i);
            changes.push_back(static_cast<double>(slot.Start + slot.Frames) + slot.Fade / 2.0);
        }
        return {server.FrameCount(), changes};
    }
};

} // namespace

TEST(BeatCuts, SteadyBeatsAreTheOnlyClearOnes) {
    EXPECT_TRUE(IsSteadyBeat(Every(0.5, 20)));
    EXPECT_FALSE(IsSteadyBeat(Every(0.5, 5))) << "too few";
    EXPECT_FALSE(IsSteadyBeat(Every(0.1, 50))) << "faster than music";
    EXPECT_FALSE(IsSteadyBeat(Every(2.0, 20))) << "slower than music";
    std::vector<double> uneven = {0.1, 0.3, 1.2, 1.5, 2.9, 3.0, 4.4, 5.9, 6.1, 8.0};
    EXPECT_FALSE(IsSteadyBeat(uneven));
}

TEST(BeatCuts, TheTrackerHearsAClickTrackAndNoBeatInAHeldTone) {
    test::TempDir dir;
    const std::string clicks = dir.File("clicks.flac");
    // A drum-like burst of noise every half second.
    songtest::MakeSong(clicks, {"-c:a", "flac"}, 16.0,
                       "aevalsrc=if(lt(mod(t\\,0.5)\\,0.05)\\,(random(0)*2-1)*exp(-mod(t\\,0.5)*"
                       "60)\\,0):sample_rate=44100");
    TSongList music(ProbeSongs({clicks}), 0);
    const TBeats beats = FindBeats(music);
    EXPECT_TRUE(beats.Clear) << beats.Seconds.size() << " " << beats.Confidence;
    ASSERT_GT(beats.Seconds.size(), 10u);
    for (std::size_t i = beats.Seconds.size() / 2; i < beats.Seconds.size(); ++i)
        EXPECT_NEAR(std::fmod(beats.Seconds[i] + 0.1, 0.5), 0.1, 0.05) << beats.Seconds[i];

    const std::string tone = dir.File("tone.flac");
    songtest::MakeSong(tone, {"-c:a", "flac"}, 8.0);
    TSongList held(ProbeSongs({tone}), 0);
    const TBeats none = FindBeats(held);
    EXPECT_FALSE(none.Clear) << none.Seconds.size() << " " << none.Confidence;
}

TEST(BeatCuts, ChangesMoveToNearBeatsOnly) {
    // Five pictures of 25 frames: changes at frames 25, 50, 75, 100.
    TShow show(5, 1000, false);
    const TBeatCuts cuts = CutOnTheBeat(show.Inputs, 40, {1.1, 2.2, 2.9, 4.6});
    EXPECT_EQ(cuts.Changes, 4);
    EXPECT_EQ(cuts.Moved, 3) << "4.6 s is 15 frames from the last change, beyond 6.25";
    const auto [frames, changes] = show.Timeline(cuts.Styles);
    EXPECT_EQ(frames, 125);
    // Moves are rounded to whole frames, halves to even: 2.5 frames is 2.
    EXPECT_EQ(changes, (std::vector<double>{27, 55, 73, 100}));
    ASSERT_EQ(cuts.Styles.size(), 5u);
    EXPECT_EQ(cuts.Styles[0].TimeMs, 27 * 40);
}

TEST(BeatCuts, CrossFadedShowsKeepTheirLength) {
    TShow show(6, 2000, true); // 50 frames and 12-frame fades
    const auto [before, original] = show.Timeline({});
    const std::vector<double> beats = Every(0.47, 40, 0.1);
    const TBeatCuts cuts = CutOnTheBeat(show.Inputs, 40, beats);
    const auto [after, changes] = show.Timeline(cuts.Styles);
    EXPECT_EQ(after, before);
    EXPECT_EQ(cuts.Styles.size(), 6u);
    EXPECT_GT(cuts.Moved, 0);
    // Every change lies on a beat (within a frame) or where it was.
    for (std::size_t i = 0; i < changes.size(); ++i) {
        double nearest = 1e9;
        for (const double b : beats) nearest = std::min(nearest, std::abs(b * 25 - changes[i]));
        EXPECT_TRUE(nearest <= 1.0 || changes[i] == original[i]) << i << " " << changes[i];
        EXPECT_LE(std::abs(changes[i] - original[i]), 0.25 * 50 + 1);
    }
    // No beats, single frames or one picture: nothing moves.
    EXPECT_EQ(CutOnTheBeat(show.Inputs, 40, {}).Moved, 0);
    show.Inputs.SingleFrame = true;
    EXPECT_EQ(CutOnTheBeat(show.Inputs, 40, beats).Moved, 0);
}
