// Project files, the output file and the soundtrack on the real window.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "MainDlgFixture.h"
#include "platform/U_Shell.h"
#include "platform/os/U_Settings.h"

using guitest::TMainDlgTest;

namespace {

std::string Text(const std::string& path) {
    const auto bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

} // namespace

TEST_F(TMainDlgTest, ASavedProjectLoadsBackUnchanged) {
    Start();
    const auto paths = AddPictures(3);
    W().PictureCaptions.Set(1, "Dinner on the terrace");
    W().PictureCaptions.Set(2, "");
    const std::string song = Dir.File("theme.mp3");
    guitest::WriteMp3(song, 1000);
    W().SetSoundtrack(QString::fromStdString(song));
    W().out_txt->setText(QString::fromStdString(Dir.File("holiday.avi")));
    W().Sepia1Click();

    Dialogs.Answer(Dir.File("holiday"));
    W().save_btnClick();
    const std::string project = Dir.File("holiday.mrv");
    EXPECT_EQ(Text(project), ";Effect=Sepia\r\n;Sound=" + song + "\r\n;Output=" +
                                 Dir.File("holiday.avi") + "\r\n" + paths[0] + "\r\n" + paths[1] +
                                 "\tDinner on the terrace\r\n" + paths[2] + "\t\r\n");

    // A fresh window loads the same state.
    Window.reset();
    Start();
    Dialogs.Answer(project);
    W().load_btnClick();
    EXPECT_EQ(Paths(), paths);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"p1.bmp", "Dinner on the terrace", ""}));
    EXPECT_EQ(W().sound_txt->text().toStdString(), song);
    EXPECT_EQ(W().audioduration_lbl->text(), "0:36");
    EXPECT_EQ(W().out_txt->text().toStdString(), Dir.File("holiday.avi"));
    EXPECT_TRUE(W().Sepia1->isChecked());
    EXPECT_FALSE(W().Greyscale1->isChecked());
    EXPECT_EQ(W().thumbstats_lbl->text(), "1 - 3 / 3");
    EXPECT_EQ(W().StatusPanels[0]->text(), "3 pictures");
    EXPECT_TRUE(Shell.Boxes.empty());
}

TEST_F(TMainDlgTest, SavedNamesGetTheProjectExtensionExactly) {
    Start();
    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {
        {"holiday", "holiday.mrv"}, {"holiday.MRV", "holiday.MRV.mrv"}, {"trip.mrv", "trip.mrv"}};
    for (const auto& c : cases) {
        Dialogs.Answer(Dir.File(c.chosen));
        W().save_btnClick();
        EXPECT_TRUE(std::filesystem::exists(Dir.File(c.written))) << c.chosen;
    }
    EXPECT_FALSE(Dialogs.Requests.back().ConfirmOverwrite);
}

TEST_F(TMainDlgTest, LoadingFollowsTheHeaderRulesAndKeepsWhatTheFileDoesNotHold) {
    const struct {
        const char* name;
        std::string header; // lines before the picture line, each ended by CR LF
        bool greyscale;
        bool sepia;
        const char* output; // nullptr: unchanged
        bool soundKept;
        int pictures;
    } cases[] = {
        {"no header", "", true, false, nullptr, true, 1},
        {"effect with a small e", ";effect=Sepia\r\n", true, false, nullptr, true, 1},
        {"sepia in small letters", ";Effect=sepia\r\n", false, false, nullptr, true, 1},
        {"sepia", ";Effect=Sepia\r\n", false, true, nullptr, true, 1},
        {"greyscale", ";Effect=GreyScale\r\n", true, false, nullptr, true, 1},
        {"empty output", ";Output=\r\n", true, false, "", true, 1},
        {"later line wins", ";Output=/a.avi\r\n;Output=/b.avi\r\n", true, false, "/b.avi", true, 1},
        {"missing soundtrack", ";Sound=/no/such/song.mp3\r\n", true, false, nullptr, true, 1},
        {"unknown header", ";Tempo=fast\r\n", true, false, nullptr, true, 1},
        {"empty first line", "\r\n;Output=/x.avi\r\n", true, false, nullptr, true, 1},
    };
    for (const auto& c : cases) {
        Start();
        const std::string song = Dir.File("kept.mp3");
        guitest::WriteMp3(song, 100);
        W().SetSoundtrack(QString::fromStdString(song));
        W().out_txt->setText("/kept.avi");
        W().Greyscale1Click();
        W().AddPictureEntries({Bmp("old.bmp")});
        const std::string picture = Bmp("pic.bmp");
        const std::string project = Dir.File("p.mrv");
        test::WriteText(project, c.header + picture + "\r\n");
        Dialogs.Answer(project);
        W().load_btnClick();

        EXPECT_EQ(W().Greyscale1->isChecked(), c.greyscale) << c.name;
        EXPECT_EQ(W().Sepia1->isChecked(), c.sepia) << c.name;
        EXPECT_EQ(W().out_txt->text().toStdString(), c.output ? c.output : "/kept.avi") << c.name;
        EXPECT_EQ(W().sound_txt->text().toStdString(), song) << c.name;
        EXPECT_EQ(W().SoundDurationSec, 4) << c.name;
        EXPECT_EQ(Paths().size(), static_cast<std::size_t>(c.pictures)) << c.name;
        EXPECT_EQ(Paths().back(), picture) << c.name << ": the old list was replaced";
        Window.reset();
    }
}

