#pragma once
// Generation control's pieces shared by U_GenControl.cpp ("Go !", Cancel, Match audio and the
// run's reports) and U_GenControlEnd.cpp (what the user is told when a run ends). The run itself
// is the core's, the same that morvanta-render runs (RunRender on a TRenderThd): the window adds
// only its controls, its messages and the Done dialog.
#include <string>

#include "app/U_RenderJob.h"

class TMainDlg;
class TThread;

// Ends the run (controls back, CurrentWorker cleared, status texts cleared), then tells the
// user how it ended: the Done dialog, "Aborted by user." with what was kept, or the failure.
// Nothing is shown when the window is closing.
void FinishRun(TMainDlg& window, const TRenderOutcome& outcome);

// The end handler of the render thread: its outcome, or the error that ended the thread.
void RenderThreadDone(TMainDlg& window, TThread& thread);
