#include "audio/U_AviSoundtrack.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "audio/U_SongInput.h"
#include "audio/U_SongList.h"
#include "audio/U_SongProbe.h"
#include "platform/base/U_Errors.h"
#include "platform/codec/U_FFmpeg.h"
#include "platform/os/U_FileDescriptor.h"
#include "platform/os/U_FileOps.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
}

namespace {

constexpr int ReadFrames = 4096;

struct TFifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

// A new empty file beside `outputFile` that nobody else's file can be.
std::string ReserveTemporary(const std::string& outputFile) {
    std::string name = FolderOf(outputFile) + ".morvanta-sound-XXXXXX.mp3";
    TFileDescriptor fd(::mkstemps(name.data(), 4));
    if (fd.Get() < 0)
        throw EMorvantaError("Cannot write " + outputFile + ": " + SystemErrorText(errno) +
                             " (creating the soundtrack's MP3 beside it).");
    return name;
}

class TMp3Writer {
public:
    TMp3Writer(int fd, const std::string& path, int rate, int channels, int bitRate)
        : fd_(fd), path_(path) {
        const AVCodec* lame = avcodec_find_encoder_by_name("libmp3lame");
        if (!lame) throw EMorvantaError("No MP3 encoder (LAME) in this build");
        ctx_.reset(avcodec_alloc_context3(lame));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!ctx_ || !frame_ || !packet_) throw std::bad_alloc();
        av_channel_layout_default(&ctx_->ch_layout, channels);
        ctx_->sample_rate = rate;
        ctx_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        ctx_->bit_rate = rate < 32000 ? std::min(bitRate, 160000) : bitRate;
        ctx_->time_base = {1, rate};
        if (const int err = avcodec_open2(ctx_.get(), lame, nullptr); err < 0)
            ThrowAvError("Cannot start the MP3 encoder", err);
        fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, ctx_->frame_size * 2));
        if (!fifo_) throw std::bad_alloc();
    }

    // Planar samples at the encoder's rate.
    void Add(std::uint8_t** planes, int frames) {
        if (frames <= 0) return;
        if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes), frames) < frames)
            throw std::bad_alloc();
        while (av_audio_fifo_size(fifo_.get()) >= ctx_->frame_size) Encode(ctx_->frame_size);
    }

    void Finish() {
        if (const int left = av_audio_fifo_size(fifo_.get()); left > 0) Encode(left);
        Send(nullptr);
    }

    AVCodecContext* Context() { return ctx_.get(); }

private:
    void Encode(int frames) {
        frame_->nb_samples = frames;
        frame_->format = ctx_->sample_fmt;
        frame_->sample_rate = ctx_->sample_rate;
        av_channel_layout_copy(&frame_->ch_layout, &ctx_->ch_layout);
        if (const int err = av_frame_get_buffer(frame_.get(), 0); err < 0)
            ThrowAvError("Cannot encode the soundtrack", err);
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frames);
        frame_->pts = pts_;
        pts_ += frames;
        Send(frame_.get());
        av_frame_unref(frame_.get());
    }

    void Send(AVFrame* frame) {
        if (const int err = avcodec_send_frame(ctx_.get(), frame); err < 0)
            ThrowAvError("Cannot encode the soundtrack", err);
        for (;;) {
            const int got = avcodec_receive_packet(ctx_.get(), packet_.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
            if (got < 0) ThrowAvError("Cannot encode the soundtrack", got);
            const std::string_view bytes(reinterpret_cast<const char*>(packet_->data),
                                         static_cast<std::size_t>(packet_->size));
            const bool written = WriteAllBytes(fd_, bytes);
            av_packet_unref(packet_.get());
            if (!written)
                throw EMorvantaError("Cannot write " + path_ + ": " + SystemErrorText(errno));
        }
    }

    int fd_;
    std::string path_;
    TCodecContextPtr ctx_;
    TFramePtr frame_;
    TPacketPtr packet_;
    std::unique_ptr<AVAudioFifo, TFifoDeleter> fifo_;
    std::int64_t pts_ = 0;
};

} // namespace

int AviSoundRate(int rate) {
    for (const int r : {16000, 22050, 24000, 32000, 44100, 48000})
        if (r >= rate) return r;
    return 48000;
}

bool EncodeMp3File(TPcmSource& pcm, const std::string& path, int bitRate,
                   const std::function<void(std::int64_t frames)>& progress,
                   const std::function<bool()>& stop) {
    const int channels = pcm.Channels() == 1 ? 1 : 2;
    TFileDescriptor fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (fd.Get() < 0) throw EMorvantaError("Cannot write " + path + ": " + SystemErrorText(errno));
    TMp3Writer writer(fd.Get(), path, AviSoundRate(pcm.SampleRate()), channels, bitRate);
    AVChannelLayout in{}, out{};
    av_channel_layout_default(&in, pcm.Channels());
    av_channel_layout_default(&out, channels);
    SwrContext* raw = nullptr;
    int err = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_FLTP, writer.Context()->sample_rate,
                                  &in, AV_SAMPLE_FMT_FLT, pcm.SampleRate(), 0, nullptr);
    TSwrPtr swr(raw);
    if (err >= 0) err = swr_init(raw);
    if (err < 0) ThrowAvError("Cannot convert the soundtrack", err);

    std::vector<float> samples(static_cast<std::size_t>(ReadFrames * pcm.Channels()));
    const int room = swr_get_out_samples(raw, ReadFrames) + 64;
    std::vector<float> left(static_cast<std::size_t>(room)), right(left.size());
    std::uint8_t* planes[2] = {reinterpret_cast<std::uint8_t*>(left.data()),
                               reinterpret_cast<std::uint8_t*>(right.data())};
    std::int64_t done = 0;
    for (;;) {
        if (stop && stop()) return false;
        const int got = pcm.Read(samples.data(), ReadFrames);
        const std::uint8_t* input = reinterpret_cast<const std::uint8_t*>(samples.data());
        const int converted = got > 0 ? swr_convert(raw, planes, room, &input, got)
                                      : swr_convert(raw, planes, room, nullptr, 0);
        if (converted < 0) ThrowAvError("Cannot convert the soundtrack", converted);
        writer.Add(planes, converted);
        if (got <= 0 && converted == 0) break;
        done += got > 0 ? got : 0;
        if (progress) progress(done);
    }
    writer.Finish();
    if (!fd.Close()) throw EMorvantaError("Cannot write " + path + ": " + SystemErrorText(errno));
    return true;
}

TAviSoundtrack::~TAviSoundtrack() {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool TAviSoundtrack::Prepare(const std::vector<std::string>& songs, int fadeMs,
                             const std::string& outputFile,
                             const std::function<void(std::int32_t, std::int32_t)>& progress,
                             const std::function<bool()>& stop) {
    if (songs.empty()) throw EMorvantaError("No song in the soundtrack");
    if (songs.size() == 1 && ProbeSong(songs[0], true).Kind == TSongKind::Mpeg) {
        file_ = songs[0];
        return true;
    }
    TSongList list(ProbeSongs(songs), fadeMs);
    temporary_ = ReserveTemporary(outputFile);
    file_ = temporary_;
    const std::int64_t total = std::max<std::int64_t>(list.TotalFrames(), 1);
    const auto report = [&](std::int64_t frames) {
        if (progress)
            progress(static_cast<std::int32_t>(std::min<std::int64_t>(frames * 100 / total, 100)),
                     100);
    };
    return EncodeMp3File(list, temporary_, AviSoundBitRate, report, stop);
}