TEST_F(TMainDlgTest, HeaderLinesAfterThePicturesAreMissingPictures) {
    Start();
    const std::string picture = Bmp("pic.bmp");
    test::WriteText(Dir.File("p.mrv"), picture + "\r\n;Output=/late.avi\r\n\r\n");
    Dialogs.Answer(Dir.File("p.mrv"));
    W().load_btnClick();
    EXPECT_EQ(Paths(), std::vector<std::string>{picture});
    EXPECT_TRUE(W().out_txt->text().isEmpty());
    EXPECT_EQ(W().AppLog->ErrorCount(), 2);
    EXPECT_EQ(LogLines()[2], "Error\tFile not found : " + Dir.File(";Output=/late.avi"))
        << "resolved against the project's folder like any relative picture path";
}

TEST_F(TMainDlgTest, AFailedLoadOrSaveShowsItsErrorAndChangesNothing) {
    Start();
    const auto paths = AddPictures(2);
    W().out_txt->setText("/kept.avi");
    for (const std::string& bad : {Dir.File("missing.mrv"), Dir.Path().string()}) {
        Dialogs.Answer(bad);
        W().load_btnClick();
    }
    ASSERT_EQ(Shell.Boxes.size(), 2u);
    EXPECT_EQ(Shell.Boxes[0].Kind, mkError);
    EXPECT_TRUE(Shell.Boxes[0].Text.contains("missing.mrv"));
    EXPECT_EQ(Paths(), paths);
    EXPECT_EQ(W().out_txt->text(), "/kept.avi");

    Dialogs.Answer(Dir.File("no-such-folder/p.mrv"));
    W().save_btnClick();
    ASSERT_EQ(Shell.Boxes.size(), 3u);
    EXPECT_EQ(Shell.Boxes[2].Kind, mkError);
    EXPECT_EQ(Paths(), paths);
}

TEST_F(TMainDlgTest, OutputGetsTheAviExtensionExactly) {
    Start();
    const struct {
        const char* chosen;
        const char* output;
    } cases[] = {{"clip.AVI", "clip.AVI.avi"}, {"clip", "clip.avi"}, {"clip.avi", "clip.avi"}};
    for (const auto& c : cases) {
        Dialogs.Answer(Dir.File(c.chosen));
        W().out_btnClick();
        EXPECT_EQ(W().out_txt->text().toStdString(), Dir.File(c.output)) << c.chosen;
    }
    EXPECT_EQ(ReadSetting("OutPath"), Dir.Path().string() + "/");
    W().out_btnClick(); // cancelled
    EXPECT_EQ(Dialogs.Requests.back().InitialFolder.toStdString(), Dir.Path().string() + "/");
    EXPECT_EQ(W().out_txt->text().toStdString(), Dir.File("clip.avi"));
}

TEST_F(TMainDlgTest, SoundtrackDurationLabelsAndMatchAudio) {
    Start();
    const struct {
        int frames;
        int seconds;
        const char* label;
    } cases[] = {
        {11, 0, "0:00"},     // 0.396 s
        {5139, 185, "3:05"}, // 185.004 s
        {100000, 3600, "1:00:00"},
        {166650, 5999, "1:39:59"}, // 5999.4 s
    };
    for (const auto& c : cases) {
        const std::string song = Dir.File("song" + std::to_string(c.frames) + ".mp3");
        guitest::WriteMp3(song, c.frames);
        Dialogs.Answer(song);
        W().sound_btnClick();
        EXPECT_EQ(W().sound_txt->text().toStdString(), song);
        EXPECT_EQ(W().SoundDurationSec, c.seconds) << c.frames;
        EXPECT_EQ(W().audioduration_lbl->text(), c.label) << c.frames;
        EXPECT_EQ(W().matchaudio_btn->isEnabled(), c.seconds > 0) << c.frames;
        std::filesystem::remove(song);
    }
    EXPECT_EQ(ReadSetting("AudioPath"), Dir.Path().string() + "/");
    EXPECT_TRUE(Shell.Boxes.empty());

    W().resetaudio_btnClick();
    EXPECT_TRUE(W().sound_txt->text().isEmpty());
    EXPECT_TRUE(W().audioduration_lbl->text().isEmpty());
    EXPECT_EQ(W().SoundDurationSec, 0);
    EXPECT_FALSE(W().matchaudio_btn->isEnabled());
}

TEST_F(TMainDlgTest, AnUnusableSoundtrackLeavesTheCurrentOne) {
    Start();
    const std::string song = Dir.File("good.mp3");
    guitest::WriteMp3(song, 1000);
    W().SetSoundtrack(QString::fromStdString(song));

    // A kind the facade does not know: ignored without a message.
    test::WriteText(Dir.File("notes.txt"), "la la");
    W().SetSoundtrack(QString::fromStdString(Dir.File("notes.txt")));
    EXPECT_EQ(W().sound_txt->text().toStdString(), song);

    // A known kind that cannot be read: its error, and the soundtrack stays.
    test::WriteText(Dir.File("noise.mp3"), std::string(5000, '\0'));
    Dialogs.Answer(Dir.File("noise.mp3"));
    W().sound_btnClick();
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    EXPECT_EQ(Shell.Boxes[0].Kind, mkError);
    EXPECT_EQ(W().sound_txt->text().toStdString(), song);
    EXPECT_EQ(W().SoundDurationSec, 36);
}
