// The frame loop of a render and its thread: positions, progress, Cancel and failures.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <vector>

#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/avi/U_AviFile.h"
#include "platform/base/U_Errors.h"
#include "video/U_BmpToAvi.h"
#include "video/U_VideoMaker.h"
#include "video/U_VideoMakerThd.h"

namespace fs = std::filesystem;

namespace {

struct Fixture {
    test::TempDir Dir;
    TStringList Paths;
    TStringList Captions;
    TBmpToAvi Writer;
    std::string Output = Dir.File("out.avi");

    explicit Fixture(int pictures, const std::string& codec = "DIB") {
        for (int i = 0; i < pictures; ++i) {
            const std::string path = Dir.File("p" + std::to_string(i) + ".bmp");
            test::WriteBmp24(path, test::MakeSolid(40, 30, 0x102030u * (i + 1)));
            Paths.Add(path);
            Captions.Add("caption " + std::to_string(i));
        }
        Writer.Width = 32;
        Writer.Height = 24;
        Writer.FrameDuration = 40;
        Writer.FileName = Output;
        Writer.SetCodec(codec);
    }

    TVideoMakerInputs Inputs(int durationMs = 1000) {
        TVideoMakerInputs inputs;
        inputs.PictureDurationMs = durationMs;
        inputs.PicturePaths = &Paths;
        inputs.PictureCaptions = &Captions;
        inputs.CrossFade = true;
        return inputs;
    }

    std::int32_t WrittenFrames() {
        TAviReader reader;
        if (reader.Open(Output) != AVIERR_OK) return -1;
        int stream = -1;
        if (reader.GetStream(streamtypeVIDEO, 0, stream) != AVIERR_OK) return -1;
        return reader.StreamLength(stream);
    }
};

} // namespace

TEST(VideoMaker, WritesEveryFrameAndReportsEach) {
    Fixture f(3);
    f.Writer.Open();
    std::vector<int> positions;
    int previews = 0;
    TVideoMakerCallbacks callbacks;
    callbacks.Progress = [&](const TVideoMakerState& s, const TBitmap32* preview) {
        positions.push_back(s.Position);
        if (preview) {
            ++previews;
            EXPECT_EQ(preview->Width, 32);
        }
    };
    TVideoMakerState state;
    // 1000 ms at 40 ms: 25 frames per picture, 6 fade frames: 3 x 25 + 2 x 6.
    MakeVideo(f.Writer, f.Inputs(), callbacks, state);
    EXPECT_EQ(state.Total, 87);
    EXPECT_FALSE(state.Aborted);
    EXPECT_EQ(state.Position, 0);
    ASSERT_EQ(positions.size(), 89u) << "start, one per frame, end";
    EXPECT_EQ(positions[1], 0);
    EXPECT_EQ(positions[87], 86);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(previews, 87);
    EXPECT_EQ(f.WrittenFrames(), 87);

    // One picture with cross-fade on: no fade at all.
    Fixture one(1);
    one.Writer.Open();
    TVideoMakerState single;
    MakeVideo(one.Writer, one.Inputs(), {}, single);
    EXPECT_EQ(single.Total, 25);
    EXPECT_EQ(one.WrittenFrames(), 25);
}

TEST(VideoMaker, StopBeforeFirstFrameAndDuringFrame) {
    Fixture before(2);
    before.Writer.Open();
    TVideoMakerState state;
    TVideoMakerCallbacks stopAtOnce;
    stopAtOnce.StopRequested = [] { return true; };
    MakeVideo(before.Writer, before.Inputs(), stopAtOnce, state);
    EXPECT_TRUE(state.Aborted);
    EXPECT_EQ(state.Position, 0);
    EXPECT_TRUE(before.Writer.IsClosed);
    EXPECT_EQ(before.WrittenFrames(), 0) << "closed, nothing written";

    // The stop asked while frame 4 is reported: frame 4 is written, frame 5 is not started.
    Fixture during(2);
    during.Writer.Open();
    bool stop = false;
    TVideoMakerCallbacks callbacks;
    callbacks.Progress = [&](const TVideoMakerState& s, const TBitmap32* preview) {
        if (preview && s.Position == 4) stop = true;
    };
    callbacks.StopRequested = [&] { return stop; };
    TVideoMakerState partial;
    MakeVideo(during.Writer, during.Inputs(), callbacks, partial);
    EXPECT_TRUE(partial.Aborted);
    EXPECT_EQ(partial.Position, 0);
    EXPECT_EQ(during.WrittenFrames(), 5);
}

