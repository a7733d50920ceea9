// MP4, MKV and WebM files as players expect them, for every container and codec that goes into
// it, without and with a soundtrack: checked with ffprobe and ffmpeg as a player would read them.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "FaultHarness.h"
#include "RenderHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;
using e2e::Render;

namespace {

struct TContainerCase {
    const char* Output; // the output's name: its extension chooses the container
    const char* FourCC;
    bool WithSound;
    const char* VideoCodec; // ffprobe's codec_name
    const char* Tag;        // MP4's sample entry, "" where the container has none
    const char* AudioCodec; // with sound
    bool Yuv;               // colours stated (the lossless RGB codecs have no matrix)
};

// Small frames: the cases ask what goes into the file, not how fast.
const TContainerCase Cases[] = {
    {"show.mp4", "H264", false, "h264", "avc1", "", true},
    {"show.mp4", "H264", true, "h264", "avc1", "mp3", true},
    {"show.MP4", "HEVC", true, "hevc", "hvc1", "mp3", true},
    {"show.m4v", "AV01", false, "av1", "av01", "", true},
    {"show.mp4", "FMP4", true, "mpeg4", "mp4v", "mp3", true},
    {"show.mkv", "H264", true, "h264", "", "mp3", true},
    {"show.mkv", "VP90", false, "vp9", "", "", true},
    {"show.mkv", "FFV1", true, "ffv1", "", "mp3", false},
    {"show.mkv", "ULRG", false, "utvideo", "", "", false},
    {"show.webm", "VP90", true, "vp9", "", "opus", true},
    {"show.webm", "AV01", false, "av1", "", "", true},
};

constexpr int Pictures = 3;
constexpr int FramesPerPicture = 15; // 1000 ms at 15 fps
constexpr double VideoSeconds = Pictures * FramesPerPicture / 15.0;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// The top-level boxes of an MP4, in order.
std::vector<std::string> TopBoxes(const std::vector<std::uint8_t>& b) {
    std::vector<std::string> boxes;
    std::size_t at = 0;
    while (at + 8 <= b.size()) {
        std::uint64_t size =
            (std::uint64_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
        boxes.emplace_back(b.begin() + static_cast<long>(at) + 4,
                           b.begin() + static_cast<long>(at) + 8);
        if (size == 1 && at + 16 <= b.size()) {
            size = 0;
            for (int i = 0; i < 8; ++i) size = size << 8 | b[at + 8 + i];
        }
        if (size < 8) break;
        at += size;
    }
    return boxes;
}

class Containers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        pictures_ = new std::vector<std::string>(e2e::MakePictures(*dir_, Pictures));
        song_ = dir_->File("song.mp3");
        e2e::MakeMp3(song_, 8); // longer than the video: it is cut
    }
    static void TearDownTestSuite() {
        delete pictures_;
        delete dir_;
    }
    static std::vector<std::string> Args(const std::string& output, const std::string& fourcc) {
        return Concat({"-q", "-c", fourcc, "-r", "15", "-t", "1000", "--no-crossfade",
                       "--no-captions", "--size", "160x120", "-o", output},
                      PictureArgs(*pictures_));
    }
    static test::TempDir* dir_;
    static std::vector<std::string>* pictures_;
    static std::string song_;
};
test::TempDir* Containers::dir_ = nullptr;
std::vector<std::string>* Containers::pictures_ = nullptr;
std::string Containers::song_;

} // namespace

