// `cmake --install` into a fresh prefix: programs, language files and the desktop integration
// land in their XDG places, and the desktop entry and metainfo pass their validators.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "lang/U_VersionInfo.h"

namespace {

namespace fs = std::filesystem;

const std::string AppId = "com.tavrell.Morvanta";

// Width and height from a PNG's IHDR chunk; 0 x 0 when the file is not a PNG.
std::pair<int, int> PngSize(const std::string& path) {
    const auto b = test::ReadFile(path);
    const std::uint8_t magic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() < 24 || !std::equal(magic, magic + 8, b.begin())) return {0, 0};
    auto be = [&](std::size_t at) {
        return (b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
    };
    return {be(16), be(20)};
}

// Installs once for the suite; every test checks that the install itself went well, so that a
// failed install fails the tests rather than skipping them.
class Install : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new test::TempDir;
        const std::string build = fs::path(MORVANTA_LANG_EXE).parent_path().string();
        install_ = test::Run({"cmake", "--install", build, "--prefix", prefix_->Path().string()});
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(install_.ExitCode, 0) << install_.Out << install_.Err; }
    static std::string At(const std::string& relative) {
        return (prefix_->Path() / relative).string();
    }

    static inline test::CommandResult install_;
    static inline test::TempDir* prefix_ = nullptr;
};

TEST_F(Install, ProgramsAndDataAreInPlace) {
    std::vector<std::string> programs = {"bin/morvanta-render", "bin/morvanta-lang"};
#ifdef MORVANTA_EXE
    programs.push_back("bin/morvanta");
#endif
    for (const std::string& program : programs) {
        ASSERT_TRUE(fs::is_regular_file(At(program))) << program;
        EXPECT_EQ(GetFileVersionText(At(program)), MORVANTA_VERSION) << program;
    }
    EXPECT_TRUE(fs::is_regular_file(At("share/morvanta/MRV_00000409.SPK")));
    EXPECT_TRUE(fs::is_regular_file(At("share/applications/" + AppId + ".desktop")));
    EXPECT_TRUE(fs::is_regular_file(At("share/icons/hicolor/scalable/apps/" + AppId + ".svg")));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string dim = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_EQ(PngSize(At("share/icons/hicolor/" + dim + "/apps/" + AppId + ".png")),
                  std::make_pair(size, size))
            << dim;
    }
    // The metainfo names the version that was built.
    const auto meta = test::ReadFile(At("share/metainfo/" + AppId + ".metainfo.xml"));
    const std::string text(meta.begin(), meta.end());
    EXPECT_NE(text.find(std::string("<release version=\"") + MORVANTA_VERSION + "\""),
              std::string::npos);
}

TEST_F(Install, DesktopEntryAndMetainfoValidate) {
    ASSERT_TRUE(test::HaveProgram("desktop-file-validate"));
    ASSERT_TRUE(test::HaveProgram("appstreamcli"));
    const auto desktop =
        test::Run({"desktop-file-validate", At("share/applications/" + AppId + ".desktop")});
    EXPECT_EQ(desktop.ExitCode, 0) << desktop.Out << desktop.Err;
    EXPECT_EQ(desktop.Out.find("error"), std::string::npos) << desktop.Out;
    const auto meta = test::Run({"appstreamcli", "validate", "--no-net", "--explain",
                                 At("share/metainfo/" + AppId + ".metainfo.xml")});
    EXPECT_EQ(meta.ExitCode, 0) << meta.Out << meta.Err;
}

} // namespace
