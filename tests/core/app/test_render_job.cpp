// The render sequence run whole: the writer set-up, the silent video, the move aside, the
// multiplexing and what each ending leaves on disk, with and without an earlier video.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "TestPictures.h"
#include "TestSupport.h"
#include "app/U_RenderJob.h"
#include "app/U_WriterSetup.h"
#include "platform/base/U_Errors.h"
#include "platform/os/U_FileOps.h"
#include "platform/os/U_Settings.h"
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

    void AddEarlierVideo() { test::WriteText(Request.OutputFile, "an earlier video"); }
    std::string Earlier() const {
        const auto bytes = test::ReadFile(Request.OutputFile);
        return std::string(bytes.begin(), bytes.end());
    }

    std::vector<std::string> FilesBeside() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Dir.Path())) {
            const auto name = entry.path().filename().string();
            if (name.ends_with(".avi") || name.ends_with(".part")) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Sound when checked before the first frame, noise by the time it is multiplexed.
TRenderEvents SpoilSoundDuringTheVideo(const Job& job) {
    TRenderEvents events;
    events.OnProgress = [song = job.Request.SoundFile, spoilt = false](TRenderPhase phase,
                                                                       std::int32_t, std::int32_t,
                                                                       const std::string&) mutable {
        if (phase != TRenderPhase::Video || spoilt) return;
        spoilt = true;
        test::WriteText(song, std::string(5000, 'x'));
    };
    return events;
}

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

TEST(WriterSetUp, OpensTheWriterAndRemembersTheCodec) {
    test::TempDir dir;
    ASSERT_TRUE(WriteSetting("LastFCC", "XVID"));
    TBmpToAvi writer;
    // A codec the writer refuses is not remembered, and nothing is opened.
    EXPECT_THROW(SetUpWriter(writer, {32, 24, 40, "QQQQ", dir.File("a.avi")}), EMorvantaError);
    EXPECT_FALSE(writer.IsOpen);
    EXPECT_EQ(ReadSetting("LastFCC"), "XVID");

    SetUpWriter(writer, {32, 24, 40, "MJPG", dir.File("a.avi")});
    EXPECT_TRUE(writer.IsOpen);
    EXPECT_EQ(writer.Width, 32);
    EXPECT_EQ(writer.Height, 24);
    EXPECT_EQ(writer.FrameDuration, 40);
    EXPECT_EQ(writer.FileName, dir.File("a.avi"));
    EXPECT_EQ(ReadSetting("LastFCC"), "MJPG");
    writer.AddFrame(test::MakeGradient(32, 24));
    writer.Close();
    EXPECT_EQ(test::Probe(dir.File("a.avi"), "v:0", "stream=codec_name"), "mjpeg");

    // A file that cannot be created: the writer's error, nothing left open.
    EXPECT_THROW(SetUpWriter(writer, {32, 24, 40, "MJPG", dir.File("none/a.avi")}), EMorvantaError);
    EXPECT_FALSE(writer.IsOpen);
}

TEST(RenderJob, SoundtrackEndsInOneFileWithOneProgressThatOnlyMovesForward) {
    Job job;
    job.AddSound(2.0);
    job.AddEarlierVideo();
    std::vector<TRenderPhase> phases;
    std::vector<double> fractions;
    TRenderEvents events;
    events.OnProgress = [&](TRenderPhase phase, std::int32_t, std::int32_t, const std::string&) {
        if (phases.empty() || phases.back() != phase) phases.push_back(phase);
    };
    events.OnJobProgress = [&](const TJobProgress& p) { fractions.push_back(p.Fraction()); };
    const TRenderOutcome outcome = RunRender(job.Writer, job.Request, events);
    ASSERT_EQ(outcome.Status, TRenderStatus::Done) << outcome.Message;
    EXPECT_EQ(outcome.KeptFile, job.Request.OutputFile);
    EXPECT_EQ(outcome.FilesNote, "");
    EXPECT_EQ(phases, (std::vector<TRenderPhase>{TRenderPhase::Video, TRenderPhase::Audio}));
    EXPECT_EQ(job.FilesBeside(), std::vector<std::string>{"show.avi"});
    EXPECT_EQ(test::Probe(job.Request.OutputFile, "a:0", "stream=codec_name"), "mp3");
    EXPECT_EQ(test::Probe(job.Request.OutputFile, "v:0", "stream=nb_frames"), "10");

    ASSERT_GT(fractions.size(), 12u) << "a report per frame and per step";
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_EQ(std::count(fractions.begin(), fractions.end(), 1.0), 1) << "100 % only at the end";
}

TEST(RenderJob, CancelDuringMultiplexingKeepsBothFiles) {
    for (const bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "over an earlier video" : "no earlier video");
        Job job;
        job.AddSound(2.0);
        if (earlier) job.AddEarlierVideo();
        bool inAudio = false;
        TRenderEvents events;
        events.OnProgress = [&](TRenderPhase phase, std::int32_t, std::int32_t,
                                const std::string&) {
            inAudio = inAudio || phase == TRenderPhase::Audio;
        };
        events.StopRequested = [&] { return inAudio; };
        const TRenderOutcome outcome = RunRender(job.Writer, job.Request, events);
        EXPECT_EQ(outcome.Status, TRenderStatus::Aborted);
        EXPECT_EQ(outcome.Phase, TRenderPhase::Audio);
        const std::string silent = earlier ? "show.silent.avi" : "temp.avi";
        const std::string partial = earlier ? "show.partial.avi" : "show.avi";
        EXPECT_EQ(outcome.KeptFile, job.Dir.File(silent));
        EXPECT_NE(outcome.FilesNote.find(job.Dir.File(silent)), std::string::npos)
            << outcome.FilesNote;
        EXPECT_NE(outcome.FilesNote.find(job.Dir.File(partial)), std::string::npos)
            << outcome.FilesNote;
        EXPECT_EQ(test::Probe(job.Dir.File(silent), "v:0", "stream=nb_frames"), "10");
        EXPECT_NE(test::Probe(job.Dir.File(partial), "v:0", "stream=codec_type"), "")
            << "the partial output is a readable AVI";
        if (earlier) {
            EXPECT_EQ(job.Earlier(), "an earlier video");
            EXPECT_EQ(job.FilesBeside(), (std::vector<std::string>{"show.avi", partial, silent}));
        } else {
            EXPECT_EQ(job.FilesBeside(), (std::vector<std::string>{"show.avi", "temp.avi"}));
        }
    }
}

