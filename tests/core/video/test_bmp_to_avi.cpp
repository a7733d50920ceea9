// TBmpToAvi over the real AVI layer and real encoders, checked with our reader and FFmpeg.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "video/U_BmpToAvi.h"

namespace {

TBitmap32 Pattern(int w, int h, int seed) {
    TBitmap32 bmp(w, h);
    std::uint32_t state = 777u + static_cast<std::uint32_t>(seed) * 7919u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1103515245u + 12345u;
            const std::uint32_t noise = (state >> 16) & 31;
            bmp.At(x, y) = PackRGB((x * 255 / w + seed * 40) & 255, (y * 255 / h + noise) & 255,
                                   ((x ^ y) * 5 + seed) & 255, (state >> 8) & 255);
        }
    return bmp;
}

// Renders `frames` pattern frames of w x h with `codec` to `path`.
std::vector<TBitmap32> Render(const std::string& path, const std::string& codec, int w, int h,
                              int frames) {
    TBmpToAvi avi;
    avi.Width = w;
    avi.Height = h;
    avi.FrameDuration = 40;
    avi.FileName = path;
    avi.SetCodec(codec);
    avi.Open();
    std::vector<TBitmap32> written;
    for (int i = 0; i < frames; ++i) {
        written.push_back(Pattern(w, h, i));
        avi.AddFrame(written.back());
    }
    avi.Close();
    return written;
}

std::string DecodeErrors(const std::string& path) {
    const auto r = test::Run({"ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"});
    return r.ExitCode == 0 ? r.Err : "exit " + std::to_string(r.ExitCode) + ": " + r.Err;
}

std::vector<std::string> Leftovers(const test::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
    return names;
}

const std::vector<std::string> Lossless = {"DIB ", "FFV1", "HFYU", "FFVH", "M8RG", "ULRG"};

} // namespace

TEST(BmpToAvi, StartsEmptyAndListsCodecLines) {
    TBmpToAvi avi;
    EXPECT_EQ(avi.Width, -1);
    EXPECT_EQ(avi.Height, -1);
    EXPECT_EQ(avi.FrameDuration, -1);
    EXPECT_FALSE(avi.IsOpen);
    EXPECT_FALSE(avi.IsClosed);
    EXPECT_TRUE(avi.Codec.empty());
    std::vector<std::string> lines = {"stale"};
    avi.ListCodecs(lines);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(0, 5), "XVID ");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "DIB  Uncompressed RGB 24-bit"), lines.end());
}

TEST(BmpToAvi, SetCodecMatchesLooselyAndKeepsTheOldOneOnFailure) {
    TBmpToAvi avi;
    avi.Width = 64;
    avi.Height = 48;
    avi.SetCodec("xvid");
    EXPECT_EQ(avi.Codec, "XVID");
    avi.SetCodec("dib");
    EXPECT_EQ(avi.Codec, "DIB ");
    try {
        avi.SetCodec("QQ9Z");
        FAIL() << "no error";
    } catch (const EAssertionFailed&) {
        FAIL() << "must be a plain error";
    } catch (const EMorvantaError& e) {
        EXPECT_STREQ(e.what(), "No compressor for QQ9Z available");
    }
    EXPECT_EQ(avi.Codec, "DIB ");
    // A codec that refuses this frame size is not available for it.
    avi.Width = 63;
    avi.Height = 47;
    EXPECT_THROW(avi.SetCodec("XVID"), EMorvantaError);
    EXPECT_EQ(avi.Codec, "DIB ");
    avi.Width = 64;
    avi.Height = 48;
    avi.SetCodec("");
    EXPECT_TRUE(avi.Codec.empty());
    EXPECT_TRUE(avi.CodecOptions().empty());
    EXPECT_TRUE(avi.CodecAboutText().empty());
    avi.SetCodec("H264");
    EXPECT_FALSE(avi.CodecOptions().empty());
    EXPECT_NE(avi.CodecAboutText().find("libavcodec"), std::string::npos);
}

