#pragma once
// A song file opened through libavformat with its sound stream chosen: what the probe, the
// decoder and the packet copy share. Only ordinary files and the demuxers of audio files are
// taken, so a playlist or a picture renamed as a song never reaches another reader.
#include <memory>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

struct TInputDeleter {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct TSwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
using TInputPtr = std::unique_ptr<AVFormatContext, TInputDeleter>;
using TSwrPtr = std::unique_ptr<SwrContext, TSwrDeleter>;

// The plain reason a file is refused as a song; the probe puts the path in front.
class ESongRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The reason for a song whose header names a sound stream but whose sound never decodes.
inline constexpr const char* HeaderOnly = "it holds no sound that decodes, only a header";

struct TSongInput {
    TInputPtr Format;
    AVStream* Stream = nullptr; // the sound stream, owned by Format
    const AVCodec* Decoder = nullptr;
    // The demuxer's name ("mp3", "ogg", "flac", "wav", "mov,mp4,m4a,3gp,3g2,mj2", ...).
    std::string Demuxer() const { return Format ? Format->iformat->name : ""; }
};

// Opens `path` and finds its sound stream. Throws ESongRefused for a file that is not a song
// this program plays (not a regular file, too large, not an audio container, no sound, a codec
// without decoder, an unreasonable rate or channel count).
TSongInput OpenSongInput(const std::string& path);

// A decoder for the input's stream, opened. Throws ESongRefused.
std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> OpenSongDecoder(const TSongInput& in);
