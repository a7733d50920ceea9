#pragma once
// Renders the frames of a frame server on a worker thread, a few frames ahead of the caller,
// so that picture work overlaps compression. Frames come out in order, each exactly as
// TFrameServer::GetFrame made it; an error is handed over at the frame that raised it.
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/codec/U_Codecs.h"
#include "platform/image/U_Bitmap32.h"

class TFrameServer;

// One frame as the worker made it: the 32-bit frame, and when the worker had a converter and
// the conversion worked, the same frame in the encoder's pixel format. A frame that repeats
// the one before has only its conversion: Frame then holds stale pixels.
struct TAheadFrame {
    TBitmap32 Frame;
    TConvertedFrame Converted;
    bool IsConverted = false;
    bool Repeats = false;
};

class TFrameAhead {
public:
    // Frames 0 .. total - 1 of `server`, at most `depth` of them waiting. The server (and the
    // converter, which may be null) is used only by the worker until this object is destroyed.
    TFrameAhead(TFrameServer& server, int total, TFrameConverter* converter, int depth = 3);
    // Stops the worker (it finishes the frame in hand) and waits for it.
    ~TFrameAhead();
    TFrameAhead(const TFrameAhead&) = delete;
    TFrameAhead& operator=(const TFrameAhead&) = delete;

    // Waits for frame `index` (the one after the previous call's) and returns it; it stays
    // valid until Release. Rethrows the error of a frame that could not be made.
    TAheadFrame& Acquire(int index);
    // Gives the acquired frame's buffer back to the worker.
    void Release();

private:
    struct TSlot {
        TAheadFrame Made;
        std::exception_ptr Error;
    };

    void Run();
    // Draws frame `index` into `slot` and converts it; `previous` is the frame before, if kept.
    void Make(int index, TSlot& slot, const TAheadFrame* previous);

    TFrameServer& server_;
    TFrameConverter* converter_;
    const int total_;
    std::vector<TSlot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int made_ = 0;     // frames finished by the worker
    int released_ = 0; // frames given back by the caller
    bool stop_ = false;
    std::thread worker_; // last: started once everything above exists
};
