// morvanta-render's progress bar, seen through a real pseudo-terminal: one bar for the video and
// the soundtrack that only moves forward, ends at 100 % and fits the terminal; none when
// standard error is not a terminal.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <regex>

#include "RenderHarness.h"

extern char** environ;

using e2e::Concat;

namespace {

struct TTerminalRun {
    int ExitCode = -1;
    std::string Output; // standard output and error as the terminal received them
};

// Runs morvanta-render on a new pseudo-terminal of `columns` columns (0: the terminal does not
// say), with $COLUMNS removed from the environment unless `columnsVariable` gives it.
TTerminalRun RunOnTerminal(const std::vector<std::string>& args, unsigned short columns,
                           const std::string& columnsVariable) {
    // Everything the child needs is made before the fork.
    std::vector<std::string> argStore = {MORVANTA_RENDER_EXE};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "COLUMNS=", 8) != 0) envStore.emplace_back(*e);
    if (!columnsVariable.empty()) envStore.push_back("COLUMNS=" + columnsVariable);
    std::vector<char*> argv, envp;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid < 0) throw std::runtime_error("forkpty failed");
    if (pid == 0) {
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    TTerminalRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 200) <= 0) continue;
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break; // EIO once the program has ended and closed the terminal
        run.Output.append(buffer, static_cast<std::size_t>(n));
    }
    close(master);
    kill(pid, SIGKILL); // only when the deadline passed; harmless on an ended child
    int status = 0;
    waitpid(pid, &status, 0);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

struct TBarDraw {
    std::string Text; // as shown, without the erase-to-end-of-line sequence
    int Percent = -1;
};

// The bar's draws, in order: every piece between carriage returns and line ends that shows a
// percentage and a bar.
std::vector<TBarDraw> BarDraws(const std::string& output) {
    static const std::regex bar(R"(^(?:(Video|Sound) )?\s*(\d+)% \[[#-]*\])");
    std::vector<TBarDraw> draws;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= output.size(); ++i) {
        if (i < output.size() && output[i] != '\r' && output[i] != '\n') continue;
        std::string piece = output.substr(start, i - start);
        start = i + 1;
        if (const auto erase = piece.find("\x1b[K"); erase != std::string::npos)
            piece.erase(erase, 3);
        std::smatch match;
        if (std::regex_search(piece, match, bar)) draws.push_back({piece, std::stoi(match[2])});
    }
    return draws;
}

struct BarCase {
    const char* Name;
    unsigned short Columns;
    const char* ColumnsVariable;
    std::size_t Width; // the terminal's width as the program should see it
};

class ProgressBar : public ::testing::TestWithParam<BarCase> {};

// Two phases: 3 pictures of 2 s at 25 fps, then a 2 s soundtrack.
std::vector<std::string> SoundedRender(const test::TempDir& dir) {
    const auto pics = e2e::MakePictures(dir, 3);
    const std::string mp3 = dir.File("song.mp3");
    e2e::MakeMp3(mp3, 2.0);
    return Concat({"-c", "MJPG", "-r", "25", "-t", "2000", "--size", "160x120", "-s", mp3, "-o",
                   dir.File("show.avi")},
                  pics);
}

} // namespace

TEST_P(ProgressBar, OneBarThatOnlyMovesForwardFitsAndEndsAtOneHundred) {
    const BarCase& c = GetParam();
    test::TempDir dir;
    const TTerminalRun run = RunOnTerminal(SoundedRender(dir), c.Columns, c.ColumnsVariable);
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    const std::vector<TBarDraw> draws = BarDraws(run.Output);
    ASSERT_GT(draws.size(), 5u) << run.Output;

    int previous = 0;
    for (const TBarDraw& draw : draws) {
        SCOPED_TRACE(draw.Text);
        EXPECT_LT(draw.Text.size(), c.Width) << "fits, with the last column left free";
        EXPECT_GE(draw.Percent, previous) << "never moves back";
        previous = draw.Percent;
    }
    EXPECT_EQ(draws.back().Percent, 100);
    EXPECT_EQ(std::count_if(draws.begin(), draws.end(),
                            [](const TBarDraw& d) { return d.Percent == 100; }),
              1)
        << "100 % only once the whole job is done";

    // One bar: redrawn in place from its first draw to its last, one line break after it.
    const auto first = run.Output.find(draws.front().Text);
    const auto wrote = run.Output.find("Wrote ");
    ASSERT_NE(wrote, std::string::npos) << run.Output;
    const std::string barRun = run.Output.substr(first, wrote - first);
    EXPECT_EQ(std::count(barRun.begin(), barRun.end(), '\n'), 1) << barRun;
}

INSTANTIATE_TEST_SUITE_P(Widths, ProgressBar,
                         ::testing::Values(BarCase{"Narrow", 40, "", 40},
                                           BarCase{"Wide", 120, "", 120},
                                           BarCase{"FromTheColumnsVariable", 0, "52", 52}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ProgressBarParts, AWideBarShowsPhaseTimesAndRate) {
    test::TempDir dir;
    const TTerminalRun run = RunOnTerminal(SoundedRender(dir), 120, "");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    const std::vector<TBarDraw> draws = BarDraws(run.Output);
    ASSERT_FALSE(draws.empty()) << run.Output;
    static const std::regex video(
        R"(^Video +\d+% \[[#-]+\] \d+:\d\d \d+\.\d fps (\d+:\d\d|-:--) left$)");
    static const std::regex sound(R"(^Sound +\d+% \[[#-]+\] \d+:\d\d (\d+:\d\d|-:--) left$)");
    const auto matches = [&](const std::regex& pattern) {
        return std::count_if(draws.begin(), draws.end(),
                             [&](const TBarDraw& d) { return std::regex_search(d.Text, pattern); });
    };
    EXPECT_GT(matches(video), 0) << run.Output;
    EXPECT_GT(matches(sound), 0) << run.Output;
    EXPECT_EQ(matches(video) + matches(sound), static_cast<long>(draws.size())) << run.Output;
    EXPECT_TRUE(std::regex_search(draws.back().Text, sound)) << "the soundtrack comes last";
}

TEST(ProgressBarParts, NoBarWhenStandardErrorIsNotATerminalOrWithQuiet) {
    test::TempDir dir;
    const std::vector<std::string> args = SoundedRender(dir);
    // Standard error a pipe.
    auto piped = e2e::Render(args);
    ASSERT_EQ(piped.ExitCode, 0) << piped.Err;
    EXPECT_EQ(piped.Err.find('\r'), std::string::npos) << piped.Err;
    EXPECT_EQ(piped.Err.find('%'), std::string::npos) << piped.Err;
    EXPECT_NE(piped.Err.find("Wrote "), std::string::npos) << piped.Err;
    // A terminal, but asked to be quiet.
    const TTerminalRun quiet = RunOnTerminal(Concat({"-q"}, args), 80, "");
    ASSERT_EQ(quiet.ExitCode, 0) << quiet.Output;
    EXPECT_TRUE(BarDraws(quiet.Output).empty()) << quiet.Output;
}
