// Every hostile file the core's tests refuse, sent through every way a file enters the window:
// drop, the soundtrack's Browse, Add, project Load, Organize and Jump. Afterwards the program is
// alive and usable, has shown at most one message, let no error reach the last line of defence,
// and left every file of the user's as it was.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSlider>
#include <QTableWidget>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "HostileFiles.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "app/U_Application.h"
#include "pictures/U_JumpDlg.h"
#include "pictures/U_ReorderDlg.h"
#include "platform/U_Shell.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;

class THostileInputTest : public TGenControlTest {
protected:
    void SetUp() override {
        Hostile = WriteHostileFiles(Dir.File("user"));
        Before = Snapshot(Dir.File("user"));
        Good = Bmp("good.bmp");
        Song = Dir.File("good.mp3");
        WriteMp3(Song, 100);
    }

    // Runs `act`; then the program must be alive and usable with at most one message shown,
    // none of it from the last line of defence, within a few seconds.
    void Check(const std::string& way, const std::string& file, const std::function<void()>& act) {
        SCOPED_TRACE(way + ": " + file);
        Shell.Boxes.clear();
        const int caught = MorvantaApp()->ErrorsCaught();
        QElapsedTimer clock;
        clock.start();
        act();
        Pump(5);
        EXPECT_LT(clock.elapsed(), 10000) << "no hang";
        EXPECT_LE(Shell.Boxes.size(), 1u);
        EXPECT_EQ(MorvantaApp()->ErrorsCaught(), caught) << "handled where it entered";
        EXPECT_TRUE(W().isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(W().Running());
        // Still usable: a good picture goes in.
        const std::size_t count = Paths().size();
        W().AddPictureEntries({Good});
        EXPECT_EQ(Paths().size(), count + 1);
    }

    std::vector<std::string> Hostile;
    std::map<std::string, Bytes> Before;
    std::string Good, Song;
};

TEST_F(THostileInputTest, EveryWayInSurvivesEveryHostileFile) {
    Prepare(0);
    W().show();
    W().SetSoundtrack(QString::fromStdString(Song));
    const std::map<std::string, std::function<void(const std::string&)>> ways = {
        {"drop",
         [this](const std::string& file) {
             W().DropList = {file};
             W().FilesDropped();
         }},
        {"soundtrack Browse",
         [this](const std::string& file) {
             Dialogs.Answer(file);
             W().sound_btnClick();
         }},
        {"Add",
         [this](const std::string& file) {
             Dialogs.Answer(file);
             W().addphotos_btnClick();
         }},
        {"project Load",
         [this](const std::string& file) {
             Dialogs.Answer(file);
             W().load_btnClick();
         }},
    };
    for (const auto& [way, act] : ways)
        for (const std::string& file : Hostile) {
            Check(way, file, [&act, &file] { act(file); });
            // Only a song the multiplexing would take replaces the soundtrack, and only where
            // a song enters.
            const bool taken = fs::path(file).filename() == SoundSongWithCutEnd &&
                               (way == "drop" || way == "soundtrack Browse");
            EXPECT_EQ(W().sound_txt->text().toStdString(), taken ? file : Song)
                << way << ": " << file;
            if (taken) W().SetSoundtrack(QString::fromStdString(Song));
            W().imgreset_btnClick();
        }
    Check("drop", "all at once", [this] {
        W().DropList = Hostile;
        W().FilesDropped();
    });
    EXPECT_EQ(Snapshot(Dir.File("user")), Before) << "no file of the user's changed";
}

TEST_F(THostileInputTest, OrganizeAndJumpOverAListOfHostilePictures) {
    Prepare(0);
    W().show();
    // The list takes what has a picture's name; the content is read only to draw it.
    std::vector<std::string> list = {Good};
    for (const std::string& file : Hostile)
        if (fs::is_regular_file(file) && file.find(".mp3") == std::string::npos &&
            file.find(".mrv") == std::string::npos)
            list.push_back(file);
    W().AddPictureEntries(list);
    const std::size_t count = Paths().size();
    ASSERT_GE(count, 10u);

    // A row whose picture cannot be read shows its one message when chosen.
    for (int row = 0; row < static_cast<int>(count); ++row)
        Check("Organize", Paths()[static_cast<std::size_t>(row)], [this, row] {
            WhenModal([row](QWidget* dialog) {
                if (auto* organize = qobject_cast<TReorderDlg*>(dialog)) {
                    organize->lst->setCurrentCell(row, 0);
                    organize->lstClick();
                }
                if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
            });
            W().organize_btnClick();
        });
    const std::size_t before = Paths().size();
    Check("Organize", "rename and delete", [this] {
        WhenModal([](QWidget* dialog) {
            if (auto* organize = qobject_cast<TReorderDlg*>(dialog)) {
                organize->lst->setCurrentCell(1, 0);
                organize->txt->setText("renamed");
                organize->del_btnClick();
            }
            if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
        });
        W().organize_btnClick();
    });
    EXPECT_EQ(Paths().size(), before) << "one deleted in Organize, one good added after";

    const int last = static_cast<int>(Paths().size()) - 5;
    for (int at = 0; at <= last; ++at)
        Check("Jump", std::to_string(at), [this, at] {
            WhenModal([at](QWidget* dialog) {
                auto* jump = qobject_cast<TJumpDlg*>(dialog);
                if (!jump) return;
                jump->trk->setValue(at);
                jump->accept();
            });
            W().jump_btnClick();
            EXPECT_EQ(W().FirstThumb, at);
        });
    EXPECT_EQ(Snapshot(Dir.File("user")), Before) << "no file of the user's changed";
}

TEST_F(THostileInputTest, ASongThatWouldFailTheMultiplexingIsRefusedBeforeTheFirstFrame) {
    Prepare(3, 1000, 25); // 75 frames
    W().SetSoundtrack(QString::fromStdString(Song));
    test::WriteText(Out(), "an earlier video");
    // The song was sound when chosen and is noise now.
    test::WriteFile(Song, RandomBytes(200000, 7));
    int reports = 0;
    QObject::connect(W().pb, &QProgressBar::valueChanged, W().pb, [&](int) { ++reports; });
    QElapsedTimer clock;
    clock.start();
    W().go_btn->click();
    ASSERT_TRUE(SpinUntil([this] { return !Shell.Boxes.empty(); }));
    const qint64 refusedMs = clock.elapsed();
    ASSERT_TRUE(WaitForRunEnd());
    // Timed for the record only: a loaded machine must not fail it. The order is what counts.
    std::printf("refused %lld ms after Go\n", static_cast<long long>(refusedMs));
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    const std::string text = Shell.Boxes[0].Text.toStdString();
    EXPECT_EQ(text.rfind("Cannot use the soundtrack " + Song + ": ", 0), 0u) << text;
    EXPECT_EQ(Shell.Boxes[0].Kind, mkError);
    EXPECT_EQ(reports, 0) << "not a frame was rendered";
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(DoneShown.empty());
    const auto bytes = test::ReadFile(Out());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "an earlier video");
    EXPECT_FALSE(fs::exists(Dir.File("out.partial.avi")));
}

} // namespace
} // namespace guitest
