#include "audio/U_SongInput.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Limits.h"
#include "platform/codec/U_FFmpeg.h"

extern "C" {
#include <libavutil/dict.h>
}

namespace {

// Containers that hold songs (and videos, whose sound is taken). Everything else, the picture
// and playlist demuxers above all, is never tried.
constexpr const char* SongDemuxers =
    "mp3,aac,mov,mp4,m4a,3gp,ogg,flac,wav,w64,aiff,caf,matroska,webm";

constexpr int ProbeBytes = 5 << 20;

// The demuxer the bytes themselves call for, whatever the file's name says (the probe would
// otherwise trust an extension when the content is unclear). Throws ESongRefused.
const AVInputFormat* ContentFormat(const std::string& url) {
    AVIOContext* io = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avio_open2(&io, url.c_str(), AVIO_FLAG_READ, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) throw ESongRefused(AvErrorText(opened));
    const AVInputFormat* format = nullptr;
    const int score = av_probe_input_buffer2(io, &format, "", nullptr, 0, ProbeBytes);
    avio_closep(&io);
    if (score < 0 || !format) throw ESongRefused("it is not an audio file");
    return format;
}

void FreeCodecContext(AVCodecContext* c) {
    avcodec_free_context(&c);
}

} // namespace

TSongInput OpenSongInput(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw ESongRefused(SystemErrorText(errno));
    if (!S_ISREG(info.st_mode)) throw ESongRefused("it is not a regular file");
    if (info.st_size == 0) throw ESongRefused("the file is empty");
    if (static_cast<std::uint64_t>(info.st_size) > MaxSongFileBytes)
        throw ESongRefused("the file is larger than " + std::to_string(MaxSongFileBytes >> 30) +
                           " GiB");

    const std::string url = "file:" + path;
    const AVInputFormat* format = ContentFormat(url);
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) throw std::bad_alloc();
    raw->format_whitelist = av_strdup(SongDemuxers);
    raw->protocol_whitelist = av_strdup("file");
    // A hostile header must not make the probe read or allocate more than this.
    raw->probesize = ProbeBytes;
    raw->max_streams = 64;
    const int opened = avformat_open_input(&raw, url.c_str(), format, nullptr);
    if (opened < 0) {
        // avformat_open_input frees the context on failure.
        if (opened == AVERROR(ENOMEM)) throw std::bad_alloc();
        throw ESongRefused("it is not an audio file");
    }
    TSongInput in;
    in.Format.reset(raw);
    // Without parameters from the first packets a stream may still be named in the header: a
    // song cut after it.
    const bool found = avformat_find_stream_info(raw, nullptr) >= 0;

    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (index == AVERROR_STREAM_NOT_FOUND) throw ESongRefused("it holds no sound");
    if (!found) throw ESongRefused(HeaderOnly);
    if (index < 0 || !decoder)
        throw ESongRefused("its sound is in a format this program cannot decode");
    in.Stream = raw->streams[index];
    in.Decoder = decoder;
    const AVCodecParameters* par = in.Stream->codecpar;
    if (par->sample_rate < MinSongSampleRate || par->sample_rate > MaxSongSampleRate)
        throw ESongRefused("its sample rate (" + std::to_string(par->sample_rate) +
                           " Hz) is not one this program plays");
    if (par->ch_layout.nb_channels < 1 || par->ch_layout.nb_channels > MaxSongChannels)
        throw ESongRefused("it has " + std::to_string(par->ch_layout.nb_channels) +
                           " channels; at most " + std::to_string(MaxSongChannels) + " are played");
    // Only the sound stream's packets are read from here on.
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (static_cast<int>(i) != index) raw->streams[i]->discard = AVDISCARD_ALL;
    return in;
}

std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> OpenSongDecoder(const TSongInput& in) {
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> ctx(
        avcodec_alloc_context3(in.Decoder), FreeCodecContext);
    if (!ctx) throw std::bad_alloc();
    if (avcodec_parameters_to_context(ctx.get(), in.Stream->codecpar) < 0)
        throw ESongRefused("its sound cannot be decoded");
    ctx->pkt_timebase = in.Stream->time_base;
    // One thread: the render's own threads already use the machine.
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), in.Decoder, nullptr) < 0)
        throw ESongRefused("its sound cannot be decoded");
    return ctx;
}
