// Songs of every kind read by their content: the decoder's own count of samples for their
// length, the MPEG reading for MPEG audio, and one plain refusal for what is not a song.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "SongFiles.h"
#include "audio/U_AudioFile.h"
#include "audio/U_SongProbe.h"
#include "platform/base/U_Errors.h"

namespace fs = std::filesystem;
using songtest::MakeSong;

namespace {

struct KindCase {
    const char* Name;
    const char* File;
    std::vector<std::string> Codec;
    const char* Source;
    TSongKind Kind;
    const char* CodecName;
    int Rate;
    int Channels;
    // Samples the encoder may add or the container may not trim (priming, last frame; the
    // MPEG reading counts an encoder's info frame and its padding too).
    int Slack;
};

class SongKinds : public ::testing::TestWithParam<KindCase> {};

const char* const Stereo44 = "sine=frequency=440:sample_rate=44100";

} // namespace

TEST_P(SongKinds, ContentDecidesAndTheDecoderCounts) {
    const KindCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.File(c.File);
    MakeSong(path, c.Codec, 2.0, c.Source);
    const TSongInfo info = ProbeSong(path);
    EXPECT_EQ(info.Kind, c.Kind);
    EXPECT_EQ(info.Codec, c.CodecName);
    EXPECT_EQ(info.SampleRate, c.Rate);
    EXPECT_EQ(info.Channels, c.Channels);
    EXPECT_NEAR(info.Seconds(), 2.0, static_cast<double>(c.Slack) / c.Rate + 1e-9);
    if (c.Kind == TSongKind::Decoded) {
        EXPECT_NEAR(static_cast<double>(info.Frames), 2.0 * c.Rate, c.Slack);
        EXPECT_DOUBLE_EQ(info.Seconds(), static_cast<double>(info.Frames) / c.Rate);
    } else {
        // The MPEG reading, exactly as the soundtrack facade gives it for an .mp3 name.
        const std::string named = dir.File("same.mp3");
        fs::copy_file(path, named);
        TAudioFile facade;
        facade.SetFileName(named);
        EXPECT_EQ(info.Days, facade.Duration());
    }
    // The quick check agrees that the song is usable.
    EXPECT_FALSE(SongProblem(path).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Songs, SongKinds,
    ::testing::Values(KindCase{"Mp3",
                               "a.mp3",
                               {"-c:a", "libmp3lame"},
                               Stereo44,
                               TSongKind::Mpeg,
                               "mp3",
                               44100,
                               1,
                               3 * 1152},
                      KindCase{"Mp3NamedM4a",
                               "a.m4a",
                               {"-c:a", "libmp3lame", "-f", "mp3"},
                               Stereo44,
                               TSongKind::Mpeg,
                               "mp3",
                               44100,
                               1,
                               3 * 1152},
                      KindCase{"AacInM4a",
                               "a.m4a",
                               {"-c:a", "aac", "-ac", "2"},
                               Stereo44,
                               TSongKind::Decoded,
                               "aac",
                               44100,
                               2,
                               1024},
                      KindCase{"AdtsAac",
                               "a.aac",
                               {"-c:a", "aac"},
                               Stereo44,
                               TSongKind::Decoded,
                               "aac",
                               44100,
                               1,
                               2048},
                      KindCase{"AacNamedMp3",
                               "a.mp3",
                               {"-c:a", "aac", "-f", "adts"},
                               Stereo44,
                               TSongKind::Decoded,
                               "aac",
                               44100,
                               1,
                               2048},
                      KindCase{"Vorbis",
                               "a.ogg",
                               {"-c:a", "libvorbis", "-ac", "2"},
                               Stereo44,
                               TSongKind::Decoded,
                               "vorbis",
                               44100,
                               2,
                               0},
                      KindCase{"OpusInOga",
                               "a.oga",
                               {"-c:a", "libopus", "-f", "ogg"},
                               "sine=frequency=440:sample_rate=48000",
                               TSongKind::Decoded,
                               "opus",
                               48000,
                               1,
                               0},
                      KindCase{"Opus",
                               "a.opus",
                               {"-c:a", "libopus"},
                               "sine=frequency=440:sample_rate=48000",
                               TSongKind::Decoded,
                               "opus",
                               48000,
                               1,
                               0},
                      KindCase{"Flac51",
                               "a.flac",
                               {"-c:a", "flac"},
                               "sine=frequency=440:sample_rate=48000,aformat=channel_layouts=5.1",
                               TSongKind::Decoded,
                               "flac",
                               48000,
                               6,
                               0},
                      KindCase{"Wav16",
                               "a.wav",
                               {"-c:a", "pcm_s16le"},
                               Stereo44,
                               TSongKind::Decoded,
                               "pcm_s16le",
                               44100,
                               1,
                               0},
                      KindCase{"Wav24Stereo",
                               "a.wav",
                               {"-c:a", "pcm_s24le", "-ac", "2"},
                               Stereo44,
                               TSongKind::Decoded,
                               "pcm_s24le",
                               44100,
                               2,
                               0},
                      KindCase{"WavMono22k",
                               "a.wav",
                               {"-c:a", "pcm_s16le", "-ar", "22050"},
                               Stereo44,
                               TSongKind::Decoded,
                               "pcm_s16le",
                               22050,
                               1,
                               0},
                      KindCase{"SoundOfAVideo",
                               "a.mkv",
                               {"-f", "lavfi", "-i", "color=size=64x48:rate=5", "-t", "2", "-c:v",
                                "mpeg4", "-c:a", "flac"},
                               Stereo44,
                               TSongKind::Decoded,
                               "flac",
                               44100,
                               1,
                               0}),
    [](const auto& info) { return std::string(info.param.Name); });

namespace {

struct RefusedCase {
    const char* Name;
    const char* File;
    // Makes the file at the path (none: it does not exist).
    std::function<void(const std::string&)> Make;
    const char* Reason;
};

class RefusedSongs : public ::testing::TestWithParam<RefusedCase> {};

void Ffmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto made = test::Run(argv);
    if (made.ExitCode != 0) throw std::runtime_error("ffmpeg: " + made.Err);
}

// A 16-bit PCM WAV of silence.
std::vector<std::uint8_t> Wav(int channels, int rate, int frames) {
    std::vector<std::uint8_t> bytes;
    const auto put = [&](std::uint32_t v, int size) {
        for (int b = 0; b < size; ++b) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    };
    const std::uint32_t data = static_cast<std::uint32_t>(frames * channels * 2);
    bytes = {'R', 'I', 'F', 'F'};
    put(36 + data, 4);
    for (char ch : std::string("WAVEfmt ")) bytes.push_back(static_cast<std::uint8_t>(ch));
    put(16, 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(channels), 2);
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate * channels * 2), 4);
    put(static_cast<std::uint32_t>(channels * 2), 2);
    put(16, 2);
    for (char ch : std::string("data")) bytes.push_back(static_cast<std::uint8_t>(ch));
    put(data, 4);
    bytes.resize(bytes.size() + data, 0);
    return bytes;
}

