#include "audio/U_SongDecoder.h"

#include <algorithm>
#include <cstring>

#include "audio/U_SongInput.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_Limits.h"
#include "platform/codec/U_FFmpeg.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

struct TSongDecoder::TState {
    TSongInput Input;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> Decoder{nullptr, nullptr};
    TSwrPtr Swr;
    TPacketPtr Packet{av_packet_alloc()};
    TFramePtr Frame{av_frame_alloc()};
    // What the resampler was set up for; a change (chained Ogg streams) sets it up again.
    AVChannelLayout InLayout{};
    int InRate = 0;
    int InFormat = -1;
    int Failures = 0; // in a row
    ~TState() { av_channel_layout_uninit(&InLayout); }
};

namespace {

// The frame's layout, or the usual one for its channel count when the file names none.
AVChannelLayout LayoutOf(const AVFrame& frame) {
    AVChannelLayout layout{};
    if (frame.ch_layout.order != AV_CHANNEL_ORDER_UNSPEC &&
        av_channel_layout_copy(&layout, &frame.ch_layout) == 0)
        return layout;
    av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
    return layout;
}

} // namespace

TSongDecoder::TSongDecoder(const std::string& path, int sampleRate, int channels)
    : path_(path), rate_(sampleRate), channels_(channels == 1 ? 1 : 2),
      state_(std::make_unique<TState>()) {
    if (rate_ < MinSongSampleRate || rate_ > MaxSongSampleRate)
        throw EMorvantaError("Unusable sample rate " + std::to_string(rate_));
    if (!state_->Packet || !state_->Frame) throw std::bad_alloc();
    const TQuietAvLog quiet;
    try {
        state_->Input = OpenSongInput(path);
        state_->Decoder = OpenSongDecoder(state_->Input);
    } catch (const ESongRefused& e) {
        throw EMorvantaError("No usable sound in " + path + ": " + e.what());
    }
}

TSongDecoder::~TSongDecoder() = default;

void TSongDecoder::Convert(const std::uint8_t* const* data, int samples) {
    SwrContext* swr = state_->Swr.get();
    const int room = swr_get_out_samples(swr, samples);
    if (room < 0) ThrowAvError("Cannot convert the sound of " + path_, room);
    if (room == 0) return;
    const std::size_t old = pending_.size();
    pending_.resize(old + static_cast<std::size_t>(room) * static_cast<std::size_t>(channels_));
    auto* out = reinterpret_cast<std::uint8_t*>(pending_.data() + old);
    const int got = swr_convert(swr, &out, room, const_cast<const std::uint8_t**>(data), samples);
    if (got < 0) ThrowAvError("Cannot convert the sound of " + path_, got);
    pending_.resize(old + static_cast<std::size_t>(got) * static_cast<std::size_t>(channels_));
}

void TSongDecoder::Refill() {
    TState& s = *state_;
    AVFrame* frame = s.Frame.get();
    const TQuietAvLog quiet;
    while (pending_.size() == pendingStart_ && !ended_) {
        int received = avcodec_receive_frame(s.Decoder.get(), frame);
        if (received == AVERROR(EAGAIN)) {
            // Feed the next packet of the sound stream, or the end.
            for (;;) {
                const int read = av_read_frame(s.Input.Format.get(), s.Packet.get());
                if (read < 0) {
                    avcodec_send_packet(s.Decoder.get(), nullptr);
                    break;
                }
                const bool ours = s.Packet->stream_index == s.Input.Stream->index;
                if (ours) avcodec_send_packet(s.Decoder.get(), s.Packet.get());
                av_packet_unref(s.Packet.get());
                if (ours) break;
            }
            continue;
        }
        if (received == AVERROR_EOF) {
            // The resampler's last samples.
            if (s.Swr) Convert(nullptr, 0);
            ended_ = true;
            break;
        }
        if (received < 0) {
            // A damaged frame is skipped, as the probe did; a decoder that only fails has ended.
            if (++s.Failures > 1000) ended_ = true;
            continue;
        }
        s.Failures = 0;
        if (frame->sample_rate < MinSongSampleRate || frame->sample_rate > MaxSongSampleRate ||
            frame->ch_layout.nb_channels < 1 || frame->ch_layout.nb_channels > MaxSongChannels) {
            av_frame_unref(frame);
            continue;
        }
        secondsDecoded_ += static_cast<double>(frame->nb_samples) / frame->sample_rate;
        if (secondsDecoded_ > MaxSongSeconds)
            throw EMorvantaError("No usable sound in " + path_ + ": it plays too long");
        AVChannelLayout layout = LayoutOf(*frame);
        if (!s.Swr || frame->sample_rate != s.InRate || frame->format != s.InFormat ||
            av_channel_layout_compare(&layout, &s.InLayout) != 0) {
            if (s.Swr) Convert(nullptr, 0);
            AVChannelLayout outLayout{};
            av_channel_layout_default(&outLayout, channels_);
            SwrContext* raw = nullptr;
            const int made = swr_alloc_set_opts2(
                &raw, &outLayout, AV_SAMPLE_FMT_FLT, rate_, &layout,
                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
            s.Swr.reset(raw);
            // A mix-down never clips: 5.1 reaches stereo at the level of its loudest channel.
            if (made >= 0) av_opt_set_double(raw, "rematrix_maxval", 1.0, 0);
            if (made < 0 || swr_init(raw) < 0) {
                av_channel_layout_uninit(&layout);
                throw EMorvantaError("Cannot convert the sound of " + path_);
            }
            av_channel_layout_uninit(&s.InLayout);
            s.InLayout = layout;
            s.InRate = frame->sample_rate;
            s.InFormat = frame->format;
        } else {
            av_channel_layout_uninit(&layout);
        }
        Convert(frame->extended_data, frame->nb_samples);
        av_frame_unref(frame);
    }
}

int TSongDecoder::Read(float* out, int frames) {
    int done = 0;
    while (done < frames) {
        if (pendingStart_ == pending_.size()) {
            pending_.clear();
            pendingStart_ = 0;
            Refill();
            if (pending_.empty()) break;
        }
        const std::size_t available = (pending_.size() - pendingStart_) / channels_;
        const int take = static_cast<int>(std::min<std::size_t>(available, frames - done));
        const std::size_t floats = static_cast<std::size_t>(take) * channels_;
        std::memcpy(out + static_cast<std::size_t>(done) * channels_,
                    pending_.data() + pendingStart_, floats * sizeof(float));
        pendingStart_ += floats;
        done += take;
    }
    framesRead_ += done;
    return done;
}