TEST_F(Containers, EveryCodecInEveryContainerPlaysAsPlayersExpect) {
    for (const TContainerCase& c : Cases) {
        SCOPED_TRACE(std::string(c.Output) + " " + c.FourCC + (c.WithSound ? " + MP3" : ""));
        test::TempDir out;
        const std::string file = out.File(c.Output);
        auto args = Args(file, c.FourCC);
        if (c.WithSound) args = Concat(args, {"-s", song_});
        const auto result = Render(args);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;

        EXPECT_EQ(test::Probe(file, "v:0", "stream=codec_name"), c.VideoCodec);
        if (*c.Tag) {
            EXPECT_EQ(test::Probe(file, "v:0", "stream=codec_tag_string"), c.Tag);
        }
        EXPECT_EQ(test::Probe(file, "v:0", "stream=r_frame_rate"), "15/1");
        // Square pixels, stated, or not stated at all (which players read as square).
        const std::string sar = test::Probe(file, "v:0", "stream=sample_aspect_ratio");
        EXPECT_TRUE(sar == "1:1" || sar == "N/A") << sar;
        EXPECT_EQ(test::Probe(file, "v:0", "stream=nb_read_frames", true),
                  std::to_string(Pictures * FramesPerPicture))
            << "every frame, the first one too";
        EXPECT_EQ(e2e::DecodeErrors(file), "");
        if (c.Yuv) {
            EXPECT_EQ(test::Probe(file, "v:0", "stream=color_space"), "smpte170m");
            EXPECT_EQ(test::Probe(file, "v:0", "stream=color_range"), "tv");
        }

        const bool mp4 = std::string(c.Tag).size() > 0;
        if (mp4) {
            EXPECT_EQ(test::Probe(file, "v:0", "stream=time_base"), "1/15");
            const auto boxes = TopBoxes(test::ReadFile(file));
            const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
            const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
            ASSERT_NE(moov, boxes.end());
            EXPECT_LT(moov, mdat) << "the index comes before the media data";
            EXPECT_EQ(std::find(boxes.begin(), boxes.end(), "moof"), boxes.end())
                << "the finished file is not fragmented";
        }

        if (!c.WithSound) {
            EXPECT_EQ(test::Probe(file, "a", "stream=codec_name"), "");
            continue;
        }
        EXPECT_EQ(test::Probe(file, "a:0", "stream=codec_name"), c.AudioCodec);
        const auto packets =
            Lines(test::Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                             "packet=pts_time,duration_time", "-of", "csv=p=0", file})
                      .Out);
        ASSERT_FALSE(packets.empty());
        const auto& last = packets.back();
        const double start = std::atof(last.c_str());
        const double end = start + std::atof(last.substr(last.find(',') + 1).c_str());
        if (std::string(c.AudioCodec) == "mp3") {
            // Copied: the last whole frame that starts before the video's end.
            EXPECT_LT(start, VideoSeconds);
            EXPECT_GE(end, VideoSeconds - 1e-6);
            const auto copied = e2e::AudioPacketHashes(file);
            auto original = e2e::AudioPacketHashes(song_);
            ASSERT_LE(copied.size(), original.size());
            original.resize(copied.size());
            EXPECT_EQ(copied, original) << "the MP3's frames, bit for bit";
        } else {
            // Encoded: cut at the video's end, within one frame of sound.
            EXPECT_NEAR(end, VideoSeconds, 0.03);
        }
    }
}

TEST_F(Containers, ColoursFollowTheStatedMatrixAtEverySize) {
    test::TempDir out;
    const std::string red = out.File("red.bmp");
    test::WriteBmp24(red, test::MakeSolid(320, 240, 0xC81E1E)); // 200, 30, 30
    const struct {
        const char* Output;
        const char* FourCC;
        const char* Size;
        const char* Matrix;
    } sizes[] = {{"sd.mp4", "H264", "320x240", "smpte170m"},
                 {"hd.mp4", "H264", "1280x720", "bt709"},
                 {"hd.webm", "VP90", "1280x720", "bt709"},
                 {"hd.avi", "H264", "1280x720", "bt709"}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::string(s.Output) + " " + s.Size);
        const std::string file = out.File(s.Output);
        const auto result = Render({"-q", "-c", s.FourCC, "-r", "5", "-t", "1000", "--no-crossfade",
                                    "--no-captions", "--size", s.Size, "-o", file, "-p", red});
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(test::Probe(file, "v:0", "stream=color_space"), s.Matrix);
        // One pixel from the middle of the first frame, as a player following the tags shows it.
        auto pixel =
            test::Run({"ffmpeg", "-v", "error", "-i", file, "-frames:v", "1", "-vf",
                       "crop=2:2:iw/2:ih/2,scale=1:1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
        ASSERT_EQ(pixel.Out.size(), 3u) << pixel.Err;
        EXPECT_NEAR(static_cast<unsigned char>(pixel.Out[0]), 200, 3);
        EXPECT_NEAR(static_cast<unsigned char>(pixel.Out[1]), 30, 3);
        EXPECT_NEAR(static_cast<unsigned char>(pixel.Out[2]), 30, 3);
    }
}

TEST_F(Containers, ACombinationThatCannotWorkFailsBeforeTheFirstFrame) {
    const struct {
        const char* Output;
        std::vector<std::string> Extra;
        const char* Says;
    } refused[] = {
        {"show.webm", {"-c", "H264"}, "A WebM file cannot hold H264"},
        {"show.mp4", {"-c", "VP90"}, "An MP4 file cannot hold VP90"},
        {"show.mp4", {"-c", "MJPG"}, "Codecs that fit: "},
        {"show.webm", {"-c", "VP90", "-s", "SONG", "--audio", "copy"}, "cannot hold MP3 sound"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.Says);
        test::TempDir out;
        const std::string file = out.File(r.Output);
        const std::vector<std::uint8_t> older = {'o', 'l', 'd'};
        test::WriteFile(file, older);
        std::vector<std::string> args = Concat(Args(file, "H264"), {});
        for (std::size_t i = 0; i + 1 < r.Extra.size(); ++i)
            if (r.Extra[i] == "-s") {
                args.push_back("-s");
                args.push_back(song_);
                ++i;
            } else if (r.Extra[i] == "-c") {
                const auto c = std::find(args.begin(), args.end(), "-c");
                *(c + 1) = r.Extra[++i];
            } else {
                args.push_back(r.Extra[i]);
                args.push_back(r.Extra[++i]);
            }
        const auto result = Render(args);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(r.Says), std::string::npos) << result.Err;
        EXPECT_EQ(test::ReadFile(file), older) << "the earlier file is kept";
        EXPECT_EQ(std::distance(fs::directory_iterator(out.Path()), fs::directory_iterator()), 1)
            << "nothing is left beside it";
    }
}

