#pragma once
// Owners for FFmpeg's handles and the one place where FFmpeg error codes become messages.
// Internal to the codec layer.
#include <cstdarg>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

struct TCodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TFrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TPacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TSwsDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextDeleter>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketDeleter>;
using TSwsPtr = std::unique_ptr<SwsContext, TSwsDeleter>;

// av_strerror's text for `err`.
std::string AvErrorText(int err);
// Throws EMorvantaError with "`what`: <FFmpeg's text>".
[[noreturn]] void ThrowAvError(const std::string& what, int err);

// Lowers FFmpeg's logging while it lives (the probe opens every encoder, and many complain).
class TQuietAvLog {
public:
    TQuietAvLog();
    ~TQuietAvLog();
    TQuietAvLog(const TQuietAvLog&) = delete;
    TQuietAvLog& operator=(const TQuietAvLog&) = delete;

private:
    int previous_;
};

// Counts the errors FFmpeg logs on this thread while it lives, even when logging is quiet: a
// decoder may complain about every frame and still return it.
class TAvErrorLog {
public:
    TAvErrorLog();
    ~TAvErrorLog();
    TAvErrorLog(const TAvErrorLog&) = delete;
    TAvErrorLog& operator=(const TAvErrorLog&) = delete;

    int Count() const { return count_; }
    const std::string& First() const { return first_; } // the first error's text

private:
    friend void NoteAvError(TAvErrorLog& log, const char* fmt, va_list args);
    TAvErrorLog* outer_;
    int count_ = 0;
    std::string first_;
};
