// Decoded sound encoded for the container: PCM → libswresample → the encoder, frame by frame
// at the encoder's frame size. Cut at the video's end and faded out before it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/U_SoundPackets.h"
#include "platform/base/U_Errors.h"
#include "platform/container/U_AvFormat.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

struct TFifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

constexpr int ReadFrames = 4096; // PCM frames read at a time

// The encoder's sample rate nearest to `wanted` (Opus only takes a few).
int ChooseRate(const AVCodec* enc, int wanted) {
    if (!enc->supported_samplerates) return wanted;
    int best = 0;
    for (const int* r = enc->supported_samplerates; *r != 0; ++r)
        if (best == 0 || std::abs(*r - wanted) < std::abs(best - wanted) || (*r == wanted))
            best = *r;
    return best != 0 ? best : wanted;
}

std::int64_t BitRateFor(const std::string& encoder, int channels) {
    if (encoder == "libopus") return 64000 * channels;
    return 96000 * channels; // AAC, MP3
}

class TEncodedSound final : public TSoundPackets {
public:
    TEncodedSound(std::unique_ptr<TPcmSource> pcm, const std::string& encoder, const TSoundCut& cut,
                  bool globalHeader)
        : pcm_(std::move(pcm)) {
        const AVCodec* enc = avcodec_find_encoder_by_name(encoder.c_str());
        if (!enc) throw EMorvantaError("No " + encoder + " sound encoder");
        if (pcm_->SampleRate() <= 0 || pcm_->Channels() <= 0)
            throw EMorvantaError("The soundtrack has no samples");
        ctx_.reset(avcodec_alloc_context3(enc));
        if (!ctx_) throw EMorvantaError("Out of memory");
        const int channels = std::min(pcm_->Channels(), 2);
        av_channel_layout_default(&ctx_->ch_layout, channels);
        ctx_->sample_rate = ChooseRate(enc, pcm_->SampleRate());
        ctx_->sample_fmt = enc->sample_fmts ? enc->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        ctx_->bit_rate = BitRateFor(encoder, channels);
        ctx_->time_base = {1, ctx_->sample_rate};
        if (globalHeader) ctx_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (const int err = avcodec_open2(ctx_.get(), enc, nullptr); err < 0)
            ThrowAvError("Cannot open the " + encoder + " sound encoder", err);

        AVChannelLayout in = {};
        av_channel_layout_default(&in, pcm_->Channels());
        SwrContext* raw = nullptr;
        int err = swr_alloc_set_opts2(&raw, &ctx_->ch_layout, ctx_->sample_fmt, ctx_->sample_rate,
                                      &in, AV_SAMPLE_FMT_FLT, pcm_->SampleRate(), 0, nullptr);
        av_channel_layout_uninit(&in);
        swr_.reset(raw);
        if (err >= 0) err = swr_init(swr_.get());
        if (err < 0) ThrowAvError("Cannot convert the soundtrack", err);
        fifo_.reset(av_audio_fifo_alloc(ctx_->sample_fmt, channels, ReadFrames));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!fifo_ || !frame_ || !packet_) throw EMorvantaError("Out of memory");

        const double rate = pcm_->SampleRate();
        cutFrames_ = static_cast<std::int64_t>(std::llround(cut.VideoSeconds * rate));
        fadeFrames_ = static_cast<std::int64_t>(std::llround(cut.FadeOutMs / 1000.0 * rate));
        // A song that ends before the video is not faded: it ends as it was made.
        const std::int64_t total = pcm_->TotalFrames();
        if (total >= 0 && total < cutFrames_) fadeFrames_ = 0;
        fadeFrames_ = std::min(fadeFrames_, cutFrames_);
    }

    void Describe(AVStream* stream) const override {
        if (const int err = avcodec_parameters_from_context(stream->codecpar, ctx_.get()); err < 0)
            ThrowAvError("Cannot describe the sound", err);
        stream->time_base = ctx_->time_base;
    }

    bool Next(AVPacket* packet) override {
        for (;;) {
            const int err = avcodec_receive_packet(ctx_.get(), packet_.get());
            if (err >= 0) {
                av_packet_move_ref(packet, packet_.get());
                return true;
            }
            if (err == AVERROR_EOF) return false;
            if (err != AVERROR(EAGAIN)) ThrowAvError("Sound compression failed", err);
            Feed();
        }
    }

