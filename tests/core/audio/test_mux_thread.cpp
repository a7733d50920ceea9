// The multiplexing thread: its reports, Cancel in each phase, its errors, and the bytes it writes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "Mp3Bytes.h"
#include "TestSupport.h"
#include "audio/U_MP3FrameExtract.h"
#include "audio/U_Mux.h"
#include "audio/U_MuxThd.h"
#include "platform/avi/U_AviFile.h"
#include "platform/base/U_Errors.h"

namespace {

constexpr int kFrames = 30;
constexpr int kWidth = 64, kHeight = 48;

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
unsigned Get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8;
}

struct Progress {
    std::int32_t Position, Max;
    std::string Text;
};

class MuxThread : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffmpeg") || !test::HaveProgram("ffprobe"))
            GTEST_SKIP() << "ffmpeg and ffprobe are needed";
        video = dir.File("temp.avi");
        sound = dir.File("song.mp3");
        output = dir.File("final.avi");
        WriteVideo();
        const auto r = test::Run({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i",
                                  "sine=frequency=330:duration=2", "-ac", "2", "-c:a", "libmp3lame",
                                  "-b:a", "128k", sound});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }

    // Uncompressed 24-bit frames, a key frame every fifth, and 8 bytes of codec data after the
    // bitmap header that must survive the copy.
    void WriteVideo() {
        TAviWriter writer;
        ASSERT_EQ(writer.Create(video), AVIERR_OK);
        AVISTREAMINFO info;
        info.fccType = streamtypeVIDEO;
        info.fccHandler = MakeFourCC('D', 'I', 'B', ' ');
        info.dwScale = 1;
        info.dwRate = 25;
        info.rcFrame = {0, 0, kWidth, kHeight};
        int stream = -1;
        ASSERT_EQ(writer.CreateStream(info, stream), AVIERR_OK);
        format.assign(48, 0);
        const std::uint32_t fields[] = {40, kWidth, kHeight};
        std::memcpy(format.data(), fields, sizeof fields);
        format[12] = 1;  // biPlanes
        format[14] = 24; // biBitCount
        const std::uint32_t image = kWidth * kHeight * 3;
        std::memcpy(format.data() + 20, &image, 4);
        for (int i = 40; i < 48; ++i) format[i] = static_cast<std::uint8_t>(0xA0 + i);
        ASSERT_EQ(writer.SetFormat(stream, format.data(), format.size()), AVIERR_OK);
        for (int i = 0; i < kFrames; ++i) {
            std::vector<std::uint8_t> pixels(image, static_cast<std::uint8_t>(i * 8));
            ASSERT_EQ(writer.Write(stream, i, pixels.data(), pixels.size(),
                                   i % 5 == 0 ? AVIIF_KEYFRAME : 0),
                      AVIERR_OK);
        }
        ASSERT_EQ(writer.Close(), AVIERR_OK);
    }

    // Runs the thread to its end, handling its reports here on the main thread.
    void RunThread(const std::function<bool(const Progress&)>& stopWhen = {}) {
        TEventQueueDispatcher dispatcher;
        TMuxThd thread(&dispatcher);
        thread.VideoFile = video;
        thread.SoundFile = sound;
        thread.OutputFile = output;
        const auto mainId = std::this_thread::get_id();
        thread.OnLog = [&](const std::string& text) {
            EXPECT_EQ(std::this_thread::get_id(), mainId);
            log.push_back(text);
        };
        thread.OnProgress = [&](std::int32_t position, std::int32_t max, const std::string& text) {
            EXPECT_EQ(std::this_thread::get_id(), mainId);
            progress.push_back({position, max, text});
            if (stopWhen && stopWhen(progress.back())) thread.Terminate();
        };
        thread.Start();
        dispatcher.ProcessUntil([&] { return thread.Finished(); });
        thread.WaitFor();
        aborted = thread.Aborted();
        error = thread.FatalMessage();
    }

    bool Logged(const std::string& line) const {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    void ExpectReadable(std::int32_t videoSamples, std::int32_t audioSamples) {
        const auto r = test::Run({"ffprobe", "-v", "error", "-show_entries",
                                  "stream=codec_type,codec_name", "-of", "csv=p=0", output});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(r.Out, "rawvideo,video\nmp3,audio\n");
        TAviReader reader;
        ASSERT_EQ(reader.Open(output), AVIERR_OK);
        int v = -1, a = -1;
        ASSERT_EQ(reader.GetStream(streamtypeVIDEO, 0, v), AVIERR_OK);
        ASSERT_EQ(reader.GetStream(streamtypeAUDIO, 0, a), AVIERR_OK);
        EXPECT_EQ(reader.StreamLength(v), videoSamples);
        EXPECT_EQ(reader.StreamLength(a), audioSamples);
    }

    test::TempDir dir;
    std::string video, sound, output;
    std::vector<std::uint8_t> format;
    std::vector<std::string> log;
    std::vector<Progress> progress;
    bool aborted = true;
    std::string error;
};

} // namespace

