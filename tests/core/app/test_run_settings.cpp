#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/U_RunSettings.h"
#include "video/U_VideoMaker.h"

TEST(RunSettings, DerivedFromTheWindow) {
    TRunInputs in;
    in.TimePerPicture = 2999.5;
    in.FramesPerSecond = 25;
    in.Resolution = "1024x768";
    in.CodecEntry = "XVID Xvid MPEG-4";
    const TRunSettings run = DeriveRunSettings(in);
    EXPECT_EQ(run.PictureDurationMs, 3000);
    EXPECT_EQ(run.FrameRate, 25);
    EXPECT_EQ(run.FrameDuration, 40);
    EXPECT_EQ(run.Width, 1024);
    EXPECT_EQ(run.Height, 768);
    EXPECT_EQ(run.FourCC, "XVID");
    EXPECT_TRUE(run.CrossFade && run.CaptionText);
    EXPECT_FALSE(run.DynamicPictures || run.SingleFrame || run.VisualOptionsDisabled);

    const std::vector<std::string> expected = {"Start Encoding",
                                               "Resolution : 1024x768",
                                               "FPS : 25",
                                               "Time per Picture : 3000 ms",
                                               "FCC : XVID",
                                               "OSD : Yes",
                                               "Dynamic Pictures : No",
                                               "XFade : Yes",
                                               "Single Frame mode : No"};
    EXPECT_EQ(RunLogLines(run), expected);
}

TEST(RunSettings, RatesAndTimesAreClampedAndRounded) {
    TRunInputs in;
    for (const auto& [fps, period] : std::vector<std::pair<double, int>>{
             {60, 16}, {7, 142}, {15, 66}, {30, 33}, {0, 1000}, {500, 16}, {24.5, 41}}) {
        in.FramesPerSecond = fps;
        EXPECT_EQ(DeriveRunSettings(in).FrameDuration, period) << fps;
    }
    in.TimePerPicture = 5;
    EXPECT_EQ(DeriveRunSettings(in).PictureDurationMs, 100);
    in.TimePerPicture = 1e9;
    EXPECT_EQ(DeriveRunSettings(in).PictureDurationMs, 60000);
}

TEST(RunSettings, ResolutionIsReadLeniently) {
    TRunInputs in;
    const std::vector<std::tuple<std::string, int, int>> cases = {
        {"1024x768", 1024, 768}, {"abcx300", 640, 300}, {"320x", 320, 480},
        {"", 640, 480},          {"720*576", 640, 480}, {"12 x34", 640, 34},
        {"-5x+7", -5, 7},        {"1x2x3", 1, 480},     {"99999999999x1", 640, 1}};
    for (const auto& [text, w, h] : cases) {
        in.Resolution = text;
        const TRunSettings run = DeriveRunSettings(in);
        EXPECT_EQ(run.Width, w) << text;
        EXPECT_EQ(run.Height, h) << text;
    }
    EXPECT_EQ(StrToIntDef("-2147483648", 0), -2147483647 - 1);
    EXPECT_EQ(StrToIntDef("2147483648", 7), 7);
    EXPECT_EQ(StrToIntDef("+", 7), 7);
}

TEST(RunSettings, TooFewFramesPerPictureSwitchVisualOptionsOff) {
    TRunInputs in;
    in.TimePerPicture = 1000;
    in.FramesPerSecond = 25;
    in.CaptionTextChecked = false;
    in.CrossFadeChecked = true;
    TRunSettings run = DeriveRunSettings(in);
    EXPECT_TRUE(run.VisualOptionsDisabled);
    EXPECT_FALSE(run.CrossFade || run.CaptionText || run.DynamicPictures);
    EXPECT_EQ(run.FrameRate, 25) << "the run keeps its rate";

    in.TimePerPicture = 2000;
    run = DeriveRunSettings(in);
    EXPECT_FALSE(run.VisualOptionsDisabled);
    EXPECT_TRUE(run.CrossFade);

    in.TimePerPicture = 1200; // exactly 30 frames is enough
    EXPECT_FALSE(DeriveRunSettings(in).VisualOptionsDisabled);
    in.TimePerPicture = 1199; // 29.975 frames is not, though it truncates to 29 either way
    EXPECT_TRUE(DeriveRunSettings(in).VisualOptionsDisabled);

    in.CrossFadeChecked = false;
    EXPECT_FALSE(DeriveRunSettings(in).VisualOptionsDisabled) << "nothing to switch off";
    in.DynamicsChecked = true;
    run = DeriveRunSettings(in);
    EXPECT_TRUE(run.VisualOptionsDisabled);
    EXPECT_FALSE(run.DynamicPictures);
}

