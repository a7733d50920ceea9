// The Burn dialog with a fake burner: a script that, like the real one, holds its lock while it
// runs. Jobs must start one after another, never while a burner instance still runs.
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "AfterFakes.h"
#include "after/U_BurnDlg.h"
#include "platform/U_LockProbe.h"
#include "platform/os/U_FileDescriptor.h"

namespace {

struct TLogLine {
    std::string Kind;
    long long Ns = 0;
    std::string Rest;
};

std::vector<TLogLine> ReadLog(const std::string& path) {
    std::vector<TLogLine> lines;
    std::istringstream in(test::ReadText(path));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TLogLine entry;
        fields >> entry.Kind >> entry.Ns;
        std::getline(fields >> std::ws, entry.Rest);
        lines.push_back(entry);
    }
    return lines;
}

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class BurnDlg : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(jobs);
        dlg.JobFolder = QString::fromStdString(jobs);
        dlg.JobPrefix = "mrv";
        // One second between probes in the program; a tenth keeps the tests short.
        tmr()->setInterval(100);
    }
    QTimer* tmr() { return dlg.findChild<QTimer*>("tmr"); }
    // A burner that starts slowly (`startDelay` s before it takes its lock), then holds the
    // lock for `hold` s, logging each step with the time in nanoseconds.
    void InstallBurner(const std::string& startDelay, const std::string& hold) {
        world.WriteScript(world.File("Dalvex/burndeck"),
                          "log=" + test::ShellQuote(log) + "\n" +
                              "echo \"start $(date +%s%N) $2\" >> \"$log\"\n"
                              "sleep " +
                              startDelay + "\n" + "exec flock " +
                              test::ShellQuote(world.BurnerLock()) +
                              " sh -c 'echo \"held $(date +%s%N)\" >> \"$0\"; sleep " + hold +
                              "; echo \"end $(date +%s%N)\" >> \"$0\"' \"$log\"");
        world.Register("BurnDeck", world.File("Dalvex"));
    }

    test::TAfterWorld world;
    std::string jobs = world.File("job files $1");
    std::string log = world.File("burner.log");
    TBurnDlg dlg;
};

TEST_F(BurnDlg, StartsEachJobOnlyAfterTheLastBurnerEnded) {
    EXPECT_EQ(TBurnDlg().findChild<QTimer*>("tmr")->interval(), 1000);
    // The slow start would let a second job begin early if the start did not wait for the lock.
    InstallBurner("0.25", "0.3");
    dlg.JobCount = 3;
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.findChild<QProgressBar*>("prog")->value(), 3);

    const std::vector<TLogLine> lines = ReadLog(log);
    ASSERT_EQ(lines.size(), 9u) << test::ReadText(log);
    for (int job = 0; job < 3; ++job) {
        EXPECT_EQ(lines[job * 3].Kind, "start");
        EXPECT_EQ(lines[job * 3].Rest, jobs + "/mrv_" + std::to_string(job) + ".bdj");
        EXPECT_EQ(lines[job * 3 + 2].Kind, "end");
        if (job > 0) {
            EXPECT_GT(lines[job * 3].Ns, lines[job * 3 - 1].Ns)
                << "job " << job + 1 << " started while the burner before it still ran";
        }
    }
}

TEST_F(BurnDlg, HandsTheDiscKindAndJobFilesAsSeparateArguments) {
    const std::string args = world.File("args");
    world.WriteScript(world.File("Dalvex/burndeck"),
                      "printf '%s\\n' \"$#\" \"$@\" > " + test::ShellQuote(args));
    world.Register("BurnDeck", world.File("Dalvex/burndeck"));
    struct TCase {
        bool AudioCd, IsoOnly;
        std::string Expected;
    };
    const TCase cases[] = {
        {false, false, "2\n/datafl\n" + jobs + "/mrv_0.bdj\n"},
        {true, true, "3\n/cdaudio\n" + jobs + "/mrv_0.bdj\n/isoonly=" + jobs + "/mrv_0.iso\n"},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove(args);
        dlg.JobCount = 1;
        dlg.AudioCd = c.AudioCd;
        dlg.IsoOnly = c.IsoOnly;
        EXPECT_TRUE(dlg.Execute());
        EXPECT_TRUE(test::WaitUntil([&] { return test::ReadText(args) == c.Expected; }))
            << test::ReadText(args);
    }
}

TEST_F(BurnDlg, CancelLeavesARunningBurnerAlone) {
    InstallBurner("0", "1.2");
    dlg.JobCount = 2;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (IsLockHeld(world.BurnerLock())) dlg.findChild<QPushButton*>("cancel_btn")->click();
    });
    watch.start(20);
    EXPECT_FALSE(dlg.Execute());
    watch.stop();
    EXPECT_TRUE(IsLockHeld(world.BurnerLock())) << "the burner must go on after Cancel";
    EXPECT_TRUE(
        test::WaitUntil([&] { return test::ReadText(log).find("end") != std::string::npos; }));
    // It finished by itself, and no second job was started.
    const std::vector<TLogLine> lines = ReadLog(log);
    ASSERT_EQ(lines.size(), 3u) << test::ReadText(log);
    test::WaitUntil([] { return false; }, 300);
    EXPECT_EQ(ReadLog(log).size(), 3u);
}

TEST_F(BurnDlg, WaitsForABurnerThatRanBeforeItOpened) {
    InstallBurner("0", "0");
    test::WriteText(world.BurnerLock(), "");
    TFileDescriptor running(::open(world.BurnerLock().c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(running.Get(), LOCK_EX | LOCK_NB), 0);
    long long released = 0;
    QTimer::singleShot(400, [&] {
        released = NowNs();
        running.Close();
    });
    dlg.JobCount = 1;
    EXPECT_TRUE(dlg.Execute());
    const std::vector<TLogLine> lines = ReadLog(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_GT(lines[0].Ns, released);
}

TEST_F(BurnDlg, ShowsNothingWhenThereIsNothingToStart) {
    struct TCase {
        const char* Name;
        bool Installed;
        int JobCount;
        QString Prefix;
    };
    const TCase cases[] = {
        {"no burner", false, 1, "mrv"},
        {"no jobs", true, 0, "mrv"},
        {"no prefix", true, 1, ""},
    };
    for (const TCase& c : cases) {
        world.Register("BurnDeck", c.Installed ? world.File("Dalvex") : "");
        if (c.Installed) InstallBurner("0", "0");
        dlg.JobCount = c.JobCount;
        dlg.JobPrefix = c.Prefix;
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = dlg.isVisible();
            dlg.reject();
        });
        EXPECT_FALSE(dlg.Execute()) << c.Name;
        test::WaitUntil([] { return false; }, 50);
        EXPECT_FALSE(shown) << c.Name;
        EXPECT_FALSE(std::filesystem::exists(log)) << c.Name;
    }
}

TEST_F(BurnDlg, MovesOnWhenTheBurnerCannotStart) {
    // Found (an executable file) but not startable: its interpreter does not exist.
    std::filesystem::create_directories(world.File("Dalvex"));
    test::WriteText(world.File("Dalvex/burndeck"), "#!/nonexistent/interpreter\n");
    std::filesystem::permissions(world.File("Dalvex/burndeck"), std::filesystem::perms::owner_all);
    world.Register("BurnDeck", world.File("Dalvex"));
    dlg.JobCount = 2;
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.findChild<QProgressBar*>("prog")->value(), 2);
}

} // namespace
