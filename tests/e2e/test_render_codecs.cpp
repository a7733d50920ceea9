// Full renders with the well-known codecs: the right frame count, tag and duration, a clean
// decode, and for the lossless ones frames equal to the frame server's, byte for byte. A
// quarter of the default size keeps every picture, fade and caption while each file is decoded
// twice (lossy) or once (lossless).
#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "video/U_FrameServer.h"

using e2e::Concat;
using e2e::PictureArgs;
using e2e::Render;

namespace {

struct CodecCase {
    const char* FourCC;
    const char* Tag; // codec_tag_string ffprobe shows
    bool Lossless;
};

class RenderCodec : public ::testing::TestWithParam<CodecCase> {};

// Decodes every frame of `file` to packed BGRA; the decoder reports no error.
std::string DecodeBgra(const std::string& file) {
    auto result =
        test::Run({"ffmpeg", "-v", "error", "-i", file, "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    return result.Out;
}

} // namespace

TEST_P(RenderCodec, ThreePicturesAtTwentyFiveFps) {
    const CodecCase c = GetParam();
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 3);
    const std::string out = dir.File("out.avi");
    auto result = Render(Concat({"-q", "-c", c.FourCC, "-r", "25", "-t", "3000", "--crossfade",
                                 "--captions", "--size", "320x240", "-o", out},
                                PictureArgs(pics)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;

    EXPECT_EQ(test::Probe(out, "v:0", "stream=codec_tag_string"), c.Tag);
    EXPECT_EQ(test::Probe(out, "v:0", "stream=duration"), "10.440000");
    if (!c.Lossless) {
        EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "261");
        EXPECT_EQ(e2e::DecodeErrors(out), "");
        return;
    }
    // One decode gives the frame count, a clean decode and the pixels.
    TStringList paths(pics);
    TStringList captions;
    for (const auto& p : pics) captions.Add(p.substr(p.rfind('/') + 1));
    TFrameServer server(paths, &captions, 75, 240, 320,
                        TShowStyle{.CrossFade = true, .CaptionText = true});
    ASSERT_EQ(server.FrameCount(), 261);
    const std::string decoded = DecodeBgra(out);
    const std::size_t frameBytes = 320u * 240u * 4u;
    ASSERT_EQ(decoded.size(), frameBytes * 261);
    TBitmap32 frame;
    for (int i : {0, 40, 80, 92, 93, 200, 260}) {
        server.GetFrame(frame, i);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(
            decoded.data() + frameBytes * static_cast<std::size_t>(i));
        int mismatches = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const std::uint8_t* px = bytes + (static_cast<std::size_t>(y) * 320 + x) * 4;
                const std::uint32_t ours = frame.At(x, y);
                if (px[0] != BlueOf(ours) || px[1] != GreenOf(ours) || px[2] != RedOf(ours))
                    ++mismatches;
            }
        EXPECT_EQ(mismatches, 0) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    WellKnown, RenderCodec,
    ::testing::Values(CodecCase{"XVID", "XVID", false}, CodecCase{"FMP4", "FMP4", false},
                      CodecCase{"H264", "H264", false}, CodecCase{"MJPG", "MJPG", false},
                      CodecCase{"FFV1", "FFV1", true}, CodecCase{"HFYU", "HFYU", true},
                      CodecCase{"DIB", "[0][0][0][0]", true}),
    [](const auto& info) {
        std::string name = info.param.FourCC;
        return name;
    });
