#pragma once
// The whole road of one render, for both programs: the silent video is rendered to the output
// path; with a soundtrack it is moved to an intermediate file beside it and multiplexed with the
// MP3 into the output path. Success deletes the intermediate file; a failed multiplexing puts
// the silent video back at the output path; a cancel keeps both files.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_VideoMaker.h"

class TBmpToAvi;

enum class TRenderPhase { Video, Audio };

struct TRenderRequest {
    std::string OutputFile;
    std::string SoundFile; // empty: no soundtrack
    int Width = 640;
    int Height = 480;
    int FrameDuration = 66;
    std::string FourCC;
    TVideoMakerInputs Frames; // the picture list, time per picture and visual options
};

struct TRenderEvents {
    std::function<void(TRenderPhase, std::int32_t position, std::int32_t max,
                       const std::string& text)>
        OnProgress;
    std::function<void(const TBitmap32& frame)> OnPreview;
    std::function<void(const std::string& text)> OnLog;
    std::function<bool()> StopRequested;
};

enum class TRenderStatus { Done, Aborted, Failed };

struct TRenderOutcome {
    TRenderStatus Status = TRenderStatus::Failed;
    TRenderPhase Phase = TRenderPhase::Video; // the phase that ended the run
    std::string Message;                      // the error's text for Failed
    std::string IntermediateFile;             // kept after a cancelled multiplexing
};

// Runs the render on the calling thread. `writer` is configured and opened here.
TRenderOutcome RunRender(TBmpToAvi& writer, const TRenderRequest& request,
                         const TRenderEvents& events);

// Audio phase around MuxVideoAndSound, for callers that run the phases on their own threads:
// moves the finished video aside and returns the intermediate file's path (throws on failure).
std::string BeginAudioPhase(const std::string& outputFile);
// After the multiplexing: on success the intermediate file is deleted; on failure the partial
// output is deleted and the silent video renamed back (returns the text to add to the error);
// on cancel both files stay.
std::string EndAudioPhase(TRenderStatus status, const std::string& intermediateFile,
                          const std::string& outputFile);
