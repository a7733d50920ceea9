#include "platform/codec/U_Codecs.h"

#include <cctype>

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

TQuietAvLog::TQuietAvLog() : previous_(av_log_get_level()) {
    av_log_set_level(AV_LOG_QUIET);
}
TQuietAvLog::~TQuietAvLog() {
    av_log_set_level(previous_);
}
