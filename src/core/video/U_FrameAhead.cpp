#include "video/U_FrameAhead.h"

#include "platform/base/U_Errors.h"
#include "video/U_FrameServer.h"

TFrameAhead::TFrameAhead(TFrameServer& server, int total, TFrameConverter* converter, int depth)
    : server_(server), converter_(converter), total_(total),
      slots_(static_cast<std::size_t>(depth < 1 ? 1 : depth)), worker_([this] { Run(); }) {}

TFrameAhead::~TFrameAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void TFrameAhead::Run() {
    const int depth = static_cast<int>(slots_.size());
    for (int i = 0; i < total_; ++i) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || i - released_ < depth; });
            if (stop_) return;
        }
        // The slot is the worker's alone until `made_` passes it; the previous frame's slot is
        // not reused before this one is made.
        TSlot& slot = slots_[static_cast<std::size_t>(i % depth)];
        const TAheadFrame* previous =
            i > 0 && depth > 1 ? &slots_[static_cast<std::size_t>((i - 1) % depth)].Made : nullptr;
        slot.Error = nullptr;
        slot.Made.IsConverted = false;
        slot.Made.Repeats = false;
        // A still picture repeats the same frame many times: its conversion is shared, and
        // the frame is not even drawn when the server knows it repeats.
        if (converter_ && previous && previous->IsConverted && server_.RepeatsPrevious(i)) {
            try {
                converter_->CopyConverted(previous->Converted, slot.Made.Converted);
                slot.Made.IsConverted = slot.Made.Repeats = true;
            } catch (const std::exception&) {
                // Drawn and converted below, as any other frame.
            }
        }
        if (!slot.Made.Repeats) Make(i, slot, previous);
        {
            std::lock_guard lock(mutex_);
            made_ = i + 1;
        }
        changed_.notify_all();
        if (slot.Error) return; // the frames after a failed one are never asked for
    }
}

void TFrameAhead::Make(int index, TSlot& slot, const TAheadFrame* previous) {
    try {
        server_.GetFrame(slot.Made.Frame, index);
    } catch (...) {
        slot.Error = std::current_exception();
        return;
    }
    if (!converter_) return;
    try {
        if (previous && previous->IsConverted && !previous->Repeats &&
            previous->Frame.Width == slot.Made.Frame.Width &&
            previous->Frame.Height == slot.Made.Frame.Height &&
            previous->Frame.Pixels == slot.Made.Frame.Pixels)
            converter_->CopyConverted(previous->Converted, slot.Made.Converted);
        else
            converter_->Convert(slot.Made.Frame, slot.Made.Converted);
        slot.Made.IsConverted = true;
    } catch (const std::exception&) {
        // The caller compresses the 32-bit frame itself and meets the error there.
    }
}

TAheadFrame& TFrameAhead::Acquire(int index) {
    if (index != released_ || index < 0 || index >= total_) throw EListIndexError(index);
    TSlot& slot = slots_[static_cast<std::size_t>(index) % slots_.size()];
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return made_ > index; });
    }
    if (slot.Error) std::rethrow_exception(slot.Error);
    return slot.Made;
}

void TFrameAhead::Release() {
    {
        std::lock_guard lock(mutex_);
        ++released_;
    }
    changed_.notify_all();
}
