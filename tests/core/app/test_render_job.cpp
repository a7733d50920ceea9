// The render sequence: the silent video, the move aside, the multiplexing and what each ending
// leaves on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TestPictures.h"
#include "TestSupport.h"
#include "app/U_RenderJob.h"
#include "platform/base/U_Errors.h"
#include "platform/os/U_FileOps.h"
#include "video/U_BmpToAvi.h"

namespace fs = std::filesystem;

namespace {

struct Job {
    test::TempDir Dir;
    TStringList Paths;
    TStringList Captions;
    TBmpToAvi Writer;
    TRenderRequest Request;

    Job() {
        for (int i = 0; i < 2; ++i) {
            const std::string path = Dir.File("p" + std::to_string(i) + ".bmp");
            test::WriteBmp24(path, test::MakeGradient(48, 36));
            Paths.Add(path);
            Captions.Add("p");
        }
        Request.OutputFile = Dir.File("show.avi");
        Request.Width = 32;
        Request.Height = 24;
        Request.FrameDuration = 100;
        Request.FourCC = "DIB ";
        Request.Frames.PictureDurationMs = 500;
        Request.Frames.PicturePaths = &Paths;
        Request.Frames.PictureCaptions = &Captions;
    }

    void AddSound(double seconds) {
        Request.SoundFile = Dir.File("song.mp3");
        auto made = test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                               "sine=duration=" + std::to_string(seconds), "-c:a", "libmp3lame",
                               Request.SoundFile});
        ASSERT_EQ(made.ExitCode, 0) << made.Err;
    }

    std::vector<std::string> FilesBeside() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Dir.Path())) {
            const auto name = entry.path().filename().string();
            if (name.ends_with(".avi")) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST(Intermediate, TakesTheFirstFreeNameAndNeverOverwrites) {
    test::TempDir dir;
    test::WriteText(dir.File("temp.avi"), "someone's file");
    test::WriteText(dir.File("temp-1.avi"), "another");
    test::WriteText(dir.File("video.avi"), "video");
    EXPECT_EQ(MoveToIntermediate(dir.File("video.avi")), dir.File("temp-2.avi"));
    EXPECT_EQ(test::ReadFile(dir.File("temp.avi")).size(), 14u);
    EXPECT_FALSE(fs::exists(dir.File("video.avi")));
    // An output that is itself named temp.avi moves to a free name too.
    EXPECT_EQ(MoveToIntermediate(dir.File("temp.avi")), dir.File("temp-3.avi"));
    EXPECT_THROW(MoveToIntermediate(dir.File("gone.avi")), EMorvantaError);
}

TEST(RenderJob, SoundtrackEndsInOneFileWithoutIntermediate) {
    Job job;
    job.AddSound(2.0);
    std::vector<TRenderPhase> phases;
    TRenderEvents events;
    events.OnProgress = [&](TRenderPhase phase, std::int32_t, std::int32_t, const std::string&) {
        if (phases.empty() || phases.back() != phase) phases.push_back(phase);
    };
    const TRenderOutcome outcome = RunRender(job.Writer, job.Request, events);
    ASSERT_EQ(outcome.Status, TRenderStatus::Done) << outcome.Message;
    EXPECT_EQ(phases, (std::vector<TRenderPhase>{TRenderPhase::Video, TRenderPhase::Audio}));
    EXPECT_EQ(job.FilesBeside(), std::vector<std::string>{"show.avi"});
    EXPECT_EQ(test::Probe(job.Request.OutputFile, "a:0", "stream=codec_name"), "mp3");
    EXPECT_EQ(test::Probe(job.Request.OutputFile, "v:0", "stream=nb_frames"), "10");
}

TEST(RenderJob, CancelDuringMultiplexingKeepsBothFiles) {
    Job job;
    job.AddSound(2.0);
    bool inAudio = false;
    TRenderEvents events;
    events.OnProgress = [&](TRenderPhase phase, std::int32_t, std::int32_t, const std::string&) {
        inAudio = inAudio || phase == TRenderPhase::Audio;
    };
    events.StopRequested = [&] { return inAudio; };
    const TRenderOutcome outcome = RunRender(job.Writer, job.Request, events);
    EXPECT_EQ(outcome.Status, TRenderStatus::Aborted);
    EXPECT_EQ(outcome.Phase, TRenderPhase::Audio);
    EXPECT_EQ(outcome.IntermediateFile, job.Dir.File("temp.avi"));
    EXPECT_EQ(job.FilesBeside(), (std::vector<std::string>{"show.avi", "temp.avi"}));
    EXPECT_EQ(test::Probe(job.Dir.File("temp.avi"), "v:0", "stream=nb_frames"), "10");
    EXPECT_NE(test::Probe(job.Request.OutputFile, "v:0", "stream=codec_type"), "")
        << "the partial output is a readable AVI";
}

TEST(RenderJob, FailuresKeepWhatTheUserHad) {
    // An unknown codec: nothing written, an older output untouched.
    Job codec;
    test::WriteText(codec.Request.OutputFile, "older video");
    codec.Request.FourCC = "QQQQ";
    TRenderOutcome outcome = RunRender(codec.Writer, codec.Request, {});
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_EQ(outcome.Message, "No compressor for QQQQ available");
    EXPECT_EQ(test::ReadFile(codec.Request.OutputFile).size(), 11u);

    // A soundtrack whose frames cannot be multiplexed: the silent video is put back.
    Job sound;
    sound.Request.SoundFile = sound.Dir.File("noise.mp3");
    test::WriteText(sound.Request.SoundFile, std::string(5000, 'x'));
    outcome = RunRender(sound.Writer, sound.Request, {});
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_EQ(outcome.Phase, TRenderPhase::Audio);
    EXPECT_NE(outcome.Message.find("No MPEG audio frame found in " + sound.Request.SoundFile),
              std::string::npos)
        << outcome.Message;
    EXPECT_NE(outcome.Message.find("kept"), std::string::npos) << outcome.Message;
    EXPECT_EQ(sound.FilesBeside(), std::vector<std::string>{"show.avi"});
    EXPECT_EQ(test::Probe(sound.Request.OutputFile, "v:0", "stream=nb_frames"), "10");
}
