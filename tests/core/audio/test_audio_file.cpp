#include <gtest/gtest.h>

#include <random>

#include "Mp3Bytes.h"
#include "TestSupport.h"
#include "audio/U_AudioFile.h"
#include "audio/U_MpegAudioFile.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"

using namespace mp3test;

namespace {

class Duration : public ::testing::Test {
protected:
    std::string Write(const Bytes& bytes, const std::string& name = "track.mp3") {
        const std::string path = dir.File(name);
        test::WriteFile(path, bytes);
        return path;
    }
    // Seconds as the facade computes them.
    double Seconds(const Bytes& bytes) {
        TAudioFile audio;
        audio.SetFileName(Write(bytes));
        return audio.Duration() * 86400;
    }
    test::TempDir dir;
};

const double kThousandFrames = 1000 * 1152 / 44100.0; // 26.1224... s

} // namespace

TEST_F(Duration, ThousandMpeg1Layer3Frames) {
    const Bytes frames = Repeat(Mp3Frame(), 1000);
    TMpegAudioFile reader(Write(frames));
    EXPECT_EQ(reader.SampleRate(), 44100);
    EXPECT_EQ(reader.Channels(), 2);
    EXPECT_EQ(reader.BitsPerSample(), 16);
    EXPECT_EQ(reader.DataSize(), 4608000);
    EXPECT_EQ(reader.FramesCounted(), 1000);

    TAudioFile audio;
    audio.SetFileName(dir.File("track.mp3"));
    const double days = audio.Duration();
    EXPECT_NEAR(days * 86400, kThousandFrames, 1e-9);
    EXPECT_EQ(RoundToInt(days * 86400), 26);
}

TEST_F(Duration, TagsZerosAndGarbageDoNotChangeIt) {
    const Bytes frames = Repeat(Mp3Frame(), 1000);
    Bytes tagged = Id3v2(4096, {0xFF, 0xFB, 0x90, 0x64});
    Append(tagged, frames);
    Append(tagged, Id3v1());
    EXPECT_NEAR(Seconds(tagged), kThousandFrames, 1e-9);

    for (std::size_t zeros : {5000u, 10000u}) {
        Bytes lead(zeros, 0);
        Append(lead, frames);
        EXPECT_NEAR(Seconds(lead), kThousandFrames, 1e-9) << zeros << " leading zero bytes";
    }

    Bytes gap = Repeat(Mp3Frame(), 500);
    gap.resize(gap.size() + 100, 0);
    Append(gap, Repeat(Mp3Frame(), 500));
    EXPECT_NEAR(Seconds(gap), kThousandFrames, 1e-9);

    Bytes cut = frames;
    cut.resize(cut.size() - 10);
    EXPECT_NEAR(Seconds(cut), kThousandFrames * 999 / 1000, 1e-9) << "a cut last frame";
}

TEST_F(Duration, EveryVersionAndLayerCountsItsTrueLength) {
    // MPEG-2 Layer II at 22050 Hz: 1152 samples per frame.
    EXPECT_NEAR(Seconds(Repeat(Frame(0xFF, 0xF5, 0x80, 0x00), 100)), 100 * 1152 / 22050.0, 1e-9);
    // MPEG-2 Layer III at 22050 Hz, mono: 576 samples per frame.
    EXPECT_NEAR(Seconds(Repeat(Frame(0xFF, 0xF3, 0x80, 0xC0), 100)), 100 * 576 / 22050.0, 1e-9);
    // MPEG-2.5 Layer III at 11025 Hz.
    EXPECT_NEAR(Seconds(Repeat(Frame(0xFF, 0xE3, 0x40, 0x00), 100)), 100 * 576 / 11025.0, 1e-9);
    // Layer I is counted here, with 384 samples per frame.
    EXPECT_NEAR(Seconds(Repeat(Frame(0xFF, 0xFF, 0x40, 0x00), 100)), 100 * 384 / 44100.0, 1e-9);
}

