// The final AVI with sound, made from real MP3s and checked with ffprobe/ffmpeg.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "audio/U_MP3FrameExtract.h"
#include "audio/U_Mux.h"

namespace {

struct Track {
    const char* Name;
    // ffmpeg output options for a 2-second sine ("{cover}" stands for a JPEG picture), or a
    // lame command line fed with the sine as a WAV file.
    std::vector<std::string> Encode;
    int Rate;
    int Channels;
    const char* Codec;
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kTags = {
    "-id3v2_version", "3",         "-write_id3v1", "1", "-metadata",
    "title=Morvanta", "-metadata", "artist=Test"};

const Track kTracks[] = {
    {"cbr.mp3", Join({"-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k"}, kTags), 44100, 2, "mp3"},
    {"cover.mp3",
     {"-i", "{cover}", "-map", "0:a", "-map", "1:v", "-c:v", "copy", "-disposition:v",
      "attached_pic", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", "-id3v2_version", "3"},
     44100,
     2,
     "mp3"},
    {"vbr.mp3", {"-ac", "2", "-c:a", "libmp3lame", "-q:a", "4"}, 44100, 2, "mp3"},
    {"lame.mp3",
     {"lame", "--quiet", "-V", "2", "--add-id3v2", "--tt", "Morvanta"},
     44100,
     2,
     "mp3"},
    {"mono22.mp3", {"-ac", "1", "-c:a", "libmp3lame", "-b:a", "64k"}, 22050, 1, "mp3"},
    {"rate48.mp3", {"-ac", "2", "-c:a", "libmp3lame", "-b:a", "192k"}, 48000, 2, "mp3"},
    {"low11.mp3", {"-ac", "1", "-c:a", "libmp3lame", "-b:a", "32k"}, 11025, 1, "mp3"},
    {"layer2.mp2", {"-ac", "2", "-c:a", "mp2", "-b:a", "192k"}, 48000, 2, "mp2"},
};

class Mux : public ::testing::TestWithParam<Track> {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffmpeg") || !test::HaveProgram("ffprobe"))
            GTEST_SKIP() << "ffmpeg and ffprobe are needed";
        if (GetParam().Encode.front() == "lame" && !test::HaveProgram("lame"))
            GTEST_SKIP() << "lame is needed";
    }
    static void Ffmpeg(std::vector<std::string> args) {
        args.insert(args.begin(), {"ffmpeg", "-v", "error", "-nostdin", "-y"});
        const auto r = test::Run(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }
    // A 2-second HuffYUV video (its format carries codec data after the bitmap header).
    std::string Video() {
        const auto path = dir.File("video.avi");
        Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-t", "2", "-c:v", "huffyuv",
                path});
        return path;
    }
    std::string Sound(const Track& t) {
        const auto path = dir.File(t.Name);
        const std::string sine =
            "sine=frequency=440:duration=2:sample_rate=" + std::to_string(t.Rate);
        if (t.Encode.front() == "lame") {
            const auto wav = dir.File("sine.wav");
            Ffmpeg({"-f", "lavfi", "-i", sine, "-ac", std::to_string(t.Channels), wav});
            const auto r = test::Run(Join(t.Encode, {wav, path}));
            EXPECT_EQ(r.ExitCode, 0) << r.Err;
            return path;
        }
        std::vector<std::string> args = {"-f", "lavfi", "-i", sine};
        for (const auto& option : t.Encode) {
            if (option != "{cover}") {
                args.push_back(option);
                continue;
            }
            const auto cover = dir.File("cover.jpg");
            Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240", "-frames:v", "1", "-q:v", "2",
                    cover});
            // A comment segment holding two perfect MP3 frames: only the tag's size tells them
            // from the soundtrack.
            auto jpeg = test::ReadFile(cover);
            std::vector<std::uint8_t> comment = {0xFF, 0xFE, 0, 0};
            for (int i = 0; i < 2; ++i) {
                const std::uint8_t head[4] = {0xFF, 0xFB, 0x90, 0x64};
                comment.insert(comment.end(), head, head + 4);
                comment.resize(comment.size() + 413, 0x11);
            }
            comment[2] = static_cast<std::uint8_t>((comment.size() - 2) >> 8);
            comment[3] = static_cast<std::uint8_t>(comment.size() - 2);
            jpeg.insert(jpeg.begin() + 2, comment.begin(), comment.end());
            test::WriteFile(cover, jpeg);
            args.push_back(cover);
        }
        args.push_back(path);
        Ffmpeg(args);
        return path;
    }
    // Samples per channel that ffmpeg decodes from the first audio stream, or -1 on an error.
    static long DecodedSamples(const std::string& file, bool untrimmed) {
        std::vector<std::string> args = {"ffmpeg", "-v", "error", "-nostdin"};
        if (untrimmed) args.insert(args.end(), {"-flags2", "+skip_manual"});
        args.insert(args.end(), {"-i", file, "-map", "0:a:0", "-ac", "1", "-f", "s16le", "-"});
        const auto r = test::Run(args);
        if (r.ExitCode != 0 || !r.Err.empty()) return -1;
        return static_cast<long>(r.Out.size() / 2);
    }
    test::TempDir dir;
};

} // namespace

