// Songs of every kind in the window: the Sound dialog's types and several songs at once, the
// drop rule for each extension and for hostile content, the count and total time that Match
// audio uses, the project's song list, and "Cut on the beat" reaching the run.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <filesystem>
#include <fstream>

#include "app/U_ExpertDlg.h"
#include "app/U_WindowRunChoices.h"
#include "platform/os/U_Settings.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

// Each kind the window takes, as ffmpeg writes it from a 440 Hz tone.
struct TSongKind {
    const char* Name;
    std::vector<std::string> Codec; // ffmpeg's output options
};
const std::vector<TSongKind>& SongKinds() {
    static const std::vector<TSongKind> kinds = {
        {"a.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
        {"a.m4a", {"-c:a", "aac"}},
        {"a.aac", {"-c:a", "aac", "-f", "adts"}},
        {"a.ogg", {"-c:a", "libvorbis"}},
        {"a.oga", {"-c:a", "flac", "-f", "ogg"}},
        {"a.opus", {"-c:a", "libopus"}},
        {"a.flac", {"-c:a", "flac"}},
        {"a.wav", {"-c:a", "pcm_s16le"}},
    };
    return kinds;
}

class TWindowSongsTest : public TGenControlTest {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg writes the songs";
    }

    // A `seconds` long tone at 44.1 kHz in the test folder.
    std::string Song(const std::string& name, const std::vector<std::string>& codec,
                     double seconds) {
        const std::string path = Dir.File(name);
        std::vector<std::string> argv = {
            "ffmpeg", "-v",
            "error",  "-y",
            "-f",     "lavfi",
            "-i",     "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds)};
        argv.insert(argv.end(), codec.begin(), codec.end());
        argv.push_back(path);
        const auto result = test::Run(argv);
        EXPECT_EQ(result.ExitCode, 0) << name << ": " << result.Err;
        return path;
    }
};

TEST_F(TWindowSongsTest, BrowseTakesSeveralSongsAndShowsTheirCountAndTotalTime) {
    Prepare(7);
    const std::string mp3 = Dir.File("first.mp3");
    WriteMp3(mp3, 100); // 3.6 s
    const std::string wav = Song("second.wav", {"-c:a", "pcm_s16le"}, 2);
    const std::string flac = Song("third.flac", {"-c:a", "flac"}, 3);
    Dialogs.Answer(QStringList{QString::fromStdString(mp3), QString::fromStdString(wav),
                               QString::fromStdString(flac)});
    W().sound_btnClick();
    const TFileDialogRequest& request = Dialogs.Requests.back();
    EXPECT_EQ(request.Mode, TFileDialogMode::OpenMany);
    for (const char* ext : {"mp3", "m4a", "aac", "ogg", "oga", "opus", "flac", "wav"})
        EXPECT_TRUE(request.Filter.contains(QString("*.%1").arg(ext))) << ext;

    EXPECT_EQ(W().sound_txt->text().toStdString(), mp3);
    EXPECT_EQ(W().MoreSongs, (std::vector<std::string>{wav, flac}));
    // 3.6 + 2 + 3 s less two cross-fades of 1 s.
    EXPECT_EQ(W().SoundDurationSec, 7);
    EXPECT_EQ(W().audioduration_lbl->text(), "3 songs, 0:07");
    EXPECT_TRUE(W().matchaudio_btn->isEnabled());

    // Match audio spreads the pictures over the whole list, not the first song.
    W().matchaudio_btnClick();
    EXPECT_EQ(W().time_txt->value(), 1000);

    // One song again: its own time, no count; Reset forgets the others too.
    Dialogs.Answer(QStringList{QString::fromStdString(wav)});
    W().sound_btnClick();
    EXPECT_TRUE(W().MoreSongs.empty());
    EXPECT_EQ(W().audioduration_lbl->text(), "0:02");
    Dialogs.Answer(QStringList{QString::fromStdString(wav), QString::fromStdString(flac)});
    W().sound_btnClick();
    W().resetaudio_btnClick();
    EXPECT_TRUE(W().sound_txt->text().isEmpty());
    EXPECT_TRUE(W().MoreSongs.empty());
    EXPECT_EQ(W().SoundDurationSec, 0);
}

TEST_F(TWindowSongsTest, EachSongExtensionIsTakenWhenDroppedAndHostileContentIsRefused) {
    Prepare(0);
    for (const TSongKind& kind : SongKinds()) {
        const std::string song = Song(kind.Name, kind.Codec, 2.2);
        W().resetaudio_btnClick();
        W().DropList = {song};
        W().FilesDropped();
        EXPECT_EQ(W().sound_txt->text().toStdString(), song) << kind.Name;
        EXPECT_EQ(W().SoundDurationSec, 2) << kind.Name;
        EXPECT_TRUE(Paths().empty()) << kind.Name;
    }
    EXPECT_TRUE(Shell.Boxes.empty());

    // Several songs dropped together are the list, in the order given.
    const std::string ogg = Dir.File("a.ogg"), flac = Dir.File("a.flac");
    W().DropList = {flac, ogg};
    W().FilesDropped();
    EXPECT_EQ(W().sound_txt->text().toStdString(), flac);
    EXPECT_EQ(W().MoreSongs, std::vector<std::string>{ogg});

    // Content decides: a picture named as a song, a header alone, a video without sound. Each
    // is refused with one message and the soundtrack stays as it was.
    const std::string jpeg = Jpeg("photo.jpg");
    std::filesystem::copy_file(jpeg, Dir.File("photo.m4a"));
    const std::string wav = Dir.File("a.wav");
    {
        std::ifstream in(wav, std::ios::binary);
        std::string head(44, '\0');
        in.read(head.data(), 44);
        test::WriteText(Dir.File("header.wav"), head);
    }
    ASSERT_EQ(test::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=c=red:s=64x48:d=1",
                         "-c:v", "libx264", Dir.File("silent.m4a")})
                  .ExitCode,
              0);
    for (const char* hostile : {"photo.m4a", "header.wav", "silent.m4a"}) {
        Shell.Boxes.clear();
        W().DropList = {Dir.File(hostile)};
        W().FilesDropped();
        EXPECT_EQ(Shell.Boxes.size(), 1u) << hostile;
        EXPECT_EQ(W().sound_txt->text().toStdString(), flac) << hostile;
        EXPECT_EQ(W().MoreSongs, std::vector<std::string>{ogg}) << hostile;
        EXPECT_TRUE(Paths().empty()) << hostile;
    }
    // One hostile song among good ones refuses the whole drop.
    Shell.Boxes.clear();
    W().DropList = {wav, Dir.File("photo.m4a")};
    W().FilesDropped();
    EXPECT_EQ(Shell.Boxes.size(), 1u);
    EXPECT_EQ(W().sound_txt->text().toStdString(), flac);

    // The rule compares in lower case, as it always did for ".mp3": these go to the pictures,
    // which refuse them.
    std::filesystem::copy_file(Dir.File("a.flac"), Dir.File("b.FLAC"));
    W().DropList = {Dir.File("b.FLAC")};
    W().FilesDropped();
    EXPECT_EQ(W().sound_txt->text().toStdString(), flac);
    EXPECT_TRUE(Paths().empty());
}

