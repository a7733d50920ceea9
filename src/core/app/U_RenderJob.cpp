#include "app/U_RenderJob.h"

#include <exception>
#include <vector>

#include "app/U_Preflight.h"
#include "app/U_WriterSetup.h"
#include "audio/U_AviSoundtrack.h"
#include "audio/U_Mux.h"
#include "audio/U_SongProbe.h"
#include "platform/base/U_Errors.h"
#include "platform/os/U_FileOps.h"
#include "video/U_BmpToAvi.h"
#include "video/U_MediaWriter.h"

namespace {

constexpr const char* EmptyOutputText =
    "An error occured while processing video. Please choose another codec or different settings "
    "and retry.";

TRenderOutcome Outcome(TRenderPhase phase, const TPhaseEnd& end, std::string message) {
    TRenderOutcome outcome;
    outcome.Status = end.Status;
    outcome.Phase = phase;
    outcome.Message = std::move(message);
    outcome.KeptFile = end.KeptFile;
    if (end.Status != TRenderStatus::Done) outcome.FilesNote = end.Note;
    return outcome;
}

// The writer's own messages give only a result code: say which file and why.
std::string VideoFailureText(const TVideoWriter& writer, const std::string& outputFile,
                             const std::exception_ptr& error) {
    std::string message = ExceptionMessage(error);
    if (writer.SystemError() != 0)
        message +=
            " Cannot write " + outputFile + ": " + SystemErrorText(writer.SystemError()) + ".";
    if (!writer.Leftover().empty())
        message += " The unfinished file " + writer.Leftover() + " could not be removed.";
    return message;
}

// MP4 always gets a last pass (its index goes to the front); MKV and WebM only to add sound.
bool NeedsFinish(TContainer container, bool withSound) {
    if (container == TContainer::Avi) return withSound;
    return container == TContainer::Mp4 || withSound;
}

// A soundtrack that cannot go into the container is refused before the first frame.
void CheckSoundFits(const TRenderRequest& request, TContainer container) {
    if (request.SoundFile.empty() || container == TContainer::Avi) return;
    SoundEncoderFor(container, request.SoundMode, ProbeSong(request.SoundFile, true),
                    1 + request.MoreSongs.size());
}

} // namespace

TRenderStatus VideoPhaseStatus(TVideoWriter& writer, const TRunFiles& files,
                               const std::exception_ptr& error, bool aborted,
                               std::string& message) {
    if (error) {
        writer.Abandon();
        message = VideoFailureText(writer, files.OutputFile, error);
        return TRenderStatus::Failed;
    }
    if (aborted) return TRenderStatus::Aborted;
    if (GetFileSizeBytes(files.VideoFile) == 0) {
        message = EmptyOutputText;
        return TRenderStatus::Failed;
    }
    return TRenderStatus::Done;
}