TEST_P(Mux, SoundtrackBecomesOneAudioStream) {
    const Track& t = GetParam();
    const std::string video = Video();
    const std::string sound = Sound(t);
    TMP3FrameExtract extract(sound);
    extract.Load();
    ASSERT_GT(extract.FramesFound(), 10u);
    EXPECT_EQ(extract.SampleRate(), t.Rate);
    EXPECT_EQ(extract.Channels(), t.Channels);
    const auto bytes = test::ReadFile(sound);
    EXPECT_GE(extract.FrameStart(0),
              static_cast<std::int64_t>(Id3v2TagSize(bytes.data(), bytes.size())));

    const std::string out = dir.File("final.avi");
    std::vector<std::string> log;
    TMuxEvents events;
    events.OnLog = [&](const std::string& text) { log.push_back(text); };
    ASSERT_TRUE(MuxVideoAndSound(video, sound, out, events));
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log.back(), "Done");

    EXPECT_EQ(test::Probe(out, "v:0", "stream=codec_name,nb_frames"), "huffyuv\n50");
    EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name,sample_rate,channels"),
              std::string(t.Codec) + "\n" + std::to_string(t.Rate) + "\n" +
                  std::to_string(t.Channels));
    const auto quiet =
        test::Run({"ffmpeg", "-v", "error", "-nostdin", "-i", out, "-f", "null", "-"});
    EXPECT_EQ(quiet.ExitCode, 0);
    EXPECT_EQ(quiet.Err, "");

    const int perFrame = extract.FirstHeader()->SamplesPerFrame();
    const double frame = static_cast<double>(perFrame) / t.Rate;
    const double own = std::stod(test::Probe(sound, "a:0", "format=duration"));
    const double muxed = std::stod(test::Probe(out, "a:0", "stream=duration"));
    EXPECT_NEAR(muxed, own, frame + 1e-3);

    // Players trim an encoder's delay and padding from an MP3 file but cannot in an AVI:
    // compare with the MP3 decoded untrimmed; the trimmed count is never more.
    const long untrimmed = DecodedSamples(sound, true);
    const long trimmed = DecodedSamples(sound, false);
    const long muxedSamples = DecodedSamples(out, false);
    ASSERT_GT(trimmed, 0);
    ASSERT_GT(muxedSamples, 0) << "decoding the muxed audio failed";
    EXPECT_LE(std::labs(muxedSamples - untrimmed), 2L * perFrame)
        << untrimmed << " vs " << muxedSamples;
    EXPECT_GE(muxedSamples, trimmed);
}

INSTANTIATE_TEST_SUITE_P(Tracks, Mux, ::testing::ValuesIn(kTracks),
                         [](const ::testing::TestParamInfo<Track>& info) {
                             const std::string name = info.param.Name;
                             return name.substr(0, name.find('.'));
                         });