TEST(RunSettings, SingleFrameModeTurnsTheVisualOptionsOff) {
    TRunInputs in;
    in.DynamicsEnabled = false;
    in.DynamicsChecked = true;
    in.Sepia = true;
    const TRunSettings run = DeriveRunSettings(in);
    EXPECT_TRUE(run.SingleFrame);
    EXPECT_FALSE(run.DynamicPictures || run.CrossFade || run.CaptionText);
    EXPECT_TRUE(run.Sepia);
    EXPECT_EQ(RunLogLines(run).back(), "Single Frame mode : Yes");
}

TEST(RunSettings, FramesPerPicture) {
    EXPECT_EQ(FramesPerPicture(3000, 40, false), 75);
    EXPECT_EQ(FramesPerPicture(3000, 66, false), 45);
    EXPECT_EQ(FramesPerPicture(100, 66, false), 2);
    EXPECT_EQ(FramesPerPicture(100, 1000, false), 1);
    EXPECT_EQ(FramesPerPicture(500, 1000, false), 1) << "0.5 rounds to the even 0, then 1";
    EXPECT_EQ(FramesPerPicture(1500, 1000, false), 2);
    EXPECT_EQ(FramesPerPicture(2500, 1000, false), 2);
    EXPECT_EQ(FramesPerPicture(3000, 40, true), 1);
}

TEST(MatchAudio, SpreadsThePicturesOverTheSoundtrack) {
    auto r = MatchAudio(10, 100, true);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->PictureDurationMs, 7692);
    EXPECT_FALSE(r->AtMinimum);
    EXPECT_EQ(MatchAudio(10, 100, false)->PictureDurationMs, 10000);

    r = MatchAudio(200, 10, false);
    EXPECT_EQ(r->PictureDurationMs, 100);
    EXPECT_TRUE(r->AtMinimum);

    r = MatchAudio(1, 120, false);
    EXPECT_EQ(r->PictureDurationMs, 60000);
    EXPECT_FALSE(r->AtMinimum);

    r = MatchAudio(3, 0, true);
    EXPECT_EQ(r->PictureDurationMs, 100) << "no soundtrack";
    EXPECT_TRUE(r->AtMinimum);
    EXPECT_EQ(MatchAudio(400, 100, false)->PictureDurationMs, 250);
    EXPECT_EQ(MatchAudio(8, 1, false)->PictureDurationMs, 125);
    EXPECT_EQ(MatchAudio(1600, 1, false)->PictureDurationMs, 100) << "0.625 clamps up";
    EXPECT_FALSE(MatchAudio(0, 100, true)) << "no pictures, nothing to do";
}

TEST(CodecChoice, StoredFourCCPrefixRule) {
    const std::vector<std::string> codecs = {"FMP4 MPEG-4", "H264 H.264", "xvid Xvid",
                                             "XVID again"};
    EXPECT_EQ(ChooseCodecIndex(codecs, "XVID"), 2) << "first match, without regard to case";
    EXPECT_EQ(ChooseCodecIndex(codecs, ""), 2) << "nothing stored means xvid";
    EXPECT_EQ(ChooseCodecIndex(codecs, "h"), 1) << "as many characters as stored";
    EXPECT_EQ(ChooseCodecIndex(codecs, "MJPG"), 0) << "no match keeps the first entry";
    EXPECT_EQ(ChooseCodecIndex(codecs, "FMP4 MPEG-4 and more"), 0);
    EXPECT_EQ(ChooseCodecIndex({"DIB  Uncompressed"}, "DIB "), 0);
    EXPECT_EQ(ChooseCodecIndex({}, "xvid"), -1);
}

TEST(Durations, FormatAndRound) {
    EXPECT_EQ(FormatDuration(185), "3:05");
    EXPECT_EQ(FormatDuration(3725), "1:02:05");
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(3599), "59:59");
    EXPECT_EQ(FormatDuration(3600), "1:00:00");
    EXPECT_EQ(FormatDuration(5999), "1:39:59");
    EXPECT_EQ(FormatDuration(360000), "100:00:00");

    EXPECT_EQ(SoundDurationSec(0.4 / 86400), 0);
    // 1/256 of a day is exactly 337.5 seconds.
    EXPECT_EQ(SoundDurationSec(1.0 / 256), 338) << "ties to even";
    EXPECT_EQ(SoundDurationSec(3.0 / 256), 1012);
    EXPECT_EQ(SoundDurationSec(185.0 / 86400), 185);
    EXPECT_EQ(SoundDurationSec(-1), 0);
    EXPECT_EQ(SoundDurationSec(1e12), 2147483647);
}