TEST(RenderJob, FailuresLeaveTheEarlierVideoAlone) {
    // An unknown codec: nothing written, nothing reserved beside stays.
    Job codec;
    codec.AddEarlierVideo();
    codec.Request.FourCC = "QQQQ";
    TRenderOutcome outcome = RunRender(codec.Writer, codec.Request, {});
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_EQ(outcome.Message, "No compressor for QQQQ available");
    EXPECT_EQ(codec.Earlier(), "an earlier video");
    EXPECT_EQ(codec.FilesBeside(), std::vector<std::string>{"show.avi"});

    // The second picture cut short: the render stops there, and the first picture's frames are
    // kept beside the earlier video.
    Job picture;
    picture.AddEarlierVideo();
    const auto bytes = test::ReadFile(picture.Paths[1]);
    test::WriteFile(picture.Paths[1], {bytes.begin(), bytes.begin() + 200});
    outcome = RunRender(picture.Writer, picture.Request, {});
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_NE(outcome.Message.find("Cannot load picture " + picture.Paths[1]), std::string::npos)
        << outcome.Message;
    EXPECT_NE(outcome.FilesNote.find("The unfinished video was kept at " +
                                     picture.Dir.File("show.partial.avi") + "; "),
              std::string::npos)
        << outcome.FilesNote;
    EXPECT_NE(outcome.FilesNote.find("show.avi is unchanged."), std::string::npos)
        << outcome.FilesNote;
    EXPECT_EQ(outcome.KeptFile, picture.Dir.File("show.partial.avi"));
    EXPECT_EQ(picture.Earlier(), "an earlier video");
    EXPECT_EQ(picture.FilesBeside(), (std::vector<std::string>{"show.avi", "show.partial.avi"}));
    EXPECT_EQ(test::Probe(outcome.KeptFile, "v:0", "stream=nb_read_frames", true), "5");

    // A soundtrack whose frames cannot be multiplexed: the silent video is kept beside.
    Job sound;
    sound.AddEarlierVideo();
    sound.AddSound(1.0);
    outcome = RunRender(sound.Writer, sound.Request, SpoilSoundDuringTheVideo(sound));
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_EQ(outcome.Phase, TRenderPhase::Audio);
    EXPECT_NE(outcome.Message.find("No MPEG audio frame found in " + sound.Request.SoundFile),
              std::string::npos)
        << outcome.Message;
    EXPECT_EQ(outcome.KeptFile, sound.Dir.File("show.silent.avi"));
    EXPECT_EQ(sound.Earlier(), "an earlier video");
    EXPECT_EQ(sound.FilesBeside(), (std::vector<std::string>{"show.avi", "show.silent.avi"}));
    EXPECT_EQ(test::Probe(outcome.KeptFile, "v:0", "stream=nb_frames"), "10");
    EXPECT_EQ(test::Probe(outcome.KeptFile, "a", "stream=codec_type"), "");
}

