// Folders the user may not write: read-only from the start, made read-only during the render,
// and a protected older video the finished file cannot be renamed onto (it is kept beside). Run as
// an unprivileged user, since root ignores permission bits.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "FaultHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;

namespace {

class PermissionFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (!runner_.Why().empty()) GTEST_SKIP() << runner_.Why();
        pictures_ = e2e::MakePictures(dir_, 2);
        fs::create_directory(dir_.Path() / "config");
        runner_.Own(dir_.Path() / "config");
        fs::create_directory(Folder());
    }

    fs::path Folder() const { return dir_.Path() / "videos"; }
    std::string Output() const { return (Folder() / "show.avi").string(); }

    // An older video and a file of the user's own, owned by the user the render runs as.
    void FillFolder() const {
        test::WriteText(Output(), "an older video that must survive");
        test::WriteText((Folder() / "notes.txt").string(), "the user's own file");
        for (const auto& entry : fs::directory_iterator(Folder())) runner_.Own(entry.path());
        runner_.Own(Folder());
    }

    std::vector<std::string> Command(const std::vector<std::string>& args) const {
        return runner_.Command(dir_.File("config"), args);
    }

    test::TempDir dir_;
    e2e::TUnprivileged runner_;
    std::vector<std::string> pictures_;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(PermissionFaults, ReadOnlyFolderRefusesTheRenderAtOnce) {
    FillFolder();
    fs::permissions(Folder(), fs::perms::owner_write, fs::perm_options::remove);
    const auto before = e2e::Snapshot(Folder());
    auto result = test::Run(
        Command(Concat({"-q", "-c", "DIB", "--single-frame", "--size", "64x48", "-o", Output()},
                       PictureArgs(pictures_))));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_TRUE(Contains(result.Err, "Cannot write " + Output() + ": Permission denied"))
        << result.Err;
    EXPECT_EQ(e2e::Snapshot(Folder()), before);
}

TEST_F(PermissionFaults, FolderMadeReadOnlyDuringTheRenderKeepsTheOlderVideo) {
    FillFolder();
    const auto before = e2e::Snapshot(Folder());
    // Long enough (3000 frames) that the render is still running when the folder changes.
    const std::string errFile = dir_.File("stderr.txt");
    e2e::TBackground render(Command(Concat({"-q", "-c", "MJPG", "-r", "25", "-t", "60000", "--size",
                                            "96x64", "-o", Output()},
                                           PictureArgs(pictures_))),
                            errFile);
    const std::string work = e2e::WaitForGrowingFile(render, Folder(), ".partial.avi", 50000);
    ASSERT_FALSE(work.empty()) << "the render never wrote its work file";
    fs::permissions(Folder(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(render.Wait(), 1);
    const auto errBytes = test::ReadFile(errFile);
    const std::string err(errBytes.begin(), errBytes.end());
    // The frames were written into the name reserved beside the older video; only the last
    // step, replacing it, needs the folder: the finished video stays under its reserved name.
    const std::string reserved = (Folder() / "show.partial.avi").string();
    EXPECT_EQ(work, reserved);
    EXPECT_TRUE(Contains(err, "The finished video was kept at " + reserved +
                                  ": it could not replace " + Output() + " (Permission denied)."))
        << err;
    EXPECT_EQ(e2e::DecodeErrors(reserved), "");

    const auto after = e2e::Snapshot(Folder());
    EXPECT_EQ(e2e::NewNames(before, after), (std::vector<std::string>{"show.partial.avi"}));
    for (const auto& [name, bytes] : before) EXPECT_EQ(after.at(name), bytes) << name;
}

TEST_F(PermissionFaults, ProtectedOlderVideoIsNotReplaced) {
    if (!runner_.SwitchesUser())
        GTEST_SKIP() << "needs an older video owned by another user, which only root can make";
    // A shared folder with the sticky bit (as /tmp): anyone may add files, but only a file's
    // owner may rename onto it. The older video belongs to root.
    test::WriteText(Output(), "root's video");
    test::WriteText((Folder() / "notes.txt").string(), "root's notes");
    fs::permissions(Folder(), fs::perms::all | fs::perms::sticky_bit);
    const auto before = e2e::Snapshot(Folder());
    auto result = test::Run(
        Command(Concat({"-q", "-c", "DIB", "--single-frame", "--size", "64x48", "-o", Output()},
                       PictureArgs(pictures_))));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    // The finished video cannot take the protected name: it is kept beside, and said so.
    const std::string kept = (Folder() / "show.partial.avi").string();
    EXPECT_TRUE(Contains(result.Err, "The finished video was kept at " + kept +
                                         ": it could not replace " + Output() +
                                         " (Operation not permitted)."))
        << result.Err;
    const auto after = e2e::Snapshot(Folder());
    EXPECT_EQ(e2e::NewNames(before, after), std::vector<std::string>{"show.partial.avi"});
    for (const auto& [name, bytes] : before) EXPECT_EQ(after.at(name), bytes) << name;
    EXPECT_EQ(test::Probe(kept, "v:0", "stream=nb_frames"), "2");
}
