#pragma once
// The whole road of one render on the calling thread: the soundtrack's check, the files of the
// run (U_OutputFiles), the writer set-up (U_WriterSetup), the video, and with a soundtrack the
// multiplexing. morvanta-render calls it directly, the window on its render thread
// (U_RenderThd), so that every rule of a run exists once.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "app/U_JobProgress.h"
#include "app/U_OutputFiles.h"
#include "audio/U_MediaFinish.h"
#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_VideoMaker.h"

class TBmpToAvi;
class TVideoWriter;

struct TRenderRequest {
    std::string OutputFile;
    std::string SoundFile; // empty: no soundtrack
    // Songs played after SoundFile, cross-faded over SongFadeMs (U_SongList).
    std::vector<std::string> MoreSongs;
    int SongFadeMs = 1000;
    int Width = 640;
    int Height = 480;
    int FrameDuration = 66;
    std::string FourCC;
    int FrameRate = 0; // exact frames per second for MP4, MKV and WebM; 0: 1000 / FrameDuration
    // The soundtrack in MP4, MKV and WebM files (the AVI copies the MP3 whole, as it always did).
    TSoundMode SoundMode = TSoundMode::Auto;
    int FadeOutMs = 2000;
    TVideoMakerInputs Frames; // the picture list, time per picture and visual options
};

struct TRenderEvents {
    // Each phase's own reports, as the window's progress bar shows them.
    std::function<void(TRenderPhase, std::int32_t position, std::int32_t max,
                       const std::string& text)>
        OnProgress;
    // The whole job's progress, after every report of either phase and at its end.
    std::function<void(const TJobProgress&)> OnJobProgress;
    // Each frame written, after its progress report; null for a frame that repeats the one
    // before.
    std::function<void(const TBitmap32* frame)> OnPreview;
    std::function<void(const std::string& text)> OnLog;
    std::function<bool()> StopRequested;
};

struct TRenderOutcome {
    TRenderStatus Status = TRenderStatus::Failed;
    TRenderPhase Phase = TRenderPhase::Video; // the phase that ended the run
    std::string Message;                      // the error's text for Failed
    // What became of the files when the job did not complete ("" otherwise).
    std::string FilesNote;
    // The finished output, or what was kept of an unfinished job; "" for nothing.
    std::string KeptFile;
    // Failed inside the frame loop (a picture, the encoder, the disk), not in the checks and
    // the set-up before the first frame nor with an empty output.
    bool FrameLoopFailed = false;
};

// How a video phase ended, from what its frame loop left: the error that ended it (null for none)
// and whether a stop request ended it; a render that wrote nothing has failed too. After an error
// the writer's unfinished file is abandoned. `message` receives the text for Failed: the error's
// own, naming the file and the system's reason, or the empty-output text.
TRenderStatus VideoPhaseStatus(TVideoWriter& writer, const TRunFiles& files,
                               const std::exception_ptr& error, bool aborted, std::string& message);

// Runs the render on the calling thread. The output's extension chooses the container: the AVI
// is written by `writer`, set up and opened here; MP4, MKV and WebM by a writer of their own. A
// soundtrack the multiplexing would refuse fails the run before anything is written.
TRenderOutcome RunRender(TBmpToAvi& writer, const TRenderRequest& request,
                         const TRenderEvents& events);
