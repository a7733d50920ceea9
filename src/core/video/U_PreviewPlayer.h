#pragma once
// The live preview: the show's frames, made by a frame server on a worker thread a few frames
// ahead, handed out on a clock at the output's frame rate. Nothing is written. The caller polls
// (never waits): each poll gives the frame due at that moment, and frames whose time passed
// before they could be shown are counted as dropped.
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "platform/os/U_Thread.h"
#include "video/U_VideoMaker.h"

class TFrameServer;

using TPreviewClock = std::chrono::steady_clock;

struct TPreviewRequest {
    // Copies of the picture list: the window's lists may change while the preview plays.
    std::vector<std::string> Paths;
    std::vector<std::string> Captions;
    // Time per picture and the visual options; its list pointers are ignored.
    TVideoMakerInputs Frames;
    int Width = 320; // the frames' size: the preview's, far below the output's
    int Height = 240;
    // The output's width: captions are laid out as on the output, shrunk to the frames' width,
    // so that they look as they will in the video. 0: at the captions' own size.
    int OutputWidth = 0;
    int FrameDuration = 66; // milliseconds between frames, as in the output
    // Where to start: the first frame of StartPicture, or, when StartMs is 0 or more, the frame
    // at that time into the show (a restart after a change keeps the show's time).
    int StartPicture = 0;
    long long StartMs = -1;
    int Depth = 6; // frames made ahead at most
};

struct TPreviewStats {
    int Shown = 0;
    int Dropped = 0;          // due, never shown: made too late or skipped over
    double FirstFrameMs = -1; // from construction to the poll that showed the first frame
    double WorstLateMs = 0;   // most a shown frame came after its time
};

// What a poll hands out.
struct TPreviewPoll {
    bool NewFrame = false; // Frame holds the next frame to show
    bool Ended = false;    // the last frame's time is over, or the worker failed (see Error)
    int Index = -1;        // the frame's index in the whole show
    std::exception_ptr Error;
};

// The first frame of picture `picture` in `server`'s numbering (clamped into the show).
int FirstFrameOfPicture(const TFrameServer& server, int picture);
// The frame size that keeps the output's shape inside a panel of panelW x panelH.
void FitPreviewSize(int outW, int outH, int panelW, int panelH, int& width, int& height);

class TPreviewPlayer {
public:
    // Starts making frames at once.
    explicit TPreviewPlayer(TPreviewRequest request);
    // Stops the worker and waits for it (it finishes the frame or picture in hand).
    ~TPreviewPlayer();
    TPreviewPlayer(const TPreviewPlayer&) = delete;
    TPreviewPlayer& operator=(const TPreviewPlayer&) = delete;

    // Asks the worker to stop; returns at once. Polls give nothing more.
    void Stop();
    // The worker has ended (the player may then be destroyed without waiting).
    bool Finished() const;

    // The frame due at `now`, swapped into `frame` (whose old buffer is reused). The clock
    // starts at the poll that finds the first frame made: frame StartFrame + k is due k frame
    // durations later.
    TPreviewPoll Poll(TPreviewClock::time_point now, TBitmap32& frame);

    // Known once the worker made its server (-1 before).
    int StartFrame() const;
    int FrameCount() const;
    int FrameDuration() const { return request_.FrameDuration; }
    TPreviewStats Stats() const;

private:
    class TWorker;
    struct TSlot {
        TBitmap32 Frame;
        int Index = -1;
    };

    void Run(TThread& thread);
    void Publish(int index);

    const TPreviewRequest request_;
    TStringList paths_;
    TStringList captions_;
    const TPreviewClock::time_point created_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TSlot> slots_;
    int startFrame_ = -1;
    int frameCount_ = -1;
    // Offsets count from startFrame_; slot k % depth holds offset k while its Index says so.
    int made_ = 0;   // one past the last offset made
    int wanted_ = 0; // the next offset the caller may show
    int skipTo_ = 0; // the worker jumps forward to this offset when it fell behind
    bool stopped_ = false;
    bool clockStarted_ = false;
    TPreviewClock::time_point clockStart_;
    std::exception_ptr error_;
    TPreviewStats stats_;
    std::unique_ptr<TWorker> worker_; // last: started once everything above exists
};
