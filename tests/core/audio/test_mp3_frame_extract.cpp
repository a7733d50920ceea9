#include <gtest/gtest.h>

#include <random>

#include "Mp3Bytes.h"
#include "TestSupport.h"
#include "audio/U_MP3FrameExtract.h"
#include "platform/base/U_Errors.h"

using namespace mp3test;

namespace {

class Extract : public ::testing::Test {
protected:
    TMP3FrameExtract Load(const Bytes& bytes) {
        const std::string path = dir.File("in" + std::to_string(count++) + ".mp3");
        test::WriteFile(path, bytes);
        TMP3FrameExtract e(path);
        e.Load();
        return e;
    }
    void ExpectNoFrame(const TMP3FrameExtract& e) {
        EXPECT_EQ(e.FrameCount(), -1);
        EXPECT_EQ(e.FramesFound(), 0u);
        EXPECT_EQ(e.FrameOffset(0), -1);
        EXPECT_EQ(e.FrameSize(0), -1);
        EXPECT_EQ(e.BitRate(), 0);
        EXPECT_EQ(e.Channels(), 0);
        EXPECT_EQ(e.SampleRate(), 0);
    }
    test::TempDir dir;
    int count = 0;
};

// Frames alternating 417 and 418 bytes, so that sizes tell which frame they belong to.
Bytes Alternating(int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) Append(out, Mp3Frame(i % 2 == 1));
    return out;
}

} // namespace

TEST_F(Extract, ContiguousFrames) {
    const auto e = Load(Alternating(6));
    ASSERT_EQ(e.FramesFound(), 6u);
    EXPECT_EQ(e.FrameCount(), 5);
    std::int64_t end = 0;
    for (int i = 0; i < 6; ++i) {
        const int length = i % 2 == 1 ? 418 : 417;
        EXPECT_EQ(e.FrameStart(static_cast<std::size_t>(i)), end);
        EXPECT_EQ(e.FrameLength(static_cast<std::size_t>(i)), length);
        end += length;
        if (i < 5) {
            EXPECT_EQ(e.FrameOffset(i), end);
        }
    }
    EXPECT_EQ(e.FrameOffset(5), -1) << "the last recorded end is never returned";
    for (int i = 0; i <= 3; ++i) EXPECT_EQ(e.FrameSize(i), (i + 1) % 2 == 1 ? 418 : 417);
    EXPECT_EQ(e.FrameSize(4), -1);
    EXPECT_EQ(e.FrameSize(-1), -1);
    EXPECT_EQ(e.BitRate(), 128000);
    EXPECT_EQ(e.Channels(), 2);
    EXPECT_EQ(e.SampleRate(), 44100);
}

TEST_F(Extract, SingleFrameStillGivesTheFormat) {
    const auto e = Load(Frame(0xFF, 0xF3, 0x80, 0xC0));
    EXPECT_EQ(e.FrameCount(), 0);
    EXPECT_EQ(e.FramesFound(), 1u);
    EXPECT_EQ(e.FrameSize(0), -1);
    EXPECT_EQ(e.BitRate(), 64000);
    EXPECT_EQ(e.Channels(), 1);
    EXPECT_EQ(e.SampleRate(), 22050);
}

TEST_F(Extract, LeadingId3v2TagIsSkippedByItsSize) {
    // The tag holds a picture-like run of bytes with a perfect fake stream inside.
    Bytes picture = {0xFF, 0xD8, 0xFF, 0xE0};
    Append(picture, Repeat(Frame(0xFF, 0xFD, 0xA4, 0x00), 3));
    Bytes file = Id3v2(4096, picture);
    Append(file, Alternating(4));
    Append(file, Id3v1());
    const auto e = Load(file);
    ASSERT_EQ(e.FramesFound(), 4u);
    EXPECT_EQ(e.FrameStart(0), 4096);
    EXPECT_EQ(e.FrameOffset(0), 4096 + 417);
    EXPECT_EQ(e.SampleRate(), 44100);
    EXPECT_EQ(e.FirstHeader()->LayerIndex(), 2);
}

TEST_F(Extract, FakeFrameBeforeTheStreamIsNotTakenAsTheFirst) {
    // Garbage with a valid Layer II header whose end is not followed by a frame, then the
    // real Layer III stream.
    Bytes file(50, 0x20);
    Append(file, Frame(0xFF, 0xFD, 0xA4, 0x00));
    file.resize(file.size() + 7, 0x20);
    const std::size_t streamStart = file.size();
    Append(file, Repeat(Mp3Frame(), 3));
    const auto e = Load(file);
    ASSERT_EQ(e.FramesFound(), 3u);
    EXPECT_EQ(e.FrameStart(0), static_cast<std::int64_t>(streamStart));
    EXPECT_EQ(e.FirstHeader()->LayerIndex(), 2);
}

TEST_F(Extract, GarbageBetweenFramesIsNotCopied) {
    Bytes file = Repeat(Mp3Frame(), 2);
    file.resize(file.size() + 100, 0);
    Append(file, Frame(0xFF, 0xFD, 0xA4, 0x00)); // another stream's frame: noise here
    Append(file, Repeat(Mp3Frame(), 2));
    const auto e = Load(file);
    ASSERT_EQ(e.FramesFound(), 4u);
    EXPECT_EQ(e.FrameStart(2), 2 * 417 + 100 + 576);
    EXPECT_EQ(e.FrameSize(1), 100 + 576 + 417) << "sizes still measure from frame end to end";
}

