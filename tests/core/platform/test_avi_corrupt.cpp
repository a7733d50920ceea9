// The AVI reader on hostile files: truncated, lying sizes and counts, indexes pointing outside
// the file, loops that would make no progress. Each gives an error or a consistent reading,
// never a crash, a hang or an allocation beyond the file's size.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "test_avi_common.h"

using namespace avitest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A small two-stream OpenDML file: 12 video samples over several RIFFs, then 5 audio chunks.
Bytes MakeBase(const test::TempDir& dir, bool severalRiffs = true) {
    const std::string path = dir.File("base.avi");
    TAviWriterOptions options;
    if (severalRiffs) options.SegmentLimit = 4096;
    TAviWriter w;
    EXPECT_EQ(w.Create(path, false, options), AVIERR_OK);
    int v = -1, a = -1;
    EXPECT_EQ(w.CreateStream(VideoInfo("HFYU", 40), v), AVIERR_OK);
    AVISTREAMINFO audio;
    audio.fccType = streamtypeAUDIO;
    audio.dwScale = 1152;
    audio.dwRate = 44100;
    EXPECT_EQ(w.CreateStream(audio, a), AVIERR_OK);
    const auto vf = BitmapFormat("HFYU", 24, {9, 9}), af = PcmFormat(44100, 2);
    EXPECT_EQ(w.SetFormat(v, vf.data(), vf.size()), AVIERR_OK);
    EXPECT_EQ(w.SetFormat(a, af.data(), af.size()), AVIERR_OK);
    for (int i = 0; i < 12; ++i) {
        const auto d = RawFrame(i, 700 + static_cast<std::size_t>(i));
        EXPECT_EQ(w.Write(v, i, d.data(), d.size(), i % 4 == 0 ? AVIIF_KEYFRAME : 0), AVIERR_OK);
    }
    for (int k = 0; k < 5; ++k) {
        const auto d = RawFrame(k, 417);
        EXPECT_EQ(w.Write(a, k, d.data(), d.size(), 0), AVIERR_OK);
    }
    EXPECT_EQ(w.Close(), AVIERR_OK);
    return test::ReadFile(path);
}

AviResult OpenBytes(const test::TempDir& dir, const Bytes& bytes, TAviReader& r) {
    const std::string path = dir.File("mutant.avi");
    test::WriteFile(path, bytes);
    return r.Open(path);
}

// Reads every sample of every stream; each read succeeds with the sample's size or fails with
// a read error. Returns the number of samples read.
int ReadEverything(const TAviReader& r) {
    AVIFILEINFO info;
    EXPECT_EQ(r.Info(info), AVIERR_OK);
    int samples = 0;
    Bytes buf;
    for (int s = 0; s < static_cast<int>(info.dwStreams); ++s) {
        AVISTREAMINFO si;
        EXPECT_EQ(r.StreamInfo(s, si), AVIERR_OK);
        for (std::int32_t p = 0; p < r.StreamLength(s); ++p) {
            std::uint32_t size = 0, got = 0;
            EXPECT_EQ(r.SampleSize(s, p, size), AVIERR_OK);
            buf.resize(size);
            const AviResult res = r.Read(s, p, buf.data(), buf.size(), got);
            EXPECT_TRUE(res == AVIERR_OK || res == AVIERR_FILEREAD) << std::hex << res;
            if (res == AVIERR_OK) {
                EXPECT_EQ(got, size);
            }
            r.FindKeySample(s, p);
            ++samples;
        }
    }
    return samples;
}

struct Layout {
    Chunk Hdrl, VideoStrl, VideoIndx, FirstMovi, Idx1;
};
Layout Parse(const Bytes& f) {
    Layout l;
    const auto riffs = Chunks(f, 0, f.size());
    l.Hdrl = Find(f, 12, End(riffs[0]), "hdrl");
    l.VideoStrl = Find(f, l.Hdrl.Data() + 4, End(l.Hdrl), "strl");
    l.VideoIndx = Find(f, l.VideoStrl.Data() + 4, End(l.VideoStrl), "indx");
    l.FirstMovi = Find(f, 12, End(riffs[0]), "movi");
    l.Idx1 = Find(f, 12, End(riffs[0]), "idx1");
    return l;
}

// Empties every stream's super index, as a writer that never reached Close leaves them.
void DropSuperIndexes(Bytes& f) {
    const Chunk hdrl = Parse(f).Hdrl;
    for (const Chunk& strl : Chunks(f, hdrl.Data() + 4, End(hdrl)))
        if (strl.ListType == "strl")
            Put32(f, Find(f, strl.Data() + 4, End(strl), "indx").Data() + 4, 0);
}

} // namespace

