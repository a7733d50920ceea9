#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "app/U_Log.h"
#include "platform/base/U_Errors.h"

namespace {

std::string FileText(const std::string& path) {
    const auto bytes = test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

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
    test::TempDir dir;
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
