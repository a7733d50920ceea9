// Every codec in the list at frame sizes and rates that codecs are picky about: either a video
// that ffmpeg decodes frame for frame at exactly that size, or a refusal before the first frame
// that names what the codec needs, with a size or rate that then renders.
//
// Every codec at every awkward size at 30 fps (Cinepak, at about a second of work a frame near
// 720x576, only at the small ones); every rate at 100x75 for a few codecs: the well-known ones,
// those whose encoders take only some rates (MPEG-1/2) and one whose rate control drops frames
// when starved (VP8). The rest of the cross product is left out for time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <regex>

#include "RenderHarness.h"
#include "TestSupport.h"
#include "platform/codec/U_Codecs.h"

namespace {

struct TTableCase {
    std::string FourCC;
    int Width = 0;
    int Height = 0;
    int Fps = 0;
};

// Keeps gtest's and ctest's listings readable.
void PrintTo(const TTableCase& c, std::ostream* os) {
    *os << c.FourCC << " " << c.Width << "x" << c.Height << " " << c.Fps << " fps";
}

constexpr int Sizes[][2] = {{721, 577}, {642, 480}, {722, 578}, {100, 75}, {33, 17}};
constexpr int SizeRate = 30;
constexpr int Rates[] = {1, 7, 60};
constexpr int RateSize[2] = {100, 75};
const char* const SmallSizesOnly[] = {"cvid"};
const char* const RateCodecs[] = {"XVID", "FMP4", "H264", "MJPG", "FFV1",
                                  "DIB ", "mpg1", "mpg2", "VP80"};

// The codec list as the programs see it. Test discovery runs without the per-test settings
// store, so the probe then goes to a folder of its own.
std::vector<TTableCase> Cases() {
    std::vector<TTableCase> cases;
    std::unique_ptr<test::TempDir> store;
    if (!std::getenv("MORVANTA_CONFIG_DIR")) {
        store = std::make_unique<test::TempDir>();
        setenv("MORVANTA_CONFIG_DIR", store->Path().c_str(), 1);
    }
    const auto codecs = ListCodecInfos();
    if (store) unsetenv("MORVANTA_CONFIG_DIR");
    for (const TCodecInfo& codec : codecs) {
        const bool smallOnly =
            std::any_of(std::begin(SmallSizesOnly), std::end(SmallSizesOnly),
                        [&](const char* f) { return SameFourCC(codec.FourCC, f); });
        for (const auto& size : Sizes)
            if (!smallOnly || size[0] * size[1] <= RateSize[0] * RateSize[1])
                cases.push_back({codec.FourCC, size[0], size[1], SizeRate});
        for (const char* fourcc : RateCodecs)
            if (SameFourCC(codec.FourCC, fourcc))
                for (const int fps : Rates)
                    cases.push_back({codec.FourCC, RateSize[0], RateSize[1], fps});
    }
    return cases;
}

std::string Trimmed(std::string fourcc) {
    while (!fourcc.empty() && fourcc.back() == ' ') fourcc.pop_back();
    return fourcc;
}

struct TRun {
    test::CommandResult Result;
    int ExpectedFrames = 0;
};

// Two pictures, two frames each (at least 100 ms per picture, so six at 60 fps).
TRun RenderCase(const std::vector<std::string>& pictures, const std::string& out,
                const std::string& fourcc, int width, int height, int fps) {
    const int period = 1000 / fps;
    const int pictureMs = std::max(100, 2 * period);
    const int perPicture =
        static_cast<int>(std::nearbyint(static_cast<double>(pictureMs) / period));
    TRun run;
    run.ExpectedFrames = 2 * perPicture;
    run.Result = e2e::Render(e2e::Concat({"-q", "-c", Trimmed(fourcc), "-r", std::to_string(fps),
                                          "-t", std::to_string(pictureMs), "--size",
                                          std::to_string(width) + "x" + std::to_string(height),
                                          "--no-crossfade", "--no-captions", "-o", out},
                                         e2e::PictureArgs(pictures)));
    return run;
}

// The video decodes cleanly, one frame per frame rendered, each at exactly width x height.
// (ffprobe decodes every frame to show it, and reports decoding errors as ffmpeg does.)
void ExpectFrameExact(const std::string& file, int width, int height, int frames) {
    const auto probe =
        test::Run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                   "frame=width,height", "-of", "compact=p=0", file});
    std::vector<std::string> sizes;
    static const std::regex frame(R"(width=(\d+)\|height=(\d+))");
    for (auto it = std::sregex_iterator(probe.Out.begin(), probe.Out.end(), frame);
         it != std::sregex_iterator(); ++it)
        sizes.push_back((*it)[1].str() + "x" + (*it)[2].str());
    EXPECT_EQ(sizes,
              std::vector<std::string>(static_cast<std::size_t>(frames),
                                       std::to_string(width) + "x" + std::to_string(height)));
    EXPECT_EQ(probe.Err, "");
    EXPECT_EQ(probe.ExitCode, 0);
    // ffmpeg also checks the timing of the decoded frames.
    EXPECT_EQ(e2e::DecodeErrors(file), "");
}

std::vector<std::string> FilesIn(const test::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CodecTable : public ::testing::TestWithParam<TTableCase> {};

} // namespace

TEST_P(CodecTable, WritesFrameExactOrRefusesBeforeTheFirstFrame) {
    const TTableCase c = GetParam();
    test::TempDir dir;
    const auto pictures = e2e::MakePictures(dir, 2);
    const auto before = FilesIn(dir);
    const std::string out = dir.File("out.avi");
    const TRun run = RenderCase(pictures, out, c.FourCC, c.Width, c.Height, c.Fps);

    if (run.Result.ExitCode == 0) {
        ExpectFrameExact(out, c.Width, c.Height, run.ExpectedFrames);
        return;
    }
    // A refusal: nothing written, the missing-compressor line, then what the codec needs.
    EXPECT_EQ(run.Result.ExitCode, 1) << run.Result.Err;
    EXPECT_EQ(FilesIn(dir), before) << run.Result.Err;
    const std::string name = Trimmed(c.FourCC);
    EXPECT_NE(run.Result.Err.find("No compressor for " + name + " available\n" + name + " "),
              std::string::npos)
        << run.Result.Err;
    static const std::regex sizeHint("\u2192 try (\\d+)x(\\d+)( at (\\d+) fps)?");
    static const std::regex rateHint("\u2192 try (\\d+) fps");
    std::smatch m;
    int width = c.Width, height = c.Height, fps = c.Fps;
    if (std::regex_search(run.Result.Err, m, sizeHint)) {
        width = std::stoi(m[1]);
        height = std::stoi(m[2]);
        if (m[4].matched) fps = std::stoi(m[4]);
    } else if (std::regex_search(run.Result.Err, m, rateHint)) {
        fps = std::stoi(m[1]);
    } else {
        FAIL() << "no size or rate to try in: " << run.Result.Err;
    }
    // What the message offers does render.
    const TRun retry = RenderCase(pictures, out, c.FourCC, width, height, fps);
    ASSERT_EQ(retry.Result.ExitCode, 0) << run.Result.Err << retry.Result.Err;
    ExpectFrameExact(out, width, height, retry.ExpectedFrames);
}

INSTANTIATE_TEST_SUITE_P(Catalog, CodecTable, ::testing::ValuesIn(Cases()), [](const auto& info) {
    std::string name;
    for (const char ch : Trimmed(info.param.FourCC))
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name + "_" + std::to_string(info.param.Width) + "x" + std::to_string(info.param.Height) +
           "_" + std::to_string(info.param.Fps) + "fps";
});
