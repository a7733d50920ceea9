// The AVI reader on files from our writer and from ffmpeg: headers, formats, samples, keys.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "test_avi_common.h"

using namespace avitest;

namespace {

// Sizes of the samples of the test stream; 0 = an empty sample (a skipped position).
const std::vector<std::size_t> kSizes = {300, 0, 41, 1000, 0, 7, 512};
bool IsKey(std::size_t i) {
    return i == 0 || i == 3;
}

void WriteCompressed(const std::string& path, const std::vector<std::uint8_t>& format,
                     TAviWriterOptions options = {}) {
    TAviWriter w;
    ASSERT_EQ(w.Create(path, false, options), AVIERR_OK);
    int s = -1;
    ASSERT_EQ(w.CreateStream(VideoInfo("HFYU", 40, 320, 240), s), AVIERR_OK);
    ASSERT_EQ(w.SetFormat(s, format.data(), format.size()), AVIERR_OK);
    for (std::size_t i = 0; i < kSizes.size(); ++i) {
        if (kSizes[i] == 0) continue; // left for the writer to fill
        const auto data = RawFrame(static_cast<int>(i), kSizes[i]);
        ASSERT_EQ(w.Write(s, static_cast<std::int32_t>(i), data.data(), data.size(),
                          IsKey(i) ? AVIIF_KEYFRAME : 0),
                  AVIERR_OK);
    }
    ASSERT_EQ(w.Close(), AVIERR_OK);
}

// Checks every sample, size and key flag of the test stream.
void ExpectTestStream(const TAviReader& r, int s) {
    ASSERT_EQ(r.StreamLength(s), static_cast<std::int32_t>(kSizes.size()));
    std::vector<std::uint8_t> buf(1000);
    for (std::size_t i = 0; i < kSizes.size(); ++i) {
        const auto pos = static_cast<std::int32_t>(i);
        std::uint32_t size = 99, got = 99;
        ASSERT_EQ(r.SampleSize(s, pos, size), AVIERR_OK);
        EXPECT_EQ(size, kSizes[i]) << i;
        ASSERT_EQ(r.Read(s, pos, buf.data(), buf.size(), got), AVIERR_OK);
        ASSERT_EQ(got, kSizes[i]);
        EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + got, RawFrame(pos, kSizes[i]).begin()))
            << i;
        EXPECT_EQ(r.IsKeyFrame(s, pos), IsKey(i)) << i;
    }
}

} // namespace

