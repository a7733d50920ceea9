#include "video/U_PreviewPlayer.h"

#include <algorithm>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "video/U_FrameServer.h"

class TPreviewPlayer::TWorker : public TThread {
public:
    explicit TWorker(TPreviewPlayer& player) : player_(player) {}
    // Joined here, not in the base: a thread that has not reached Execute yet must not find
    // this part gone.
    ~TWorker() override {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override { player_.Run(*this); }

private:
    TPreviewPlayer& player_;
};

int FirstFrameOfPicture(const TFrameServer& server, int picture) {
    const int count = server.FrameCount();
    if (count < 1) return 0;
    if (static_cast<std::size_t>(std::max(picture, 0)) >= server.PictureCount()) return count - 1;
    const long long first = server.Slot(std::max(picture, 0)).Start;
    return static_cast<int>(std::min<long long>(first, count - 1));
}

void FitPreviewSize(int outW, int outH, int panelW, int panelH, int& width, int& height) {
    width = std::max(panelW, 1);
    height = std::max(panelH, 1);
    if (outW < 1 || outH < 1) return;
    // Wider than the panel: full width, fewer rows; else full height, fewer columns.
    if (static_cast<long long>(outW) * height > static_cast<long long>(outH) * width)
        height = std::max(1, RoundToInt(static_cast<long double>(width) * outH / outW));
    else
        width = std::max(1, RoundToInt(static_cast<long double>(height) * outW / outH));
}

TPreviewPlayer::TPreviewPlayer(TPreviewRequest request)
    : request_(std::move(request)), paths_(request_.Paths), captions_(request_.Captions),
      created_(TPreviewClock::now()),
      slots_(static_cast<std::size_t>(std::max(request_.Depth, 2))) {
    if (request_.FrameDuration < 1) throw EMorvantaError("Invalid frame duration");
    worker_ = std::make_unique<TWorker>(*this);
    worker_->Start();
}

TPreviewPlayer::~TPreviewPlayer() {
    Stop();
    worker_.reset(); // joins
}

void TPreviewPlayer::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    if (worker_) worker_->Terminate();
    changed_.notify_all();
}

bool TPreviewPlayer::Finished() const {
    return !worker_ || worker_->Finished();
}

int TPreviewPlayer::StartFrame() const {
    std::lock_guard lock(mutex_);
    return startFrame_;
}

int TPreviewPlayer::FrameCount() const {
    std::lock_guard lock(mutex_);
    return frameCount_;
}

TPreviewStats TPreviewPlayer::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

void TPreviewPlayer::Run(TThread& thread) {
    try {
        const TVideoMakerInputs& in = request_.Frames;
        const int framesPerPicture =
            ::FramesPerPicture(in.PictureDurationMs, request_.FrameDuration, in.SingleFrame);
        // Made as the render makes its server, at the panel's size.
        TFrameServer server(paths_, &captions_, framesPerPicture, request_.Height, request_.Width,
                            ShowStyleOf(in), in.MaxPicturePixels,
                            TPictureOptions{.AutoRotate = in.AutoRotate, .SmallTarget = true});
        if (!in.PictureStyles.empty())
            server.SetPictureStyles(in.PictureStyles, in.SingleFrame ? 0 : request_.FrameDuration);
        server.PrefetchPictures(true);
        if (request_.OutputWidth > 0)
            server.SetCaptionScale(static_cast<double>(request_.Width) / request_.OutputWidth);
        const int count = server.FrameCount();
        int start = FirstFrameOfPicture(server, request_.StartPicture);
        if (request_.StartMs >= 0)
            start = static_cast<int>(std::clamp<long long>(
                request_.StartMs / request_.FrameDuration, 0, std::max(count - 1, 0)));
        const int total = std::max(count, 0) - start;
        const int depth = static_cast<int>(slots_.size());
        {
            std::lock_guard lock(mutex_);
            startFrame_ = start;
            frameCount_ = std::max(count, 0);
        }
        changed_.notify_all();
        int next = 0;
        for (;;) {
            int k = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return stopped_ || thread.Terminated() ||
                           std::max(next, skipTo_) - wanted_ < depth;
                });
                if (stopped_ || thread.Terminated()) return;
                k = std::max(next, skipTo_);
            }
            if (k >= total) return;
            // The slot is the worker's alone: the caller reads only published offsets.
            server.GetFrame(slots_[static_cast<std::size_t>(k % depth)].Frame, start + k);
            Publish(k);
            next = k + 1;
        }
    } catch (...) {
        {
            std::lock_guard lock(mutex_);
            error_ = std::current_exception();
        }
        changed_.notify_all();
    }
}

void TPreviewPlayer::Publish(int k) {
    {
        std::lock_guard lock(mutex_);
        slots_[static_cast<std::size_t>(k) % slots_.size()].Index = k;
        made_ = k + 1;
    }
    changed_.notify_all();
}

TPreviewPoll TPreviewPlayer::Poll(TPreviewClock::time_point now, TBitmap32& frame) {
    TPreviewPoll poll;
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return poll;
        if (error_) {
            poll.Ended = true;
            poll.Error = error_;
            return poll;
        }
        if (frameCount_ < 0) return poll;
        const int total = frameCount_ - startFrame_;
        const int depth = static_cast<int>(slots_.size());
        const auto isMade = [&](int k) {
            return k >= 0 && k < made_ && slots_[static_cast<std::size_t>(k % depth)].Index == k;
        };
        if (total <= 0) {
            poll.Ended = true;
            return poll;
        }
        if (!clockStarted_) {
            if (!isMade(0)) return poll;
            clockStarted_ = true;
            clockStart_ = now;
            stats_.FirstFrameMs = std::chrono::duration<double, std::milli>(now - created_).count();
        }
        const std::chrono::microseconds period(static_cast<long long>(request_.FrameDuration) *
                                               1000);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(now - clockStart_);
        const long long dueLong = elapsed.count() < 0 ? 0 : elapsed / period;
        if (dueLong >= total) {
            // The last frame's time is over.
            if (wanted_ < total) stats_.Dropped += total - wanted_;
            wanted_ = total;
            poll.Ended = true;
            return poll;
        }
        const int due = static_cast<int>(dueLong);
        int shown = -1;
        for (int k = std::min(due, made_ - 1); k >= wanted_; --k)
            if (isMade(k)) {
                shown = k;
                break;
            }
        if (shown >= 0) {
            stats_.Dropped += shown - wanted_;
            std::swap(frame, slots_[static_cast<std::size_t>(shown % depth)].Frame);
            slots_[static_cast<std::size_t>(shown % depth)].Index = -1;
            const auto late = now - (clockStart_ + shown * period);
            stats_.WorstLateMs = std::max(stats_.WorstLateMs,
                                          std::chrono::duration<double, std::milli>(late).count());
            ++stats_.Shown;
            wanted_ = shown + 1;
            poll.NewFrame = true;
            poll.Index = startFrame_ + shown;
        }
        if (due > wanted_) {
            // Behind: the frames before the due one can no longer be shown in time, and the
            // worker jumps to the due one.
            stats_.Dropped += due - wanted_;
            wanted_ = due;
        }
        skipTo_ = std::max(skipTo_, wanted_);
    }
    changed_.notify_all();
    return poll;
}
