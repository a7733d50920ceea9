// One progress for the whole job, and the plain words added to coded errors.
#include <gtest/gtest.h>

#include "app/U_ErrorAdvice.h"
#include "app/U_JobProgress.h"

TEST(JobProgress, WithoutSoundtrackTheVideoFillsTheBarAndOnlyTheEndMakesItWhole) {
    TJobProgress progress(false);
    double last = 0;
    for (int written = 1; written <= 50; ++written) {
        progress.VideoFrames(written, 50);
        EXPECT_GT(progress.Fraction(), last) << written;
        last = progress.Fraction();
    }
    EXPECT_LT(progress.Fraction(), 1.0) << "the file is not finished yet";
    EXPECT_GT(progress.Fraction(), 0.99);
    // The frame loop's last report says position 0: it must not take the bar back.
    progress.VideoFrames(0, 50);
    progress.VideoDone();
    EXPECT_EQ(progress.Fraction(), last);
    progress.Finished();
    EXPECT_EQ(progress.Fraction(), 1.0);
    EXPECT_EQ(progress.Phase(), TRenderPhase::Video);
    EXPECT_EQ(progress.FramesWritten(), 50);
}

TEST(JobProgress, TheSoundtrackStepsFollowTheVideoWithoutGoingBack) {
    TJobProgress progress(true);
    progress.VideoFrames(100, 100);
    EXPECT_LT(progress.Fraction(), TJobProgress::VideoShare);
    progress.VideoDone();
    EXPECT_EQ(progress.Fraction(), TJobProgress::VideoShare);

    // The multiplexing's three steps, each counting from 0 again: the whole keeps rising.
    struct Step {
        const char* Text;
        int Max;
    };
    double last = progress.Fraction();
    for (const Step step : {Step{"Loading MP3 file", 100}, Step{"Adding Video Stream", 250},
                            Step{"Adding Audio Stream", 998}}) {
        SCOPED_TRACE(step.Text);
        progress.AudioStep(0, step.Max, step.Text);
        EXPECT_GE(progress.Fraction(), last);
        for (int position = 1; position <= step.Max; position += step.Max / 7) {
            progress.AudioStep(position, step.Max, step.Text);
            EXPECT_GT(progress.Fraction(), last) << position;
            last = progress.Fraction();
        }
    }
    EXPECT_EQ(progress.Phase(), TRenderPhase::Audio);
    // A line the bar does not know, or a report without a maximum, changes nothing.
    progress.AudioStep(5, 10, "Output : x.avi");
    progress.AudioStep(5, 0, "Adding Audio Stream");
    EXPECT_EQ(progress.Fraction(), last);
    EXPECT_LT(progress.Fraction(), 1.0);
    progress.Finished();
    EXPECT_EQ(progress.Fraction(), 1.0);
}

TEST(ErrorAdvice, CodedErrorsGetOneLineOfPlainWords) {
    struct Case {
        const char* Message;
        const char* Advice; // how the advice begins, "" for none
    };
    for (const Case& c : {
             Case{"FileOpen failed. Err: $8004406F (U_BmpToAvi, ligne 118) Cannot write a.avi: "
                  "No such file or directory.",
                  "The video file could not be created"},
             Case{"StreamWrite failed. Err: $8004406E (U_BmpToAvi, ligne 201)",
                  "Writing the video file failed"},
             Case{"ICCompress failed. bad size (U_BmpToAvi, ligne 170)",
                  "The codec could not compress a frame"},
             Case{"ICOpen failed. (U_BmpToAvi, ligne 140)", "The codec could not be started"},
             Case{"Rename failed : Permission denied (U_BmpToAvi, ligne 230)",
                  "The finished video could not be given its name"},
             Case{"No MPEG audio frame found in s.mp3 (U_MuxThd, ligne 133)",
                  "The soundtrack holds no MPEG audio"},
             Case{"StreamWrite failed. Err: $8004406E (File too large) (U_MuxThd, ligne 60)",
                  "Writing the video with its soundtrack failed"},
             Case{"StreamRead failed. Err: $8004406D (U_MuxThd, ligne 180)",
                  "The soundtrack could not be added"},
             Case{"No compressor for QQQQ available", ""},
             Case{"Cannot load picture a.jpg: Premature end of JPEG file", ""},
             Case{"", ""},
         }) {
        SCOPED_TRACE(c.Message);
        const std::string advice = PlainWordsFor(c.Message);
        if (std::string(c.Advice).empty()) {
            EXPECT_EQ(advice, "");
        } else {
            EXPECT_EQ(advice.rfind(c.Advice, 0), 0u) << advice;
            EXPECT_EQ(advice.find('\n'), std::string::npos);
            EXPECT_EQ(advice.back(), '.');
        }
    }
}
