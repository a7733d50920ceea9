// The AVI writer's file layout, checked by walking the chunks and by ffprobe/ffmpeg.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "test_avi_common.h"

using namespace avitest;

namespace {

// Writes `frames` DIB frames of 32x24 at 40 ms (25 fps), every one a key frame.
void WriteDib(const std::string& path, int frames, TAviWriterOptions options = {}) {
    TAviWriter w;
    ASSERT_EQ(w.Create(path, false, options), AVIERR_OK);
    int s = -1;
    ASSERT_EQ(w.CreateStream(VideoInfo("DIB ", 40), s), AVIERR_OK);
    const auto format = BitmapFormat("DIB ", 24);
    ASSERT_EQ(w.SetFormat(s, format.data(), format.size()), AVIERR_OK);
    for (int i = 0; i < frames; ++i) {
        const auto frame = RawFrame(i);
        ASSERT_EQ(w.Write(s, i, frame.data(), frame.size(), AVIIF_KEYFRAME), AVIERR_OK);
    }
    ASSERT_EQ(w.Close(), AVIERR_OK);
}

std::string DecodeErrors(const std::string& path) {
    const auto r = test::Run({"ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"});
    return r.ExitCode == 0 ? r.Err : "exit " + std::to_string(r.ExitCode) + ": " + r.Err;
}

std::string Md5OfDecoded(const std::string& path) {
    return test::Run({"ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-f", "md5", "-"}).Out;
}

} // namespace

TEST(AviWriter, DibVideoReadsInFfprobeAndDecodes) {
    test::TempDir dir;
    const std::string path = dir.File("dib.avi");
    WriteDib(path, 10);
    EXPECT_EQ(test::Probe(path, "v:0", "stream=codec_name"), "rawvideo");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=codec_tag"), "0x0000");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=width"), "32");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=height"), "24");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=r_frame_rate"), "25/1");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=nb_read_frames", true), "10");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=duration"), "0.400000");
    EXPECT_EQ(DecodeErrors(path), "");
}