namespace {

std::vector<std::string> FolderNames(const test::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A render whose writer runs out of room after a few frames, in a child limited to `bytes` per
// file. Returns the child's verdict: 0 when MakeVideo failed with the writer's StreamWrite error
// and left state.Position at a later frame.
int RenderWithFileLimit(Fixture& f, rlim_t bytes) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        int code = 2; // no error at all
        TVideoMakerState state;
        try {
            f.Writer.Open();
            MakeVideo(f.Writer, f.Inputs(), {}, state);
        } catch (const EAssertionFailed& e) {
            code = e.Message().rfind("StreamWrite failed. Err: $", 0) == 0 && state.Position > 0
                       ? 0
                       : 3;
        } catch (...) {
            code = 4;
        }
        _exit(code);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

} // namespace

// A picture that cannot be loaded ends the render, and the frames written before it are
// finished into a playable file; a writer that failed itself, or has nothing yet, leaves none.
TEST(VideoMaker, AFailureFinishesWhatTheWriterCanStillFinish) {
    // The second picture is missing: the first picture's 25 frames are kept, closed properly.
    Fixture second(2);
    second.Paths.Set(1, second.Dir.File("missing.bmp"));
    second.Writer.Open();
    TVideoMakerState state;
    EXPECT_THROW(MakeVideo(second.Writer, second.Inputs(), {}, state), EMorvantaError);
    EXPECT_EQ(state.Position, 24) << "the last frame written stays reported";
    EXPECT_FALSE(state.Aborted);
    EXPECT_TRUE(second.Writer.IsClosed);
    EXPECT_EQ(second.WrittenFrames(), 25);
    EXPECT_EQ(test::Probe(second.Output, "v:0", "stream=nb_read_frames", true), "25");
    EXPECT_EQ(FolderNames(second.Dir), (std::vector<std::string>{"out.avi", "p0.bmp", "p1.bmp"}))
        << "no work file stays";

    // The same in the plain loop.
    Fixture plain(2);
    plain.Paths.Set(1, plain.Dir.File("missing.bmp"));
    plain.Writer.Open();
    TVideoMakerInputs inputs = plain.Inputs();
    inputs.Sequential = true;
    EXPECT_THROW(MakeVideo(plain.Writer, inputs, {}, state), EMorvantaError);
    EXPECT_EQ(plain.WrittenFrames(), 25);

    // The first picture is missing: no frame, so nothing replaces the older output.
    Fixture first(2);
    test::WriteText(first.Output, "an older video");
    first.Paths.Set(0, first.Dir.File("missing.bmp"));
    first.Writer.Open();
    TVideoMakerState none;
    EXPECT_THROW(MakeVideo(first.Writer, first.Inputs(), {}, none), EMorvantaError);
    EXPECT_EQ(none.Position, 0);
    EXPECT_EQ(test::ReadFile(first.Output).size(), 14u);
    EXPECT_EQ(FolderNames(first.Dir), (std::vector<std::string>{"out.avi", "p0.bmp", "p1.bmp"}));

    // The writer runs out of room mid-run: its unfinished file is removed as before.
    Fixture full(2);
    EXPECT_EQ(RenderWithFileLimit(full, 20 * 1024), 0);
    EXPECT_EQ(FolderNames(full.Dir), (std::vector<std::string>{"p0.bmp", "p1.bmp"}));
}

TEST(VideoMakerThd, ReportsOnMainThreadAndKeepsError) {
    Fixture f(2);
    f.Writer.Open();
    TEventQueueDispatcher dispatcher;
    TVideoMakerThd thread(&dispatcher);
    thread.AviWriter = &f.Writer;
    thread.Inputs = f.Inputs(200); // 5 frames per picture: no visual options needed
    const auto mainThread = std::this_thread::get_id();
    int reports = 0;
    thread.OnProgress = [&](const TVideoMakerState&, const TBitmap32*) {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        ++reports;
    };
    bool ended = false;
    thread.OnTerminate = [&](TThread&) { ended = true; };
    thread.Start();
    dispatcher.ProcessUntil([&] { return thread.Finished(); });
    thread.WaitFor();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(thread.FatalException());
    EXPECT_EQ(thread.Total(), 10);
    EXPECT_EQ(reports, 12);
    EXPECT_EQ(f.WrittenFrames(), 10);

    Fixture bad(1);
    bad.Paths.Set(0, bad.Dir.File("broken.jpg"));
    test::WriteText(bad.Dir.File("broken.jpg"), "not a jpeg");
    bad.Writer.Open();
    TVideoMakerThd failing(&dispatcher);
    failing.AviWriter = &bad.Writer;
    failing.Inputs = bad.Inputs();
    failing.Start();
    dispatcher.ProcessUntil([&] { return failing.Finished(); });
    failing.WaitFor();
    EXPECT_NE(failing.FatalMessage().find("broken.jpg"), std::string::npos)
        << failing.FatalMessage();
    EXPECT_EQ(failing.Position(), 0);
    EXPECT_FALSE(failing.Aborted());
}