void Truncate(const std::string& path, std::size_t size) {
    auto bytes = test::ReadFile(path);
    bytes.resize(std::min(bytes.size(), size));
    test::WriteFile(path, bytes);
}

} // namespace

TEST_P(RefusedSongs, OnePlainMessageNamingTheFile) {
    const RefusedCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.File(c.File);
    if (c.Make) c.Make(path);
    const auto problem = SongProblem(path);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(*problem, "No usable sound in " + path + ": " + c.Reason);
    // The full probe refuses it the same way.
    try {
        ProbeSong(path);
        ADD_FAILURE() << "accepted";
    } catch (const EMorvantaError& e) {
        EXPECT_EQ(std::string(e.what()), *problem);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, RefusedSongs,
    ::testing::Values(
        RefusedCase{"JpegNamedM4a", "photo.m4a",
                    [](const std::string& p) {
                        Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1", "-f",
                                "mjpeg", p});
                    },
                    "it is not an audio file"},
        RefusedCase{"VideoWithoutSound", "clip.m4a",
                    [](const std::string& p) {
                        Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=5", "-t", "1", "-c:v",
                                "mpeg4", "-f", "mp4", p});
                    },
                    "it holds no sound"},
        RefusedCase{"WavHeaderOnly", "song.wav",
                    [](const std::string& p) { test::WriteFile(p, Wav(2, 44100, 0)); },
                    "it holds no sound that decodes, only a header"},
        RefusedCase{"FlacHeaderOnly", "song.flac",
                    [](const std::string& p) {
                        // "fLaC" and the stream info block, marked as the last block.
                        MakeSong(p, {"-c:a", "flac"});
                        Truncate(p, 42);
                        auto bytes = test::ReadFile(p);
                        bytes[4] |= 0x80;
                        test::WriteFile(p, bytes);
                    },
                    "it holds no sound that decodes, only a header"},
        RefusedCase{"Empty", "song.ogg", [](const std::string& p) { test::WriteText(p, ""); },
                    "the file is empty"},
        RefusedCase{"Text", "song.flac",
                    [](const std::string& p) { test::WriteText(p, std::string(5000, 'x')); },
                    "it is not an audio file"},
        // A playlist naming a real song: read as a playlist it would open another file.
        RefusedCase{"Playlist", "list.m4a",
                    [](const std::string& p) {
                        MakeSong(p + ".wav", {"-c:a", "pcm_s16le"});
                        test::WriteText(p, "#EXTM3U\n#EXTINF:2,\n" + p + ".wav\n");
                    },
                    "it is not an audio file"},
        RefusedCase{"Folder", "folder.flac", [](const std::string& p) { fs::create_directory(p); },
                    "it is not a regular file"},
        // A named pipe with no writer would block an open for ever.
        RefusedCase{"Fifo", "pipe.wav", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); },
                    "it is not a regular file"},
        RefusedCase{"Missing", "gone.opus", nullptr, "No such file or directory"},
        RefusedCase{"TooManyChannels", "many.wav",
                    [](const std::string& p) { test::WriteFile(p, Wav(10, 8000, 800)); },
                    "it has 10 channels; at most 8 are played"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SongProbe, AnMpegNameKeepsTheFrameScansMessages) {
    test::TempDir dir;
    const std::string path = dir.File("noise.mp3");
    test::WriteText(path, std::string(50000, 'x'));
    EXPECT_EQ(SongProblem(path), "No MPEG audio frame found in " + path);
    EXPECT_EQ(SongProblem(dir.File("gone.mp3")).value_or("").rfind("Cannot open file", 0), 0u);
}

