// The song's packets copied into the container as they are: the MP3's frames arrive bit for
// bit, as the AVI's multiplexing copies them.
#include <cmath>

#include "audio/U_SoundPackets.h"
#include "platform/base/U_Errors.h"
#include "platform/container/U_AvFormat.h"

namespace {

class TCopiedSound final : public TSoundPackets {
public:
    TCopiedSound(const std::string& path, const TSoundCut& cut) : in_(OpenMediaInput(path)) {
        index_ = av_find_best_stream(in_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (index_ < 0) throw EMorvantaError("No sound in " + path);
        stream_ = in_->streams[index_];
        // In the song's time base: a packet that starts at or after this is left out.
        end_ = static_cast<std::int64_t>(
            std::floor(cut.VideoSeconds * stream_->time_base.den / stream_->time_base.num));
        if (end_ <= 0) end_ = 1; // a video always keeps the sound's first frame
    }

    void Describe(AVStream* out) const override {
        if (const int err = avcodec_parameters_copy(out->codecpar, stream_->codecpar); err < 0)
            ThrowAvError("Cannot copy the sound", err);
        out->codecpar->codec_tag = 0; // the container's own tag for the codec
        out->time_base = stream_->time_base;
    }

    bool Next(AVPacket* packet) override {
        while (!ended_) {
            const int err = av_read_frame(in_.get(), packet);
            if (err == AVERROR_EOF) break;
            if (err < 0) ThrowAvError("Cannot read the soundtrack", err);
            if (packet->stream_index != index_) {
                av_packet_unref(packet);
                continue;
            }
            const std::int64_t start = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (start != AV_NOPTS_VALUE && first_ == AV_NOPTS_VALUE) first_ = start;
            if (start == AV_NOPTS_VALUE || start - first_ >= end_) {
                av_packet_unref(packet);
                break;
            }
            // Times from 0, with the video; the bytes are left as they are.
            packet->pts = start - first_;
            packet->dts = packet->pts;
            av_packet_free_side_data(packet);
            return true;
        }
        ended_ = true;
        return false;
    }

private:
    TInputContextPtr in_;
    int index_ = -1;
    AVStream* stream_ = nullptr;
    std::int64_t end_ = 0;
    std::int64_t first_ = AV_NOPTS_VALUE;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<TSoundPackets> CopySongPackets(const std::string& path, const TSoundCut& cut) {
    return std::make_unique<TCopiedSound>(path, cut);
}
