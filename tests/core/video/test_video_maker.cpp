// The frame loop of a render and its thread: positions, progress, Cancel and failures.
#include <gtest/gtest.h>

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

TEST(VideoMaker, FailureKeepsErrorAndOlderOutput) {
    Fixture f(2);
    test::WriteText(f.Output, "an older video");
    f.Paths.Set(0, f.Dir.File("missing.bmp"));
    f.Writer.Open();
    TVideoMakerState state;
    EXPECT_THROW(MakeVideo(f.Writer, f.Inputs(), {}, state), EMorvantaError);
    EXPECT_EQ(state.Position, 0);
    EXPECT_FALSE(state.Aborted);
    EXPECT_EQ(test::ReadFile(f.Output).size(), 14u) << "the older output survives";
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(f.Dir.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 3u) << "the two pictures and the older output, no unfinished file";
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
