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
        // The slot is the worker's alone until `made_` passes it.
        TSlot& slot = slots_[static_cast<std::size_t>(i % depth)];
        slot.Error = nullptr;
        slot.Made.IsConverted = false;
        try {
            server_.GetFrame(slot.Made.Frame, i);
        } catch (...) {
            slot.Error = std::current_exception();
        }
        if (!slot.Error && converter_) {
            try {
                // A still picture repeats the same frame many times: its conversion is copied
                // (the previous frame's slot is not reused before this one is made).
                const TAheadFrame* previous =
                    i > 0 && depth > 1 ? &slots_[static_cast<std::size_t>((i - 1) % depth)].Made
                                       : nullptr;
                if (previous && previous->IsConverted &&
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
        {
            std::lock_guard lock(mutex_);
            made_ = i + 1;
        }
        changed_.notify_all();
        if (slot.Error) return; // the frames after a failed one are never asked for
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