TEST(AviReader, ReadsBackHeadersSamplesAndKeys) {
    test::TempDir dir;
    const std::string path = dir.File("v.avi");
    const auto format = BitmapFormat("HFYU", 24, RawFrame(1, 1001), 320, 240); // codec data
    WriteCompressed(path, format);

    TAviReader r;
    ASSERT_EQ(r.Open(path), AVIERR_OK);
    AVIFILEINFO fi;
    ASSERT_EQ(r.Info(fi), AVIERR_OK);
    EXPECT_EQ(fi.dwStreams, 1u);
    EXPECT_EQ(fi.dwWidth, 320u);
    EXPECT_EQ(fi.dwHeight, 240u);
    EXPECT_EQ(fi.dwLength, kSizes.size());
    EXPECT_EQ(fi.dwSuggestedBufferSize, 1000u);

    int s = -1;
    ASSERT_EQ(r.GetStream(streamtypeVIDEO, 0, s), AVIERR_OK);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(r.GetStream(streamtypeAUDIO, 0, s), AVIERR_NODATA);
    EXPECT_EQ(r.GetStream(streamtypeVIDEO, 1, s), AVIERR_NODATA);
    AVISTREAMINFO si;
    ASSERT_EQ(r.StreamInfo(0, si), AVIERR_OK);
    const AVISTREAMINFO want = VideoInfo("HFYU", 40, 320, 240);
    EXPECT_EQ(si.fccType, want.fccType);
    EXPECT_EQ(si.fccHandler, want.fccHandler);
    EXPECT_EQ(si.dwFlags, 12u);
    EXPECT_EQ(si.dwScale, 40u);
    EXPECT_EQ(si.dwRate, 1000u);
    EXPECT_EQ(si.dwQuality, 10000u);
    EXPECT_EQ(si.dwLength, kSizes.size());
    EXPECT_EQ(si.dwSuggestedBufferSize, 1000u);
    EXPECT_EQ(si.rcFrame.right, 320);
    EXPECT_EQ(si.rcFrame.bottom, 240);
    EXPECT_STREQ(si.szName, "Main Video Stream");

    std::vector<std::uint8_t> readFormat;
    ASSERT_EQ(r.ReadFormat(0, readFormat), AVIERR_OK);
    EXPECT_EQ(readFormat, format); // the 40-byte header and all codec data, whole

    ExpectTestStream(r, 0);
    EXPECT_EQ(r.FindKeySample(0, 0), 0);
    EXPECT_EQ(r.FindKeySample(0, 2), 0);
    EXPECT_EQ(r.FindKeySample(0, 3), 3);
    EXPECT_EQ(r.FindKeySample(0, 6), 3);

    std::uint32_t got = 0;
    std::vector<std::uint8_t> small(10);
    EXPECT_EQ(r.Read(0, 0, small.data(), small.size(), got), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(r.Read(0, 3, nullptr, 0, got), AVIERR_OK); // size query
    EXPECT_EQ(got, 1000u);
    EXPECT_EQ(r.Read(0, 7, small.data(), small.size(), got), AVIERR_NODATA);
    EXPECT_EQ(r.Read(0, -1, small.data(), small.size(), got), AVIERR_NODATA);
    EXPECT_EQ(r.Read(1, 0, small.data(), small.size(), got), AVIERR_ERROR);
}

TEST(AviReader, OpenDmlIdx1AndScanGiveTheSameSamples) {
    test::TempDir dir;
    const auto format = BitmapFormat("HFYU", 24, {}, 320, 240);
    TAviWriterOptions small;
    small.SegmentLimit = 8192;
    const std::string odml = dir.File("odml.avi");
    WriteCompressed(odml, format, small);
    auto f = test::ReadFile(odml);
    ASSERT_GT(Chunks(f, 0, f.size()).size(), 1u) << "expected several RIFFs";
    {
        TAviReader r;
        ASSERT_EQ(r.Open(odml), AVIERR_OK);
        ExpectTestStream(r, 0);
    }
    // Without the super index: idx1 for the first RIFF, a scan of the others (key flags lost
    // there, so only sizes and bytes are compared).
    const Chunk hdrl = Find(f, 12, f.size(), "hdrl");
    const Chunk strl = Find(f, hdrl.Data() + 4, End(hdrl), "strl");
    const Chunk indx = Find(f, strl.Data() + 4, End(strl), "indx");
    Put32(f, indx.Data() + 4, 0); // nEntriesInUse
    const std::string noOdml = dir.File("no-odml.avi");
    test::WriteFile(noOdml, f);
    TAviReader r;
    ASSERT_EQ(r.Open(noOdml), AVIERR_OK);
    ASSERT_EQ(r.StreamLength(0), static_cast<std::int32_t>(kSizes.size()));
    for (std::size_t i = 0; i < kSizes.size(); ++i) {
        std::uint32_t size = 0;
        ASSERT_EQ(r.SampleSize(0, static_cast<std::int32_t>(i), size), AVIERR_OK);
        EXPECT_EQ(size, kSizes[i]);
    }
}

TEST(AviReader, Idx1WithAbsoluteOffsets) {
    test::TempDir dir;
    const std::string path = dir.File("abs.avi");
    WriteCompressed(path, BitmapFormat("HFYU", 24, {}, 320, 240));
    auto f = test::ReadFile(path);
    const auto top = Chunks(f, 12, f.size());
    const Chunk hdrl = top[0], movi = top[2], idx1 = top[3];
    ASSERT_EQ(idx1.Id, "idx1");
    const Chunk strl = Find(f, hdrl.Data() + 4, End(hdrl), "strl");
    Put32(f, Find(f, strl.Data() + 4, End(strl), "indx").Data() + 4, 0);
    for (std::size_t e = idx1.Data(); e < End(idx1); e += 16)
        Put32(f, e + 8, Get32(f, e + 8) + static_cast<std::uint32_t>(movi.Data()));
    test::WriteFile(path, f);
    TAviReader r;
    ASSERT_EQ(r.Open(path), AVIERR_OK);
    ExpectTestStream(r, 0);
}

TEST(AviReader, ReadsFfmpegsOwnAvi) {
    test::TempDir dir;
    const std::string path = dir.File("ff.avi");
    const auto made =
        test::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=s=32x24:r=25:d=2", "-f",
                   "lavfi", "-i", "sine=r=8000:d=2", "-c:v", "rawvideo", "-pix_fmt", "bgr24",
                   "-c:a", "pcm_s16le", path});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    TAviReader r;
    ASSERT_EQ(r.Open(path), AVIERR_OK);
    int v = -1, a = -1;
    ASSERT_EQ(r.GetStream(streamtypeVIDEO, 0, v), AVIERR_OK);
    ASSERT_EQ(r.GetStream(streamtypeAUDIO, 0, a), AVIERR_OK);
    EXPECT_EQ(r.StreamLength(v), 50);
    EXPECT_EQ(r.StreamLength(a), 16000); // PCM positions count samples
    std::uint32_t size = 0;
    ASSERT_EQ(r.SampleSize(v, 49, size), AVIERR_OK);
    EXPECT_EQ(size, kFrameBytes);
    ASSERT_EQ(r.SampleSize(a, 15999, size), AVIERR_OK);
    EXPECT_EQ(size, 2u);
    std::vector<std::uint8_t> format;
    ASSERT_EQ(r.ReadFormat(a, format), AVIERR_OK);
    ASSERT_GE(format.size(), 16u);
    EXPECT_EQ(Get32(format, 4), 8000u);
}