TEST(BmpToAvi, FramesGoToPositionsFromZero) {
    test::TempDir dir;
    const std::string out = dir.File("three.avi");
    const auto frames = Render(out, "DIB ", 34, 10, 3);

    TAviReader reader;
    ASSERT_EQ(reader.Open(out), AVIERR_OK);
    int stream = -1;
    ASSERT_EQ(reader.GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
    ASSERT_EQ(reader.StreamLength(stream), 3);
    AVISTREAMINFO info;
    ASSERT_EQ(reader.StreamInfo(stream, info), AVIERR_OK);
    EXPECT_EQ(info.dwScale, 40u);
    EXPECT_EQ(info.dwRate, 1000u);
    EXPECT_EQ(FourCCToString(info.fccHandler), "DIB ");
    std::vector<std::uint8_t> sample(4096);
    for (int k = 0; k < 3; ++k) {
        std::uint32_t size = 0;
        ASSERT_EQ(reader.Read(stream, k, sample.data(), sample.size(), size), AVIERR_OK);
        ASSERT_EQ(size, 104u * 10u); // 34 pixels of 3 bytes, padded to 104
        EXPECT_TRUE(reader.IsKeyFrame(stream, k));
        // The top row of frame k is the last row of sample k.
        const std::uint32_t p = frames[k].At(0, 0);
        EXPECT_EQ(sample[9 * 104], BlueOf(p)) << k;
        EXPECT_EQ(sample[9 * 104 + 2], RedOf(p)) << k;
    }
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "3");
}

