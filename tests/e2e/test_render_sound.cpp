// Renders with a soundtrack end in one AVI: the video stream plus the MP3's own frames.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "RenderHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;
using e2e::Render;

extern char** environ;

namespace {

struct SoundCase {
    const char* Name;
    std::vector<std::string> EncodeArgs; // ffmpeg output options
    const char* SampleRate;
    const char* Channels;
};

class RenderSound : public ::testing::TestWithParam<SoundCase> {};

double ToDouble(const std::string& text) {
    return text.empty() ? -1 : std::stod(text);
}

// Samples the decoder gives for the first audio stream of `file`.
long long DecodedSamples(const std::string& file) {
    auto result = test::Run(
        {"ffmpeg", "-v", "error", "-i", file, "-map", "0:a:0", "-f", "s16le", "-ac", "1", "-"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    return static_cast<long long>(result.Out.size() / 2);
}

} // namespace

TEST_P(RenderSound, HuffYuvVideoWithSoundtrack) {
    const SoundCase c = GetParam();
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 3);
    const std::string mp3 = dir.File("song.mp3");
    std::vector<std::string> encode = {
        "ffmpeg", "-v",    "error", "-y",
        "-f",     "lavfi", "-i",    "sine=frequency=330:sample_rate=44100:duration=5"};
    encode.insert(encode.end(), c.EncodeArgs.begin(), c.EncodeArgs.end());
    encode.push_back(mp3);
    auto made = test::Run(encode);
    ASSERT_EQ(made.ExitCode, 0) << made.Err;

    const std::string out = dir.File("with sound.avi");
    auto result = Render(Concat(
        {"-q", "-c", "HFYU", "-r", "10", "-t", "1500", "--size", "160x120", "-s", mp3, "-o", out},
        PictureArgs(pics)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_FALSE(fs::exists(dir.File("temp.avi"))) << "the intermediate file is deleted";

    EXPECT_EQ(test::Probe(out, "v:0", "stream=codec_name"), "huffyuv");
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "45");
    EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name"), "mp3");
    EXPECT_EQ(test::Probe(out, "a:0", "stream=sample_rate"), c.SampleRate);
    EXPECT_EQ(test::Probe(out, "a:0", "stream=channels"), c.Channels);
    EXPECT_EQ(e2e::DecodeErrors(out), "");

    // The audio plays as long as the MP3 itself, within one frame, and decodes to as many samples
    // within two frames (the encoder's info frame and gapless trimming differ).
    const double ownDuration = ToDouble(test::Probe(mp3, "a:0", "format=duration"));
    const double muxedDuration = ToDouble(test::Probe(out, "a:0", "stream=duration"));
    const double frameSeconds =
        (std::string(c.SampleRate) == "44100" ? 1152.0 : 576.0) / std::stod(c.SampleRate);
    EXPECT_NEAR(muxedDuration, ownDuration, frameSeconds + 1e-3);
    const long long ownSamples = DecodedSamples(mp3);
    const long long muxedSamples = DecodedSamples(out);
    EXPECT_LE(std::llabs(ownSamples - muxedSamples), static_cast<long long>(2 * 1152))
        << ownSamples << " vs " << muxedSamples;
}

INSTANTIATE_TEST_SUITE_P(
    Soundtracks, RenderSound,
    ::testing::Values(SoundCase{"CbrTagged",
                                {"-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", "-id3v2_version",
                                 "3", "-write_id3v1", "1", "-metadata", "title=Morvanta test",
                                 "-metadata", "artist=Nobody"},
                                "44100",
                                "2"},
                      SoundCase{
                          "Vbr", {"-ac", "2", "-c:a", "libmp3lame", "-q:a", "4"}, "44100", "2"},
                      SoundCase{"Mpeg2Mono",
                                {"-ac", "1", "-ar", "22050", "-c:a", "libmp3lame", "-b:a", "64k"},
                                "22050",
                                "1"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(RenderSoundFailure, SoundtrackWithoutUsableFramesIsRefusedBeforeTheFirstFrame) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 2);
    // Layer I frames: the duration reader accepts them, but the multiplexer finds no frame to
    // copy; the check before the render applies the multiplexer's rules.
    std::vector<std::uint8_t> layer1;
    for (int i = 0; i < 40; ++i) {
        std::vector<std::uint8_t> frame(136, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFF;
        frame[2] = 0x90;
        layer1.insert(layer1.end(), frame.begin(), frame.end());
    }
    const std::string sound = dir.File("old.mp1");
    test::WriteFile(sound, layer1);
    const std::string out = dir.File("out.avi");
    auto result = Render(
        Concat({"-q", "-c", "DIB", "--single-frame", "--size", "64x48", "-s", sound, "-o", out},
               PictureArgs(pics)));
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("Cannot use the soundtrack " + sound +
                              ": No MPEG audio frame found in " + sound),
              std::string::npos)
        << result.Err;
    EXPECT_FALSE(fs::exists(out)) << "nothing was rendered";
    EXPECT_FALSE(fs::exists(dir.File("temp.avi")));
}

namespace {

// Starts a long render, waits until its video file grows, then sends `sig`.
int InterruptRender(const test::TempDir& dir, const std::string& out, int sig) {
    const auto pics = e2e::MakePictures(dir, 4);
    std::vector<std::string> args = {
        MORVANTA_RENDER_EXE, "-q", "-c", "MJPG", "-r", "25", "-t", "60000", "--size",
        "160x120",           "-o", out};
    for (const auto& p : pics) args.insert(args.end(), {"-p", p});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool growing = false;
    while (!growing && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().extension() != ".bmp" && entry.is_regular_file() &&
                entry.file_size() > 200000)
                growing = true;
    }
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(RenderSignals, InterruptLeavesAPlayablePartialVideo) {
    for (int sig : {SIGINT, SIGTERM}) {
        test::TempDir dir;
        const std::string out = dir.File("long.avi");
        EXPECT_EQ(InterruptRender(dir, out, sig), sig == SIGINT ? 130 : 143);
        ASSERT_TRUE(fs::exists(out)) << "the frames so far stay at the output path";
        const int frames = std::stoi("0" + test::Probe(out, "v:0", "stream=nb_read_frames", true));
        EXPECT_GT(frames, 10);
        EXPECT_LT(frames, 4 * 1500);
        EXPECT_EQ(e2e::DecodeErrors(out), "");
    }
}
