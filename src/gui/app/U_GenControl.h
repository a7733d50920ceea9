#pragma once
// Generation control's own pieces, shared by U_GenControl.cpp (Go, Cancel, Match audio, the
// video phase) and U_GenControlMux.cpp (the audio phase and the end of a run). The window's
// threads carry the run's files from "Go !" to their end handlers, so that nothing of a run
// outlives it in the window.
#include <functional>
#include <string>

#include "app/U_OutputFiles.h"
#include "audio/U_MuxThd.h"
#include "video/U_VideoMakerThd.h"

class TMainDlg;

// What a run needs from "Go !" to its end.
struct TWindowRun {
    TRunFiles Files;
    std::string SoundFile; // sound_txt when "Go !" was pressed
};

class TWindowVideoThd : public TVideoMakerThd {
public:
    using TVideoMakerThd::TVideoMakerThd;
    TWindowRun Run;
};

class TWindowMuxThd : public TMuxThd {
public:
    using TMuxThd::TMuxThd;
    TWindowRun Run;
};

// Moves the finished silent video aside and starts the multiplexing thread as the window's
// worker. When the video cannot be moved or the thread cannot start, the run ends as after a
// failed multiplexing.
void StartAudioPhase(TMainDlg& window, const TWindowRun& run);

// Ends the run (controls back, CurrentWorker cleared, status texts cleared), then tells the
// user how it ended: the Done dialog, "Aborted by user." with what was kept, or the failure.
// `failure` is the error's own text; `threadFailed` puts the reset advice above it. Nothing is
// shown when the window is closing.
void FinishRun(TMainDlg& window, const TPhaseEnd& end, const std::string& failure,
               bool threadFailed);

// Runs a worker's end handler. Should it throw, the run still ends and the error is shown: a
// handler's error would otherwise go back to the worker and leave the window in its run.
void RunEndHandler(TMainDlg& window, const std::function<void()>& handler);
