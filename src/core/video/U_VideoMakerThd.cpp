#include "video/U_VideoMakerThd.h"

#include "platform/base/U_Errors.h"

void TVideoMakerThd::Execute() {
    if (!AviWriter || !Inputs.PicturePaths) throw EMorvantaError("Video thread without inputs");
    TVideoMakerCallbacks callbacks;
    callbacks.Progress = [this](const TVideoMakerState& state, const TBitmap32* preview) {
        if (OnProgress) Synchronize([&] { OnProgress(state, preview); });
    };
    callbacks.StopRequested = [this] { return Terminated(); };
    MakeVideo(*AviWriter, Inputs, callbacks, state_);
}