TEST(AviReaderCorrupt, NotAnAviAtAll) {
    test::TempDir dir;
    TAviReader r;
    EXPECT_EQ(r.Open(dir.File("none.avi")), AVIERR_FILEOPEN);
    EXPECT_EQ(r.Open(dir.Path().string()), AVIERR_FILEOPEN);
    EXPECT_EQ(OpenBytes(dir, {}, r), AVIERR_BADFORMAT);
    EXPECT_EQ(OpenBytes(dir, {'R', 'I', 'F'}, r), AVIERR_BADFORMAT);
    EXPECT_EQ(OpenBytes(dir, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, r),
              AVIERR_BADFORMAT);
    EXPECT_EQ(OpenBytes(dir, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, r),
              AVIERR_BADFORMAT); // no headers
    AVIFILEINFO info;
    EXPECT_EQ(r.Info(info), AVIERR_ERROR); // a failed Open leaves nothing open
    EXPECT_EQ(r.StreamLength(0), 0);
}

TEST(AviReaderCorrupt, TruncatedAnywhere) {
    test::TempDir dir;
    for (const bool several : {true, false}) {
        const Bytes base = MakeBase(dir, several);
        const std::size_t headers = Parse(base).FirstMovi.Pos;
        for (std::size_t n = 0; n < base.size(); n += 97) {
            const Bytes cut(base.begin(), base.begin() + static_cast<long>(n));
            TAviReader r;
            const AviResult res = OpenBytes(dir, cut, r);
            if (n < headers) {
                EXPECT_EQ(res, AVIERR_BADFORMAT) << n; // the headers are incomplete
            } else if (res == AVIERR_OK) {
                // idx1 and the super indexes come last: a cut file is scanned, whole samples
                // only.
                EXPECT_LE(ReadEverything(r), 17) << n;
            } else {
                EXPECT_EQ(res, AVIERR_BADFORMAT) << n;
            }
        }
    }
}

TEST(AviReaderCorrupt, LyingHeaderSizes) {
    test::TempDir dir;
    const Bytes base = MakeBase(dir);
    const Layout l = Parse(base);
    TAviReader r;
    ASSERT_EQ(OpenBytes(dir, base, r), AVIERR_OK);
    EXPECT_EQ(ReadEverything(r), 17);

    Bytes f = base;
    Put32(f, l.Hdrl.Pos + 4, 0xFFFFFFF0u);
    EXPECT_EQ(OpenBytes(dir, f, r), AVIERR_BADFORMAT);

    f = base;
    const Chunk strf = Find(f, l.VideoStrl.Data() + 4, End(l.VideoStrl), "strf");
    Put32(f, strf.Pos + 4, 0x7FFFFFFFu); // a format "larger" than the file
    EXPECT_EQ(OpenBytes(dir, f, r), AVIERR_BADFORMAT);

    f = base;
    const Chunk strh = Find(f, l.VideoStrl.Data() + 4, End(l.VideoStrl), "strh");
    Put32(f, strh.Pos + 4, 12); // too short for a stream header; the rest becomes junk
    EXPECT_NE(OpenBytes(dir, f, r), AVIERR_OK);

    f = base;
    Put32(f, 4, 0xFFFFFFFFu); // RIFF larger than the file: read up to the end
    ASSERT_EQ(OpenBytes(dir, f, r), AVIERR_OK);
    EXPECT_GT(ReadEverything(r), 0);
}

TEST(AviReaderCorrupt, IndexesPointingOutsideTheFile) {
    test::TempDir dir;
    const Bytes base = MakeBase(dir);
    const Layout l = Parse(base);
    TAviReader r;

    // A super index entry beyond the end.
    Bytes f = base;
    const std::size_t entry = l.VideoIndx.Data() + 24 + 16;
    Put32(f, entry, 0xFFFFFF00u);
    Put32(f, entry + 4, 0x7Fu);
    EXPECT_EQ(OpenBytes(dir, f, r), AVIERR_BADFORMAT);

    // A standard index entry beyond the end.
    f = base;
    const std::uint32_t ixPos = Get32(f, l.VideoIndx.Data() + 24);
    ASSERT_EQ(Id(f, ixPos), "ix00");
    Put32(f, ixPos + 32, static_cast<std::uint32_t>(f.size()));
    EXPECT_EQ(OpenBytes(dir, f, r), AVIERR_BADFORMAT);

    // An idx1 entry beyond the end (with the super indexes out of the way).
    f = MakeBase(dir, false);
    const Chunk idx1 = Parse(f).Idx1;
    DropSuperIndexes(f);
    ASSERT_EQ(OpenBytes(dir, f, r), AVIERR_OK); // idx1 plus a scan of the AVIX RIFFs
    EXPECT_EQ(ReadEverything(r), 17);
    Put32(f, idx1.Data() + 16 + 12, 0x10000000u); // second entry's size
    EXPECT_EQ(OpenBytes(dir, f, r), AVIERR_BADFORMAT);
}