TRenderOutcome RunRender(TBmpToAvi& aviWriter, const TRenderRequest& request,
                         const TRenderEvents& events) {
    const auto stopRequested = [&] { return events.StopRequested && events.StopRequested(); };
    const TContainer container = ContainerOf(request.OutputFile);
    TMediaWriter mediaWriter;
    TVideoWriter& writer =
        container == TContainer::Avi ? static_cast<TVideoWriter&>(aviWriter) : mediaWriter;
    const bool finishFollows = NeedsFinish(container, !request.SoundFile.empty());
    TJobProgress progress(finishFollows);
    const auto reportJob = [&] {
        if (events.OnJobProgress) events.OnJobProgress(progress);
    };

    // The songs may have changed since they were chosen: checked again before the first frame,
    // so that one is not found unusable only after the whole video.
    if (!request.SoundFile.empty()) {
        std::vector<std::string> songs{request.SoundFile};
        songs.insert(songs.end(), request.MoreSongs.begin(), request.MoreSongs.end());
        for (const std::string& song : songs)
            if (auto refusal = SoundtrackRefusal(song)) {
                TRenderOutcome outcome;
                outcome.Message = std::move(*refusal);
                return outcome;
            }
    }

    TRunFiles files;
    try {
        CheckSoundFits(request, container);
        files = BeginRunFiles(request.OutputFile);
    } catch (const std::exception& e) {
        TRenderOutcome outcome;
        outcome.Message = e.what();
        return outcome;
    }

    TVideoMakerState state;
    std::exception_ptr failure;
    bool frameLoop = false;
    try {
        SetUpWriter(writer, {request.Width, request.Height, request.FrameDuration, request.FourCC,
                             files.VideoFile, request.FrameRate, files.KeepsEarlierFile});
        TVideoMakerCallbacks callbacks;
        callbacks.Progress = [&](const TVideoMakerState& s, const TBitmap32* preview) {
            if (events.OnProgress)
                events.OnProgress(TRenderPhase::Video, s.Position, s.Total, "Processing Video");
            // The reports before the first frame and after the last have no frame.
            if (!preview && !s.Repeated) return;
            progress.VideoFrames(s.Position + 1, s.Total);
            reportJob();
            if (events.OnPreview) events.OnPreview(preview);
        };
        callbacks.StopRequested = stopRequested;
        frameLoop = true;
        MakeVideo(writer, request.Frames, callbacks, state);
    } catch (...) {
        failure = std::current_exception();
    }

    std::string error;
    TRenderStatus status = VideoPhaseStatus(writer, files, failure, state.Aborted, error);
    const bool soundFollows = status == TRenderStatus::Done && finishFollows;
    const TPhaseEnd videoEnd = EndVideoPhase(files, status, soundFollows);
    if (!soundFollows) {
        if (videoEnd.Status == TRenderStatus::Done) {
            progress.Finished();
            reportJob();
        }
        TRenderOutcome outcome = Outcome(TRenderPhase::Video, videoEnd, error);
        outcome.FrameLoopFailed = frameLoop && failure;
        return outcome;
    }
    progress.VideoDone();
    reportJob();

    try {
        BeginAudioPhase(files);
    } catch (const std::exception& e) {
        return Outcome(TRenderPhase::Audio, EndAudioPhase(files, TRenderStatus::Failed), e.what());
    }
    TMuxEvents muxEvents;
    muxEvents.OnProgress = [&](std::int32_t position, std::int32_t max, const std::string& text) {
        if (events.OnProgress) events.OnProgress(TRenderPhase::Audio, position, max, text);
        progress.AudioStep(position, max, text);
        reportJob();
    };
    muxEvents.OnLog = events.OnLog;
    muxEvents.StopRequested = stopRequested;
    try {
        bool complete = false;
        if (container == TContainer::Avi) {
            // Anything but one MPEG audio song first becomes an MP3 the multiplexing can cut.
            TAviSoundtrack sound;
            std::vector<std::string> songs{request.SoundFile};
            songs.insert(songs.end(), request.MoreSongs.begin(), request.MoreSongs.end());
            const auto encoding = [&](std::int32_t done, std::int32_t total) {
                muxEvents.OnProgress(done, total, "Encoding the soundtrack");
            };
            complete =
                sound.Prepare(songs, request.SongFadeMs, files.OutputFile, encoding,
                              stopRequested) &&
                MuxVideoAndSound(files.IntermediateFile, sound.File(), files.MuxFile, muxEvents);
        } else {
            TMediaFinish finish;
            finish.VideoFile = files.IntermediateFile;
            if (!request.SoundFile.empty()) {
                finish.Songs = {request.SoundFile};
                finish.Songs.insert(finish.Songs.end(), request.MoreSongs.begin(),
                                    request.MoreSongs.end());
            }
            finish.SongFadeMs = request.SongFadeMs;
            finish.OutputFile = files.MuxFile;
            finish.Frames = writer.FramesAdded();
            finish.FrameRate = request.FrameRate;
            finish.FrameDuration = request.FrameDuration;
            finish.Sound = request.SoundMode;
            finish.FadeOutMs = request.FadeOutMs;
            complete = FinishMedia(finish, muxEvents);
        }
        status = complete ? TRenderStatus::Done : TRenderStatus::Aborted;
    } catch (const std::exception& e) {
        status = TRenderStatus::Failed;
        error = e.what();
    }
    const TPhaseEnd audioEnd = EndAudioPhase(files, status);
    if (audioEnd.Status == TRenderStatus::Done) {
        progress.Finished();
        reportJob();
    }
    return Outcome(TRenderPhase::Audio, audioEnd, error);
}
