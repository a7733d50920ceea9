// The output's container in the window: the Resolution box's listed and typed sizes, the
// output's Browse with the containers as file types, the codec list that follows the output's
// extension, the Expert Options' sound choices, and a render to an MP4 with an M4A song.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QSpinBox>

#include "app/U_ExpertDlg.h"
#include "app/U_StyleInputs.h"
#include "app/U_WindowRunChoices.h"
#include "platform/os/U_Settings.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

std::vector<std::string> Items(const QComboBox* box) {
    std::vector<std::string> items;
    for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
    return items;
}

// The user types `text` into the Resolution box and leaves it.
void TypeResolution(TMainDlg& w, const QString& text) {
    w.res_cmb->setEditText(text);
    emit w.res_cmb->lineEdit()->editingFinished();
}

TEST_F(TMainDlgTest, ResolutionListsTheOldSizesFirstAndTakesTypedSizesWithinTheRange) {
    Start();
    EXPECT_EQ(Items(W().res_cmb),
              (std::vector<std::string>{"320x240", "640x480", "720x576", "1280x720", "1920x1080",
                                        "2560x1440", "3840x2160", "1080x1920", "1080x1080"}));
    EXPECT_EQ(W().res_cmb->currentText(), "640x480");

    const struct {
        const char* typed;
        const char* shown; // what the box holds after the editing ended
        bool refused;
    } cases[] = {
        {"1024x600", "1024x600", false},   {" 800X600 ", "800x600", false},
        {"16x16", "16x16", false},         {"8192x8192", "8192x8192", false},
        {"15x100", "8192x8192", true},     {"100x8193", "8192x8192", true},
        {"1920x1080", "1920x1080", false}, {"abc", "1920x1080", true},
        {"640x", "1920x1080", true},       {"-640x480", "1920x1080", true},
        {"99999x480", "1920x1080", true},  {"1080x1920", "1080x1920", false},
    };
    for (const auto& c : cases) {
        W().SetStatusText(1, "");
        TypeResolution(W(), c.typed);
        EXPECT_EQ(W().res_cmb->currentText().toStdString(), c.shown) << c.typed;
        const QString status = W().StatusPanels[1]->text();
        if (c.refused)
            EXPECT_TRUE(status.contains("16..8192")) << c.typed << ": " << status.toStdString();
        else
            EXPECT_TRUE(status.isEmpty()) << c.typed << ": " << status.toStdString();
    }
    // A listed size typed in selects its entry; the run reads what the box shows.
    TypeResolution(W(), "2560x1440");
    EXPECT_EQ(W().res_cmb->currentIndex(), 5);
    TypeResolution(W(), "1000x500");
    EXPECT_EQ(ReadRunInputs(W()).Resolution, "1000x500");
    EXPECT_EQ(W().res_cmb->count(), 9) << "typed sizes are not added to the list";
}

TEST_F(TMainDlgTest, ARefusedTypedSizeStopsGoBeforeAnythingIsWritten) {
    Start();
    AddPictures(1);
    W().out_txt->setText(QString::fromStdString(Dir.File("out.avi")));
    W().res_cmb->setEditText("9000x9000"); // Go pressed while still typing
    W().go_btnClick();
    EXPECT_FALSE(W().Running());
    EXPECT_EQ(W().res_cmb->currentText(), "640x480");
    EXPECT_TRUE(W().StatusPanels[1]->text().contains("16..8192"));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out.avi")));
}

TEST_F(TMainDlgTest, OutputBrowseOffersTheContainersAndKeepsTheirExtensions) {
    Start();
    const struct {
        const char* chosen;
        const char* shown;
    } cases[] = {
        {"show.mp4", "show.mp4"},     {"show.MKV", "show.MKV"},   {"clip.webm", "clip.webm"},
        {"film.mov", "film.mov"},     {"plain.avi", "plain.avi"}, {"clip.AVI", "clip.AVI.avi"},
        {"show.txt", "show.txt.avi"},
    };
    for (const auto& c : cases) {
        Dialogs.Answer(Dir.File(c.chosen));
        W().out_btnClick();
        EXPECT_EQ(W().out_txt->text().toStdString(), Dir.File(c.shown)) << c.chosen;
    }
    const TFileDialogRequest& request = Dialogs.Requests.back();
    EXPECT_EQ(request.Mode, TFileDialogMode::Save);
    const QStringList filters = NameFilters(request.Filter);
    ASSERT_EQ(filters.size(), 4);
    const char* const names[] = {"AVI", "MP4", "MKV", "WebM"};
    const char* const patterns[] = {"*.[aA][vV][iI]", "*.[mM][pP]4", "*.[mM][kK][vV]",
                                    "*.[wW][eE][bB][mM]"};
    const char* const suffixes[] = {"avi", "mp4", "mkv", "webm"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(filters[i].startsWith(names[i])) << filters[i].toStdString();
        EXPECT_TRUE(filters[i].contains(patterns[i])) << filters[i].toStdString();
        // A name typed without an extension takes the chosen type's.
        EXPECT_EQ(SuffixOfNameFilter(request.Filter, filters[i]), suffixes[i]);
    }
    EXPECT_EQ(request.DefaultSuffix, "avi");
    EXPECT_EQ(SuffixOfNameFilter(request.Filter, "Other (*.x)"), "");
    EXPECT_EQ(SuffixOfNameFilter("Any|*|Two|*.a;*.b", "Any (*)"), "");
    EXPECT_EQ(SuffixOfNameFilter("Any|*|Two|*.a;*.b", NameFilters("Any|*|Two|*.a;*.b")[1]), "a");
}

