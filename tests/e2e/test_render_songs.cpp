// Renders with songs of every kind: what ends up in the file, how long it plays, and the songs
// that are refused before the first frame.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "../core/audio/SongFiles.h"
#include "RenderHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;
using e2e::Render;

namespace {

struct SongKind {
    const char* Name;
    const char* File;
    std::vector<std::string> Codec; // ffmpeg output options
    int Rate;                       // of the song
    int Channels;                   // of the song
};

// Every kind of song people keep: made from one 2-second tone each.
const SongKind Kinds[] = {
    {"Mp3Cbr", "s.mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-ac", "2"}, 44100, 2},
    {"Mp3Vbr", "s.mp3", {"-c:a", "libmp3lame", "-q:a", "4", "-ac", "2"}, 44100, 2},
    {"Aac", "s.m4a", {"-c:a", "aac", "-b:a", "128k", "-ac", "2"}, 44100, 2},
    {"Vorbis", "s.ogg", {"-c:a", "libvorbis", "-ac", "2"}, 44100, 2},
    {"Opus", "s.opus", {"-c:a", "libopus", "-ac", "2"}, 48000, 2},
    {"Flac", "s.flac", {"-c:a", "flac", "-ac", "2"}, 44100, 2},
    {"Wav16", "s.wav", {"-c:a", "pcm_s16le", "-ac", "2"}, 44100, 2},
    {"Wav24", "s.wav", {"-c:a", "pcm_s24le", "-ac", "2"}, 44100, 2},
    {"Mono22k", "s.wav", {"-c:a", "pcm_s16le", "-ar", "22050", "-ac", "1"}, 22050, 1},
    {"Surround51", "s.flac", {"-c:a", "flac", "-ac", "6"}, 48000, 6},
};

std::string MakeKind(const test::TempDir& dir, const SongKind& kind, double seconds = 2.0) {
    const std::string path = dir.File(kind.File);
    songtest::MakeSong(path, kind.Codec, seconds,
                       "sine=frequency=330:sample_rate=" + std::to_string(kind.Rate));
    return path;
}

