#include "platform/container/U_AvFormat.h"

#include "platform/base/U_Errors.h"

TInputContextPtr OpenMediaInput(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (const int err = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); err < 0)
        ThrowAvError("Cannot read " + path, err);
    TInputContextPtr input(raw);
    if (const int err = avformat_find_stream_info(input.get(), nullptr); err < 0)
        ThrowAvError("Cannot read " + path, err);
    return input;
}

TOutputContextPtr OpenMediaOutput(const std::string& path, const std::string& muxer, int& error) {
    error = 0;
    AVFormatContext* raw = nullptr;
    if (const int err = avformat_alloc_output_context2(&raw, nullptr, muxer.c_str(), path.c_str());
        err < 0 || !raw)
        ThrowAvError("No " + muxer + " writer", err < 0 ? err : AVERROR(ENOMEM));
    TOutputContextPtr output(raw);
    if (const int err = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE); err < 0) {
        error = AVUNERROR(err);
        ThrowAvError("Cannot write " + path, err);
    }
    return output;
}