TEST(AviWriter, HeadersChunksAndIdx1) {
    test::TempDir dir;
    const std::string path = dir.File("layout.avi");
    const std::vector<std::uint8_t> extra = {1, 2, 3}; // odd-sized format: strf gets a pad byte
    const auto format = BitmapFormat("XVID", 24, extra);
    // Odd sizes, an empty sample (position 2 skipped) and a non-key frame.
    const std::vector<std::size_t> sizes = {5, 4, 0, 7, 1};
    {
        TAviWriter w;
        ASSERT_EQ(w.Create(path), AVIERR_OK);
        int s = -1;
        ASSERT_EQ(w.CreateStream(VideoInfo("XVID", 66, 320, 240), s), AVIERR_OK);
        ASSERT_EQ(w.SetFormat(s, format.data(), format.size()), AVIERR_OK);
        for (int i = 0; i < 5; ++i) {
            if (i == 2) continue;
            const auto data = RawFrame(i, sizes[static_cast<std::size_t>(i)]);
            ASSERT_EQ(w.Write(s, i, data.data(), data.size(), i == 3 ? 0 : AVIIF_KEYFRAME),
                      AVIERR_OK);
        }
        ASSERT_EQ(w.Close(), AVIERR_OK);
    }
    const auto f = test::ReadFile(path);
    ASSERT_EQ(Id(f, 0), "RIFF");
    ASSERT_EQ(Id(f, 8), "AVI ");
    EXPECT_EQ(Get32(f, 4) + 8u, f.size());
    const auto top = Chunks(f, 12, f.size());
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(top[0].ListType, "hdrl");
    EXPECT_EQ(top[1].Id, "JUNK");
    EXPECT_EQ(top[2].ListType, "movi");
    EXPECT_EQ(top[3].Id, "idx1");

    const Chunk avih = Find(f, top[0].Data() + 4, End(top[0]), "avih");
    ASSERT_EQ(avih.Size, 56u);
    EXPECT_EQ(Get32(f, avih.Data()), 66000u);    // dwMicroSecPerFrame
    EXPECT_EQ(Get32(f, avih.Data() + 16), 5u);   // dwTotalFrames
    EXPECT_EQ(Get32(f, avih.Data() + 24), 1u);   // dwStreams
    EXPECT_EQ(Get32(f, avih.Data() + 28), 7u);   // dwSuggestedBufferSize
    EXPECT_EQ(Get32(f, avih.Data() + 32), 320u); // dwWidth
    EXPECT_EQ(Get32(f, avih.Data() + 36), 240u); // dwHeight

    const Chunk strl = Find(f, top[0].Data() + 4, End(top[0]), "strl");
    const Chunk strh = Find(f, strl.Data() + 4, End(strl), "strh");
    EXPECT_EQ(Id(f, strh.Data()), "vids");
    EXPECT_EQ(Id(f, strh.Data() + 4), "XVID");
    EXPECT_EQ(Get32(f, strh.Data() + 8), 12u);     // dwFlags
    EXPECT_EQ(Get32(f, strh.Data() + 20), 66u);    // dwScale
    EXPECT_EQ(Get32(f, strh.Data() + 24), 1000u);  // dwRate
    EXPECT_EQ(Get32(f, strh.Data() + 32), 5u);     // dwLength
    EXPECT_EQ(Get32(f, strh.Data() + 36), 7u);     // dwSuggestedBufferSize
    EXPECT_EQ(Get32(f, strh.Data() + 40), 10000u); // dwQuality
    const Chunk strf = Find(f, strl.Data() + 4, End(strl), "strf");
    ASSERT_EQ(strf.Size, format.size());
    EXPECT_TRUE(
        std::equal(format.begin(), format.end(), f.begin() + static_cast<long>(strf.Data())));
    const Chunk strn = Find(f, strl.Data() + 4, End(strl), "strn");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[strn.Data()])), "Main Video Stream");
    EXPECT_EQ(Find(f, strl.Data() + 4, End(strl), "indx").Id, "indx");
    const Chunk odml = Find(f, top[0].Data() + 4, End(top[0]), "odml");
    EXPECT_EQ(Get32(f, Find(f, odml.Data() + 4, End(odml), "dmlh").Data()), 5u);

    // movi: word-aligned '00dc' chunks in order, then the stream's ix00.
    const auto movi = Chunks(f, top[2].Data() + 4, End(top[2]));
    ASSERT_EQ(movi.size(), 6u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(movi[i].Id, "00dc");
        EXPECT_EQ(movi[i].Size, sizes[i]);
        EXPECT_EQ(movi[i].Pos % 2, 0u);
    }
    EXPECT_EQ(movi[5].Id, "ix00");

    // idx1: offsets from the movi fourcc to each chunk header, key flags as written.
    ASSERT_EQ(top[3].Size, 5u * 16);
    const std::size_t moviFourcc = top[2].Data();
    for (std::size_t i = 0; i < 5; ++i) {
        const std::size_t e = top[3].Data() + i * 16;
        EXPECT_EQ(Id(f, e), "00dc");
        EXPECT_EQ(Get32(f, e + 4), i == 2 || i == 3 ? 0u : AVIIF_KEYFRAME) << i;
        EXPECT_EQ(moviFourcc + Get32(f, e + 8), movi[i].Pos);
        EXPECT_EQ(Get32(f, e + 12), sizes[i]);
    }
}

TEST(AviWriter, KeyFlagsAndCodecTagInFfprobe) {
    test::TempDir dir;
    const std::string path = dir.File("keys.avi");
    {
        TAviWriter w;
        ASSERT_EQ(w.Create(path), AVIERR_OK);
        int s = -1;
        ASSERT_EQ(w.CreateStream(VideoInfo("cvid", 40), s), AVIERR_OK);
        const auto format = BitmapFormat("cvid", 24);
        ASSERT_EQ(w.SetFormat(s, format.data(), format.size()), AVIERR_OK);
        for (int i = 0; i < 6; ++i) {
            const auto data = RawFrame(i, 100);
            ASSERT_EQ(w.Write(s, i, data.data(), data.size(), i % 3 == 0 ? AVIIF_KEYFRAME : 0),
                      AVIERR_OK);
        }
        ASSERT_EQ(w.Close(), AVIERR_OK);
    }
    EXPECT_EQ(test::Probe(path, "v:0", "stream=codec_tag_string"), "cvid");
    const auto r = test::Run({"ffprobe", "-v", "quiet", "-select_streams", "v:0", "-show_entries",
                              "packet=flags", "-of", "csv=p=0", path});
    EXPECT_EQ(r.Out, "K_\n__\n__\nK_\n__\n__\n");
}

