// The "Done !" dialog's four actions, with the outside programs faked by scripts and the
// desktop and message boxes recorded through the shell hooks.
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>

#include "AfterFakes.h"
#include "after/U_BurnDlg.h"
#include "after/U_ExternalPrograms.h"
#include "after/U_ProcessSuccessDlg.h"
#include "platform/U_Shell.h"

namespace {

class DoneDlg : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(world.File("My \"best\" $HOME videos"));
        test::WriteText(video, "RIFF");
        dlg.VideoFile = QString::fromStdString(video);
        dlg.JobFolder = QString::fromStdString(world.Root());
    }
    // Clicks `button` once the dialog runs; `after` checks the dialog while it is still open.
    bool ClickDuringExecute(const char* button, std::function<void()> after = {}) {
        QTimer::singleShot(0, &dlg, [this, button, after] {
            dlg.findChild<QToolButton*>(button)->click();
            if (after) after();
            if (dlg.isVisible()) dlg.reject();
        });
        return dlg.Execute();
    }
    // A program that writes how many arguments it got and each on its own line.
    void InstallRecorder(const std::string& path, const std::string& args) {
        world.WriteScript(path, "printf '%s\\n' \"$#\" \"$@\" > " + test::ShellQuote(args));
    }

    test::TAfterWorld world;
    std::string video = world.File("My \"best\" $HOME videos/it's $(date) `x`.avi");
    TProcessSuccessDlg dlg;
};

TEST_F(DoneDlg, PlayAndOpenFolderGoToTheDesktop) {
    // Even an executable video file is played, never run.
    std::filesystem::permissions(video, std::filesystem::perms::owner_all);
    EXPECT_TRUE(ClickDuringExecute("play_btn"));
    EXPECT_TRUE(ClickDuringExecute("folder_btn"));
    EXPECT_EQ(world.Opened,
              QStringList({QString::fromStdString(video),
                           QString::fromStdString(world.File("My \"best\" $HOME videos/"))}));
    EXPECT_TRUE(world.Started.isEmpty());
}

TEST_F(DoneDlg, DvdStartsTheInstalledConverterWithThePathAsOneArgument) {
    const std::string args = world.File("args");
    InstallRecorder(world.File("movie/movietodisc"), args);
    InstallRecorder(world.File("clip/cliptodisc"), args);
    struct TCase {
        std::string Movie, Clip, Expected;
    };
    const TCase cases[] = {
        {world.File("movie"), world.File("clip/"), world.File("movie/movietodisc")},
        {"", world.File("clip/"), world.File("clip/cliptodisc")},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove(args);
        world.Started.clear();
        world.Register("movieTodisc", c.Movie);
        world.Register("ClipToDisc", c.Clip);
        EXPECT_TRUE(ClickDuringExecute("dvd_btn"));
        EXPECT_EQ(world.Started, QStringList{QString::fromStdString(c.Expected)});
        EXPECT_TRUE(test::WaitUntil([&] { return test::ReadText(args) == "1\n" + video + "\n"; }))
            << test::ReadText(args);
    }
    EXPECT_TRUE(world.Shown.empty()) << "an installed converter needs no question";
}

TEST_F(DoneDlg, AMissingProgramIsOfferedForDownload) {
    struct TCase {
        const char* Button;
        int Answer;
        const char* Question;
        const char* Url;
    };
    const TCase cases[] = {
        {"dvd_btn", idNo,
         "Convertion to DVD requires a third party product from Dalvex Software. "
         "Do you want to download it now ?",
         nullptr},
        {"dvd_btn", idYes, "Convertion to DVD", DvdConverterDownloadUrl},
        {"burncd_btn", idNo,
         "BurnDeck DVD is required to burn CDs or DVDs. Do you want to "
         "download it now ?",
         nullptr},
        {"burncd_btn", idYes, "BurnDeck DVD is required", BurnerDownloadUrl},
    };
    dlg.Translate = [](const QString& text) { return "[" + text + "]"; };
    for (const TCase& c : cases) {
        world.Opened.clear();
        world.Shown.clear();
        world.Answers = {c.Answer};
        bool stayedOpen = false;
        const bool ok = ClickDuringExecute(c.Button, [&] { stayedOpen = dlg.isVisible(); });
        ASSERT_EQ(world.Shown.size(), 1u) << c.Button;
        EXPECT_TRUE(world.Shown[0].Text.startsWith(QString("[") + c.Question)) << c.Button;
        EXPECT_EQ(world.Shown[0].Kind, mkWarning);
        // No leaves the dialog open for another choice; Yes goes on and closes it.
        EXPECT_EQ(stayedOpen, c.Answer == idNo) << c.Button;
        EXPECT_EQ(ok, c.Answer == idYes) << c.Button;
        EXPECT_EQ(world.Opened, c.Url ? QStringList{c.Url} : QStringList()) << c.Button;
        EXPECT_TRUE(world.Started.isEmpty());
    }
    // Yes with the burner still missing writes the job file; No does not get that far.
    EXPECT_TRUE(std::filesystem::exists(world.File("mrv_0.bdj")));
}

TEST_F(DoneDlg, BurnWritesTheJobListAndStartsTheBurner) {
    const std::string args = world.File("args");
    InstallRecorder(world.File("Dalvex/burndeck"), args);
    world.Register("BurnDeck", world.File("Dalvex"));
    TBurnDlg burn;
    burn.findChild<QTimer*>("tmr")->setInterval(100);
    dlg.BurnDlg = &burn;
    test::WriteText(world.File("mrv_0.bdj"), "an earlier job naming another video\r\n");

    EXPECT_TRUE(ClickDuringExecute("burncd_btn"));
    EXPECT_EQ(test::ReadText(world.File("mrv_0.bdj")), video + "\r\n");
    EXPECT_TRUE(test::WaitUntil([&] {
        return test::ReadText(args) == "2\n/datafl\n" + world.File("mrv_0.bdj") + "\n";
    })) << test::ReadText(args);
}

TEST_F(DoneDlg, BurnStopsWithAMessageWhenTheJobListCannotBeWritten) {
    const std::string args = world.File("args");
    InstallRecorder(world.File("Dalvex/burndeck"), args);
    world.Register("BurnDeck", world.File("Dalvex"));
    test::WriteText(world.File("a file"), "");
    dlg.JobFolder = QString::fromStdString(world.File("a file"));
    bool stayedOpen = false;
    EXPECT_FALSE(ClickDuringExecute("burncd_btn", [&] { stayedOpen = dlg.isVisible(); }));
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(world.Shown.size(), 1u);
    EXPECT_EQ(world.Shown[0].Kind, mkError);
    EXPECT_TRUE(
        world.Shown[0].Text.contains(QString::fromStdString(world.File("a file/mrv_0.bdj"))))
        << world.Shown[0].Text.toStdString();
    test::WaitUntil([] { return false; }, 200);
    EXPECT_FALSE(std::filesystem::exists(args)) << "the burner must not start";
}

} // namespace
