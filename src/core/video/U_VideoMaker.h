#pragma once
// The frame loop of one render: every frame of the slideshow, in order, from a frame server
// into an opened writer (the AVI or another container). Shared by the video maker thread, the
// window and morvanta-render.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_ShowStyle.h"

class TVideoWriter;

struct TVideoMakerInputs {
    int PictureDurationMs = 3000;
    TStringList* PicturePaths = nullptr;          // borrowed, read only during the render
    const TStringList* PictureCaptions = nullptr; // borrowed, may be null
    bool DynamicPictures = false;
    bool CrossFade = false;
    bool CaptionText = false;
    bool SingleFrame = false;
    bool Greyscale = false;
    bool Sepia = false;
    // The show's look beyond the five options above, which are taken from those fields.
    TShowStyle Style;
    // What single pictures change, index-parallel to PicturePaths (may be shorter). Their
    // times are ignored in single-frame mode.
    std::vector<TPictureStyle> PictureStyles;
    std::uint64_t MaxPicturePixels = 256ull * 1000 * 1000;
    bool AutoRotate = true; // JPEGs turned upright by their EXIF orientation
    // The plain loop: every frame made, then compressed, on the calling thread, no picture
    // loaded ahead. The default overlaps frame making and picture loading with compression;
    // both write the same frames.
    bool Sequential = false;
};

struct TVideoMakerState {
    int Position = 0; // index of the last frame written; 0 before the first and at the end
    int Total = 0;    // frames of the render
    bool Aborted = false;
    bool Repeated = false; // the frame last written is the one before it again
};

struct TVideoMakerCallbacks {
    // After every frame (preview = that frame, or null when it repeats the frame before: the
    // last preview still shows it) and at the start and end (preview = null, Repeated false).
    std::function<void(const TVideoMakerState&, const TBitmap32* preview)> Progress;
    // Polled before every frame.
    std::function<bool()> StopRequested;
};

// The server's style: inputs.Style with the five plain options of `inputs`.
TShowStyle ShowStyleOf(const TVideoMakerInputs& inputs);

// round(durationMs / frameDuration) with ties to even; 0 becomes 1; single frame gives 1.
int FramesPerPicture(int pictureDurationMs, int frameDuration, bool singleFrame);

// Renders every frame into `writer` (already opened) and closes it. A stop request ends the
// loop before the next frame and still closes the writer (the partial video stays). A failure
// is passed on with `state` keeping the last frame written; before that, the frames written so
// far are finished into a playable file when the failure lay outside the writer (a picture that
// cannot be loaded). A writer that failed itself, or that has no frame yet, is abandoned: its
// unfinished file is removed. The caller chooses the writer's FileName so that neither can
// destroy an older video (U_OutputFiles).
void MakeVideo(TVideoWriter& writer, const TVideoMakerInputs& inputs,
               const TVideoMakerCallbacks& callbacks, TVideoMakerState& state);
