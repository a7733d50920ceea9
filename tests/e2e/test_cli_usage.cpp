// morvanta-render as command-line users expect it: usage and help, positional pictures, the
// checks before the first frame, and every changed value said once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "RenderHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::Render;

namespace {

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A render small enough to take well under a second.
std::vector<std::string> Quick(const std::string& output) {
    return {"-q", "-c", "MJPG", "--single-frame", "--size", "64x48", "-o", output};
}

} // namespace

TEST(CliUsage, NoArgumentsPrintTheUsageOnStandardErrorAndExitTwo) {
    auto result = Render({});
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_EQ(result.Out, "");
    EXPECT_EQ(result.Err.rfind("Usage: morvanta-render ", 0), 0u) << result.Err;
}

TEST(CliUsage, HelpExplainsEveryOptionInASentenceAndEndsWithTwoExamples) {
    auto help = Render({"--help"});
    ASSERT_EQ(help.ExitCode, 0);
    const std::vector<std::string> lines = Lines(help.Out);
    for (const auto& line : lines) EXPECT_LE(line.size(), 79u) << "fits 80 columns: " << line;

    // The options block: each option's text runs from its line (at most six spaces, then "-")
    // to the next option's, and is one sentence.
    std::vector<std::string> sentences;
    const auto first = std::find(lines.begin(), lines.end(), "Options:");
    ASSERT_NE(first, lines.end()) << help.Out;
    for (auto line = first + 1; line != lines.end() && !line->empty(); ++line) {
        const auto indent = line->find_first_not_of(' ');
        if (indent <= 6 && (*line)[indent] == '-')
            sentences.push_back(*line);
        else if (!sentences.empty())
            sentences.back() += " " + line->substr(indent);
    }
    ASSERT_EQ(sentences.size(), 33u) << help.Out;
    for (const auto& text : sentences) {
        SCOPED_TRACE(text);
        EXPECT_EQ(text.back(), '.');
        EXPECT_EQ(CountOf(text, ". "), 0u) << "one sentence";
    }

    // Every option the help names is one the program takes (here before --list-codecs, which
    // ends the run early), and every one the program takes is named.
    const std::vector<std::vector<std::string>> options = {{"--output", "x.avi"},
                                                           {"--picture", "x.jpg"},
                                                           {"--sound", "x.mp3"},
                                                           {"--no-sound"},
                                                           {"--time", "2000"},
                                                           {"--match-audio"},
                                                           {"--fps", "25"},
                                                           {"--size", "320x240"},
                                                           {"--codec", "MJPG"},
                                                           {"--crossfade"},
                                                           {"--no-crossfade"},
                                                           {"--captions"},
                                                           {"--no-captions"},
                                                           {"--dynamic"},
                                                           {"--no-dynamic"},
                                                           {"--single-frame"},
                                                           {"--effect", "sepia"},
                                                           {"--no-auto-rotate"},
                                                           {"--quiet"},
                                                           {"--verbose"},
                                                           {"--transition", "iris"},
                                                           {"--motion", "zoom-in"},
                                                           {"--ease"},
                                                           {"--no-ease"},
                                                           {"--fill", "blur"},
                                                           {"--caption-font", "DejaVu Serif"},
                                                           {"--caption-size", "14"},
                                                           {"--caption-colour", "yellow"},
                                                           {"--caption-band"},
                                                           {"--no-caption-band"},
                                                           {"--caption-place", "top"},
                                                           {"--caption-edge", "outline"},
                                                           {"--counter"},
                                                           {"--no-counter"},
                                                           {"--audio", "opus"},
                                                           {"--fade-out", "0"},
                                                           {"--size", "4k"}};
    for (const auto& option : options) {
        SCOPED_TRACE(option[0]);
        EXPECT_NE(help.Out.find(option[0]), std::string::npos);
        auto taken = Render(Concat(option, {"--list-codecs"}));
        EXPECT_EQ(taken.ExitCode, 0) << taken.Err;
    }
    for (const char* option : {"--list-codecs", "--version", "--help"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option;

    // Two examples close the help.
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Examples:");
    EXPECT_EQ(lines[lines.size() - 2].rfind("  morvanta-render ", 0), 0u);
    EXPECT_EQ(lines[lines.size() - 1].rfind("  morvanta-render ", 0), 0u);
}

TEST(CliUsage, PositionalPicturesJoinTheProjectsAndOneProjectAtMost) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 3);
    // Extensions in any case; a JPEG too.
    const std::string upper = dir.File("UPPER.BMP");
    fs::copy_file(pics[1], upper);
    const std::string jpeg = dir.File("photo.Jpeg");
    auto made = test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                           "testsrc=size=160x120", "-frames:v", "1", "-f", "mjpeg", jpeg});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    const std::string project = dir.File("show.mrv");
    test::WriteText(project, pics[0] + "\r\n");
    const std::string out = dir.File("out.avi");

    // As a shell expands "*.jpg": pictures around the options, the project anywhere.
    auto result = Render({upper, "-q", project, "-c", "MJPG", "--single-frame", jpeg, "--size",
                          "64x48", "-o", out, "-p", pics[2], "--", pics[1]});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_frames"), "5");
    EXPECT_NE(result.Err.find("Wrote " + out + " (5 pictures)."), std::string::npos) << result.Err;

    auto two = Render(Concat(Quick(out), {project, dir.File("other.mrv")}));
    EXPECT_EQ(two.ExitCode, 2);
    EXPECT_NE(two.Err.find("Only one project file can be given"), std::string::npos) << two.Err;
}