TEST(AviReaderCorrupt, LyingCountsStayBounded) {
    test::TempDir dir;
    const Bytes base = MakeBase(dir);
    const Layout l = Parse(base);
    TAviReader r;

    // Counts far beyond what the chunks hold are cut to what is there.
    Bytes f = base;
    Put32(f, l.VideoIndx.Data() + 4, 0xFFFFFFFFu); // nEntriesInUse of the super index
    EXPECT_NE(OpenBytes(dir, f, r), AVIERR_OK);    // its empty slots point at offset 0

    f = base;
    const std::uint32_t ixPos = Get32(f, l.VideoIndx.Data() + 24);
    Put32(f, ixPos + 12, 0xFFFFFFFFu); // nEntriesInUse of a standard index
    Put32(f, ixPos + 4, 0xFFFFFFF0u);  // and its chunk size
    const AviResult res = OpenBytes(dir, f, r);
    if (res == AVIERR_OK) {
        EXPECT_LE(static_cast<std::size_t>(ReadEverything(r)), f.size() / 8);
    } else {
        EXPECT_EQ(res, AVIERR_BADFORMAT);
    }

    // Every super index slot pointing at the same standard index: more entries than the file
    // could hold samples, refused instead of multiplied.
    const Bytes single = MakeBase(dir, false);
    f = single;
    const Layout s1 = Parse(single);
    const std::uint64_t slots = (s1.VideoIndx.Size - 24) / 16;
    for (std::uint64_t k = 0; k < slots; ++k) {
        const std::size_t e = s1.VideoIndx.Data() + 24 + static_cast<std::size_t>(k) * 16;
        std::copy(single.begin() + static_cast<long>(s1.VideoIndx.Data() + 24),
                  single.begin() + static_cast<long>(s1.VideoIndx.Data() + 40),
                  f.begin() + static_cast<long>(e));
    }
    Put32(f, s1.VideoIndx.Data() + 4, static_cast<std::uint32_t>(slots));
    EXPECT_EQ(OpenBytes(dir, f, r), AVIERR_BADFORMAT);

    // idx1 declaring far more than the file.
    f = MakeBase(dir, false);
    const Layout one = Parse(f);
    DropSuperIndexes(f);
    Put32(f, one.Idx1.Pos + 4, 0xFFFFFFF0u);
    ASSERT_EQ(OpenBytes(dir, f, r), AVIERR_OK);
    EXPECT_EQ(r.StreamLength(0), 12);
}

TEST(AviReaderCorrupt, ZeroSizedChunksStillAdvance) {
    test::TempDir dir;
    // movi full of empty '00dc' chunks and zero-sized lists, no index.
    Bytes f = MakeBase(dir, false);
    const Layout l = Parse(f);
    DropSuperIndexes(f);
    const std::size_t end = End(l.FirstMovi);
    std::size_t p = l.FirstMovi.Data() + 4;
    for (int k = 0; p + 12 <= end; ++k) {
        const bool list = k % 10 == 0;
        const char* id = list ? "LISTrec " : "00dc";
        std::copy(id, id + 4, f.begin() + static_cast<long>(p));
        Put32(f, p + 4, 0);
        if (list) std::copy(id + 4, id + 8, f.begin() + static_cast<long>(p + 8));
        p += list ? 12 : 8;
    }
    Put32(f, l.Idx1.Pos, MakeFourCC('J', 'U', 'N', 'K'));
    TAviReader r;
    ASSERT_EQ(OpenBytes(dir, f, r), AVIERR_OK);
    EXPECT_GT(r.StreamLength(0), 100);
    EXPECT_EQ(ReadEverything(r), r.StreamLength(0));
}

TEST(AviReaderCorrupt, RandomDamageNeverCrashes) {
    test::TempDir dir;
    const Bytes base = MakeBase(dir);
    std::mt19937 rng(20261208);
    int opened = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes f = base;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < flips; ++k) {
            const std::size_t at = rng() % f.size();
            // Damage header fields more than sample data: that is where sizes live.
            f[rng() % 2 ? at : at % 700] = static_cast<std::uint8_t>(rng());
        }
        if (round % 5 == 0) f.resize(rng() % f.size());
        TAviReader r;
        if (OpenBytes(dir, f, r) == AVIERR_OK) {
            ++opened;
            ReadEverything(r);
        }
    }
    EXPECT_GT(opened, 0);
}

// Files built by hand (tests/data/avi/make_bad_avis.py), independent of our writer.
TEST(AviReaderCorrupt, HandMadeBadFiles) {
    const std::string data = std::string(MORVANTA_DATA_DIR) + "/avi/";
    TAviReader r;
    EXPECT_EQ(r.Open(data + "hdrl_size_lies.avi"), AVIERR_BADFORMAT);
    EXPECT_EQ(r.Open(data + "idx1_outside.avi"), AVIERR_BADFORMAT);

    // Counts of 0xFFFFFFFF in both index levels: cut to the one entry the chunks hold.
    ASSERT_EQ(r.Open(data + "huge_counts.avi"), AVIERR_OK);
    ASSERT_EQ(r.StreamLength(0), 1);
    char buf[8] = {};
    std::uint32_t got = 0;
    ASSERT_EQ(r.Read(0, 0, buf, sizeof buf, got), AVIERR_OK);
    EXPECT_EQ(std::string(buf, got), "abc");

    ASSERT_EQ(r.Open(data + "zero_chunks.avi"), AVIERR_OK);
    EXPECT_EQ(r.StreamLength(0), 500);
    EXPECT_EQ(ReadEverything(r), 500);
}
