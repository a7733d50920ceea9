// The look of a fixed show, pinned: the bytes of a lossless AVI and of its decoded frames are
// compared with stored digests, so that work on the writer or the frame pipeline cannot move a
// pixel or a header byte unnoticed. The show uses the bundled sample photos (JPEG, BMP, a
// portrait, a panorama), their captions, fades, panning and each colour effect.
// When a change is meant to alter the look, the new digests are printed by the failure.
#include <gtest/gtest.h>

#include "RenderHarness.h"

namespace {

struct PinnedShow {
    const char* Name;
    std::vector<std::string> Options;
    const char* FileMd5;   // the whole AVI
    const char* FramesMd5; // every decoded frame, as raw BGRA
};

std::string Md5Of(const std::vector<std::string>& command) {
    auto result = test::Run(command);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    return result.Out.substr(0, result.Out.find_first_of(" \n"));
}

class PinnedFrames : public ::testing::TestWithParam<PinnedShow> {};

TEST_P(PinnedFrames, LosslessRenderKeepsItsDigests) {
    const PinnedShow& show = GetParam();
    test::TempDir dir;
    const std::string out = dir.File("show.avi");
    std::vector<std::string> args = {"-q", "-c", "DIB", "--no-sound", "--no-auto-rotate",
                                     "-o", out};
    args.insert(args.end(), show.Options.begin(), show.Options.end());
    args.push_back(std::string(MORVANTA_SOURCE_DIR) + "/samples/demo.mrv");
    auto result = e2e::Render(args);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;

    const std::string file = Md5Of({"md5sum", out});
    const std::string frames = Md5Of({"sh", "-c",
                                      "ffmpeg -v error -i \"$0\" -map 0:v -f rawvideo -pix_fmt "
                                      "bgra - | md5sum",
                                      out});
    EXPECT_EQ(frames, show.FramesMd5) << show.Name << ": the frames changed";
    EXPECT_EQ(file, show.FileMd5) << show.Name << ": the file's bytes changed";
}

// 7 pictures of 30 frames (fades, captions and panning stay on) at a small size; an odd size
// runs the resampler and the band at widths that are not multiples of 4.
const PinnedShow Shows[] = {
    {"PanFadeCaptionsSepia",
     {"--size", "160x120", "-r", "10", "-t", "3000", "--dynamic", "--crossfade", "--captions",
      "--effect", "sepia"},
     "3e900641df10038ba344f9825bfaca75",
     "69d571b2ef38c9b4598bd44284845962"},
    {"StillGreyOddSize",
     {"--size", "163x97", "-r", "10", "-t", "3000", "--no-dynamic", "--crossfade", "--captions",
      "--effect", "greyscale"},
     "0e37df564f5242627c9a0f4e378b6369",
     "0ca592d9c4108d56345bedc8afe29f5e"},
    {"CutsNoCaptionsColour",
     {"--size", "200x150", "-r", "5", "-t", "6000", "--dynamic", "--no-crossfade", "--no-captions",
      "--effect", "none"},
     "17cf5c64990d586e260fe4aeb0fde49b",
     "0fad1624b5672fe021aa8976da1bc5e1"},
    {"SingleFrame",
     {"--size", "320x240", "--single-frame", "--effect", "none"},
     "961f3d535791b6b45500c2957e90ac95",
     "b5aa658c405704178b61d444fbd9ff53"},
};

INSTANTIATE_TEST_SUITE_P(Shows, PinnedFrames, ::testing::ValuesIn(Shows),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
