#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/U_Log.h"
#include "platform/base/U_Errors.h"

namespace {

std::string FileText(const std::string& path) {
    const auto bytes = test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// A fresh folder in /dev/shm when there is one, else in the system's temporary folder.
class TMemoryFolder {
public:
    TMemoryFolder() {
        std::string pattern =
            (std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path()) /
            "morvanta-log-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TMemoryFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace

TEST(Log, NewestLineFirstWithCrLfAndReplacesTheOldFile) {
    test::TempDir dir;
    const std::string file = dir.File("Morvanta.log");
    test::WriteText(file, "a previous run\r\n");
    TKLog log(file, 10000, false);
    EXPECT_EQ(FileText(file), "a previous run\r\n") << "creating the log does not touch the file";
    log.Add("Starting", 1);
    EXPECT_EQ(FileText(file), "Info\tStarting\r\n");
    log.Add("File not found : /x.jpg", 2);
    log.Add("Closing...", 1);
    EXPECT_EQ(FileText(file),
              "Info\tClosing...\r\nError\tFile not found : /x.jpg\r\nInfo\tStarting\r\n");
    ASSERT_EQ(log.Lines().size(), 3u);
    EXPECT_EQ(log.Lines().front(), "Info\tClosing...");
    EXPECT_EQ(log.ErrorCount(), 1);
}

TEST(Log, LevelsAndVerboseLines) {
    test::TempDir dir;
    const std::string file = dir.File("quiet.log");
    TKLog quiet(file, 100, false);
    quiet.Add("first", 1);
    quiet.Add("hidden detail", 0);
    EXPECT_EQ(quiet.Lines().size(), 1u) << "a verbose line is dropped when verbose is off";
    EXPECT_EQ(FileText(file), "Info\tfirst\r\n");
    quiet.Add("way up", 3);
    quiet.Add("further", 1000);
    EXPECT_EQ(quiet.Lines()[0], "Error\tfurther");
    EXPECT_EQ(quiet.Lines()[1], "Error\tway up");
    EXPECT_EQ(quiet.ErrorCount(), 2) << "levels above 2 count as errors";

    TKLog verbose(dir.File("verbose.log"), 100, true);
    verbose.Add("detail", 0);
    EXPECT_EQ(FileText(dir.File("verbose.log")), "Verbose\tdetail\r\n");
    EXPECT_EQ(verbose.ErrorCount(), 0);
}

TEST(Log, FullLogDropsItsOldestLine) {
    // Ten thousand whole-file replacements: in memory where the system offers it, since a disk
    // file system flushes each replaced file and this test is about the lines, not the disk.
    TMemoryFolder dir;
    const std::string file = dir.File("full.log");
    TKLog log(file, 10000, false);
    for (int i = 0; i < 10000; ++i) log.Add(std::to_string(i), 1);
    EXPECT_EQ(log.Lines().back(), "Info\t0");
    log.Add("one more", 1);
    ASSERT_EQ(log.Lines().size(), 10000u);
    EXPECT_EQ(log.Lines().front(), "Info\tone more");
    EXPECT_EQ(log.Lines().back(), "Info\t1") << "the former second-to-last is now last";
    const std::string text = FileText(file);
    EXPECT_TRUE(text.ends_with("Info\t2\r\nInfo\t1\r\n"));
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, 10000u);
}

TEST(Log, WriteFailureIsRaisedAfterTheLineWasKept) {
    test::TempDir dir;
    // A folder where the file should be cannot be written, whoever runs the test.
    const std::string file = dir.File("is-a-folder");
    std::filesystem::create_directory(file);
    TKLog log(file, 10, false);
    try {
        log.Add("Starting", 2);
        FAIL() << "no error";
    } catch (const EMorvantaError& e) {
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0], "Error\tStarting");
    EXPECT_EQ(log.ErrorCount(), 1);
    EXPECT_THROW(log.Save(), EMorvantaError);
}

namespace {

// Files of a folder, by name.
std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A file size limit for this process, as a full disk would stop a write half way.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int);
};

} // namespace

TEST(Log, FailedSaveLeavesThePreviousFileWholeAndNothingBeside) {
    test::TempDir dir;
    const std::string file = dir.File("Morvanta.log");
    TKLog log(file, 100, false);
    log.Add("Starting", 1);
    log.Add("Files count : 3", 1);
    const std::string before = FileText(file);
    {
        // Room for a few bytes more than the log holds: the new text is cut short on disk.
        TFileSizeLimit limit(before.size() + 8);
        EXPECT_THROW(log.Add(std::string(200, 'x'), 1), EMorvantaError);
    }
    EXPECT_EQ(FileText(file), before) << "the earlier log is untouched";
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Morvanta.log"})
        << "no partial file is left beside it";
    EXPECT_EQ(log.Lines().size(), 3u) << "the line is kept for the next save";
    log.Add("Closing...", 1);
    EXPECT_TRUE(FileText(file).starts_with("Info\tClosing...\r\nInfo\t" + std::string(200, 'x')));
}

TEST(Log, UnwritableFolderKeepsTheEarlierLog) {
    test::TempDir dir;
    const std::filesystem::path folder = dir.Path() / "logs";
    std::filesystem::create_directory(folder);
    const std::string file = (folder / "Morvanta.log").string();
    test::WriteText(file, "Info\tStarting\r\n");
    // Readable and passable for the unprivileged user, writable by nobody but root.
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(folder.c_str(), 0555);
    ::chmod(file.c_str(), 0666);
    // In a child, so that only it gives up root (which ignores permission bits).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        TKLog log(file, 100, false);
        try {
            log.Add("Closing...", 1);
        } catch (const EMorvantaError& e) {
            ::_exit(std::string(e.what()).find(file) != std::string::npos ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: the message lacks the file, 3: no setuid";
    EXPECT_EQ(FileText(file), "Info\tStarting\r\n");
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"Morvanta.log"});
}