TEST(BmpToAvi, LosslessCodecsDecodeToOurFrames) {
    test::TempDir dir;
    for (const std::string& codec : Lossless) {
        if (!FindCodec(codec)) {
            EXPECT_NE(codec, "FFV1") << "required codec missing";
            continue;
        }
        const std::string out = dir.File("lossless.avi");
        const int w = 34, h = 20;
        const auto frames = Render(out, codec, w, h, 3);
        const auto r = test::Run(
            {"ffmpeg", "-v", "error", "-i", out, "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
        ASSERT_EQ(r.ExitCode, 0) << codec << r.Err;
        EXPECT_EQ(r.Err, "") << codec;
        ASSERT_EQ(r.Out.size(), static_cast<std::size_t>(3 * w * h * 4)) << codec;
        int mismatches = 0;
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < w * h; ++i) {
                const auto* px = reinterpret_cast<const std::uint8_t*>(r.Out.data()) +
                                 (static_cast<std::size_t>(k) * w * h + i) * 4;
                const std::uint32_t ours = frames[k].Pixels[i] & 0xFFFFFF;
                const std::uint32_t theirs = PackRGB(px[2], px[1], px[0], 0);
                mismatches += ours != theirs;
            }
        EXPECT_EQ(mismatches, 0) << codec;
    }
}

TEST(BmpToAvi, EveryOtherCodecRendersADecodableVideo) {
    test::TempDir dir;
    std::vector<std::string> lines;
    TBmpToAvi().ListCodecs(lines);
    for (const std::string& line : lines) {
        const std::string fcc = line.substr(0, 4);
        if (std::find(Lossless.begin(), Lossless.end(), fcc) != Lossless.end()) continue;
        SCOPED_TRACE(line);
        const std::string out = dir.File("smoke.avi");
        try {
            Render(out, fcc, 320, 240, 3);
        } catch (const EMorvantaError& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        EXPECT_EQ(DecodeErrors(out), "");
        // One probe for both: starting programs is most of this test's time.
        EXPECT_EQ(test::Probe(out, "v:0", "stream=codec_tag_string,nb_read_frames", true),
                  fcc + "\n3");
    }
}

TEST(BmpToAvi, LossyCodecsKeepColours) {
    // A wrong range or matrix in the conversion shifts flat colours well beyond a few levels.
    test::TempDir dir;
    const std::string out = dir.File("colour.avi");
    const std::uint32_t colours[] = {PackRGB(200, 40, 90), PackRGB(16, 160, 230),
                                     PackRGB(250, 250, 250), PackRGB(5, 5, 5)};
    for (const char* fcc : {"XVID", "FMP4", "H264", "MJPG", "MP43"}) {
        SCOPED_TRACE(fcc);
        TBmpToAvi avi;
        avi.Width = 64;
        avi.Height = 64;
        avi.FrameDuration = 40;
        avi.FileName = out;
        avi.SetCodec(fcc);
        avi.Open();
        TBitmap32 frame(64, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) frame.At(x, y) = colours[(y / 32) * 2 + x / 32];
        avi.AddFrame(frame);
        avi.Close();
        const auto r = test::Run(
            {"ffmpeg", "-v", "error", "-i", out, "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
        ASSERT_EQ(r.Out.size(), 64u * 64u * 4u) << r.Err;
        for (int q = 0; q < 4; ++q) {
            // The centre of each quarter, away from the edges between colours.
            const int x = (q % 2) * 32 + 16, y = (q / 2) * 32 + 16;
            const auto* px = reinterpret_cast<const std::uint8_t*>(r.Out.data()) + (y * 64 + x) * 4;
            EXPECT_NEAR(px[2], static_cast<int>(RedOf(colours[q])), 6) << q;
            EXPECT_NEAR(px[1], static_cast<int>(GreenOf(colours[q])), 6) << q;
            EXPECT_NEAR(px[0], static_cast<int>(BlueOf(colours[q])), 6) << q;
        }
    }
}

TEST(BmpToAvi, FormatWithCodecDataIsReadBackWhole) {
    test::TempDir dir;
    const std::string out = dir.File("hfyu.avi");
    Render(out, "HFYU", 64, 48, 2);
    TAviReader reader;
    ASSERT_EQ(reader.Open(out), AVIERR_OK);
    int stream = -1;
    ASSERT_EQ(reader.GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
    std::vector<std::uint8_t> format;
    ASSERT_EQ(reader.ReadFormat(stream, format), AVIERR_OK);
    TVideoEncoder encoder(*FindCodec("HFYU"), 64, 48, 40);
    const auto& expected = encoder.Format();
    ASSERT_GE(format.size(), expected.size() - 1);
    EXPECT_TRUE(std::equal(format.begin(), format.begin() + 40 + (expected.size() > 41 ? 1 : 0),
                           expected.begin()));
    EXPECT_EQ(test::Probe(out, "v:0", "stream=codec_name"), "huffyuv");
    EXPECT_EQ(test::Probe(out, "v:0", "stream=width"), "64");
}

TEST(BmpToAvi, ReplacesAnExistingOutput) {
    test::TempDir dir;
    const std::string out = dir.File("old.avi");
    test::WriteText(out, std::string(100000, 'x'));
    Render(out, "FMP4", 64, 48, 4);
    const auto bytes = test::ReadFile(out);
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_LT(bytes.size(), 100000u);
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{"old.avi"});
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST(BmpToAvi, AFailedRenderKeepsTheOlderOutput) {
    test::TempDir dir;
    const std::string out = dir.File("keep.avi");
    Render(out, "DIB ", 32, 16, 2);
    const auto before = test::ReadFile(out);
    {
        TBmpToAvi avi;
        avi.Width = 32;
        avi.Height = 16;
        avi.FrameDuration = 40;
        avi.FileName = out;
        avi.SetCodec("MJPG");
        avi.Open();
        EXPECT_FALSE(avi.WorkFileName().empty());
        EXPECT_TRUE(std::filesystem::exists(avi.WorkFileName()));
        avi.AddFrame(Pattern(32, 16, 1));
        EXPECT_TRUE(avi.CanFinish());
        try {
            avi.AddFrame(Pattern(16, 16, 2));
            FAIL() << "no error";
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Unit(), "U_BmpToAvi");
            EXPECT_EQ(e.Message().rfind("GetObject failed : ", 0), 0u) << e.Message();
        }
        EXPECT_FALSE(avi.CanFinish()) << "a failed write cannot be finished";
        // Destroyed without Close after the failure.
    }
    EXPECT_EQ(test::ReadFile(out), before);
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{"keep.avi"});

    // Close after a failure removes the unfinished file too, and the writer opens again.
    TBmpToAvi avi;
    avi.Width = 32;
    avi.Height = 16;
    avi.FrameDuration = 40;
    avi.FileName = out;
    avi.SetCodec("DIB ");
    avi.Open();
    EXPECT_THROW(avi.AddFrame(TBitmap32(8, 8)), EAssertionFailed);
    avi.Close();
    EXPECT_TRUE(avi.IsClosed);
    EXPECT_EQ(test::ReadFile(out), before);
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{"keep.avi"});
    avi.Open();
    avi.AddFrame(Pattern(32, 16, 5));
    avi.Close();
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "1");
}

TEST(BmpToAvi, StoppedRenderLeavesItsFramesAtTheOutput) {
    test::TempDir dir;
    const std::string out = dir.File("stopped.avi");
    {
        TBmpToAvi avi;
        avi.Width = 64;
        avi.Height = 48;
        avi.FrameDuration = 66;
        avi.FileName = out;
        avi.SetCodec("H264");
        avi.Open();
        EXPECT_TRUE(avi.IsOpen);
        for (int i = 0; i < 5; ++i) avi.AddFrame(Pattern(64, 48, i));
        // The destructor closes a writer that was not closed.
    }
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "5");
    EXPECT_EQ(test::Probe(out, "v:0", "stream=avg_frame_rate"), "500/33");
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST(BmpToAvi, OpenFailuresAreReported) {
    test::TempDir dir;
    TBmpToAvi avi;
    avi.Width = 32;
    avi.Height = 16;
    avi.FrameDuration = 40;
    avi.SetCodec("DIB ");
    avi.FileName = dir.Path().string(); // a folder
    try {
        avi.Open();
        FAIL() << "no error";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "FileOpen failed. Err: " + HexCode(AVIERR_FILEOPEN));
        EXPECT_EQ(e.Unit(), "U_BmpToAvi");
    }
    EXPECT_FALSE(avi.IsOpen);
    EXPECT_EQ(avi.LastErrno, EISDIR);
    avi.FileName = dir.File("missing/folder/out.avi");
    EXPECT_THROW(avi.Open(), EAssertionFailed);
    EXPECT_NE(avi.LastResult, AVIERR_OK);
    EXPECT_EQ(avi.LastErrno, ENOENT);
    avi.Close();
    EXPECT_TRUE(avi.IsClosed);
    EXPECT_TRUE(Leftovers(dir).empty());

    // A stale work file from an earlier crash is never overwritten.
    avi.FileName = dir.File("out.avi");
    test::WriteText(dir.File("out.avi.part"), "stale");
    avi.Open();
    EXPECT_NE(avi.WorkFileName(), dir.File("out.avi.part"));
    avi.AddFrame(Pattern(32, 16, 0));
    avi.Close();
    EXPECT_EQ(test::ReadFile(dir.File("out.avi.part")).size(), 5u);
    EXPECT_EQ(test::Probe(avi.FileName, "v:0", "stream=nb_read_frames", true), "1");
}

