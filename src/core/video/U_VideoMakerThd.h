#pragma once
// The worker thread of one render: runs MakeVideo and hands every progress report to the main
// thread through Synchronize. Cancel is Terminate; a failure is kept as the thread's error.
#include <functional>

#include "platform/os/U_Thread.h"
#include "video/U_VideoMaker.h"

class TVideoMakerThd : public TThread {
public:
    explicit TVideoMakerThd(IMainThreadDispatcher* dispatcher = nullptr) : TThread(dispatcher) {}

    // Inputs, set before Start.
    TVideoWriter* AviWriter = nullptr;
    TVideoMakerInputs Inputs;
    // Runs on the main thread after every report; the worker waits for it. The preview exists
    // only during the call.
    std::function<void(const TVideoMakerState&, const TBitmap32* preview)> OnProgress;

    // Outputs, read on the main thread (in OnProgress or after the thread ended).
    int Position() const { return state_.Position; }
    int Total() const { return state_.Total; }
    bool Aborted() const { return state_.Aborted; }

protected:
    void Execute() override;

private:
    TVideoMakerState state_;
};
