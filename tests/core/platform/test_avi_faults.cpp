// The AVI writer under faults: a writer killed mid-file, a full disk, paths it cannot create,
// and calls out of order.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "TestSupport.h"
#include "test_avi_common.h"

using namespace avitest;

namespace {

// Creates a DIB video stream on an open writer; false on any failure.
bool AddDibStream(TAviWriter& w, int& s) {
    const auto format = BitmapFormat("DIB ", 24);
    return w.CreateStream(VideoInfo("DIB ", 40), s) == AVIERR_OK &&
           w.SetFormat(s, format.data(), format.size()) == AVIERR_OK;
}

// A child writes `frames` frames, tells the parent, and waits to be killed with SIGKILL:
// the file is left exactly as a render killed at that point leaves it.
void WriteAndGetKilled(const std::string& path, int frames, TAviWriterOptions options) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        TAviWriter w;
        int s = -1;
        if (w.Create(path, false, options) != AVIERR_OK || !AddDibStream(w, s)) _exit(1);
        for (int i = 0; i < frames; ++i) {
            const auto frame = RawFrame(i);
            if (w.Write(s, i, frame.data(), frame.size(), AVIIF_KEYFRAME) != AVIERR_OK) _exit(2);
        }
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1) _exit(3);
        for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    const ssize_t got = read(ready[0], &byte, 1);
    close(ready[0]);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_EQ(got, 1) << "the writer failed before the kill";
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