TEST_F(Duration, FileKindsByName) {
    TAudioFile audio;
    const std::pair<const char*, int> kinds[] = {
        {"/a/song.mp3", akMpeg}, {"/a/SONG.MP3", akMpeg}, {"x.mp2", akMpeg}, {"x.mp1", akMpeg},
        {"x.mp4", akNone},       {"x.mp3.bak", akNone},   {"x.wav", akWav},  {"x.WMA", akWma},
        {"x.asf", akWma},        {"x.ogg", akOgg},        {"x.ape", akApe},  {"x.ac3", akAc3},
        {"x.mpc", akMpc},        {"mp3", akNone},         {"", akNone}};
    for (const auto& [name, kind] : kinds) {
        audio.SetFileName(name);
        EXPECT_EQ(audio.FileKind(), kind) << name;
    }
    EXPECT_TRUE(MatchesMask("abc", "A[XB]C"));
    EXPECT_FALSE(MatchesMask("abc", "*.b"));
}

TEST_F(Duration, OpenAndClose) {
    TAudioFile unknown;
    unknown.SetFileName(Write(Repeat(Mp3Frame(), 10), "track.mp4"));
    EXPECT_FALSE(unknown.Open());
    EXPECT_EQ(unknown.Duration(), 0.0);

    TAudioFile wav;
    wav.SetFileName(Write({}, "track.wav"));
    try {
        wav.Open();
        FAIL() << "a WAV file has no reader in this build";
    } catch (const EMorvantaError& e) {
        EXPECT_NE(std::string(e.what()).find("not supported"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(wav.IsOpen());

    TAudioFile mp3;
    const std::string path = Write(Repeat(Mp3Frame(), 10));
    mp3.SetFileName(path);
    EXPECT_TRUE(mp3.Open());
    EXPECT_TRUE(mp3.Open());
    mp3.SetFileName(dir.File("other.wav"));
    EXPECT_EQ(mp3.FileName(), path) << "the name cannot change while open";
    EXPECT_EQ(mp3.FileKind(), akMpeg);
    EXPECT_TRUE(mp3.Close());
    EXPECT_FALSE(mp3.IsOpen());
    mp3.SetFileName(dir.File("other.wav"));
    EXPECT_EQ(mp3.FileKind(), akWav);
}

TEST_F(Duration, BadFilesAreInvalidMpeg) {
    std::mt19937 random(99);
    Bytes noise(100000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random() & 0x7F); // never a sync
    Bytes late(9000, 0x20);
    Append(late, {0xFF, 0xFD, 0xE8, 0x00}); // claims 1728 bytes, 100 are left
    late.resize(late.size() + 100, 0x20);
    Bytes pastEnd = Id3v2(20);
    pastEnd[6] = 0x7F;
    Append(pastEnd, Repeat(Mp3Frame(), 2));
    Bytes onlyTag = Id3v2(300);
    onlyTag.resize(1000, 0);
    const std::pair<const char*, Bytes> cases[] = {{"empty", {}},
                                                   {"zeros", Bytes(20000, 0)},
                                                   {"noise", noise},
                                                   {"late frame", late},
                                                   {"tag past end", pastEnd},
                                                   {"tag and zeros", onlyTag},
                                                   {"three bytes", {0xFF, 0xFB, 0x90}}};
    for (const auto& [what, bytes] : cases) {
        const std::string path = Write(bytes);
        try {
            TMpegAudioFile reader(path);
            FAIL() << what << ": no error";
        } catch (const EMorvantaError& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid MPEG file " + path) << what;
        }
    }
    EXPECT_THROW(TMpegAudioFile(dir.File("missing.mp3")), EMorvantaError);

    // Random bytes with syncs: whatever is found, the scan ends and stays within the file.
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    const std::string path = Write(noise);
    try {
        TMpegAudioFile reader(path);
        EXPECT_GE(reader.DataSize(), 0);
        EXPECT_LE(reader.FramesCounted(), 100000 / 4);
    } catch (const EMorvantaError&) {
    }
}
