// A re-render over a video the user already has: only a complete result replaces it. A stop, a
// failed picture or a failed soundtrack leaves it byte for byte as it was, and what was made is
// kept beside it under a name that says what it is.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>

#include "FaultHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReadText(const std::string& path) {
    const auto bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// A folder with pictures and a complete earlier video at show.avi.
struct TReRender {
    test::TempDir Dir;
    std::vector<std::string> Pictures = e2e::MakePictures(Dir, 3);
    std::string Output = Dir.File("show.avi");
    std::vector<std::uint8_t> Earlier;

    TReRender() {
        auto made = e2e::Render(Concat(
            {"-q", "-c", "MJPG", "--single-frame", "--size", "64x48", "-o", Output}, Pictures));
        if (made.ExitCode != 0) throw std::runtime_error("earlier video: " + made.Err);
        Earlier = test::ReadFile(Output);
    }

    // A render of 4500 frames: far longer than any test waits.
    std::vector<std::string> LongRender() const {
        return Concat(
            {"-q", "-c", "MJPG", "-r", "25", "-t", "60000", "--size", "96x64", "-o", Output},
            Pictures);
    }
};

struct SignalCase {
    const char* Name;
    int Signal;
    int ExitCode;
    bool UsersPartialThere; // a file of the user's already has the name show.partial.avi
    const char* KeptName;
};

class StopOverAnEarlierVideo : public ::testing::TestWithParam<SignalCase> {};

} // namespace

TEST_P(StopOverAnEarlierVideo, KeepsItAndPutsThePartialBeside) {
    const SignalCase& c = GetParam();
    TReRender run;
    if (c.UsersPartialThere) test::WriteText(run.Dir.File("show.partial.avi"), "the user's");
    const auto before = e2e::Snapshot(run.Dir.Path());

    const std::string errFile = run.Dir.File("stderr.txt");
    std::vector<std::string> argv = run.LongRender();
    argv.insert(argv.begin(), MORVANTA_RENDER_EXE);
    e2e::TBackground render(argv, errFile);
    // The frames go straight into the name reserved for them.
    ASSERT_FALSE(e2e::WaitForGrowingFile(render, run.Dir.Path(), c.KeptName, 60000).empty())
        << "the render never wrote its work file";
    render.Signal(c.Signal);
    EXPECT_EQ(render.Wait(), c.ExitCode);
    const std::string err = ReadText(errFile);

    const std::string kept = run.Dir.File(c.KeptName);
    EXPECT_EQ(test::ReadFile(run.Output), run.Earlier) << "the earlier video is byte-identical";
    EXPECT_TRUE(Contains(err, "Aborted by user.")) << err;
    EXPECT_TRUE(Contains(err, "The unfinished video was kept at " + kept + "; " + run.Output +
                                  " is unchanged."))
        << err;
    EXPECT_EQ(e2e::DecodeErrors(kept), "");
    const int frames = std::stoi("0" + test::Probe(kept, "v:0", "stream=nb_read_frames", true));
    EXPECT_GT(frames, 10);
    EXPECT_LT(frames, 4500);

    auto after = e2e::Snapshot(run.Dir.Path());
    after.erase("stderr.txt");
    EXPECT_EQ(e2e::NewNames(before, after), std::vector<std::string>{c.KeptName})
        << "no work file or reservation stays";
    for (const auto& [name, bytes] : before) EXPECT_EQ(after.at(name), bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StopOverAnEarlierVideo,
    ::testing::Values(SignalCase{"Sigint", SIGINT, 130, false, "show.partial.avi"},
                      SignalCase{"Sigterm", SIGTERM, 143, false, "show.partial.avi"},
                      SignalCase{"SigintBesideTheUsersPartial", SIGINT, 130, true,
                                 "show.partial-1.avi"}),
    [](const auto& info) { return std::string(info.param.Name); });

namespace {

// A render over the earlier video that fails: the command (made with the folder's inputs) and
// what the user's folder holds afterwards.
struct FailureCase {
    const char* Name;
    std::function<std::vector<std::string>(TReRender&)> Command;
    // Runs while the render runs, once its work file grows (none: the render runs in the
    // foreground).
    std::function<void(TReRender&)> DuringTheRender;
    std::vector<std::string> ErrParts; // each is on standard error; "%D" stands for the folder
    std::vector<std::string> NewNames; // what the failed run leaves in the folder
    double MaxSeconds;                 // a refusal before the first frame is quick
};

class FailureOverAnEarlierVideo : public ::testing::TestWithParam<FailureCase> {};

std::string Expand(std::string text, const std::string& folder) {
    for (auto at = text.find("%D"); at != std::string::npos; at = text.find("%D"))
        text.replace(at, 2, folder);
    return text;
}

void WriteNoise(const std::string& path, std::size_t bytes) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(bytes);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random() & 0x7F); // no 0xFF: no sync
    test::WriteFile(path, noise);
}

} // namespace