// Runs `body` in a child limited to `limit` bytes per file, SIGXFSZ ignored; its exit code.
template <class F> int InChildWithFileLimit(rlim_t limit, F body) {
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit rl{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(99);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

// The headers on disk from the first sample on let ffmpeg read a file whose writer never
// closed it: RIFF and movi sizes of 0 run to the end of the file, and with no idx1 (the super
// indexes are still empty) ffmpeg scans movi.
TEST(AviCrashSafety, KilledWriterLeavesADecodableFile) {
    test::TempDir dir;
    const std::string path = dir.File("partial.avi");
    WriteAndGetKilled(path, 30, {});
    const auto f = test::ReadFile(path);
    EXPECT_EQ(Get32(f, 4), 0u); // the RIFF size was never filled in
    EXPECT_EQ(Find(f, 12, f.size(), "idx1").Id, "");

    const auto decode = test::Run({"ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"});
    EXPECT_EQ(decode.ExitCode, 0);
    EXPECT_EQ(decode.Err, "");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=nb_read_frames", true), "30");

    TAviReader r;
    ASSERT_EQ(r.Open(path), AVIERR_OK);
    ASSERT_EQ(r.StreamLength(0), 30);
    std::vector<std::uint8_t> buf(kFrameBytes);
    std::uint32_t got = 0;
    ASSERT_EQ(r.Read(0, 29, buf.data(), buf.size(), got), AVIERR_OK);
    EXPECT_EQ(buf, RawFrame(29));
}

TEST(AviCrashSafety, KilledWriterPastSeveralRiffs) {
    test::TempDir dir;
    const std::string path = dir.File("partial-odml.avi");
    TAviWriterOptions small;
    small.SegmentLimit = 16384;
    WriteAndGetKilled(path, 40, small);
    const auto f = test::ReadFile(path);
    EXPECT_GT(Chunks(f, 0, f.size()).size(), 3u); // closed RIFFs, then the open last one

    const auto decode = test::Run({"ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"});
    EXPECT_EQ(decode.ExitCode, 0);
    EXPECT_EQ(decode.Err, "");
    EXPECT_EQ(test::Probe(path, "v:0", "stream=nb_read_frames", true), "40");
    TAviReader r;
    ASSERT_EQ(r.Open(path), AVIERR_OK);
    EXPECT_EQ(r.StreamLength(0), 40);
}

TEST(AviWriterFaults, DiskFullIsAWriteError) {
    TAviWriter w;
    ASSERT_EQ(w.Create("/dev/full"), AVIERR_OK);
    int s = -1;
    ASSERT_TRUE(AddDibStream(w, s));
    const auto frame = RawFrame(0);
    EXPECT_EQ(w.Write(s, 0, frame.data(), frame.size(), AVIIF_KEYFRAME), AVIERR_FILEWRITE);
    EXPECT_EQ(w.LastErrno(), ENOSPC);
    // The failure sticks: later calls and Close report it too.
    EXPECT_EQ(w.Write(s, 1, frame.data(), frame.size(), AVIIF_KEYFRAME), AVIERR_FILEWRITE);
    EXPECT_EQ(w.Close(), AVIERR_FILEWRITE);
    EXPECT_FALSE(w.IsOpen());
}

TEST(AviWriterFaults, FileSizeLimitIsAWriteError) {
    test::TempDir dir;
    const std::string path = dir.File("limited.avi");
    constexpr rlim_t kLimit = 50000;
    const int code = InChildWithFileLimit(kLimit, [&] {
        TAviWriter w;
        int s = -1;
        if (w.Create(path) != AVIERR_OK || !AddDibStream(w, s)) return 10;
        AviResult r = AVIERR_OK;
        for (int i = 0; i < 100 && r == AVIERR_OK; ++i) {
            const auto frame = RawFrame(i);
            r = w.Write(s, i, frame.data(), frame.size(), AVIIF_KEYFRAME);
        }
        if (r != AVIERR_FILEWRITE) return 11;
        if (w.LastErrno() != EFBIG) return 12;
        return w.Close() == AVIERR_FILEWRITE ? 0 : 13;
    });
    EXPECT_EQ(code, 0);
    EXPECT_LE(std::filesystem::file_size(path), kLimit);
}

TEST(AviWriterFaults, PathsThatCannotBeCreated) {
    test::TempDir dir;
    TAviWriter w;
    EXPECT_EQ(w.Create(dir.File("missing/out.avi")), AVIERR_FILEOPEN);
    EXPECT_EQ(w.LastErrno(), ENOENT);
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(w.Create(dir.Path().string()), AVIERR_FILEOPEN); // a folder
    EXPECT_EQ(w.LastErrno(), EISDIR);

    const std::string existing = dir.File("existing.avi");
    test::WriteText(existing, "precious");
    EXPECT_EQ(w.Create(existing, true), AVIERR_FILEOPEN);
    EXPECT_EQ(w.LastErrno(), EEXIST);
    EXPECT_EQ(test::ReadFile(existing).size(), 8u);
    // Without `exclusive` an existing file is replaced, not appended to.
    ASSERT_EQ(w.Create(existing), AVIERR_OK);
    int s = -1;
    ASSERT_TRUE(AddDibStream(w, s));
    ASSERT_EQ(w.Close(), AVIERR_OK);
    const auto f = test::ReadFile(existing);
    EXPECT_EQ(Id(f, 0), "RIFF");
    EXPECT_EQ(Get32(f, 4) + 8u, f.size());
}

TEST(AviWriterFaults, CallsOutOfOrderAndBadParameters) {
    test::TempDir dir;
    TAviWriter w;
    int s = -1;
    EXPECT_EQ(w.CreateStream(VideoInfo("DIB ", 40), s), AVIERR_ERROR); // not created
    TAviWriterOptions tiny;
    tiny.SegmentLimit = 100;
    EXPECT_EQ(w.Create(dir.File("a.avi"), false, tiny), AVIERR_ERROR);
    ASSERT_EQ(w.Create(dir.File("a.avi")), AVIERR_OK);

    AVISTREAMINFO noRate = VideoInfo("DIB ", 0);
    EXPECT_EQ(w.CreateStream(noRate, s), AVIERR_BADFORMAT);
    AVISTREAMINFO text = VideoInfo("DIB ", 40);
    text.fccType = MakeFourCC('t', 'x', 't', 's');
    EXPECT_EQ(w.CreateStream(text, s), AVIERR_BADFORMAT);
    ASSERT_EQ(w.CreateStream(VideoInfo("DIB ", 40), s), AVIERR_OK);
    const auto frame = RawFrame(0);
    EXPECT_EQ(w.Write(s, 0, frame.data(), frame.size(), 0), AVIERR_BADFORMAT); // no format yet
    EXPECT_EQ(w.Write(7, 0, frame.data(), frame.size(), 0), AVIERR_ERROR);
    EXPECT_EQ(w.SetFormat(s, nullptr, 40), AVIERR_BADSIZE);

    const auto format = BitmapFormat("DIB ", 24);
    ASSERT_EQ(w.SetFormat(s, format.data(), format.size()), AVIERR_OK);
    ASSERT_EQ(w.Write(s, 0, frame.data(), frame.size(), AVIIF_KEYFRAME), AVIERR_OK);
    ASSERT_EQ(w.Write(s, 1, frame.data(), frame.size(), AVIIF_KEYFRAME), AVIERR_OK);
    EXPECT_EQ(w.Write(s, 1, frame.data(), frame.size(), 0), AVIERR_ERROR); // no rewriting
    int late = -1;
    EXPECT_EQ(w.CreateStream(PcmInfo(8000, 1), late), AVIERR_ERROR); // headers are on disk
    const auto longer = BitmapFormat("DIB ", 24, {1, 2});
    EXPECT_EQ(w.SetFormat(s, longer.data(), longer.size()), AVIERR_ERROR);
    auto same = format;
    same[20] ^= 1; // biSizeImage: same size, so it can go where the old one was
    EXPECT_EQ(w.SetFormat(s, same.data(), same.size()), AVIERR_OK);
    ASSERT_EQ(w.Close(), AVIERR_OK);

    TAviReader r;
    ASSERT_EQ(r.Open(dir.File("a.avi")), AVIERR_OK);
    std::vector<std::uint8_t> got;
    ASSERT_EQ(r.ReadFormat(0, got), AVIERR_OK);
    EXPECT_EQ(got, same);
    EXPECT_EQ(r.StreamLength(0), 2);
}