TEST(BmpToAvi, SmallSegmentsMakeSeveralRiffs) {
    test::TempDir dir;
    const std::string out = dir.File("odml.avi");
    TBmpToAvi avi;
    avi.Width = 64;
    avi.Height = 48;
    avi.FrameDuration = 40;
    avi.FileName = out;
    avi.WriterOptions.SegmentLimit = 64 * 1024;
    avi.SetCodec("DIB ");
    avi.Open();
    for (int i = 0; i < 40; ++i) avi.AddFrame(Pattern(64, 48, i));
    avi.Close();
    const auto bytes = test::ReadFile(out);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("AVIX"), std::string::npos);
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "40");
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST(BmpToAvi, AFullDiskKeepsTheOlderOutput) {
    test::TempDir dir;
    const std::string out = dir.File("full.avi");
    Render(out, "DIB ", 32, 16, 1);
    const auto before = test::ReadFile(out);
    ASSERT_TRUE(FindCodec("DIB ").has_value()); // the list is cached before the limit

    // The child writes with a file size limit far below the render's size.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        int code = 1;
        try {
            TBmpToAvi avi;
            avi.Width = 160;
            avi.Height = 120;
            avi.FrameDuration = 40;
            avi.FileName = out;
            avi.SetCodec("DIB ");
            avi.Open();
            for (int i = 0; i < 10; ++i) avi.AddFrame(TBitmap32(160, 120));
            avi.Close();
            code = 2; // no error at all
        } catch (const EAssertionFailed& e) {
            code = e.Message().rfind("StreamWrite failed. Err: $", 0) == 0 ? 0 : 3;
        } catch (...) {
            code = 4;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::ReadFile(out), before);
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{"full.avi"});
}