TEST_P(FailureOverAnEarlierVideo, KeepsItByteForByte) {
    const FailureCase& c = GetParam();
    TReRender run;
    std::vector<std::string> args = c.Command(run);
    const auto before = e2e::Snapshot(run.Dir.Path());

    const auto start = std::chrono::steady_clock::now();
    test::CommandResult result;
    if (!c.DuringTheRender) {
        result = e2e::Render(args);
    } else {
        args.insert(args.begin(), MORVANTA_RENDER_EXE);
        const std::string errFile = run.Dir.File("stderr.txt");
        {
            e2e::TBackground render(args, errFile);
            ASSERT_FALSE(
                e2e::WaitForGrowingFile(render, run.Dir.Path(), ".partial.avi", 20000).empty());
            c.DuringTheRender(run);
            result.ExitCode = render.Wait();
        }
        result.Err = ReadText(errFile);
        fs::remove(errFile);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_LT(seconds, c.MaxSeconds);
    for (const auto& part : c.ErrParts)
        EXPECT_TRUE(Contains(result.Err, Expand(part, run.Dir.File("")))) << result.Err;
    EXPECT_EQ(test::ReadFile(run.Output), run.Earlier) << "the earlier video is byte-identical";

    const auto after = e2e::Snapshot(run.Dir.Path());
    EXPECT_EQ(e2e::NewNames(before, after), c.NewNames);
    for (const auto& name : c.NewNames) {
        EXPECT_EQ(e2e::DecodeErrors(run.Dir.File(name)), "") << name;
        EXPECT_EQ(test::Probe(run.Dir.File(name), "a", "stream=codec_type"), "") << "silent";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureOverAnEarlierVideo,
    ::testing::Values(
        // Not MPEG audio at all: refused before the first frame of a 4500-frame render.
        FailureCase{"SoundtrackRefusedAtOnce",
                    [](TReRender& run) {
                        WriteNoise(run.Dir.File("song.mp3"), 200000);
                        return Concat(run.LongRender(), {"-s", run.Dir.File("song.mp3")});
                    },
                    {},
                    {"Cannot use the soundtrack %Dsong.mp3: No MPEG audio frame found in "
                     "%Dsong.mp3"},
                    {},
                    5.0},
        // Sound when checked, noise when multiplexed: the multiplexing itself fails.
        FailureCase{"SoundtrackReplacedDuringTheRender",
                    [](TReRender& run) {
                        e2e::MakeMp3(run.Dir.File("song.mp3"), 2.0);
                        return Concat({"-q", "-c", "MJPG", "-r", "25", "-t", "20000", "--size",
                                       "96x64", "-s", run.Dir.File("song.mp3"), "-o", run.Output},
                                      run.Pictures);
                    },
                    [](TReRender& run) { WriteNoise(run.Dir.File("song.mp3"), 200000); },
                    {"No MPEG audio frame found in %Dsong.mp3",
                     "The video without sound was kept at %Dshow.silent.avi; %Dshow.avi is "
                     "unchanged."},
                    {"show.silent.avi"},
                    60.0}),
    [](const auto& info) { return std::string(info.param.Name); });

namespace {

// A JPEG whose header is sound and whose data is cut short: the checks before the render pass
// it, the render fails when it reaches it.
std::string MakeCutJpeg(const test::TempDir& dir) {
    const std::string cut = dir.File("cut.jpg");
    auto made = test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                           "testsrc=size=320x240", "-frames:v", "1", cut});
    if (made.ExitCode != 0) throw std::runtime_error(made.Err);
    const auto bytes = test::ReadFile(cut);
    test::WriteFile(cut, {bytes.begin(), bytes.begin() + bytes.size() / 2});
    return cut;
}

// The MD5 of every decoded frame, in order.
std::vector<std::string> FrameHashes(const std::string& file) {
    const auto r =
        test::Run({"ffmpeg", "-v", "error", "-i", file, "-map", "0:v", "-f", "framemd5", "-"});
    std::vector<std::string> hashes;
    std::size_t at = 0;
    while (at < r.Out.size()) {
        const std::size_t end = std::min(r.Out.find('\n', at), r.Out.size());
        const std::string line = r.Out.substr(at, end - at);
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
        at = end + 1;
    }
    return hashes;
}

struct MidRunCase {
    const char* Name;
    bool EarlierVideo;
    const char* KeptName; // where the frames made before the failure are
    const char* FilesNote;
};

class PictureFailsMidRun : public ::testing::TestWithParam<MidRunCase> {};

} // namespace

