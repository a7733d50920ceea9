#pragma once
// The progress of a whole job, the video and then the soundtrack, as one fraction that only
// moves forward: a bar drawn from it never jumps back when a phase or a step ends.
#include <cstdint>
#include <string>

enum class TRenderPhase { Video, Audio };

class TJobProgress {
public:
    explicit TJobProgress(bool withSoundtrack) : withSoundtrack_(withSoundtrack) {}

    // After `written` frames of `total` are in the video.
    void VideoFrames(std::int32_t written, std::int32_t total);
    // The video is complete.
    void VideoDone();
    // A report of the multiplexing; `text` is its last logged line, which names the step.
    void AudioStep(std::int32_t position, std::int32_t max, const std::string& text);
    // The whole job is complete: 1.
    void Finished();

    // 0 to 1, never smaller than before.
    double Fraction() const { return fraction_; }
    TRenderPhase Phase() const { return phase_; }
    std::int32_t FramesWritten() const { return framesWritten_; }
    std::int32_t TotalFrames() const { return totalFrames_; }

    // The share of the job given to the video when a soundtrack follows: the multiplexing only
    // copies bytes, far faster than compressing them.
    static constexpr double VideoShare = 0.95;

private:
    void Advance(double fraction);

    bool withSoundtrack_;
    TRenderPhase phase_ = TRenderPhase::Video;
    double fraction_ = 0;
    std::int32_t framesWritten_ = 0;
    std::int32_t totalFrames_ = 0;
};
