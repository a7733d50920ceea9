// "Go !" up to the start of the video thread, and "Match audio": the checks, the run settings
// and their log lines, the temporal check, and a writer that refuses its set-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "app/U_RunSettings.h"
#include "platform/os/U_Settings.h"
#include "test_gen_control_fixture.h"
#include "video/U_BmpToAvi.h"

namespace guitest {
namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(TGenControlTest, GoRefusesAnEmptyListOrOutputAndStartsNothing) {
    struct Case {
        int Pictures;
        bool Output;
        const char* Message;
    };
    for (const Case& c : {Case{0, true, "Empty picture list"}, Case{0, false, "Empty picture list"},
                          Case{2, false, "Invalid output file"}}) {
        Prepare(c.Pictures);
        if (!c.Output) W().out_txt->clear();
        W().go_btn->click();
        ASSERT_EQ(BoxTexts(), std::vector<std::string>{c.Message});
        EXPECT_TRUE(Idle());
        EXPECT_FALSE(W().Worker);
        EXPECT_FALSE(HasLine(LogLines(), "Info\tStart Encoding"));
        EXPECT_FALSE(std::filesystem::exists(Out()));
        Shell.Boxes.clear();
        Window.reset();
    }
}

TEST_F(TGenControlTest, ShortPicturesTurnTheVisualOptionsOffButKeepTheFrameRate) {
    Prepare(1, 1000, 25);
    W().dynamics_chk->setChecked(true); // shows 25 fps
    W().xfade_chk->setChecked(true);
    ASSERT_EQ(W().FPS_txt->value(), 25);
    ASSERT_TRUE(Go());
    EXPECT_EQ(BoxTexts().front(), VisualOptionsDisabledText);
    EXPECT_FALSE(W().dynamics_chk->isChecked());
    EXPECT_FALSE(W().xfade_chk->isChecked());
    EXPECT_FALSE(W().osd_chk->isChecked());
    EXPECT_EQ(W().FPS_txt->value(), 15) << "the box's handler ran as for a click";
    EXPECT_EQ(W().AviWriter->FrameDuration, 40) << "the run kept 25 fps";
    const auto log = LogLines();
    EXPECT_TRUE(HasLine(log, "Info\tFPS : 25"));
    EXPECT_TRUE(HasLine(log, "Info\tDynamic Pictures : No"));
    EXPECT_TRUE(HasLine(log, "Info\tXFade : No"));
    EXPECT_EQ(test::Probe(Out(), "v:0", "stream=r_frame_rate"), "25/1");
    EXPECT_EQ(test::Probe(Out(), "v:0", "stream=nb_read_frames", true), "25");
}

TEST_F(TGenControlTest, LongEnoughPicturesKeepTheirOptions) {
    Prepare(1, 2000, 25);
    W().xfade_chk->setChecked(true);
    ASSERT_TRUE(Go());
    EXPECT_FALSE(HasLine(BoxTexts(), VisualOptionsDisabledText));
    EXPECT_TRUE(W().xfade_chk->isChecked());
    EXPECT_TRUE(HasLine(LogLines(), "Info\tXFade : Yes"));
}

TEST_F(TGenControlTest, FramePeriodIsThousandDivTheRate) {
    struct Case {
        int Fps;
        int Period;
        const char* Rate; // as the AVI's time base reads back
    };
    for (const Case& c : {Case{60, 16, "125/2"}, Case{7, 142, "500/71"}}) {
        Prepare(1, 300, c.Fps);
        ASSERT_TRUE(Go());
        EXPECT_EQ(W().AviWriter->FrameDuration, c.Period);
        EXPECT_TRUE(HasLine(LogLines(), "Info\tFPS : " + std::to_string(c.Fps)));
        EXPECT_EQ(test::Probe(Out(), "v:0", "stream=r_frame_rate"), c.Rate);
        Window.reset();
        std::filesystem::remove(Out());
    }
}

TEST_F(TGenControlTest, ResolutionEntriesAreReadAtTheirX) {
    struct Case {
        const char* Entry;
        const char* Size; // ffprobe's width,height
    };
    for (const Case& c : {Case{"1024x768", "1024\n768"}, Case{"abcx300", "640\n300"}}) {
        Prepare(1, 100, 10);
        W().res_cmb->addItem(c.Entry);
        W().res_cmb->setCurrentText(c.Entry);
        ASSERT_TRUE(Go());
        const std::string size = test::Probe(Out(), "v:0", "stream=width,height");
        EXPECT_EQ(size, c.Size) << c.Entry;
        std::string logged = size;
        std::replace(logged.begin(), logged.end(), '\n', 'x');
        EXPECT_TRUE(HasLine(LogLines(), "Info\tResolution : " + logged));
        Window.reset();
        std::filesystem::remove(Out());
    }
}

TEST_F(TGenControlTest, GoLogsTheRunSettingsInOrder) {
    Prepare(2, 2500, 12);
    W().osd_chk->setChecked(true);
    W().xfade_chk->setChecked(true);
    ASSERT_TRUE(Go());
    const auto log = LogLines(); // newest first
    const auto start = std::find(log.begin(), log.end(), "Info\tStart Encoding");
    ASSERT_NE(start, log.end());
    ASSERT_GE(start - log.begin(), 8);
    const std::vector<std::string> expected = {"Info\tStart Encoding",
                                               "Info\tResolution : 320x240",
                                               "Info\tFPS : 12",
                                               "Info\tTime per Picture : 2500 ms",
                                               "Info\tFCC : MJPG",
                                               "Info\tOSD : Yes",
                                               "Info\tDynamic Pictures : No",
                                               "Info\tXFade : Yes",
                                               "Info\tSingle Frame mode : No"};
    const std::vector<std::string> logged(std::make_reverse_iterator(start + 1),
                                          std::make_reverse_iterator(start - 8));
    EXPECT_EQ(logged, expected);
    EXPECT_EQ(ReadSetting("LastFCC"), "MJPG");
}

TEST_F(TGenControlTest, MatchAudioSpreadsThePicturesOverTheSoundtrack) {
    struct Case {
        int Pictures;
        int Seconds;
        bool CrossFade;
        int Expected;
        bool Message;
    };
    for (const Case& c : {Case{10, 100, true, 7692, false}, Case{10, 100, false, 10000, false},
                          Case{200, 10, true, 100, true}, Case{200, 10, false, 100, true},
                          Case{1, 120, false, 60000, false}, Case{0, 120, false, 3000, false}}) {
        Start();
        for (int i = 0; i < c.Pictures; ++i) {
            W().PicturePaths.Add("p" + std::to_string(i) + ".jpg");
            W().PictureCaptions.Add("");
        }
        W().SoundDurationSec = c.Seconds;
        W().xfade_chk->setChecked(c.CrossFade);
        W().time_txt->setValue(3000);
        W().matchaudio_btnClick();
        EXPECT_EQ(W().time_txt->value(), c.Expected) << c.Pictures << " pictures, " << c.Seconds;
        EXPECT_EQ(HasLine(BoxTexts(), MinimalPictureDurationText), c.Message) << c.Pictures;
        EXPECT_EQ(Shell.Boxes.size(), c.Message ? 1u : 0u);
        Shell.Boxes.clear();
        Window.reset();
    }
}

TEST_F(TGenControlTest, AWriterThatRefusesItsSetUpRendersNothing) {
    // A codec the writer does not know, then an output folder that does not exist, each with
    // and without an earlier video at the output path. The run's thread finds it before the
    // first frame.
    for (bool earlier : {false, true}) {
        Prepare(2);
        if (earlier) test::WriteText(Out(), "an earlier video");
        W().codecs_cmb->setCurrentIndex(1);
        W().go_btn->click();
        ASSERT_TRUE(WaitForRunEnd());
        ASSERT_EQ(Shell.Boxes.size(), 1u);
        EXPECT_NE(BoxTexts()[0].find("No compressor for ZZZZ available"), std::string::npos)
            << BoxTexts()[0];
        EXPECT_TRUE(Idle());
        EXPECT_FALSE(W().Worker);
        EXPECT_NE(ReadSetting("LastFCC"), "ZZZZ");
        EXPECT_EQ(std::filesystem::exists(Out()), earlier);
        if (earlier) {
            EXPECT_EQ(test::ReadFile(Out()).size(), 16u);
        }
        EXPECT_FALSE(std::filesystem::exists(Dir.File("out.partial.avi")))
            << "the name reserved for the run is given back";
        Shell.Boxes.clear();

        W().codecs_cmb->setCurrentIndex(0);
        W().out_txt->setText(QString::fromStdString(Dir.File("missing/out.avi")));
        W().go_btn->click();
        ASSERT_TRUE(WaitForRunEnd());
        ASSERT_EQ(Shell.Boxes.size(), 1u);
        EXPECT_NE(BoxTexts()[0].find("missing/out.avi"), std::string::npos) << BoxTexts()[0];
        EXPECT_TRUE(Idle());
        EXPECT_FALSE(W().Worker);
        Shell.Boxes.clear();
        Window.reset();
        std::filesystem::remove(Out());
    }
}

} // namespace
} // namespace guitest