// Sample frames the decoder gives for the first sound stream of `file`, at its own rate.
long long DecodedFrames(const std::string& file) {
    const auto result = test::Run(
        {"ffmpeg", "-v", "error", "-i", file, "-map", "0:a:0", "-f", "s16le", "-ac", "1", "-"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    return static_cast<long long>(result.Out.size() / 2);
}

double Number(const std::string& text) {
    return text.empty() || text == "N/A" ? -1 : std::stod(text);
}

class RenderSongKinds : public ::testing::TestWithParam<SongKind> {};

} // namespace

// The AVI holds MPEG audio: an MP3 as it is, every other song encoded with LAME at its own rate
// (or the next MPEG audio rate), all of it, starting with the video.
TEST_P(RenderSongKinds, IntoAnAvi) {
    const SongKind& kind = GetParam();
    test::TempDir dir;
    const std::string song = MakeKind(dir, kind);
    const std::string out = dir.File("show.avi");
    const auto result = Render(Concat(
        {"-q", "-c", "HFYU", "-r", "10", "-t", "1000", "--size", "64x48", "-s", song, "-o", out},
        PictureArgs(e2e::MakePictures(dir, 2))));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name"), "mp3");
    const int rate = kind.Rate;
    EXPECT_EQ(test::Probe(out, "a:0", "stream=sample_rate"), std::to_string(rate));
    EXPECT_EQ(test::Probe(out, "a:0", "stream=channels"), kind.Channels == 1 ? "1" : "2");
    EXPECT_EQ(e2e::DecodeErrors(out), "");
    // The whole song: as many samples as it has, within one frame once LAME's delay (576
    // samples, and 529 more in the decoder, which nothing in an AVI tells to skip) is counted.
    const long long frame = rate < 32000 ? 576 : 1152;
    const long long own = DecodedFrames(song), muxed = DecodedFrames(out);
    EXPECT_LE(std::llabs(own - muxed), 1105 + frame) << own << " " << muxed;
    EXPECT_EQ(Number(test::Probe(out, "a:0", "stream=start_time")),
              Number(test::Probe(out, "v:0", "stream=start_time")));
    // No temporary sound file is left beside the output.
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".morvanta-sound"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Songs, RenderSongKinds, ::testing::ValuesIn(Kinds),
                         [](const auto& info) { return std::string(info.param.Name); });

// MP4, MKV and WebM copy a song whose sound they hold, packet for packet, and encode the others
// to their own (AAC; Opus for WebM) at the song's rate when the codec takes it. The sound ends
// with the pictures.
TEST(RenderSongKindsInto, TheOtherContainers) {
    const struct {
        std::size_t Kind; // into Kinds
        const char* Output;
        const char* Codec; // ffprobe's name of the file's sound
        bool Copied;
        int Rate;
    } cases[] = {
        {2, "show.mp4", "aac", true, 44100},     {2, "show.mkv", "aac", true, 44100},
        {3, "show.webm", "vorbis", true, 44100}, {4, "show.mkv", "opus", true, 48000},
        {4, "show.webm", "opus", true, 48000},   {5, "show.mkv", "flac", true, 44100},
        {5, "show.mp4", "aac", false, 44100},    {3, "show.mp4", "aac", false, 44100},
        {6, "show.webm", "opus", false, 48000},  {8, "show.mp4", "aac", false, 22050},
        {0, "show.webm", "opus", false, 48000},
    };
    test::TempDir dir;
    const auto pictures = PictureArgs(e2e::MakePictures(dir, 2));
    constexpr double VideoSeconds = 2.0;
    for (const auto& c : cases) {
        const SongKind& kind = Kinds[c.Kind];
        SCOPED_TRACE(std::string(kind.Name) + " into " + c.Output);
        test::TempDir songDir;
        const std::string song = MakeKind(songDir, kind, 3.0); // longer than the pictures
        const std::string out = songDir.File(c.Output);
        const char* video = std::string(c.Output).ends_with(".webm") ? "VP90" : "H264";
        const auto result =
            Render(Concat({"-q", "-c", video, "-r", "10", "-t", "1000", "--no-crossfade", "--size",
                           "64x48", "-s", song, "-o", out},
                          pictures));
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name"), c.Codec);
        EXPECT_EQ(test::Probe(out, "a:0", "stream=sample_rate"), std::to_string(c.Rate));
        EXPECT_EQ(e2e::DecodeErrors(out), "");
        const double end = e2e::AudioEndSeconds(out);
        if (c.Copied) {
            const auto copied = e2e::AudioPacketHashes(out);
            auto own = e2e::AudioPacketHashes(song);
            ASSERT_FALSE(copied.empty());
            ASSERT_LT(copied.size(), own.size()) << "cut with the pictures";
            own.resize(copied.size());
            EXPECT_EQ(copied, own) << "the song's packets, bit for bit";
            EXPECT_NEAR(end, VideoSeconds, 0.15) << "the last whole packet before the end";
        } else {
            EXPECT_NEAR(end, VideoSeconds, 0.05);
        }
    }
}

// Two songs are mixed, so encoded, with the cross-fade between them; copying them is refused, as
// is a sound the container cannot hold, before anything is written.
TEST(RenderSongKindsInto, SongListsAndRefusedCopies) {
    test::TempDir dir;
    const std::string a = MakeKind(dir, Kinds[2], 1.5); // AAC
    const std::string b = MakeKind(dir, Kinds[5], 1.5); // FLAC
    const auto pictures = PictureArgs(e2e::MakePictures(dir, 2));
    const auto render = [&](const std::string& out, std::vector<std::string> extra) {
        return Render(Concat(Concat({"-q", "-c", "H264", "-r", "10", "-t", "1000", "--no-crossfade",
                                     "--size", "64x48", "-o", out},
                                    extra),
                             pictures));
    };
    const std::string list = dir.File("list.mp4");
    auto result = render(list, {"-s", a, "-s", b, "--fade-out", "0"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::Probe(list, "a:0", "stream=codec_name"), "aac");
    EXPECT_NEAR(e2e::AudioEndSeconds(list), 2.0, 0.05);

    const struct {
        std::vector<std::string> Extra;
        const char* Says;
    } refused[] = {
        {{"-s", b, "--audio", "copy"}, "An MP4 file cannot hold FLAC sound: use --audio aac."},
        {{"-s", a, "-s", b, "--audio", "copy"}, "Several songs cannot be copied"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.Says);
        const std::string out = dir.File("refused.mp4");
        test::WriteText(out, "earlier video");
        result = render(out, r.Extra);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(r.Says), std::string::npos) << result.Err;
        EXPECT_EQ(fs::file_size(out), 13u) << "the earlier video is kept";
    }
}

TEST(RenderSongList, SeveralSongsCrossFadedAndMatched) {
    test::TempDir dir;
    const std::string a = MakeKind(dir, Kinds[5], 2.4); // FLAC
    const std::string b = MakeKind(dir, Kinds[3], 2.0); // Vorbis
    const std::string out = dir.File("list.avi");
    const auto pictures = PictureArgs(e2e::MakePictures(dir, 4));
    // 2.4 + 2.0 - 0.5 s: the pictures share 3.9 s, 4 in whole seconds as Match audio takes them.
    auto result =
        Render(Concat({"-c", "HFYU", "-r", "10", "--size", "64x48", "--no-crossfade",
                       "--match-audio", "-s", a, "-s", b, "--song-fade", "500", "-o", out},
                      pictures));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("Time per picture matched to the soundtrack: 1000 ms."),
              std::string::npos)
        << result.Err;
    EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name"), "mp3");
    EXPECT_NEAR(static_cast<double>(DecodedFrames(out)) / 44100, 3.9, 2 * 1152.0 / 44100);

    // The same songs from a project file: ";Sound=" the first, ";Song=" the next.
    test::WriteText(dir.File("show.mrv"),
                    ";Sound=" + a + "\r\n;Song=" + b + "\r\n;Output=" + dir.File("p.avi") + "\r\n");
    result = Render(Concat({"-q", "-c", "HFYU", "-r", "10", "--size", "64x48", "--no-crossfade",
                            "--match-audio", dir.File("show.mrv")},
                           pictures));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    // The default cross-fade is a second: 3.4 s, 3 s over 4 pictures.
    EXPECT_NE(result.Err.find("Time per picture matched to the soundtrack: 750 ms."),
              std::string::npos)
        << result.Err;
    EXPECT_NEAR(static_cast<double>(DecodedFrames(dir.File("p.avi"))) / 44100, 3.4,
                2 * 1152.0 / 44100);
}

