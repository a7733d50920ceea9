#include "app/U_RenderThd.h"

#include "app/U_WindowRunChoices.h"

TRenderThd::~TRenderThd() {
    // The body uses this object's members: stop and join before they are destroyed.
    Terminate();
    WaitFor();
}

void TRenderThd::Flush(const TBitmap32* preview) {
    if (!pending_) return;
    const TReport report = std::move(*pending_);
    pending_.reset();
    if (OnProgress)
        Synchronize(
            [&] { OnProgress(report.Phase, report.Position, report.Max, report.Text, preview); });
}

void TRenderThd::Execute() {
    TRenderEvents events;
    // A frame's report is followed by its preview (null for a frame that repeats the one
    // before): it is held back until the preview comes, or until the next event when none does
    // (the reports before the first frame and after the last), so that the main thread is
    // called once per frame.
    events.OnProgress = [this](TRenderPhase phase, std::int32_t position, std::int32_t max,
                               const std::string& text) {
        Flush(nullptr);
        pending_ = TReport{phase, position, max, text};
        if (phase != TRenderPhase::Video) Flush(nullptr);
    };
    events.OnPreview = [this](const TBitmap32* frame) { Flush(frame); };
    events.OnLog = [this](const std::string& text) {
        Flush(nullptr);
        if (OnLog) Synchronize([&] { OnLog(text); });
    };
    events.StopRequested = [this] { return Terminated(); };
    if (BeatCuts) {
        const std::string note = CutRequestOnTheBeat(Request);
        if (OnNote) Synchronize([&] { OnNote(note); });
    }
    outcome_ = RunRender(writer_, Request, events);
    Flush(nullptr);
}
