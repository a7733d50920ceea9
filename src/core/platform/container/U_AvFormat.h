#pragma once
// Owners for libavformat's and libswresample's handles. Internal to the writers of the
// containers.
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include "platform/codec/U_FFmpeg.h"

// An output file: the muxer's context and its open file.
struct TOutputContextDeleter {
    void operator()(AVFormatContext* c) const {
        if (c->pb && !(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct TInputContextDeleter {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct TSwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

using TOutputContextPtr = std::unique_ptr<AVFormatContext, TOutputContextDeleter>;
using TInputContextPtr = std::unique_ptr<AVFormatContext, TInputContextDeleter>;
using TSwrPtr = std::unique_ptr<SwrContext, TSwrDeleter>;

// Opens `path` for reading; throws EMorvantaError naming the file.
TInputContextPtr OpenMediaInput(const std::string& path);
// A muxer `muxer` writing `path` (created or truncated); throws EMorvantaError naming the file.
// `error` receives the system's errno when the file cannot be created.
TOutputContextPtr OpenMediaOutput(const std::string& path, const std::string& muxer, int& error);
