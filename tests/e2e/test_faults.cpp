// Outputs that cannot be written: a missing folder, a folder in the way, a disk that fills up.
// Each run fails with a message naming the file and the reason, and leaves the folder's files
// as they were: an older video survives byte for byte and no unfinished file stays beside it.
// (A disk that fills up while the soundtrack is added: test_keep_earlier.)
#include <gtest/gtest.h>

#include <filesystem>

#include "FaultHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;
using e2e::Render;

namespace {

// A folder with pictures, an older video at the output path, a file of the user's own and the
// work file of a render that crashed earlier (a new render must pick another name).
struct TUserFolder {
    test::TempDir Dir;
    std::vector<std::string> Pictures = e2e::MakePictures(Dir, 3);
    std::string Output = Dir.File("show.avi");

    TUserFolder() {
        test::WriteText(Output, "an older video that must survive");
        test::WriteText(Dir.File("notes.txt"), "the user's own file");
        test::WriteText(Output + ".part", "left by a crashed render");
    }
};

// Small uncompressed frames: sizes are exact, so the limits below fall where they are meant to.
std::vector<std::string> SmallRender(const std::vector<std::string>& pictures,
                                     const std::string& output) {
    return Concat({"-q", "-c", "DIB", "-r", "10", "-t", "1000", "--no-crossfade", "--size", "64x48",
                   "-o", output},
                  PictureArgs(pictures));
}

// The render as a child limited to `bytes` per file (prlimit does not ignore SIGXFSZ: the
// program itself must, or the signal kills it and leaves its unfinished file).
test::CommandResult RenderWithFileLimit(std::uintmax_t bytes, std::vector<std::string> args) {
    args.insert(args.begin(), {"prlimit", "--fsize=" + std::to_string(bytes), MORVANTA_RENDER_EXE});
    return test::Run(args);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(OutputFaults, MissingFolderOrFolderInTheWayIsNamedAndNothingChanges) {
    TUserFolder user;
    fs::create_directory(user.Dir.Path() / "clip.avi");
    test::WriteText(user.Dir.File("clip.avi/inside.txt"), "kept");
    const auto before = e2e::Snapshot(user.Dir.Path());

    const std::string missing = user.Dir.File("no such folder/show.avi");
    auto result = Render(SmallRender(user.Pictures, missing));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_TRUE(Contains(result.Err, "Cannot write " + missing + ": No such file or directory"))
        << result.Err;

    const std::string folder = user.Dir.File("clip.avi");
    result = Render(SmallRender(user.Pictures, folder));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_TRUE(Contains(result.Err, "Cannot write " + folder + ": Is a directory")) << result.Err;

    EXPECT_EQ(e2e::Snapshot(user.Dir.Path()), before);
}

TEST(OutputFaults, DiskFillingUpDuringTheVideoKeepsTheOlderVideo) {
    TUserFolder user;
    // The finished file's size, from a render elsewhere.
    test::TempDir scratch;
    const std::string reference = scratch.File("reference.avi");
    auto made = Render(SmallRender(user.Pictures, reference));
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    const std::uintmax_t full = fs::file_size(reference);
    ASSERT_GT(full, 20000u);
    const auto before = e2e::Snapshot(user.Dir.Path());

    // The limit falls in the headers, among the frames, and in the index written at the end.
    for (const std::uintmax_t limit : {std::uintmax_t{1000}, full / 2, full - 16}) {
        SCOPED_TRACE("limit " + std::to_string(limit) + " of " + std::to_string(full));
        auto result = RenderWithFileLimit(limit, SmallRender(user.Pictures, user.Output));
        EXPECT_EQ(result.ExitCode, 1) << "not killed by SIGXFSZ: " << result.Err;
        EXPECT_TRUE(Contains(result.Err, "Cannot write " + user.Output + ": File too large"))
            << result.Err;
        EXPECT_EQ(e2e::Snapshot(user.Dir.Path()), before);
    }

    // With room enough the same render replaces the older video.
    auto fits = RenderWithFileLimit(full, SmallRender(user.Pictures, user.Output));
    EXPECT_EQ(fits.ExitCode, 0) << fits.Err;
    EXPECT_EQ(test::ReadFile(user.Output), test::ReadFile(reference));
}

// The video itself cannot be aimed at /dev/full (its work file is created exclusively beside the
// output), but standard output can.
TEST(OutputFaults, StandardOutputOnAFullDiskIsAnError) {
    for (const char* option : {"--list-codecs", "--help", "--version"}) {
        auto result =
            test::Run({"sh", "-c", "exec \"$0\" \"$1\" >/dev/full", MORVANTA_RENDER_EXE, option});
        EXPECT_EQ(result.ExitCode, 1) << option;
        EXPECT_TRUE(Contains(result.Err, "cannot write standard output: No space left on device"))
            << option << ": " << result.Err;
    }
}