TEST(RenderJob, WithoutAnEarlierVideoAFailedSoundtrackPutsTheSilentVideoBack) {
    Job sound;
    sound.AddSound(1.0);
    const TRenderOutcome outcome =
        RunRender(sound.Writer, sound.Request, SpoilSoundDuringTheVideo(sound));
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_EQ(outcome.KeptFile, sound.Request.OutputFile);
    EXPECT_NE(
        outcome.FilesNote.find("The video without sound was kept at " + sound.Request.OutputFile),
        std::string::npos)
        << outcome.FilesNote;
    EXPECT_EQ(sound.FilesBeside(), std::vector<std::string>{"show.avi"});
    EXPECT_EQ(test::Probe(sound.Request.OutputFile, "v:0", "stream=nb_frames"), "10");
}

TEST(RenderJob, ASoundtrackTheMultiplexingWouldRefuseFailsBeforeTheFirstFrame) {
    struct Case {
        const char* Name;
        std::function<void(const std::string&)> Make; // none: the file does not exist
        const char* Reason;
    };
    const Case cases[] = {
        {"noise", [](const std::string& p) { test::WriteText(p, std::string(50000, 'x')); },
         "No MPEG audio frame found in "},
        {"empty", [](const std::string& p) { test::WriteText(p, ""); }, ""},
        {"missing", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Job job;
        job.AddEarlierVideo();
        job.Request.SoundFile = job.Dir.File("song.mp3");
        if (c.Make) c.Make(job.Request.SoundFile);
        int reports = 0;
        TRenderEvents events;
        events.OnProgress = [&](TRenderPhase, std::int32_t, std::int32_t, const std::string&) {
            ++reports;
        };
        const TRenderOutcome outcome = RunRender(job.Writer, job.Request, events);
        EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
        EXPECT_EQ(
            outcome.Message.rfind("Cannot use the soundtrack " + job.Request.SoundFile + ": ", 0),
            0u)
            << outcome.Message;
        EXPECT_NE(outcome.Message.find(c.Reason), std::string::npos) << outcome.Message;
        EXPECT_FALSE(outcome.FrameLoopFailed);
        EXPECT_EQ(outcome.KeptFile, "");
        EXPECT_EQ(reports, 0) << "not a frame was made";
        EXPECT_FALSE(job.Writer.IsOpen);
        EXPECT_EQ(job.Earlier(), "an earlier video");
        EXPECT_EQ(job.FilesBeside(), std::vector<std::string>{"show.avi"});
    }
}

TEST(RenderJob, OnlyAFailureInTheFrameLoopIsMarkedAsSuch) {
    Job codec;
    codec.Request.FourCC = "QQQQ";
    EXPECT_FALSE(RunRender(codec.Writer, codec.Request, {}).FrameLoopFailed) << "the set-up";

    Job picture;
    test::WriteText(picture.Paths[0], "not a picture");
    const TRenderOutcome outcome = RunRender(picture.Writer, picture.Request, {});
    EXPECT_EQ(outcome.Status, TRenderStatus::Failed);
    EXPECT_TRUE(outcome.FrameLoopFailed) << outcome.Message;

    Job done;
    EXPECT_FALSE(RunRender(done.Writer, done.Request, {}).FrameLoopFailed);
}
