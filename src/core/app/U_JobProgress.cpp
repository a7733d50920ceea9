#include "app/U_JobProgress.h"

#include <algorithm>

namespace {

// The multiplexing's steps, by the line it logs before each, and their share of its time:
// the soundtrack scan, the copy of the video samples, the copy of the audio frames.
struct TAudioStep {
    const char* Text;
    double From;
    double To;
};
constexpr TAudioStep AudioSteps[] = {
    {"Loading MP3 file", 0.0, 0.1},
    {"Adding Video Stream", 0.1, 0.6},
    {"Adding Audio Stream", 0.6, 1.0},
};

double Ratio(std::int32_t position, std::int32_t max) {
    if (max <= 0) return 0;
    return std::clamp(static_cast<double>(position) / max, 0.0, 1.0);
}

} // namespace

void TJobProgress::Advance(double fraction) {
    fraction_ = std::max(fraction_, std::clamp(fraction, 0.0, 1.0));
}

void TJobProgress::VideoFrames(std::int32_t written, std::int32_t total) {
    framesWritten_ = std::max(framesWritten_, written);
    totalFrames_ = total;
    const double share = withSoundtrack_ ? VideoShare : 1.0;
    // The last frame ends the video only once the file is finished.
    Advance(share * std::min(Ratio(written, total), 0.999));
}

void TJobProgress::VideoDone() {
    framesWritten_ = totalFrames_;
    Advance(withSoundtrack_ ? VideoShare : 0.999);
}

void TJobProgress::AudioStep(std::int32_t position, std::int32_t max, const std::string& text) {
    phase_ = TRenderPhase::Audio;
    for (const TAudioStep& step : AudioSteps) {
        if (text != step.Text) continue;
        const double within = step.From + (step.To - step.From) * Ratio(position, max);
        // Up to the end of the file's closing, a little is always left.
        Advance(VideoShare + (1 - VideoShare) * std::min(within, 0.999));
    }
}

void TJobProgress::Finished() {
    Advance(1.0);
}