TEST_F(Containers, AStoppedRenderKeepsAPlayableFileUnderItsOwnExtension) {
    for (const char* name : {"show.mp4", "show.webm"}) {
        SCOPED_TRACE(name);
        test::TempDir out;
        const std::string file = out.File(name);
        const std::vector<std::uint8_t> older = {'o', 'l', 'd'};
        test::WriteFile(file, older);
        e2e::TBackground render(
            Concat({MORVANTA_RENDER_EXE, "-q", "-c",
                    std::string(name).ends_with("webm") ? "VP90" : "H264", "-r", "25", "-t",
                    "60000", "--dynamic", "--size", "160x120", "-s", song_, "-o", file},
                   PictureArgs(*pictures_)),
            out.File("stderr.txt"));
        const std::string kept = out.File(fs::path(name).stem().string() + ".partial" +
                                          fs::path(name).extension().string());
        ASSERT_FALSE(
            e2e::WaitForGrowingFile(render, out.Path(), fs::path(kept).filename(), 20000).empty());
        render.Signal(SIGTERM);
        EXPECT_EQ(render.Wait(), 143);
        EXPECT_EQ(test::ReadFile(file), older) << "the earlier file is untouched";
        EXPECT_EQ(e2e::DecodeErrors(kept), "") << "the stopped file plays to its end";
        EXPECT_GT(std::atoi(test::Probe(kept, "v:0", "stream=nb_read_frames", true).c_str()), 0);
    }
}

TEST_F(Containers, AKilledRenderLeavesAFileThatPlaysUpToItsLastSecond) {
    for (const char* name : {"show.mp4", "show.mkv"}) {
        SCOPED_TRACE(name);
        test::TempDir out;
        const std::string file = out.File(name);
        const std::vector<std::uint8_t> older = {'o', 'l', 'd'};
        test::WriteFile(file, older);
        // Panned pictures change every frame; far more frames than are written before the kill.
        e2e::TBackground render(Concat({MORVANTA_RENDER_EXE, "-q", "-c", "H264", "-r", "25", "-t",
                                        "60000", "--dynamic", "--size", "320x240", "-o", file},
                                       PictureArgs(*pictures_)),
                                out.File("stderr.txt"));
        const std::string reserved =
            fs::path(name).stem().string() + ".partial" + fs::path(name).extension().string();
        const std::string work = e2e::WaitForGrowingFile(render, out.Path(), reserved, 150000);
        ASSERT_FALSE(work.empty()) << "the render never wrote its file";
        render.Signal(SIGKILL);
        ASSERT_EQ(render.Wait(), 128 + SIGKILL);

        EXPECT_EQ(test::ReadFile(file), older);
        const int decoded =
            std::atoi(test::Probe(work, "v:0", "stream=nb_read_frames", true).c_str());
        EXPECT_GT(decoded, 25) << "more than a second of frames plays";
        auto played = test::Run({"ffmpeg", "-v", "error", "-i", work, "-f", "null", "-"});
        EXPECT_EQ(played.ExitCode, 0) << played.Err;
    }
}
