#pragma once
// The window's run: RunRender, the very function morvanta-render calls, on a worker thread. Its
// reports reach the main thread through Synchronize, once per frame (the progress and the
// preview of a frame travel together); Cancel is Terminate, the run's stop request.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/U_RenderJob.h"
#include "platform/os/U_Thread.h"

class TBmpToAvi;

class TRenderThd : public TThread {
public:
    TRenderThd(IMainThreadDispatcher* dispatcher, TBmpToAvi& writer)
        : TThread(dispatcher), writer_(writer) {}
    ~TRenderThd() override;

    // Set before Start; the picture lists it points to stay unchanged until the thread ends.
    TRenderRequest Request;
    // "Cut on the beat": the songs' beats move the picture changes before the first frame; the
    // line saying what became of them goes to OnNote.
    bool BeatCuts = false;
    std::function<void(const std::string& text)> OnNote;

    // Both run on the main thread while the worker waits. `preview` is the frame just written
    // (video phase only), valid during the call; null for a frame that repeats the one before.
    std::function<void(TRenderPhase phase, std::int32_t position, std::int32_t max,
                       const std::string& text, const TBitmap32* preview)>
        OnProgress;
    std::function<void(const std::string& text)> OnLog;

    // How the run ended; read in OnTerminate or after the thread has ended.
    const TRenderOutcome& Outcome() const { return outcome_; }

protected:
    void Execute() override;

private:
    struct TReport {
        TRenderPhase Phase = TRenderPhase::Video;
        std::int32_t Position = 0;
        std::int32_t Max = 0;
        std::string Text;
    };
    // Hands the report held back (if any) to the main thread, with `preview` when given.
    void Flush(const TBitmap32* preview);

    TBmpToAvi& writer_;
    TRenderOutcome outcome_;
    std::optional<TReport> pending_;
};