TEST(AviWriter, OpenDmlPastTheSegmentLimit) {
    test::TempDir dir;
    const std::string one = dir.File("one.avi"), many = dir.File("many.avi");
    WriteDib(one, 60);
    TAviWriterOptions small;
    small.SegmentLimit = 16384; // a few frames per RIFF
    WriteDib(many, 60, small);

    const auto f = test::ReadFile(many);
    const auto riffs = Chunks(f, 0, f.size());
    ASSERT_GT(riffs.size(), 5u);
    std::size_t total = 0;
    for (std::size_t i = 0; i < riffs.size(); ++i) {
        EXPECT_EQ(riffs[i].Id, "RIFF");
        EXPECT_EQ(riffs[i].ListType, i == 0 ? "AVI " : "AVIX");
        EXPECT_LE(riffs[i].Size + 8u, small.SegmentLimit);
        total = End(riffs[i]);
        // Each RIFF's movi ends with its standard index.
        const Chunk movi = Find(f, riffs[i].Data() + 4, End(riffs[i]), "movi");
        const auto chunks = Chunks(f, movi.Data() + 4, End(movi));
        ASSERT_FALSE(chunks.empty());
        EXPECT_EQ(chunks.back().Id, "ix00");
    }
    EXPECT_EQ(total, f.size());
    // The super index lists every RIFF; dmlh counts all frames, avih the first RIFF's.
    const Chunk hdrl = Find(f, 12, f.size(), "hdrl");
    const Chunk indx = Find(f, Find(f, hdrl.Data() + 4, End(hdrl), "strl").Data() + 4,
                            End(Find(f, hdrl.Data() + 4, End(hdrl), "strl")), "indx");
    EXPECT_EQ(Get32(f, indx.Data() + 4), riffs.size());
    const Chunk odml = Find(f, hdrl.Data() + 4, End(hdrl), "odml");
    EXPECT_EQ(Get32(f, odml.Data() + 12), 60u);
    const std::uint32_t firstRiffFrames =
        Get32(f, Find(f, hdrl.Data() + 4, End(hdrl), "avih").Data() + 16);
    EXPECT_GT(firstRiffFrames, 0u);
    EXPECT_LT(firstRiffFrames, 60u);

    EXPECT_EQ(test::Probe(many, "v:0", "stream=nb_frames"), "60");
    EXPECT_EQ(test::Probe(many, "v:0", "stream=nb_read_frames", true), "60");
    EXPECT_EQ(test::Probe(many, "v:0", "stream=duration"), "2.400000");
    EXPECT_EQ(DecodeErrors(many), "");
    const std::string md5 = Md5OfDecoded(many);
    EXPECT_NE(md5, "");
    EXPECT_EQ(md5, Md5OfDecoded(one));
}

