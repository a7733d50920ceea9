#include "platform/codec/U_Codecs.h"

#include <cctype>
#include <cstdio>

#include "platform/base/U_Errors.h"
#include "platform/codec/U_FFmpeg.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

std::string NormaliseFourCC(const std::string& fourcc) {
    std::string result = fourcc.substr(0, 4);
    result.resize(4, ' ');
    return result;
}

bool SameFourCC(const std::string& a, const std::string& b) {
    const std::string x = NormaliseFourCC(a), y = NormaliseFourCC(b);
    for (int i = 0; i < 4; ++i)
        if (std::tolower(static_cast<unsigned char>(x[i])) !=
            std::tolower(static_cast<unsigned char>(y[i])))
            return false;
    return true;
}

std::string AvErrorText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(err, text, sizeof text) < 0) return "FFmpeg error " + std::to_string(err);
    return text;
}

void ThrowAvError(const std::string& what, int err) {
    throw EMorvantaError(what + ": " + AvErrorText(err));
}

namespace {

// The log that counts this thread's FFmpeg errors, if any. Per thread: a render on another
// thread keeps its own messages.
thread_local TAvErrorLog* activeErrorLog = nullptr;

void CountingCallback(void* avcl, int level, const char* fmt, va_list args) {
    if (activeErrorLog && level <= AV_LOG_ERROR) {
        NoteAvError(*activeErrorLog, fmt, args);
        return;
    }
    av_log_default_callback(avcl, level, fmt, args);
}

} // namespace

void NoteAvError(TAvErrorLog& log, const char* fmt, va_list args) {
    if (log.count_++ > 0) return;
    char text[256] = {};
    std::vsnprintf(text, sizeof text, fmt, args);
    log.first_ = text;
    while (!log.first_.empty() && log.first_.back() == '\n') log.first_.pop_back();
}

TAvErrorLog::TAvErrorLog() : outer_(activeErrorLog) {
    activeErrorLog = this;
    av_log_set_callback(CountingCallback);
}

TAvErrorLog::~TAvErrorLog() {
    activeErrorLog = outer_;
    if (!outer_) av_log_set_callback(av_log_default_callback);
}

TQuietAvLog::TQuietAvLog() : previous_(av_log_get_level()) {
    av_log_set_level(AV_LOG_QUIET);
}
TQuietAvLog::~TQuietAvLog() {
    av_log_set_level(previous_);
}