TEST(SongProbe, AListNamesTheFirstSongThatCannotBeUsed) {
    test::TempDir dir;
    MakeSong(dir.File("a.flac"), {"-c:a", "flac"}, 0.5);
    test::WriteText(dir.File("b.ogg"), "not a song");
    EXPECT_EQ(ProbeSongs({dir.File("a.flac"), dir.File("a.flac")}).size(), 2u);
    try {
        ProbeSongs({dir.File("a.flac"), dir.File("b.ogg")});
        ADD_FAILURE() << "accepted";
    } catch (const EMorvantaError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.File("b.ogg")), std::string::npos) << e.what();
    }
}

// A soundtrack cut at the video's end is counted only past the cut: long enough to be faded
// there, without decoding the rest. A song that ends first keeps its exact count.
TEST(SongProbe, ACutCountStopsPastTheCutAndKeepsShortSongsExact) {
    test::TempDir dir;
    const std::string path = dir.File("song.flac");
    MakeSong(path, {"-c:a", "flac"}, 6.0, Stereo44);
    const TSongInfo whole = ProbeSong(path);
    struct Cut {
        double Seconds;
        bool Whole; // the count is the song's full one
    };
    for (const Cut& c :
         {Cut{0, true}, Cut{1.5, false}, Cut{4.5, false}, Cut{5.5, true}, Cut{30, true}}) {
        SCOPED_TRACE(c.Seconds);
        const TSongInfo cut = ProbeSongUpTo(path, c.Seconds);
        EXPECT_EQ(cut.Kind, TSongKind::Decoded);
        EXPECT_EQ(cut.SampleRate, whole.SampleRate);
        EXPECT_EQ(cut.Channels, whole.Channels);
        if (c.Whole) {
            EXPECT_EQ(cut.Frames, whole.Frames);
        } else {
            // Past the cut by a second, and well short of the whole song.
            EXPECT_GE(cut.Frames, static_cast<std::int64_t>((c.Seconds + 1) * whole.SampleRate));
            EXPECT_LT(cut.Frames, whole.Frames);
            EXPECT_GT(cut.Seconds(), c.Seconds + 1 - 1e-9);
        }
    }
    // MPEG audio keeps its frame reading, and a refused file its one message.
    const std::string mp3 = dir.File("song.mp3");
    MakeSong(mp3, {"-c:a", "libmp3lame"}, 2.0, Stereo44);
    EXPECT_EQ(ProbeSongUpTo(mp3, 1).Days, ProbeSong(mp3).Days);
    const std::string junk = dir.File("junk.flac");
    {
        std::FILE* f = std::fopen(junk.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not a song at all", f);
        std::fclose(f);
    }
    EXPECT_THROW(ProbeSongUpTo(junk, 1), EMorvantaError);
}