TEST(AviWriter, VideoThenPcmAudioHasTheRightDurations) {
    test::TempDir dir;
    const std::string path = dir.File("av.avi");
    {
        TAviWriter w;
        ASSERT_EQ(w.Create(path), AVIERR_OK);
        int v = -1, a = -1;
        ASSERT_EQ(w.CreateStream(VideoInfo("DIB ", 40), v), AVIERR_OK);
        ASSERT_EQ(w.CreateStream(PcmInfo(8000, 1), a), AVIERR_OK);
        const auto vf = BitmapFormat("DIB ", 24), af = PcmFormat(8000, 1);
        ASSERT_EQ(w.SetFormat(v, vf.data(), vf.size()), AVIERR_OK);
        ASSERT_EQ(w.SetFormat(a, af.data(), af.size()), AVIERR_OK);
        for (int i = 0; i < 50; ++i) {
            const auto frame = RawFrame(i);
            ASSERT_EQ(w.Write(v, i, frame.data(), frame.size(), AVIIF_KEYFRAME), AVIERR_OK);
        }
        // 2 s of audio in 40 ms chunks of 320 samples, all after the video.
        for (int i = 0; i < 50; ++i) {
            const auto pcm = RawFrame(i, 640);
            ASSERT_EQ(w.Write(a, -1, pcm.data(), pcm.size(), 0), AVIERR_OK);
        }
        ASSERT_EQ(w.Close(), AVIERR_OK);
    }
    const auto f = test::ReadFile(path);
    const Chunk movi = Find(f, 12, f.size(), "movi");
    const auto chunks = Chunks(f, movi.Data() + 4, End(movi));
    ASSERT_GE(chunks.size(), 100u);
    for (std::size_t i = 0; i < 100; ++i) EXPECT_EQ(chunks[i].Id, i < 50 ? "00db" : "01wb");

    EXPECT_EQ(test::Probe(path, "v:0", "stream=duration"), "2.000000");
    EXPECT_EQ(test::Probe(path, "a:0", "stream=codec_name"), "pcm_s16le");
    EXPECT_EQ(test::Probe(path, "a:0", "stream=sample_rate"), "8000");
    EXPECT_EQ(test::Probe(path, "a:0", "stream=nb_frames"), "16000"); // samples: 2 s
    EXPECT_EQ(test::Probe(path, "", "format=duration"), "2.000000");
    EXPECT_EQ(DecodeErrors(path), "");
    const auto pcm =
        test::Run({"ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-"});
    EXPECT_EQ(pcm.Out.size(), 32000u);
}

TEST(AviWriter, VariableSizeAudioCountsChunks) {
    test::TempDir dir;
    const std::string path = dir.File("mp3ish.avi");
    TAviWriter w;
    ASSERT_EQ(w.Create(path), AVIERR_OK);
    int v = -1, a = -1;
    ASSERT_EQ(w.CreateStream(VideoInfo("DIB ", 40), v), AVIERR_OK);
    AVISTREAMINFO audio;
    audio.fccType = streamtypeAUDIO;
    audio.dwScale = 1152;
    audio.dwRate = 44100;
    ASSERT_EQ(w.CreateStream(audio, a), AVIERR_OK);
    const auto vf = BitmapFormat("DIB ", 24), af = PcmFormat(44100, 2);
    ASSERT_EQ(w.SetFormat(v, vf.data(), vf.size()), AVIERR_OK);
    ASSERT_EQ(w.SetFormat(a, af.data(), af.size()), AVIERR_OK);
    const auto frame = RawFrame(0);
    ASSERT_EQ(w.Write(v, 0, frame.data(), frame.size(), AVIIF_KEYFRAME), AVIERR_OK);
    for (int k = 0; k < 7; ++k) {
        const auto chunk = RawFrame(k, 417 + static_cast<std::size_t>(k));
        ASSERT_EQ(w.Write(a, k, chunk.data(), chunk.size(), 0), AVIERR_OK);
    }
    ASSERT_EQ(w.Close(), AVIERR_OK);
    const auto f = test::ReadFile(path);
    const Chunk hdrl = Find(f, 12, f.size(), "hdrl");
    const auto strls = Chunks(f, hdrl.Data() + 4, End(hdrl));
    ASSERT_EQ(strls[2].ListType, "strl");
    const Chunk strh = Find(f, strls[2].Data() + 4, End(strls[2]), "strh");
    EXPECT_EQ(Get32(f, strh.Data() + 32), 7u);   // dwLength: chunks
    EXPECT_EQ(Get32(f, strh.Data() + 36), 423u); // dwSuggestedBufferSize: the largest
    EXPECT_EQ(Find(f, strls[2].Data() + 4, End(strls[2]), "strn").Id, ""); // no name, no strn
}
