// A render killed outright (SIGKILL, a power cut as far as the file is concerned) leaves one
// file, under the name reserved beside the earlier output, and every frame it holds stays
// readable.
//
// How: the writer puts the headers on disk before the first frame, with the RIFF and movi sizes
// left at 0, and writes each chunk with one system call; only Close writes idx1 and the real
// sizes. A killed render therefore leaves a file without idx1 whose movi runs to the end of the
// file, and ffmpeg, finding no index, scans movi chunk by chunk. (No incremental index is
// written: the test below checks that the partial file has no idx1 and zero sizes, so it is
// this scan that recovers the frames.)
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "FaultHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;

namespace {

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

bool IdAt(const std::vector<std::uint8_t>& b, std::size_t at, const char* id) {
    return at + 4 <= b.size() && std::equal(id, id + 4, b.begin() + static_cast<long>(at));
}

struct TPartialLayout {
    std::uint32_t RiffSize = 1;
    std::uint32_t MoviSize = 1;
    bool HasIdx1 = false;
    int WholeFrames = 0; // complete video chunks in movi
};

// Walks movi of a file whose writer died: chunk after chunk up to the first one cut short.
TPartialLayout ReadPartialLayout(const std::vector<std::uint8_t>& b) {
    TPartialLayout layout;
    if (b.size() < 12 || !IdAt(b, 0, "RIFF") || !IdAt(b, 8, "AVI ")) return layout;
    layout.RiffSize = Get32(b, 4);
    std::size_t at = 12;
    while (at + 12 <= b.size() && !(IdAt(b, at, "LIST") && IdAt(b, at + 8, "movi"))) {
        const std::uint32_t size = Get32(b, at + 4);
        at += 8 + size + (size & 1);
    }
    if (at + 12 > b.size()) return layout;
    layout.MoviSize = Get32(b, at + 4);
    at += 12;
    while (at + 8 <= b.size()) {
        const std::uint32_t size = Get32(b, at + 4);
        if (IdAt(b, at, "idx1")) layout.HasIdx1 = true;
        if (at + 8 + size > b.size()) break;
        if (b[at + 2] == 'd' && b[at + 3] == 'c') ++layout.WholeFrames;
        at += 8 + size + (size & 1);
    }
    return layout;
}

} // namespace

TEST(CrashSafety, RenderKilledAtARandomFrameLeavesReadableFrames) {
    test::TempDir dir;
    const auto pictures = e2e::MakePictures(dir, 4);
    const std::string output = dir.File("show.avi");
    const std::vector<std::uint8_t> older = {'o', 'l', 'd'};
    test::WriteFile(output, older);

    // 6000 frames at 25 fps: far more than are written before the kill.
    e2e::TBackground render(Concat({MORVANTA_RENDER_EXE, "-q", "-c", "MJPG", "-r", "25", "-t",
                                    "60000", "--size", "160x120", "-o", output},
                                   PictureArgs(pictures)),
                            dir.File("stderr.txt"));
    std::random_device seed;
    const std::uintmax_t killAt = 64 * 1024 + seed() % (512 * 1024);
    SCOPED_TRACE("killed past " + std::to_string(killAt) + " bytes");
    const std::string work = e2e::WaitForGrowingFile(render, dir.Path(), ".avi", killAt);
    ASSERT_FALSE(work.empty()) << "the render never wrote its work file";
    render.Signal(SIGKILL);
    ASSERT_EQ(render.Wait(), 128 + SIGKILL);
    EXPECT_EQ(work, dir.File("show.partial.avi")) << "the frames are at the reserved name";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        if (entry.path().extension() != ".txt") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"pic0.bmp", "pic1.bmp", "pic2.bmp", "pic3.bmp",
                                               "show.avi", "show.partial.avi"}))
        << "one file beside the earlier one, no empty reservation or work file";

    EXPECT_EQ(test::ReadFile(output), older) << "the older video is untouched";
    const auto bytes = test::ReadFile(work);
    const TPartialLayout layout = ReadPartialLayout(bytes);
    EXPECT_EQ(layout.RiffSize, 0u) << "the RIFF size is only written by Close";
    EXPECT_EQ(layout.MoviSize, 0u) << "the movi size is only written by Close";
    EXPECT_FALSE(layout.HasIdx1);
    ASSERT_GT(layout.WholeFrames, 25) << "more than one second was on disk";

    // Every whole frame decodes, except at most the last second's worth.
    EXPECT_EQ(e2e::DecodeErrors(work), "");
    const int decoded = std::stoi("0" + test::Probe(work, "v:0", "stream=nb_read_frames", true));
    EXPECT_GE(decoded, layout.WholeFrames - 25);
    EXPECT_LE(decoded, layout.WholeFrames);
}