TEST_F(Extract, TruncatedLastFrameIsLeftOut) {
    Bytes file = Repeat(Mp3Frame(), 3);
    file.resize(file.size() - 100);
    const auto e = Load(file);
    EXPECT_EQ(e.FramesFound(), 2u);
    EXPECT_EQ(e.FrameCount(), 1);
    EXPECT_EQ(e.FrameOffset(0), 417);
}

TEST_F(Extract, LayerOneOnlyHasNoFrame) {
    ExpectNoFrame(Load(Repeat(Frame(0xFF, 0xFF, 0x40, 0x00), 20)));
}

TEST_F(Extract, Mpeg25StreamHasItsTrueRate) {
    const auto e = Load(Repeat(Frame(0xFF, 0xE3, 0x40, 0x00), 5));
    EXPECT_EQ(e.FramesFound(), 5u);
    EXPECT_EQ(e.SampleRate(), 11025);
    EXPECT_EQ(e.FrameLength(0), 208);
}

TEST_F(Extract, ProgressEveryTenFramesAndAbort) {
    const auto path = dir.File("long.mp3");
    test::WriteFile(path, Repeat(Mp3Frame(), 35));
    TMP3FrameExtract e(path);
    std::vector<int> percents;
    int asked = 0;
    e.OnProgress = [&](TMP3FrameExtract& sender, std::uint8_t percent) {
        EXPECT_EQ(&sender, &e);
        percents.push_back(percent);
    };
    e.OnQueryAbort = [&] { return ++asked > 1000; };
    e.Load();
    EXPECT_EQ(e.FramesFound(), 35u);
    // Steps after the first are counted: reports after frames 11, 21 and 31.
    EXPECT_EQ(percents, (std::vector<int>{11 * 100 / 35, 21 * 100 / 35, 31 * 100 / 35}));
    EXPECT_EQ(asked, 33) << "asked after every frame but the first and the last";

    TMP3FrameExtract stopped(path);
    stopped.OnQueryAbort = [] { return true; };
    stopped.Load();
    EXPECT_EQ(stopped.FramesFound(), 2u);
}

TEST_F(Extract, BadInputGivesNoFrameOrAClearError) {
    ExpectNoFrame(Load({}));
    ExpectNoFrame(Load(Bytes(5000, 0)));
    ExpectNoFrame(Load({0xFF, 0xFB, 0x90}));
    std::mt19937 random(1234);
    Bytes noise(200000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    const auto e = Load(noise);
    for (std::size_t i = 0; i < e.FramesFound(); ++i)
        EXPECT_LE(e.FrameStart(i) + e.FrameLength(i), 200000);

    // A header near the end that claims more bytes than are left.
    Bytes tail(9000, 0x20);
    Append(tail, {0xFF, 0xFD, 0xE8, 0x00}); // Layer II 384 kbit/s at 32000 Hz: 1728 bytes
    tail.resize(tail.size() + 100, 0x20);
    ExpectNoFrame(Load(tail));

    // A tag whose size runs past the end of the file.
    Bytes tag = Id3v2(20);
    tag[6] = 0x7F;
    Append(tag, Repeat(Mp3Frame(), 2));
    ExpectNoFrame(Load(tag));

    TMP3FrameExtract missing(dir.File("missing.mp3"));
    EXPECT_THROW(missing.Load(), EMorvantaError);
    TMP3FrameExtract folder(dir.Path().string());
    EXPECT_THROW(folder.Load(), EMorvantaError);
}

TEST_F(Extract, EncoderInfoFrameIsRecognised) {
    Bytes info = Mp3Frame();
    std::memcpy(info.data() + 36, "Info", 4); // after 32 bytes of stereo side information
    Bytes file = info;
    Append(file, Repeat(Mp3Frame(), 3));
    const auto e = Load(file);
    EXPECT_EQ(e.FramesFound(), 4u) << "still a valid frame of the file";
    EXPECT_EQ(e.FirstAudioFrame(), 1u);
    EXPECT_EQ(Load(info).FirstAudioFrame(), 0u) << "a lone frame is all the sound there is";

    Bytes xing = Frame(0xFF, 0xF3, 0x80, 0xC0);
    std::memcpy(xing.data() + 13, "Xing", 4); // MPEG-2 mono: 9 bytes of side information
    EXPECT_TRUE(IsInfoFrame(xing.data(), xing.size(), TMP3Header::FromBytes(xing.data())));
    Bytes vbri = Mp3Frame();
    std::memcpy(vbri.data() + 36, "VBRI", 4);
    EXPECT_TRUE(IsInfoFrame(vbri.data(), vbri.size(), TMP3Header::FromBytes(vbri.data())));
    Bytes plain = Mp3Frame();
    std::memcpy(plain.data() + 13, "Xing", 4); // wrong place for a stereo MPEG-1 frame
    EXPECT_FALSE(IsInfoFrame(plain.data(), plain.size(), TMP3Header::FromBytes(plain.data())));
    EXPECT_EQ(Load(Repeat(Mp3Frame(), 3)).FirstAudioFrame(), 0u);
}
