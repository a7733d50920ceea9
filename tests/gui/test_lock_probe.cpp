// The lock folder and the lock probe that tell whether an outside program is running.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "TestSupport.h"
#include "platform/U_LockProbe.h"
#include "platform/os/U_FileDescriptor.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0);
    return info.st_mode;
}

TEST(LockFolder, UsesTheRuntimeFolderWhenItExists) {
    test::TempDir runtime, root;
    const TLockFolder folder = ResolveLockFolder(runtime.Path().string() + "/", root.Path(), 1000);
    EXPECT_EQ(folder.Path, runtime.Path().string());
    EXPECT_FALSE(std::filesystem::exists(root.Path() / "morvanta-1000"));
}

TEST(LockFolder, FallsBackToAPrivateFolderItMakes) {
    test::TempDir root;
    const uid_t uid = ::getuid();
    const std::string expected = root.File("morvanta-" + std::to_string(uid));
    // Unset, relative and missing runtime folders all fall back.
    for (const std::string& runtime :
         std::vector<std::string>{"", "run/user", root.File("missing")}) {
        const TLockFolder folder = ResolveLockFolder(runtime, root.Path().string(), uid);
        EXPECT_TRUE(folder.Ok()) << runtime << ": " << folder.Error;
        EXPECT_EQ(folder.Path, expected);
        EXPECT_EQ(ModeOf(expected) & 07777, 0700u);
    }
}

TEST(LockFolder, RefusesAFolderOthersCouldWriteTo) {
    test::TempDir root;
    const uid_t uid = ::getuid();
    const std::string folder = root.File("morvanta-" + std::to_string(uid));
    const std::string elsewhere = root.File("elsewhere");
    std::filesystem::create_directory(elsewhere);
    ::chmod(elsewhere.c_str(), 0700);
    struct TCase {
        const char* Name;
        std::function<void()> Plant;
        const char* Why;
    };
    const TCase cases[] = {
        {"open to others",
         [&] {
             ::mkdir(folder.c_str(), 0700);
             ::chmod(folder.c_str(), 0777);
         },
         "open to other users"},
        {"group readable", [&] { ::mkdir(folder.c_str(), 0750); }, "open to other users"},
        {"a link", [&] { std::filesystem::create_directory_symlink(elsewhere, folder); },
         "is not a folder"},
        {"a file", [&] { test::WriteText(folder, ""); }, "is not a folder"},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove_all(folder);
        c.Plant();
        const TLockFolder resolved = ResolveLockFolder("", root.Path().string(), uid);
        EXPECT_FALSE(resolved.Ok()) << c.Name;
        EXPECT_NE(resolved.Error.find(folder), std::string::npos) << resolved.Error;
        EXPECT_NE(resolved.Error.find(c.Why), std::string::npos)
            << c.Name << ": " << resolved.Error;
    }
}

TEST(LockFolder, RefusesAFolderOfAnotherUser) {
    if (::getuid() != 0) GTEST_SKIP() << "making a folder owned by another user needs root";
    test::TempDir root;
    const std::string folder = root.File("morvanta-4242");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), 4343, 4343), 0);
    const TLockFolder resolved = ResolveLockFolder("", root.Path().string(), 4242);
    EXPECT_FALSE(resolved.Ok());
    EXPECT_NE(resolved.Error.find("another user"), std::string::npos) << resolved.Error;
}

TEST(LockProbe, SeesALockHeldElsewhereAndLeavesNoTrace) {
    test::TempDir dir;
    const std::string lock = dir.File("BURNDECK_RUNNING.lock");
    EXPECT_FALSE(IsLockHeld(lock));
    EXPECT_FALSE(std::filesystem::exists(lock)) << "the probe must not create the lock file";

    test::WriteText(lock, "");
    EXPECT_FALSE(IsLockHeld(lock));
    // A second probe would see the first one's lock if it were kept.
    EXPECT_FALSE(IsLockHeld(lock));

    // Another open file holding the lock stands for another program.
    TFileDescriptor holder(::open(lock.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_TRUE(IsLockHeld(lock));
    holder.Close();
    EXPECT_FALSE(IsLockHeld(lock));
}

} // namespace