TEST_F(TWindowSongsTest, TheProjectKeepsTheSongListAndOneSongAsBefore) {
    Prepare(1);
    const std::string one = Song("one.wav", {"-c:a", "pcm_s16le"}, 2);
    const std::string two = Song("two.ogg", {"-c:a", "libvorbis"}, 3);
    W().SetSongs({one, two});
    Dialogs.Answer(Dir.File("list.mrv"));
    W().save_btnClick();
    const auto lines = FileLines(Dir.File("list.mrv"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], ";Sound=" + one);
    EXPECT_NE(std::find(lines.begin(), lines.end(), ";Song=" + two), lines.end());

    W().resetaudio_btnClick();
    Dialogs.Answer(Dir.File("list.mrv"));
    W().load_btnClick();
    EXPECT_EQ(W().sound_txt->text().toStdString(), one);
    EXPECT_EQ(W().MoreSongs, std::vector<std::string>{two});
    EXPECT_EQ(W().audioduration_lbl->text(), "2 songs, 0:04");

    // One song: no song line at all.
    W().SetSongs({one});
    Dialogs.Answer(Dir.File("single.mrv"));
    W().save_btnClick();
    for (const auto& line : FileLines(Dir.File("single.mrv")))
        EXPECT_NE(line.rfind(";Song=", 0), 0u) << line;
}

TEST_F(TWindowSongsTest, CutOnTheBeatReachesTheRunOnlyWhenChecked) {
    Prepare(4, 500, 10);
    W().SetSongs({Song("beat.wav", {"-c:a", "pcm_s16le"}, 3)});
    const auto beatLines = [this] {
        int count = 0;
        for (const auto& line : LogLines())
            if (line.find("Cut on the beat:") != std::string::npos) ++count;
        return count;
    };
    ASSERT_TRUE(Go());
    EXPECT_EQ(beatLines(), 0);

    TExpertDlg* expert = W().Forms.ExpertDlg;
    WhenModal([expert](QWidget*) {
        expert->beat_chk->setChecked(true);
        expert->ok_btn->click();
    });
    W().exp_btnClick();
    ASSERT_TRUE(Go());
    EXPECT_EQ(beatLines(), 1) << "said once per run";
    EXPECT_EQ(test::Probe(Out(), "v:0", "stream=nb_read_frames", true), "20")
        << "as many frames as without the cuts";
}

} // namespace
} // namespace guitest
