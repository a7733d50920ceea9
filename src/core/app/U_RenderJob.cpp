#include "app/U_RenderJob.h"

#include <unistd.h>

#include <cerrno>
#include <exception>

#include "audio/U_Mux.h"
#include "platform/base/U_Errors.h"
#include "platform/os/U_FileOps.h"
#include "video/U_BmpToAvi.h"
#include "video/U_VideoMaker.h"

namespace {

TRenderOutcome Failed(TRenderPhase phase, std::string message) {
    TRenderOutcome outcome;
    outcome.Status = TRenderStatus::Failed;
    outcome.Phase = phase;
    outcome.Message = std::move(message);
    return outcome;
}

} // namespace

std::string BeginAudioPhase(const std::string& outputFile) {
    return MoveToIntermediate(outputFile);
}

std::string EndAudioPhase(TRenderStatus status, const std::string& intermediateFile,
                          const std::string& outputFile) {
    if (status == TRenderStatus::Aborted) return {};
    if (status == TRenderStatus::Done) {
        unlink(intermediateFile.c_str());
        return {};
    }
    unlink(outputFile.c_str());
    if (RenameNoReplace(intermediateFile, outputFile))
        return "The video without sound was kept at " + outputFile + ".";
    return "The video without sound was kept at " + intermediateFile + " (" +
           SystemErrorText(errno) + ").";
}

TRenderOutcome RunRender(TBmpToAvi& writer, const TRenderRequest& request,
                         const TRenderEvents& events) {
    const auto stopRequested = [&] { return events.StopRequested && events.StopRequested(); };
    TVideoMakerState state;
    writer.LastErrno = 0;
    writer.LeftoverFile.clear();
    try {
        writer.Width = request.Width;
        writer.Height = request.Height;
        writer.FrameDuration = request.FrameDuration;
        writer.FileName = request.OutputFile;
        writer.SetCodec(request.FourCC);
        writer.Open();

        TVideoMakerCallbacks callbacks;
        callbacks.Progress = [&](const TVideoMakerState& s, const TBitmap32* preview) {
            if (events.OnProgress)
                events.OnProgress(TRenderPhase::Video, s.Position, s.Total, "Processing Video");
            if (preview && events.OnPreview) events.OnPreview(*preview);
        };
        callbacks.StopRequested = stopRequested;
        MakeVideo(writer, request.Frames, callbacks, state);
    } catch (...) {
        writer.Abandon();
        std::string message = ExceptionMessage(std::current_exception());
        // The writer's own messages give only a result code: say which file and why.
        if (writer.LastErrno != 0)
            message += " Cannot write " + request.OutputFile + ": " +
                       SystemErrorText(writer.LastErrno) + ".";
        if (!writer.LeftoverFile.empty())
            message += " The unfinished file " + writer.LeftoverFile + " could not be removed.";
        return Failed(TRenderPhase::Video, std::move(message));
    }

    TRenderOutcome outcome;
    outcome.Phase = TRenderPhase::Video;
    if (state.Aborted) {
        outcome.Status = TRenderStatus::Aborted;
        return outcome;
    }
    if (GetFileSizeBytes(request.OutputFile) == 0) {
        return Failed(TRenderPhase::Video,
                      "An error occured while processing video. Please choose another codec or "
                      "different settings and retry.");
    }
    if (request.SoundFile.empty()) {
        outcome.Status = TRenderStatus::Done;
        return outcome;
    }

    outcome.Phase = TRenderPhase::Audio;
    std::string intermediate;
    try {
        intermediate = BeginAudioPhase(request.OutputFile);
    } catch (const std::exception& e) {
        return Failed(TRenderPhase::Audio, e.what());
    }
    TMuxEvents muxEvents;
    muxEvents.OnProgress = [&](std::int32_t position, std::int32_t max, const std::string& text) {
        if (events.OnProgress) events.OnProgress(TRenderPhase::Audio, position, max, text);
    };
    muxEvents.OnLog = events.OnLog;
    muxEvents.StopRequested = stopRequested;
    try {
        const bool complete =
            MuxVideoAndSound(intermediate, request.SoundFile, request.OutputFile, muxEvents);
        outcome.Status = complete ? TRenderStatus::Done : TRenderStatus::Aborted;
    } catch (const std::exception& e) {
        outcome.Status = TRenderStatus::Failed;
        outcome.Message = e.what();
    }
    const std::string note = EndAudioPhase(outcome.Status, intermediate, request.OutputFile);
    if (!note.empty()) outcome.Message += " " + note;
    if (outcome.Status == TRenderStatus::Aborted) outcome.IntermediateFile = intermediate;
    return outcome;
}
