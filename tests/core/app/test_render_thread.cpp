// The window's run on its thread: RunRender's reports arrive on the main thread, a frame's
// progress and preview in one synchronised call, Cancel is the stop request, and the outcome is
// RunRender's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "TestPictures.h"
#include "TestSupport.h"
#include "app/U_RenderThd.h"
#include "video/U_BmpToAvi.h"

namespace {

// Counts the calls handed to the main thread.
class TCountingDispatcher : public TEventQueueDispatcher {
public:
    void RunSync(const std::function<void()>& call) override {
        ++Calls;
        TEventQueueDispatcher::RunSync(call);
    }
    std::atomic<int> Calls{0};
};

struct Report {
    TRenderPhase Phase;
    std::int32_t Position, Max;
    bool Preview;
};

class RenderThread : public ::testing::Test {
protected:
    RenderThread() {
        for (int i = 0; i < 3; ++i) {
            const std::string path = dir.File("p" + std::to_string(i) + ".bmp");
            test::WriteBmp24(path, test::MakeGradient(48, 36));
            paths.Add(path);
            captions.Add("");
        }
        request.OutputFile = dir.File("show.avi");
        request.Width = 32;
        request.Height = 24;
        request.FrameDuration = 100;
        request.FourCC = "DIB ";
        request.Frames.PictureDurationMs = 500; // 5 frames a picture, 15 in all
        request.Frames.PicturePaths = &paths;
        request.Frames.PictureCaptions = &captions;
    }

    // Runs the thread to its end, its reports handled here; `stopAt` >= 0 cancels when the
    // report of that frame arrives.
    TRenderOutcome Run(int stopAt = -1) {
        TRenderThd thread(&dispatcher, writer);
        thread.Request = request;
        const auto mainId = std::this_thread::get_id();
        thread.OnProgress = [&](TRenderPhase phase, std::int32_t position, std::int32_t max,
                                const std::string&, const TBitmap32* preview) {
            EXPECT_EQ(std::this_thread::get_id(), mainId);
            reports.push_back({phase, position, max, preview != nullptr});
            if (preview) {
                EXPECT_EQ(preview->Width, 32);
            }
            if (stopAt >= 0 && preview && position == stopAt) thread.Terminate();
        };
        bool endOnMain = false;
        thread.OnTerminate = [&](TThread&) { endOnMain = std::this_thread::get_id() == mainId; };
        thread.Start();
        dispatcher.ProcessUntil([&] { return thread.Finished(); });
        thread.WaitFor();
        EXPECT_TRUE(endOnMain);
        EXPECT_EQ(thread.FatalMessage(), "") << "RunRender keeps its errors in its outcome";
        return thread.Outcome();
    }

    test::TempDir dir;
    TStringList paths, captions;
    TBmpToAvi writer;
    TRenderRequest request;
    TCountingDispatcher dispatcher;
    std::vector<Report> reports;
};

TEST_F(RenderThread, EachFrameReachesTheMainThreadOnceWithItsPreview) {
    const TRenderOutcome outcome = Run();
    ASSERT_EQ(outcome.Status, TRenderStatus::Done) << outcome.Message;
    EXPECT_EQ(outcome.KeptFile, request.OutputFile);
    ASSERT_EQ(reports.size(), 17u) << "before the first frame, 15 frames, after the last";
    EXPECT_FALSE(reports.front().Preview);
    EXPECT_EQ(reports.front().Max, 15);
    for (int i = 0; i < 15; ++i) {
        const Report& r = reports[static_cast<std::size_t>(i) + 1];
        EXPECT_TRUE(r.Preview) << i;
        EXPECT_EQ(r.Position, i);
    }
    EXPECT_FALSE(reports.back().Preview);
    EXPECT_EQ(reports.back().Position, 0) << "the bar goes back to 0 at the end";
    EXPECT_EQ(dispatcher.Calls.load(), 18) << "17 reports and the end handler, nothing more";
    EXPECT_EQ(test::Probe(request.OutputFile, "v:0", "stream=nb_frames"), "15");
}

TEST_F(RenderThread, CancelIsTheRunsStopRequest) {
    test::WriteText(request.OutputFile, "an earlier video");
    const TRenderOutcome outcome = Run(3);
    EXPECT_EQ(outcome.Status, TRenderStatus::Aborted);
    EXPECT_EQ(outcome.KeptFile, dir.File("show.partial.avi"));
    EXPECT_EQ(test::Probe(outcome.KeptFile, "v:0", "stream=nb_frames"), "4")
        << "frame 3 is finished, frame 4 never started";
    const auto bytes = test::ReadFile(request.OutputFile);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "an earlier video");
}

TEST_F(RenderThread, ARefusedSoundtrackEndsTheRunBeforeAnyReport) {
    request.SoundFile = dir.File("song.mp3");
    test::WriteText(request.SoundFile, std::string(20000, 'x'));
    const TRenderOutcome outcome = Run();
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_EQ(outcome.Message.rfind("Cannot use the soundtrack " + request.SoundFile, 0), 0u)
        << outcome.Message;
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(std::filesystem::exists(request.OutputFile));
}

TEST_F(RenderThread, TheSoundtracksReportsFollowTheVideos) {
    request.SoundFile = dir.File("song.mp3");
    const auto made = test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                 "sine=duration=1", "-c:a", "libmp3lame", request.SoundFile});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    const TRenderOutcome outcome = Run();
    ASSERT_EQ(outcome.Status, TRenderStatus::Done) << outcome.Message;
    EXPECT_EQ(outcome.Phase, TRenderPhase::Audio);
    const auto firstAudio = std::find_if(reports.begin(), reports.end(), [](const Report& r) {
        return r.Phase == TRenderPhase::Audio;
    });
    ASSERT_NE(firstAudio, reports.end());
    EXPECT_TRUE(std::all_of(firstAudio, reports.end(),
                            [](const Report& r) { return r.Phase == TRenderPhase::Audio; }));
    EXPECT_EQ(std::prev(firstAudio)->Position, 0) << "the video's last report came first";
    EXPECT_EQ(test::Probe(request.OutputFile, "a:0", "stream=codec_name"), "mp3");
}

} // namespace