TEST(RenderSongList, RefusedSongsStopBeforeTheFirstFrame) {
    test::TempDir dir;
    const std::string photo = dir.File("photo.m4a");
    const auto made = test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                 "testsrc=size=64x48", "-frames:v", "1", "-f", "mjpeg", photo});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    const std::string good = MakeKind(dir, Kinds[5], 1.0);
    const std::string out = dir.File("show.avi");
    test::WriteText(out, "earlier video");
    const auto pictures = PictureArgs(e2e::MakePictures(dir, 2));
    auto result = Render(Concat(
        {"-q", "-c", "HFYU", "--size", "64x48", "-s", good, "-s", photo, "-o", out}, pictures));
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("Cannot use the soundtrack " + photo + ": No usable sound in " +
                              photo + ": it is not an audio file"),
              std::string::npos)
        << result.Err;
    EXPECT_EQ(fs::file_size(out), 13u) << "the earlier video is kept";

    // A project's song that cannot be used is left out with a warning; the others play.
    test::WriteText(dir.File("show.mrv"),
                    ";Sound=" + photo + "\r\n;Song=" + good + "\r\n;Output=" + out + "\r\n");
    result =
        Render(Concat({"-q", "-c", "HFYU", "--size", "64x48", dir.File("show.mrv")}, pictures));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("Warning: the project's soundtrack " + photo + " is not used"),
              std::string::npos)
        << result.Err;
    EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name"), "mp3");
}

TEST(RenderSongList, CutOnTheBeatKeepsTheFrameCount) {
    test::TempDir dir;
    const std::string drum = dir.File("drum.flac");
    songtest::MakeSong(drum, {"-c:a", "flac"}, 16.0,
                       "aevalsrc=if(lt(mod(t\\,0.5)\\,0.05)\\,(random(0)*2-1)*exp(-mod(t\\,0.5)*"
                       "60)\\,0):sample_rate=44100");
    const std::string tone = MakeKind(dir, Kinds[5], 10.0);
    const auto pictures = PictureArgs(e2e::MakePictures(dir, 6));
    const auto render = [&](const std::string& song, const std::string& out, bool beat) {
        auto args = Concat({"-q", "-c", "HFYU", "-r", "25", "-t", "2300", "--size", "64x48", "-s",
                            song, "-o", out},
                           pictures);
        if (beat) args.push_back("--beat");
        return Render(args);
    };
    auto result = render(drum, dir.File("beat.avi"), true);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("picture changes moved to a beat."), std::string::npos) << result.Err;
    EXPECT_EQ(result.Err.find("Cut on the beat: 0 of"), std::string::npos) << result.Err;
    ASSERT_EQ(render(drum, dir.File("plain.avi"), false).ExitCode, 0);
    EXPECT_EQ(test::Probe(dir.File("beat.avi"), "v:0", "stream=nb_read_frames", true),
              test::Probe(dir.File("plain.avi"), "v:0", "stream=nb_read_frames", true));

    result = render(tone, dir.File("tone.avi"), true);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("Cut on the beat: the soundtrack has no clear beat; the pictures "
                              "keep their times."),
              std::string::npos)
        << result.Err;
}