TEST_F(MuxThread, CompleteRunCopiesEverySampleAndFrame) {
    RunThread();
    ASSERT_EQ(error, "");
    EXPECT_FALSE(aborted);
    TMP3FrameExtract extract(sound);
    extract.Load();
    ASSERT_EQ(extract.FirstAudioFrame(), 1u) << "lame writes an Info frame first";
    const auto audioFrames = static_cast<std::int32_t>(extract.FramesFound() - 1);
    EXPECT_EQ(
        log,
        (std::vector<std::string>{
            "Audio : " + sound, "Video : " + video, "Output : " + output, "Loading MP3 file",
            "MP3 file succesfully loaded (" + std::to_string(extract.FrameCount()) + " frames)",
            "Adding Video Stream", "Adding Audio Stream", "Done"}));
    std::vector<std::int32_t> videoSteps;
    for (const auto& p : progress) {
        if (p.Text == "Adding Video Stream") {
            EXPECT_EQ(p.Max, kFrames);
            videoSteps.push_back(p.Position);
        } else if (p.Text == "Adding Audio Stream") {
            EXPECT_EQ(p.Max, audioFrames);
        } else {
            EXPECT_EQ(p.Text, "Loading MP3 file");
            EXPECT_EQ(p.Max, 100);
        }
    }
    ASSERT_EQ(videoSteps.size(), static_cast<std::size_t>(kFrames + 1));
    for (int i = 0; i <= kFrames; ++i) EXPECT_EQ(videoSteps[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(progress.back().Position, audioFrames);

    TAviReader source, result;
    ASSERT_EQ(source.Open(video), AVIERR_OK);
    ASSERT_EQ(result.Open(output), AVIERR_OK);
    int sv = -1, rv = -1, ra = -1;
    ASSERT_EQ(source.GetStream(streamtypeVIDEO, 0, sv), AVIERR_OK);
    ASSERT_EQ(result.GetStream(streamtypeVIDEO, 0, rv), AVIERR_OK);
    ASSERT_EQ(result.GetStream(streamtypeAUDIO, 0, ra), AVIERR_OK);
    std::vector<std::uint8_t> copied;
    ASSERT_EQ(result.ReadFormat(rv, copied), AVIERR_OK);
    EXPECT_EQ(copied, format) << "the video format is copied whole, codec data included";
    ASSERT_EQ(result.StreamLength(rv), kFrames);
    std::vector<std::uint8_t> a(kWidth * kHeight * 3), b(a.size());
    for (int i = 0; i < kFrames; ++i) {
        std::uint32_t na = 0, nb = 0;
        ASSERT_EQ(source.Read(sv, i, a.data(), a.size(), na), AVIERR_OK);
        ASSERT_EQ(result.Read(rv, i, b.data(), b.size(), nb), AVIERR_OK);
        EXPECT_EQ(na, nb);
        EXPECT_EQ(a, b) << "sample " << i;
        EXPECT_EQ(result.IsKeyFrame(rv, i), i % 5 == 0) << "sample " << i;
    }

    AVISTREAMINFO audioInfo;
    ASSERT_EQ(result.StreamInfo(ra, audioInfo), AVIERR_OK);
    EXPECT_EQ(audioInfo.dwScale, 1152u);
    EXPECT_EQ(audioInfo.dwRate, 44100u);
    EXPECT_EQ(audioInfo.dwSampleSize, 0u);
    std::vector<std::uint8_t> wave;
    ASSERT_EQ(result.ReadFormat(ra, wave), AVIERR_OK);
    ASSERT_EQ(wave.size(), 30u);
    EXPECT_EQ(Get16(wave, 0), 0x55u);
    EXPECT_EQ(Get16(wave, 2), 2u);
    EXPECT_EQ(Get32(wave, 4), 44100u);
    EXPECT_EQ(Get32(wave, 8), 16000u);
    EXPECT_EQ(Get16(wave, 12), 1152u);
    EXPECT_EQ(Get16(wave, 16), 12u);
    EXPECT_EQ(Get16(wave, 18), 1u);
    EXPECT_EQ(Get32(wave, 20), 2u);
    EXPECT_EQ(Get16(wave, 24), 522u);
    EXPECT_EQ(Get16(wave, 26), 1u);
    EXPECT_EQ(Get16(wave, 28), 1393u);

    // Each chunk is one frame of the file, byte for byte, in order.
    const auto mp3 = test::ReadFile(sound);
    ASSERT_EQ(result.StreamLength(ra), audioFrames);
    std::vector<std::uint8_t> chunk(2000);
    for (std::int32_t k = 0; k < audioFrames; ++k) {
        std::uint32_t n = 0;
        ASSERT_EQ(result.Read(ra, k, chunk.data(), chunk.size(), n), AVIERR_OK);
        const auto frame = static_cast<std::size_t>(k) + 1;
        ASSERT_EQ(n, static_cast<std::uint32_t>(extract.FrameLength(frame)));
        EXPECT_EQ(std::memcmp(chunk.data(), mp3.data() + extract.FrameStart(frame), n), 0);
    }
}

TEST_F(MuxThread, CancelDuringTheScan) {
    RunThread([](const Progress& p) { return p.Text == "Loading MP3 file"; });
    EXPECT_EQ(error, "");
    EXPECT_TRUE(aborted);
    EXPECT_FALSE(Logged("Done"));
    EXPECT_TRUE(Logged("MP3 file succesfully loaded (10 frames)")) << "stopped after 11 frames";
    ExpectReadable(0, 0);
}

TEST_F(MuxThread, CancelDuringTheVideoCopy) {
    RunThread(
        [](const Progress& p) { return p.Text == "Adding Video Stream" && p.Position == 10; });
    EXPECT_EQ(error, "");
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(Logged("Adding Audio Stream"));
    EXPECT_FALSE(Logged("Done"));
    ExpectReadable(10, 0);
}

TEST_F(MuxThread, CancelDuringTheAudioCopy) {
    RunThread([](const Progress& p) { return p.Text == "Adding Audio Stream" && p.Position == 5; });
    EXPECT_EQ(error, "");
    EXPECT_TRUE(aborted);
    EXPECT_FALSE(Logged("Done"));
    ExpectReadable(kFrames, 5);
}

TEST_F(MuxThread, ErrorsEndTheThreadAndLeaveNoOutput) {
    const auto expectFailure = [&](const std::string& start) {
        log.clear();
        RunThread();
        EXPECT_FALSE(aborted);
        EXPECT_EQ(error.rfind(start, 0), 0u) << error;
        EXPECT_FALSE(std::filesystem::exists(output)) << error;
        EXPECT_FALSE(Logged("Done"));
    };
    const std::string mp3 = sound;
    sound = dir.File("missing.mp3");
    expectFailure("Cannot open file \"" + sound + "\"");

    sound = dir.File("silence.mp3");
    test::WriteFile(sound, std::vector<std::uint8_t>(5000, 0));
    expectFailure("No MPEG audio frame found in " + sound + " (U_MuxThd, ligne ");

    sound = mp3;
    const std::string target = output;
    output = video;
    log.clear();
    RunThread();
    EXPECT_EQ(error.rfind("Output file is one of the input files: ", 0), 0u) << error;
    EXPECT_GT(std::filesystem::file_size(video), 30u * kWidth * kHeight * 3) << "source kept";
    output = target;

    video = dir.File("broken.avi");
    test::WriteText(video, "RIFF\x10\0\0\0AVI junk junk junk");
    expectFailure("FileOpen failed. Err: $8004");
    EXPECT_NE(error.find(" (U_MuxThd, ligne "), std::string::npos);
}

TEST(MuxFormat, LayerTwoAndLowRateSoundtracks) {
    const std::uint8_t layer2[4] = {0xFF, 0xFD, 0xA4, 0x40}; // 192 kbit/s, 48 kHz, joint
    const auto f = MakeAudioFormat(TMP3Header::FromBytes(layer2));
    ASSERT_EQ(f.size(), 40u);
    EXPECT_EQ(Get16(f, 0), 0x50u);
    EXPECT_EQ(Get16(f, 2), 2u);
    EXPECT_EQ(Get32(f, 4), 48000u);
    EXPECT_EQ(Get32(f, 8), 24000u);
    EXPECT_EQ(Get16(f, 12), 1152u);
    EXPECT_EQ(Get16(f, 16), 22u);
    EXPECT_EQ(Get16(f, 18), 2u); // fwHeadLayer: Layer II
    EXPECT_EQ(Get32(f, 20), 192000u);
    EXPECT_EQ(Get16(f, 24), 2u); // joint stereo
    EXPECT_EQ(Get16(f, 26), 1u);
    EXPECT_EQ(Get16(f, 28), 1u);    // no emphasis
    EXPECT_EQ(Get16(f, 30), 0x10u); // MPEG-1, no CRC

    const std::uint8_t mono22[4] = {0xFF, 0xF3, 0x80, 0xC0};
    const auto m = MakeAudioFormat(TMP3Header::FromBytes(mono22));
    ASSERT_EQ(m.size(), 30u);
    EXPECT_EQ(Get16(m, 0), 0x55u);
    EXPECT_EQ(Get16(m, 2), 1u);
    EXPECT_EQ(Get32(m, 4), 22050u);
    EXPECT_EQ(Get32(m, 8), 8000u);
    EXPECT_EQ(Get16(m, 12), 576u);
    EXPECT_EQ(Get16(m, 24), 522u);
}
