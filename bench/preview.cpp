// Times the live preview as the window plays it: frames at the preview's size for an output of
// WIDTHxHEIGHT at FPS, polled every 4 ms as the window's timer does, in real time over the
// whole show. Prints the first frame's delay and the frames shown and dropped.
// Usage: morvanta-bench-preview WIDTHxHEIGHT FPS MS_PER_PICTURE PICTURE...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "app/U_RunSettings.h"
#include "platform/base/U_Errors.h"
#include "video/U_PreviewPlayer.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s WIDTHxHEIGHT FPS MS_PER_PICTURE PICTURE...\n", argv[0]);
        return 2;
    }
    TRunInputs inputs;
    inputs.Resolution = argv[1];
    inputs.FramesPerSecond = std::atof(argv[2]);
    inputs.TimePerPicture = std::atof(argv[3]);
    inputs.DynamicsChecked = true; // every visual option on: the most work per frame
    const TRunSettings settings = DeriveRunSettings(inputs);
    TPreviewRequest request;
    request.Paths.assign(argv + 4, argv + argc);
    for (std::size_t i = 0; i < request.Paths.size(); ++i)
        request.Captions.push_back("Picture " + std::to_string(i + 1));
    request.Frames = FrameInputsFor(settings, nullptr, nullptr, true);
    // As the window makes them: at the size of its 120 x 90 panel, captions shrunk with them.
    FitPreviewSize(settings.Width, settings.Height, 120, 90, request.Width, request.Height);
    request.OutputWidth = settings.Width;
    request.FrameDuration = settings.FrameDuration;
    try {
        TPreviewPlayer player(request);
        TBitmap32 frame;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
            const TPreviewPoll poll = player.Poll(TPreviewClock::now(), frame);
            if (poll.Error) std::rethrow_exception(poll.Error);
            if (poll.Ended) break;
        }
        const TPreviewStats stats = player.Stats();
        std::printf("%dx%d at %d fps (frames %dx%d, %d ms each), %zu pictures of %d ms, "
                    "options %s%s%s\n",
                    settings.Width, settings.Height, settings.FrameRate, request.Width,
                    request.Height, settings.FrameDuration, request.Paths.size(),
                    settings.PictureDurationMs, settings.DynamicPictures ? "pan " : "",
                    settings.CrossFade ? "fade " : "", settings.CaptionText ? "captions" : "");
        std::printf("first frame %.1f ms, shown %d, dropped %d, latest frame %.1f ms after its "
                    "time\n",
                    stats.FirstFrameMs, stats.Shown, stats.Dropped, stats.WorstLateMs);
        return stats.Dropped == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