TEST(CliUsage, UnusablePicturesAreSkippedWithOneWarningEachAndCounted) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 2);
    const std::string text = dir.File("letter.jpg");
    test::WriteText(text, "Dear Sir, this is not a photograph.");
    const std::string empty = dir.File("empty.bmp");
    test::WriteText(empty, "");
    // A header claiming 60000 x 60000 pixels: refused from the header, before any pixel.
    std::vector<std::uint8_t> huge = test::ReadFile(pics[0]);
    for (int i = 0; i < 2; ++i) {
        const std::uint32_t side = 60000;
        for (int b = 0; b < 4; ++b)
            huge[18 + 4 * i + b] = static_cast<std::uint8_t>(side >> (8 * b));
    }
    const std::string giant = dir.File("giant.bmp");
    test::WriteFile(giant, huge);
    const std::string missing = dir.File("missing.jpg");
    test::WriteText(dir.File("notes.txt"), "a picture list is not a picture");
    const std::string out = dir.File("out.avi");

    const auto start = std::chrono::steady_clock::now();
    auto result = Render(Concat(
        Quick(out), {pics[0], text, empty, giant, missing, pics[1], "-p", dir.File("notes.txt")}));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_frames"), "2");
    EXPECT_EQ(CountOf(result.Err, "Warning: picture skipped: "), 5u) << result.Err;
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {text, "Not a JPEG file"},
             {empty, "Empty file"},
             {giant, "Picture too large (60000 x 60000 pixels"},
             {missing, "File not found : "},
             {dir.File("notes.txt"), "File not supported : "}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CountOf(result.Err, name), 1u) << result.Err;
        for (const auto& line : Lines(result.Err)) {
            if (line.find(name) != std::string::npos) {
                EXPECT_NE(line.find(reason), std::string::npos) << line;
            }
        }
    }
    EXPECT_NE(result.Err.find("Wrote " + out + " (2 pictures, 5 skipped)."), std::string::npos)
        << result.Err;

    // Nothing usable left: no render, and the count says why.
    auto none = Render(Concat(Quick(dir.File("none.avi")), {text, missing}));
    EXPECT_EQ(none.ExitCode, 1);
    EXPECT_NE(none.Err.find("Empty picture list\n0 pictures, 2 skipped."), std::string::npos)
        << none.Err;
    EXPECT_FALSE(fs::exists(dir.File("none.avi")));
}

namespace {

struct ChangedValueCase {
    const char* Name;
    std::vector<std::string> Args;
    const char* Said;
    const char* FrameRate; // of the video written
};

class ChangedValues : public ::testing::TestWithParam<ChangedValueCase> {};

} // namespace

TEST_P(ChangedValues, AreSaidOnceOnStandardError) {
    const ChangedValueCase& c = GetParam();
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 2);
    const std::string out = dir.File("out.avi");
    auto result =
        Render(Concat(Concat({"-q", "-c", "MJPG", "--size", "64x48", "-o", out}, c.Args), pics));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(CountOf(result.Err, c.Said), 1u) << result.Err;
    EXPECT_EQ(test::Probe(out, "v:0", "stream=r_frame_rate"), c.FrameRate);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ChangedValues,
    ::testing::Values(
        ChangedValueCase{"FractionalRate",
                         {"-r", "29.97", "-t", "1000", "--no-crossfade", "--no-captions"},
                         "Frame rate 29.97 fps rounded to 30 fps.",
                         "1000/33"},
        ChangedValueCase{"RateAboveTheLimit",
                         {"-r", "75", "-t", "600"},
                         "Frame rate 75 fps is outside 1..60 fps: using 60 fps.",
                         "125/2"},
        ChangedValueCase{"TimeBelowTheLimit",
                         {"-t", "20", "-r", "10", "--no-crossfade", "--no-captions"},
                         "Time per picture 20 ms is outside 100..60000 ms: using 100 ms.",
                         "10/1"},
        ChangedValueCase{"FractionalTime",
                         {"-t", "2999.6", "-r", "10"},
                         "Time per picture 2999.6 ms rounded to 3000 ms.",
                         "10/1"},
        ChangedValueCase{"VisualOptionsSwitchedOff",
                         {"-t", "1000", "-r", "25", "--dynamic"},
                         "Visual options disabled due to incompatible temporal settings",
                         "25/1"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CliUsage, OutputWithoutExtensionIsSaidOnce) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 1);
    auto result = Render(Concat(Quick(dir.File("holiday")), pics));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(CountOf(result.Err, "Writing to " + dir.File("holiday.avi") + " (\".avi\" added)."),
              1u)
        << result.Err;
    EXPECT_TRUE(fs::exists(dir.File("holiday.avi")));
}

TEST(CliUsage, CodedErrorsKeepTheirCodeAndGainPlainWords) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 1);
    const std::string out = dir.File("no such folder/show.avi");
    auto result = Render(Concat(Quick(out), pics));
    EXPECT_EQ(result.ExitCode, 1);
    const std::vector<std::string> lines = Lines(result.Err);
    ASSERT_EQ(lines.size(), 2u) << result.Err;
    EXPECT_EQ(lines[0].rfind("FileOpen failed. Err: $8004406F (U_BmpToAvi, ligne ", 0), 0u);
    EXPECT_NE(lines[0].find("Cannot write " + out + ": No such file or directory."),
              std::string::npos);
    EXPECT_EQ(lines[1], "The video file could not be created: check that its folder exists and "
                        "that you may write there, or choose another output file.");
}
