#include "audio/U_MuxThd.h"

#include "audio/U_Mux.h"

TMuxThd::~TMuxThd() {
    // The body uses this object's members: stop and join before they are destroyed.
    Terminate();
    WaitFor();
}

void TMuxThd::Execute() {
    aborted_ = false;
    TMuxEvents events;
    events.OnProgress = [this](std::int32_t position, std::int32_t max, const std::string& text) {
        if (OnProgress) Synchronize([&] { OnProgress(position, max, text); });
    };
    events.OnLog = [this](const std::string& text) {
        if (OnLog) Synchronize([&] { OnLog(text); });
    };
    events.StopRequested = [this] { return Terminated(); };
    // "Done" is logged exactly when the run completes, so Aborted follows the same outcome.
    aborted_ = !MuxVideoAndSound(VideoFile, SoundFile, OutputFile, events);
}
