// Asked to end while dialogs are open or a render runs, under the application's own loop: the
// dialogs close, a render stops as by Cancel with its files kept, and the loop ends with 0.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "TestSupport.h"
#include "app/U_Application.h"
#include "app/U_GenControl.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

// How the program is asked to end.
enum class TAsk { Quit, Terminate, Hangup };

const char* Name(TAsk ask) {
    switch (ask) {
    case TAsk::Quit:
        return "the application's quit";
    case TAsk::Terminate:
        return "SIGTERM";
    case TAsk::Hangup:
        return "SIGHUP";
    }
    return "";
}

void AskToEnd(TAsk ask) {
    switch (ask) {
    case TAsk::Quit:
        QCoreApplication::quit();
        break;
    case TAsk::Terminate:
        raise(SIGTERM);
        break;
    case TAsk::Hangup:
        raise(SIGHUP);
        break;
    }
}

class TQuitTest : public TGenControlTest {
protected:
    // Runs the application's loop: `open` runs once it turns, and the program is asked to end
    // once `ready` holds. Returns the loop's exit code; -1 when it did not end within 30 s.
    int RunLoop(const std::function<void()>& open, const std::function<bool()>& ready, TAsk ask) {
        W().show();
        bool asked = false;
        QTimer watch;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!asked && ready()) {
                asked = true;
                AskedWhileRunning = W().Running();
                AskToEnd(ask);
            }
            if (clock.elapsed() > 30000) QCoreApplication::exit(-1);
        });
        QTimer::singleShot(0, &W(), open);
        watch.start(5);
        const int code = QApplication::exec();
        EXPECT_TRUE(asked);
        return code;
    }

    static bool ModalIs(const char* name) {
        QWidget* modal = QApplication::activeModalWidget();
        return modal && modal->isVisible() && modal->objectName() == name;
    }

    bool AskedWhileRunning = false;
};

TEST_F(TQuitTest, EveryOpenDialogClosesAndTheLoopEndsWithZero) {
    struct Case {
        const char* Dialog; // its objectName
        std::function<void(TMainDlg&)> Open;
    };
    const Case cases[] = {
        {"ReorderDlg", [](TMainDlg& w) { w.organize_btnClick(); }},
        {"JumpDlg", [](TMainDlg& w) { w.jump_btnClick(); }},
        {"SettingsDlg", [](TMainDlg& w) { w.settings_btnClick(); }},
        {"AboutDlg", [](TMainDlg& w) { w.about_btnClick(); }},
        {"ExpertDlg", [](TMainDlg& w) { w.exp_btnClick(); }},
        {"ProcessSuccessDlg", [](TMainDlg& w) { w.go_btnClick(); }},
    };
    for (const TAsk ask : {TAsk::Quit, TAsk::Terminate, TAsk::Hangup}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.Dialog) + ", " + Name(ask));
            Prepare(7, 200, 10);
            const std::vector<std::string> before = Paths();
            const int code = RunLoop([&] { c.Open(W()); }, [&] { return ModalIs(c.Dialog); }, ask);
            EXPECT_EQ(code, 0);
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "every dialog closed";
            EXPECT_FALSE(W().isVisible());
            EXPECT_FALSE(W().Running());
            EXPECT_EQ(Paths(), before) << "a closed dialog changes nothing";
            EXPECT_TRUE(Shell.Boxes.empty()) << Shell.Boxes.front().Text.toStdString();
            EXPECT_FALSE(MorvantaApp()->QuitRequested()) << "ready for the next loop";
            Window.reset();
            std::filesystem::remove(Out());
        }
    }
}