TEST_F(TMainDlgTest, TheCodecListFollowsTheOutputsContainerWithAFallbackAndANote) {
    CodecLines = {"XVID libxvidcore MPEG-4 part 2", "H264 libx264 H.264 / AVC",
                  "VP90 libvpx-vp9 VP9", "MJPG Motion JPEG", "DIB  Uncompressed RGB"};
    WriteSetting("LastFCC", "MJPG");
    Start();
    const std::vector<std::string> all = CodecLines;
    const struct {
        const char* output;
        const char* select; // selected before the change ("" to keep the selection)
        std::vector<std::string> listed;
        const char* selected;
        const char* note; // the status bar's text, "" for none
    } cases[] = {
        {"a.avi", "", all, "MJPG Motion JPEG", ""},
        {"a.mp4",
         "",
         {all[0], all[1]},
         "H264 libx264 H.264 / AVC",
         "The MP4 container cannot hold MJPG: H264 libx264 H.264 / AVC selected."},
        {"a.MKV", "XVID", {all[0], all[1], all[2]}, "XVID libxvidcore MPEG-4 part 2", ""},
        {"a.webm",
         "",
         {all[2]},
         "VP90 libvpx-vp9 VP9",
         "The WebM container cannot hold XVID: VP90 libvpx-vp9 VP9 selected."},
        {"a.m4v",
         "",
         {all[0], all[1]},
         "H264 libx264 H.264 / AVC",
         "The MP4 container cannot hold VP90: H264 libx264 H.264 / AVC selected."},
        {"noext", "", all, "H264 libx264 H.264 / AVC", ""},
        {"a.mp4.avi", "DIB", all, "DIB  Uncompressed RGB", ""},
        {"a.mkv",
         "",
         {all[0], all[1], all[2]},
         "H264 libx264 H.264 / AVC",
         "The MKV container cannot hold DIB: H264 libx264 H.264 / AVC selected."},
    };
    EXPECT_EQ(Items(W().codecs_cmb), all);
    for (const auto& c : cases) {
        if (*c.select)
            W().codecs_cmb->setCurrentIndex(
                W().codecs_cmb->findText(c.select, Qt::MatchStartsWith));
        W().SetStatusText(1, "");
        W().out_txt->setText(QString::fromStdString(Dir.File(c.output)));
        EXPECT_EQ(Items(W().codecs_cmb), c.listed) << c.output;
        EXPECT_EQ(W().codecs_cmb->currentText().toStdString(), c.selected) << c.output;
        EXPECT_EQ(W().StatusPanels[1]->text().toStdString(), c.note) << c.output;
    }
}

TEST_F(TMainDlgTest, ALoadedProjectsOutputFitsTheCodecList) {
    CodecLines = {"XVID libxvidcore MPEG-4 part 2", "VP90 libvpx-vp9 VP9"};
    WriteSetting("LastFCC", "XVID");
    test::WriteText(Dir.File("trip.mrv"), ";Output=" + Dir.File("trip.webm") + "\r\n");
    Start();
    Dialogs.Answer(Dir.File("trip.mrv"));
    W().load_btnClick();
    EXPECT_EQ(W().out_txt->text().toStdString(), Dir.File("trip.webm"));
    EXPECT_EQ(Items(W().codecs_cmb), std::vector<std::string>{"VP90 libvpx-vp9 VP9"});
}