// H264 holds frames back in its encoder: they must still reach the kept file.
TEST_P(PictureFailsMidRun, KeepsTheFramesMadeBeforeIt) {
    const MidRunCase& c = GetParam();
    test::TempDir dir;
    const auto pictures = e2e::MakePictures(dir, 2);
    const std::string cut = MakeCutJpeg(dir);
    const std::string output = dir.File("show.avi");
    // 25 frames per picture: the first two pictures give 50 frames, then the third fails.
    const std::vector<std::string> options = {"-q", "-c",   "H264",           "-r",     "25",
                                              "-t", "1000", "--no-crossfade", "--size", "96x64"};
    test::TempDir scratch;
    const std::string reference = scratch.File("two.avi");
    auto made = e2e::Render(Concat(Concat(options, {"-o", reference}), pictures));
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    std::vector<std::uint8_t> earlier;
    if (c.EarlierVideo) {
        made = e2e::Render(Concat(
            {"-q", "-c", "MJPG", "--single-frame", "--size", "64x48", "-o", output}, pictures));
        ASSERT_EQ(made.ExitCode, 0) << made.Err;
        earlier = test::ReadFile(output);
    }
    const auto before = e2e::Snapshot(dir.Path());

    const auto result =
        e2e::Render(Concat(Concat(options, {"-o", output}), Concat(pictures, {cut})));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_TRUE(Contains(result.Err, "Cannot load picture " + cut + ": Premature end of JPEG file"))
        << result.Err;
    EXPECT_TRUE(Contains(result.Err, Expand(c.FilesNote, dir.File("")))) << result.Err;

    const std::string kept = dir.File(c.KeptName);
    if (c.EarlierVideo) {
        EXPECT_EQ(test::ReadFile(output), earlier) << "byte-identical";
    }
    const auto after = e2e::Snapshot(dir.Path());
    EXPECT_EQ(e2e::NewNames(before, after), std::vector<std::string>{c.KeptName})
        << "no work file or reservation stays";
    EXPECT_TRUE(e2e::NewNames(after, before).empty()) << "nothing of the user's went";
    EXPECT_EQ(e2e::DecodeErrors(kept), "");
    const auto expected = FrameHashes(reference);
    ASSERT_EQ(expected.size(), 50u);
    EXPECT_EQ(FrameHashes(kept), expected) << "exactly the frames made before the failure";
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, PictureFailsMidRun,
    ::testing::Values(MidRunCase{"OverAnEarlierVideo", true, "show.partial.avi",
                                 "The unfinished video was kept at %Dshow.partial.avi; %Dshow.avi "
                                 "is unchanged."},
                      MidRunCase{"WithoutAnEarlierVideo", false, "show.avi",
                                 "The unfinished video was kept at %Dshow.avi."}),
    [](const auto& info) { return std::string(info.param.Name); });

// The soundtrack cannot be written for want of room: the multiplexing fails at its end.
TEST(SoundtrackFailure, FullDiskKeepsTheSilentVideoBesideTheEarlierOne) {
    TReRender run;
    const std::string mp3 = run.Dir.File("song.mp3");
    e2e::MakeMp3(mp3, 4.0);
    const std::vector<std::string> render = {
        "-q",     "-c",    "DIB", "-r", "10", "-t",      "1000", "--no-crossfade",
        "--size", "64x48", "-s",  mp3,  "-o", run.Output};
    test::TempDir scratch;
    auto made = e2e::Render(Concat({"-q", "-c", "DIB", "-r", "10", "-t", "1000", "--no-crossfade",
                                    "--size", "64x48", "-o", scratch.File("silent.avi")},
                                   run.Pictures));
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    const auto before = e2e::Snapshot(run.Dir.Path());

    // The silent video fits under the limit; with 64 kB of sound added the final file does not.
    const std::uintmax_t limit = fs::file_size(scratch.File("silent.avi")) + 4096;
    auto result =
        test::Run(Concat({"prlimit", "--fsize=" + std::to_string(limit), MORVANTA_RENDER_EXE},
                         Concat(render, run.Pictures)));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_TRUE(Contains(result.Err, "StreamWrite failed. Err: $")) << result.Err;
    EXPECT_TRUE(Contains(result.Err, "(File too large)")) << result.Err;
    EXPECT_TRUE(Contains(result.Err, "Writing the video with its soundtrack failed")) << result.Err;
    const std::string silent = run.Dir.File("show.silent.avi");
    EXPECT_TRUE(Contains(result.Err, "The video without sound was kept at " + silent + "; " +
                                         run.Output + " is unchanged."))
        << result.Err;

    EXPECT_EQ(test::ReadFile(run.Output), run.Earlier);
    EXPECT_EQ(test::ReadFile(silent), test::ReadFile(scratch.File("silent.avi")));
    EXPECT_EQ(e2e::NewNames(before, e2e::Snapshot(run.Dir.Path())),
              std::vector<std::string>{"show.silent.avi"})
        << "no intermediate or partial file stays";
}