TEST_F(TQuitTest, ARunningRenderStopsAsByCancelAndKeepsItsFiles) {
    for (const TAsk ask : {TAsk::Quit, TAsk::Terminate}) {
        for (const bool earlier : {false, true}) {
            SCOPED_TRACE(std::string(Name(ask)) + (earlier ? ", over an earlier video" : ""));
            Prepare(4, 1000, 10); // 40 frames
            if (earlier) test::WriteText(Out(), "an earlier video");
            const int code =
                RunLoop([&] { W().go_btnClick(); }, [&] { return W().pb->value() >= 3; }, ask);
            EXPECT_EQ(code, 0);
            EXPECT_TRUE(AskedWhileRunning);
            EXPECT_FALSE(W().Running());
            EXPECT_FALSE(W().isVisible());
            EXPECT_TRUE(Shell.Boxes.empty()) << "nothing is asked of a user who is leaving";
            const std::string kept = earlier ? Dir.File("out.partial.avi") : Out();
            const std::string frames = test::Probe(kept, "v:0", "stream=nb_read_frames", true);
            ASSERT_FALSE(frames.empty()) << "the unfinished video is a readable AVI";
            EXPECT_GE(std::stoi(frames), 4);
            EXPECT_LT(std::stoi(frames), 40);
            if (earlier) {
                const auto bytes = test::ReadFile(Out());
                EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "an earlier video");
            }
            const auto log = LogLines();
            EXPECT_NE(std::find(log.begin(), log.end(), "Info\tAborted by user."), log.end());
            Window.reset();
            std::filesystem::remove(Out());
            std::filesystem::remove(Dir.File("out.partial.avi"));
        }
    }
}

// A run that ends after the request but before the closing reaches the window (its end was
// queued first) shows nothing to a user who is leaving: no Done dialog, no message.
TEST_F(TQuitTest, ARunEndingBetweenTheRequestAndTheClosingAsksNothing) {
    const std::pair<TRenderStatus, const char*> ends[] = {{TRenderStatus::Done, "done"},
                                                          {TRenderStatus::Failed, "failed"},
                                                          {TRenderStatus::Aborted, "aborted"}};
    for (const auto& [status, name] : ends) {
        SCOPED_TRACE(name);
        Shell.Boxes.clear();
        Prepare(2);
        TRenderOutcome outcome;
        outcome.Status = status;
        outcome.Message = "Cannot write " + Out() + ": No space left on device";
        outcome.FilesNote = Out() + " is unchanged.";
        outcome.KeptFile = Out();
        std::vector<std::string> opened;
        // The request's own closing would close a Done dialog at once: seen by its end.
        QObject::connect(W().Forms.ProcessSuccessDlg, &QDialog::finished,
                         [&] { opened.push_back("ProcessSuccessDlg"); });
        QTimer closer; // any other dialog, so that the test goes on
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            opened.push_back(dialog->objectName().toStdString());
            dialog->reject();
        });
        closer.start(5);
        MorvantaApp()->RequestQuit();
        FinishRun(W(), outcome);
        EXPECT_TRUE(opened.empty()) << opened.front();
        EXPECT_TRUE(Shell.Boxes.empty()) << Shell.Boxes.front().Text.toStdString();
        EXPECT_FALSE(LogLines().empty());
        // The request still ends the loop, and the next one starts afresh.
        QTimer stop;
        QObject::connect(&stop, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
        stop.start(30000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_FALSE(MorvantaApp()->QuitRequested());
        Window.reset();
    }
}

// The program itself, offscreen: each signal that asks it to end closes the window, writes the
// log's last line and exits with 0 once the program has started.
TEST(TQuitProgram, EachEndingSignalExitsWithZero) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        test::TempDir dir;
        const std::string exe = dir.File("morvanta");
        std::filesystem::copy_file(MORVANTA_EXE, exe);
        const std::string log = dir.File("Morvanta.log");
        std::vector<std::string> args = {exe, "-platform", "offscreen"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        // Its own settings store.
        std::string config = "MORVANTA_CONFIG_DIR=" + dir.File("config");
        std::vector<char*> env = {config.data()};
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "MORVANTA_CONFIG_DIR=", 20) != 0) env.push_back(*e);
        env.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &files, nullptr, argv.data(), env.data()), 0);
        posix_spawn_file_actions_destroy(&files);
        // Its handlers are in place once the window has started to log.
        const auto started = [&] {
            if (!std::filesystem::exists(log)) return false;
            const auto bytes = test::ReadFile(log);
            return std::string(bytes.begin(), bytes.end()).find("Starting") != std::string::npos;
        };
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 600 && !started(); ++i) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (ended) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_FALSE(ended) << "ended by itself with status " << status;
        ASSERT_TRUE(started());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(pid, signal);
        for (int i = 0; i < 600 && !ended; ++i) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "still running 30 s after the signal";
        }
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const std::vector<std::string> lines = FileLines(log);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "Info\tClosing...");
    }
}

} // namespace
} // namespace guitest