private:
    // Sends the encoder its next frame, or the end.
    void Feed() {
        const int size = ctx_->frame_size > 0 ? ctx_->frame_size : 1024;
        while (!pcmDone_ && av_audio_fifo_size(fifo_.get()) < size) ReadPcm();
        const int available = av_audio_fifo_size(fifo_.get());
        if (available == 0) {
            if (const int err = avcodec_send_frame(ctx_.get(), nullptr);
                err < 0 && err != AVERROR_EOF)
                ThrowAvError("Sound compression failed", err);
            return;
        }
        const bool smallLast = ctx_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        const int frames = std::min(available, size);
        frame_->nb_samples = (frames < size && !smallLast) ? size : frames;
        frame_->format = ctx_->sample_fmt;
        frame_->sample_rate = ctx_->sample_rate;
        av_channel_layout_copy(&frame_->ch_layout, &ctx_->ch_layout);
        if (const int err = av_frame_get_buffer(frame_.get(), 0); err < 0)
            ThrowAvError("Out of memory", err);
        if (frame_->nb_samples > frames)
            av_samples_set_silence(frame_->data, frames, frame_->nb_samples - frames,
                                   ctx_->ch_layout.nb_channels, ctx_->sample_fmt);
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frames);
        frame_->pts = sent_;
        sent_ += frame_->nb_samples;
        const int err = avcodec_send_frame(ctx_.get(), frame_.get());
        av_frame_unref(frame_.get());
        if (err < 0) ThrowAvError("Sound compression failed", err);
    }

    // Reads PCM up to the cut, fades it, converts it into the FIFO; at the end drains swr.
    void ReadPcm() {
        const int channels = pcm_->Channels();
        const std::int64_t left = cutFrames_ - read_;
        int got = 0;
        if (left > 0) {
            buffer_.resize(static_cast<std::size_t>(ReadFrames) * channels);
            got = pcm_->Read(buffer_.data(),
                             static_cast<int>(std::min<std::int64_t>(ReadFrames, left)));
        }
        if (got > 0) {
            Fade(got);
            read_ += got;
            const std::uint8_t* in[] = {reinterpret_cast<const std::uint8_t*>(buffer_.data())};
            Convert(in, got);
            return;
        }
        Convert(nullptr, 0); // what the resampler still holds
        pcmDone_ = true;
    }

    void Fade(int frames) {
        if (fadeFrames_ <= 0) return;
        const std::int64_t fadeStart = cutFrames_ - fadeFrames_;
        const int channels = pcm_->Channels();
        for (int i = 0; i < frames; ++i) {
            const std::int64_t at = read_ + i;
            if (at < fadeStart) continue;
            const float gain =
                static_cast<float>(cutFrames_ - at) / static_cast<float>(fadeFrames_);
            for (int c = 0; c < channels; ++c)
                buffer_[static_cast<std::size_t>(i) * channels + c] *= gain;
        }
    }

    void Convert(const std::uint8_t* const* in, int frames) {
        const int room = swr_get_out_samples(swr_.get(), frames);
        if (room <= 0) return;
        std::uint8_t** out = nullptr;
        int lines = 0;
        if (av_samples_alloc_array_and_samples(&out, &lines, ctx_->ch_layout.nb_channels, room,
                                               ctx_->sample_fmt, 0) < 0)
            throw EMorvantaError("Out of memory");
        const int made =
            swr_convert(swr_.get(), out, room, const_cast<const std::uint8_t**>(in), frames);
        int err = made;
        if (made > 0) err = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(out), made);
        av_freep(&out[0]);
        av_freep(&out);
        if (err < 0) ThrowAvError("Cannot convert the soundtrack", err);
    }

    std::unique_ptr<TPcmSource> pcm_;
    TCodecContextPtr ctx_;
    TSwrPtr swr_;
    std::unique_ptr<AVAudioFifo, TFifoDeleter> fifo_;
    TFramePtr frame_;
    TPacketPtr packet_;
    std::vector<float> buffer_;
    std::int64_t cutFrames_ = 0;
    std::int64_t fadeFrames_ = 0;
    std::int64_t read_ = 0; // PCM frames read from the source
    std::int64_t sent_ = 0; // samples sent to the encoder
    bool pcmDone_ = false;
};

} // namespace

std::unique_ptr<TSoundPackets> EncodePcm(std::unique_ptr<TPcmSource> pcm,
                                         const std::string& encoder, const TSoundCut& cut,
                                         bool globalHeader) {
    if (!pcm) throw EMorvantaError("No sound to encode");
    return std::make_unique<TEncodedSound>(std::move(pcm), encoder, cut, globalHeader);
}
