#include "video/U_VideoMaker.h"

#include "platform/base/U_Rounding.h"
#include "video/U_FrameAhead.h"
#include "video/U_FrameServer.h"
#include "video/U_VideoWriter.h"

namespace {

// What the frames written before a failure become. Called while the failure is in flight, so a
// second failure while finishing is not passed on: the writer then removes its file itself.
void FinishAfterFailure(TVideoWriter& writer) {
    if (writer.CanFinish() && writer.FramesAdded() > 0) {
        try {
            writer.Close();
            return;
        } catch (...) {
        }
    }
    writer.Abandon();
}

} // namespace

TShowStyle ShowStyleOf(const TVideoMakerInputs& inputs) {
    TShowStyle style = inputs.Style;
    style.DynamicPictures = inputs.DynamicPictures;
    style.CrossFade = inputs.CrossFade;
    style.CaptionText = inputs.CaptionText;
    style.Greyscale = inputs.Greyscale;
    style.Sepia = inputs.Sepia;
    return style;
}

int FramesPerPicture(int pictureDurationMs, int frameDuration, bool singleFrame) {
    if (singleFrame || frameDuration <= 0) return 1;
    const int frames = RoundToInt(static_cast<long double>(pictureDurationMs) / frameDuration);
    return frames < 1 ? 1 : frames;
}

void MakeVideo(TVideoWriter& writer, const TVideoMakerInputs& inputs,
               const TVideoMakerCallbacks& callbacks, TVideoMakerState& state) {
    const auto report = [&](const TBitmap32* preview) {
        if (callbacks.Progress) callbacks.Progress(state, preview);
    };
    const auto stopRequested = [&] { return callbacks.StopRequested && callbacks.StopRequested(); };
    try {
        const int framesPerPicture =
            FramesPerPicture(inputs.PictureDurationMs, writer.FramePeriodMs(), inputs.SingleFrame);
        {
            TFrameServer server(*inputs.PicturePaths, inputs.PictureCaptions, framesPerPicture,
                                writer.VideoHeight(), writer.VideoWidth(), ShowStyleOf(inputs),
                                inputs.MaxPicturePixels,
                                TPictureOptions{.AutoRotate = inputs.AutoRotate});
            if (!inputs.PictureStyles.empty())
                server.SetPictureStyles(inputs.PictureStyles,
                                        inputs.SingleFrame ? 0 : writer.FramePeriodMs());
            state.Position = 0;
            state.Total = server.FrameCount();
            report(nullptr);
            state.Aborted = false;
            if (inputs.Sequential) {
                TBitmap32 frame;
                for (int i = 0; i < state.Total; ++i) {
                    if (stopRequested()) break;
                    server.GetFrame(frame, i);
                    writer.AddFrame(frame);
                    state.Position = i;
                    report(&frame);
                }
            } else {
                server.PrefetchPictures(true);
                // The worker also converts the frames to the codec's pixel format.
                const std::unique_ptr<TFrameConverter> converter = writer.MakeFrameConverter();
                // Destroyed before the server and the converter: its worker stops first.
                TFrameAhead ahead(server, state.Total, converter.get());
                for (int i = 0; i < state.Total; ++i) {
                    if (stopRequested()) break;
                    TAheadFrame& made = ahead.Acquire(i);
                    if (made.IsConverted)
                        writer.AddConvertedFrame(made.Converted);
                    else
                        writer.AddFrame(made.Frame);
                    state.Position = i;
                    state.Repeated = made.Repeats;
                    report(made.Repeats ? nullptr : &made.Frame);
                    state.Repeated = false;
                    ahead.Release();
                }
            }
        }
        writer.Close();
        state.Aborted = stopRequested();
        state.Position = 0;
        report(nullptr);
    } catch (...) {
        FinishAfterFailure(writer);
        throw;
    }
}