TEST(AviReader, PcmStreamFromOurWriter) {
    test::TempDir dir;
    const std::string path = dir.File("pcm.avi");
    {
        TAviWriter w;
        ASSERT_EQ(w.Create(path), AVIERR_OK);
        int a = -1;
        ASSERT_EQ(w.CreateStream(PcmInfo(8000, 2), a), AVIERR_OK);
        const auto af = PcmFormat(8000, 2);
        ASSERT_EQ(w.SetFormat(a, af.data(), af.size()), AVIERR_OK);
        for (int i = 0; i < 3; ++i) {
            const auto pcm = RawFrame(i, 400); // 100 samples of 4 bytes
            ASSERT_EQ(w.Write(a, -1, pcm.data(), pcm.size(), 0), AVIERR_OK);
        }
        const auto odd = RawFrame(9, 6);
        EXPECT_EQ(w.Write(a, -1, odd.data(), odd.size(), 0), AVIERR_BADSIZE);
        EXPECT_EQ(w.Close(), AVIERR_OK);
    }
    TAviReader r;
    ASSERT_EQ(r.Open(path), AVIERR_OK);
    EXPECT_EQ(r.StreamLength(0), 300);
    std::uint8_t sample[4];
    std::uint32_t got = 0;
    ASSERT_EQ(r.Read(0, 150, sample, sizeof sample, got), AVIERR_OK);
    ASSERT_EQ(got, 4u);
    const auto chunk1 = RawFrame(1, 400);
    EXPECT_TRUE(std::equal(sample, sample + 4, chunk1.begin() + 200));
    EXPECT_TRUE(r.IsKeyFrame(0, 299));
}
