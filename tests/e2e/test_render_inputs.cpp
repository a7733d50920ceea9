// morvanta-render with pictures and projects as people bring them: phone photos stored on their
// side, projects saved with a byte-order mark, and a file that is no project at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../core/video/ExifTestFiles.h"
#include "RenderHarness.h"
#include "platform/os/U_Settings.h"
#include "video/U_ImageFile.h"

namespace {

constexpr int FrameWidth = 64;
constexpr int FrameHeight = 48;

// The first frame of an uncompressed render, as RGB bytes.
std::vector<std::uint8_t> FirstFrame(const std::string& avi) {
    const auto result = test::Run({"ffmpeg", "-v", "error", "-i", avi, "-frames:v", "1", "-f",
                                   "rawvideo", "-pix_fmt", "rgb24", "-"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    return {result.Out.begin(), result.Out.end()};
}

// Where the red mark is: 'L'eft or 'R'ight half, 'T'op or 'B'ottom half.
std::string RedQuadrant(const std::vector<std::uint8_t>& rgb) {
    if (rgb.size() != static_cast<std::size_t>(FrameWidth) * FrameHeight * 3) return "bad frame";
    long sx = 0, sy = 0, n = 0;
    for (int y = 0; y < FrameHeight; ++y)
        for (int x = 0; x < FrameWidth; ++x) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * FrameWidth + x) * 3];
            if (p[0] > 200 && p[1] < 70 && p[2] < 70) sx += x, sy += y, ++n;
        }
    if (n == 0) return "no mark";
    return std::string(sy * 2 < n * FrameHeight ? "T" : "B") +
           (sx * 2 < n * FrameWidth ? "L" : "R");
}

// Points the settings store at a folder of the test's own while it exists.
class TConfigDir {
public:
    explicit TConfigDir(const std::string& folder) {
        if (const char* old = std::getenv("MORVANTA_CONFIG_DIR")) old_ = old;
        ::setenv("MORVANTA_CONFIG_DIR", folder.c_str(), 1);
    }
    ~TConfigDir() {
        if (old_)
            ::setenv("MORVANTA_CONFIG_DIR", old_->c_str(), 1);
        else
            ::unsetenv("MORVANTA_CONFIG_DIR");
    }

private:
    std::optional<std::string> old_;
};

} // namespace

TEST(RenderInputs, PhonePhotosAreTurnedUprightUnlessSwitchedOff) {
    test::TempDir dir;
    const TConfigDir config(dir.File("config"));
    // Stored landscape with the red mark top-left; orientation 6 puts it top-right.
    const std::string photo = dir.File("IMG_0001.JPG");
    test::WriteFile(photo, exiftest::WithOrientation(exiftest::MarkedJpeg(64, 48), 6));
    const std::vector<std::string> common = {
        "-q", "-c",  "DIB",           "--size",         "64x48", "-r", "4",
        "-t", "500", "--no-captions", "--no-crossfade", "-p",    photo};
    const auto render = [&](const std::string& name, std::vector<std::string> extra) {
        const std::string out = dir.File(name);
        const auto result = e2e::Render(e2e::Concat(e2e::Concat(common, extra), {"-o", out}));
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        return RedQuadrant(FirstFrame(out));
    };

    EXPECT_EQ(render("upright.avi", {}), "TR");
    EXPECT_EQ(render("flag.avi", {"--no-auto-rotate"}), "TL");
    ASSERT_TRUE(WriteSetting(AutoRotateSettingName, "0"));
    EXPECT_EQ(render("setting.avi", {}), "TL") << "the setting switches it off";
    ASSERT_TRUE(WriteSetting(AutoRotateSettingName, "1"));
    EXPECT_EQ(render("setting-on.avi", {}), "TR");
}

TEST(RenderInputs, ProjectWithByteOrderMarkKeepsItsSoundtrack) {
    test::TempDir dir;
    const TConfigDir config(dir.File("config"));
    e2e::MakeMp3(dir.File("track.mp3"), 1.0);
    e2e::MakePictures(dir, 1);
    test::WriteText(dir.File("show.mrv"),
                    "\xEF\xBB\xBF;Sound=track.mp3\r\n;Output=show.avi\r\npic0.bmp\r\n");
    const auto result = e2e::Render(
        {"-q", "-c", "DIB", "--size", "64x48", "-r", "4", "-t", "500", dir.File("show.mrv")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err.find("File not found"), std::string::npos) << result.Err;
    EXPECT_EQ(test::Probe(dir.File("show.avi"), "a:0", "stream=codec_name"), "mp3");
}

TEST(RenderInputs, BinaryFileAsProjectIsRefusedInOneLine) {
    test::TempDir dir;
    const TConfigDir config(dir.File("config"));
    // A photo saved under a project's name, NUL bytes and all.
    const std::string wrong = dir.File("holiday.mrv");
    test::WriteFile(wrong, exiftest::MarkedJpeg(64, 48));
    const auto result = e2e::Render({"-q", "-o", dir.File("out.avi"), wrong});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find(wrong + " is not a project file: it holds binary data"),
              std::string::npos)
        << result.Err;
    EXPECT_EQ(result.Err.find("File not found"), std::string::npos) << result.Err;
    EXPECT_LE(std::count(result.Err.begin(), result.Err.end(), '\n'), 2) << result.Err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.avi")));
}
