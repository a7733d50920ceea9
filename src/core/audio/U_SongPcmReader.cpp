#include "audio/U_SongPcmReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/base/U_Errors.h"
#include "platform/container/U_AvFormat.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

class TSongPcm final : public TPcmSource {
public:
    explicit TSongPcm(const std::string& path) : in_(OpenMediaInput(path)) {
        const AVCodec* dec = nullptr;
        index_ = av_find_best_stream(in_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &dec, 0);
        if (index_ < 0 || !dec) throw EMorvantaError("No sound in " + path);
        const AVStream* st = in_->streams[index_];
        ctx_.reset(avcodec_alloc_context3(dec));
        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!ctx_ || !packet_ || !frame_) throw EMorvantaError("Out of memory");
        if (const int err = avcodec_parameters_to_context(ctx_.get(), st->codecpar); err < 0)
            ThrowAvError("Cannot read " + path, err);
        if (const int err = avcodec_open2(ctx_.get(), dec, nullptr); err < 0)
            ThrowAvError("Cannot decode " + path, err);
        rate_ = ctx_->sample_rate;
        channels_ = std::clamp(ctx_->ch_layout.nb_channels, 1, 8);
        if (rate_ <= 0) throw EMorvantaError("No sound in " + path);
        if (st->duration > 0)
            total_ = av_rescale_q(st->duration, st->time_base, AVRational{1, rate_});
        AVChannelLayout layout = {};
        av_channel_layout_default(&layout, channels_);
        SwrContext* raw = nullptr;
        int err = swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, rate_, &layout,
                                      ctx_->sample_fmt, rate_, 0, nullptr);
        av_channel_layout_uninit(&layout);
        swr_.reset(raw);
        if (err >= 0) err = swr_init(swr_.get());
        if (err < 0) ThrowAvError("Cannot convert " + path, err);
    }

    int SampleRate() const override { return rate_; }
    int Channels() const override { return channels_; }
    std::int64_t TotalFrames() const override { return total_; }

    int Read(float* out, int frames) override {
        int written = 0;
        while (written < frames) {
            if (at_ < held_.size()) {
                const std::size_t n = std::min<std::size_t>(
                    held_.size() - at_, static_cast<std::size_t>(frames - written) * channels_);
                std::memcpy(out + static_cast<std::size_t>(written) * channels_, held_.data() + at_,
                            n * sizeof(float));
                at_ += n;
                written += static_cast<int>(n / channels_);
                continue;
            }
            if (!Decode()) break;
        }
        return written;
    }

private:
    // Decodes the next frame into held_; false at the end.
    bool Decode() {
        held_.clear();
        at_ = 0;
        while (!ended_) {
            const int err = avcodec_receive_frame(ctx_.get(), frame_.get());
            if (err >= 0) {
                Hold();
                av_frame_unref(frame_.get());
                if (!held_.empty()) return true;
                continue;
            }
            if (err == AVERROR_EOF) {
                ended_ = true;
                break;
            }
            if (err != AVERROR(EAGAIN)) ThrowAvError("Cannot decode the soundtrack", err);
            if (drained_) {
                ended_ = true;
                break;
            }
            const int read = av_read_frame(in_.get(), packet_.get());
            if (read == AVERROR_EOF) {
                drained_ = true;
                avcodec_send_packet(ctx_.get(), nullptr);
                continue;
            }
            if (read < 0) ThrowAvError("Cannot read the soundtrack", read);
            if (packet_->stream_index == index_) {
                // A damaged frame is skipped, as players do.
                avcodec_send_packet(ctx_.get(), packet_.get());
            }
            av_packet_unref(packet_.get());
        }
        return false;
    }

    void Hold() {
        const int n = frame_->nb_samples;
        if (n <= 0 || frame_->ch_layout.nb_channels != channels_) return;
        held_.resize(static_cast<std::size_t>(n) * channels_);
        std::uint8_t* out[] = {reinterpret_cast<std::uint8_t*>(held_.data())};
        const int made = swr_convert(swr_.get(), out, n,
                                     const_cast<const std::uint8_t**>(frame_->extended_data), n);
        held_.resize(made > 0 ? static_cast<std::size_t>(made) * channels_ : 0);
    }

    TInputContextPtr in_;
    TCodecContextPtr ctx_;
    TPacketPtr packet_;
    TFramePtr frame_;
    TSwrPtr swr_;
    int index_ = -1;
    int rate_ = 0;
    int channels_ = 0;
    std::int64_t total_ = -1;
    std::vector<float> held_;
    std::size_t at_ = 0;
    bool drained_ = false;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<TPcmSource> ReadSongPcm(const std::string& path) {
    return std::make_unique<TSongPcm>(path);
}