TEST_F(TMainDlgTest, TheProjectKeepsTheOutputsContainerAsChosen) {
    Start();
    AddPictures(1);
    for (const char* name : {"show.mp4", "show.MKV", "show.webm", "show.avi"}) {
        W().out_txt->setText(QString::fromStdString(Dir.File(name)));
        Dialogs.Answer(Dir.File("p.mrv"));
        W().save_btnClick();
        const auto lines = FileLines(Dir.File("p.mrv"));
        EXPECT_NE(std::find(lines.begin(), lines.end(), ";Output=" + Dir.File(name)), lines.end())
            << name;
        W().out_txt->clear();
        Dialogs.Answer(Dir.File("p.mrv"));
        W().load_btnClick();
        EXPECT_EQ(W().out_txt->text().toStdString(), Dir.File(name));
    }
}

TEST_F(TMainDlgTest, ExpertOptionsKeepTheSoundChoicesInTheSettings) {
    Start();
    TExpertDlg* expert = W().Forms.ExpertDlg;
    // The defaults: automatic, a 2 s fade-out, no cuts on the beat.
    WhenModal([expert](QWidget*) {
        EXPECT_EQ(expert->soundmode_cmb->currentIndex(), 0);
        EXPECT_EQ(expert->fadeout_txt->value(), 2000);
        EXPECT_FALSE(expert->beat_chk->isChecked());
        expert->soundmode_cmb->setCurrentIndex(4); // Opus
        expert->fadeout_txt->setValue(500);
        expert->beat_chk->setChecked(true);
        expert->ok_btn->click();
    });
    W().exp_btnClick();
    EXPECT_EQ(ReadSetting(SoundModeSettingName), "opus");
    EXPECT_EQ(ReadSetting(FadeOutSettingName), "500");
    EXPECT_EQ(ReadSetting(BeatCutsSettingName), "1");

    // Shown again as stored; a cancelled box stores nothing.
    WhenModal([expert](QWidget* dialog) {
        EXPECT_EQ(expert->soundmode_cmb->currentIndex(), 4);
        EXPECT_EQ(expert->fadeout_txt->value(), 500);
        EXPECT_TRUE(expert->beat_chk->isChecked());
        expert->soundmode_cmb->setCurrentIndex(1);
        expert->fadeout_txt->setValue(0);
        static_cast<QDialog*>(dialog)->reject();
    });
    W().exp_btnClick();
    const TSoundChoices kept = ReadSoundChoices();
    EXPECT_EQ(kept.Mode, TSoundMode::Opus);
    EXPECT_EQ(kept.FadeOutMs, 500);
    EXPECT_TRUE(kept.BeatCuts);

    // Damaged values give the defaults, not a failure.
    for (const char* fade : {"-5", "abc", "999999999999", "60001"}) {
        WriteSetting(SoundModeSettingName, "flac");
        WriteSetting(FadeOutSettingName, fade);
        WriteSetting(BeatCutsSettingName, "yes");
        const TSoundChoices read = ReadSoundChoices();
        EXPECT_EQ(read.Mode, TSoundMode::Auto) << fade;
        EXPECT_EQ(read.FadeOutMs, 2000) << fade;
        EXPECT_FALSE(read.BeatCuts) << fade;
    }
}

class TWindowMp4Test : public TGenControlTest {
protected:
    TWindowMp4Test() { CodecLines = {"H264 libx264 H.264 / AVC", "MJPG Motion JPEG"}; }
};

TEST_F(TWindowMp4Test, AWindowRenderToMp4WithAnM4aSongCopiesItsAac) {
    if (!test::HaveProgram("ffmpeg") || !test::HaveProgram("ffprobe"))
        GTEST_SKIP() << "ffmpeg and ffprobe check the file";
    const std::string song = Dir.File("song.m4a");
    ASSERT_EQ(test::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                         "sine=frequency=440:duration=4", "-c:a", "aac", "-b:a", "96k", song})
                  .ExitCode,
              0);
    Prepare(4, 500, 10);
    const std::string out = Dir.File("show.mp4");
    W().out_txt->setText(QString::fromStdString(out));
    ASSERT_TRUE(W().codecs_cmb->currentText().startsWith("H264"));
    W().SetSoundtrack(QString::fromStdString(song));
    EXPECT_EQ(W().audioduration_lbl->text(), "0:04");
    ASSERT_TRUE(Go());
    ASSERT_TRUE(Shell.Boxes.empty()) << Shell.Boxes.front().Text.toStdString();
    EXPECT_EQ(test::Probe(out, "v:0", "stream=codec_name"), "h264");
    EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name"), "aac");
    EXPECT_EQ(test::Probe(out, "v:0", "stream=r_frame_rate"), "10/1");
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "20");
    EXPECT_FALSE(std::filesystem::exists(out + ".avi"));
}

} // namespace
} // namespace guitest
