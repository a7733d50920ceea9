#include "video/U_MediaWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/base/U_Errors.h"
#include "platform/container/U_AvFormat.h"
#include "platform/container/U_Container.h"

extern "C" {
#include <libavutil/dict.h>
}

namespace {

struct TDictDeleter {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

// The muxer's settings while the frames come: small self-contained pieces, each flushed, so
// that a cut file plays up to its last piece.
AVDictionary* WhileRenderingOptions(TContainer container, AVRational rate) {
    AVDictionary* options = nullptr;
    if (container == TContainer::Mp4) {
        av_dict_set(&options, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
        av_dict_set(&options, "frag_duration", "1000000", 0); // microseconds
        // The exact rate as the track's time base: 15 fps is 1/15 s.
        if (rate.den == 1) av_dict_set_int(&options, "video_track_timescale", rate.num, 0);
    } else {
        av_dict_set(&options, "cluster_time_limit", "1000", 0); // milliseconds
    }
    av_dict_set(&options, "flush_packets", "1", 0);
    return options;
}

} // namespace

struct TMediaWriter::Impl {
    TContainer Container = TContainer::Mp4;
    AVRational Rate = {25, 1};
    std::unique_ptr<TVideoEncoder> Encoder;
    TOutputContextPtr Out;
    AVStream* Stream = nullptr;
    TPacketPtr Packet;
};

TMediaWriter::TMediaWriter() = default;

TMediaWriter::~TMediaWriter() {
    CloseOrAbandon(failed_, closed_);
}

void TMediaWriter::SetVideoFormat(const TVideoFormat& format) {
    format_ = format;
}

void TMediaWriter::SetCodec(const std::string& fourcc) {
    const std::string missing = "No compressor for " + fourcc + " available";
    const auto codec = FindCodec(fourcc);
    if (!codec) throw EMorvantaError(missing);
    const TContainer container = ContainerOf(format_.FileName);
    if (const std::string refusal = ContainerRefusal(container, *codec, ListCodecInfos());
        !refusal.empty())
        throw EMorvantaError(refusal);
    if (format_.Width > 0 && format_.Height > 0) {
        const std::string refusal =
            CodecRefusal(*codec, format_.Width, format_.Height,
                         format_.FrameDuration > 0 ? format_.FrameDuration : 40);
        if (!refusal.empty()) throw EMorvantaError(missing + "\n" + refusal);
    }
    codec_ = *codec;
}

void TMediaWriter::Open() {
    Close();
    if (format_.Width <= 0 || format_.Height <= 0 || format_.FrameDuration <= 0 ||
        format_.FileName.empty() || !codec_)
        throw EMorvantaError("Open failed: size, frame duration, file name and codec must be set");
    const TContainer container = ContainerOf(format_.FileName);
    if (container == TContainer::Avi)
        throw EMorvantaError("Not a container file: " + format_.FileName);
    closed_ = false;
    failed_ = true; // until the end of Open: Close and the destructor then clean up
    framesAdded_ = 0;
    pending_.clear();
    impl_ = std::make_unique<Impl>();
    Impl& m = *impl_;
    m.Container = container;
    m.Rate = format_.FrameRate > 0 ? AVRational{format_.FrameRate, 1}
                                   : av_make_q(1000, format_.FrameDuration);

    std::error_code ec;
    if (std::filesystem::is_directory(format_.FileName, ec)) {
        lastErrno_ = EISDIR;
        throw EMorvantaError("Cannot write " + format_.FileName + ": it is a folder");
    }
    m.Encoder = std::make_unique<TVideoEncoder>(
        *codec_, format_.Width, format_.Height, format_.FrameDuration,
        TEncoderSetup{.FrameRate = format_.FrameRate, .GlobalHeader = true, .StateColours = true});

    int err = 0;
    created_ = true;
    m.Out = OpenMediaOutput(format_.FileName, MuxerName(format_.FileName), lastErrno_);
    m.Stream = avformat_new_stream(m.Out.get(), nullptr);
    if (!m.Stream) throw EMorvantaError("Out of memory");
    m.Encoder->CopyParameters(m.Stream->codecpar);
    AVCodecParameters* par = m.Stream->codecpar;
    par->sample_aspect_ratio = {1, 1};
    // Apple's players take HEVC only as hvc1 (headers in the sample description).
    if (container == TContainer::Mp4 && par->codec_id == AV_CODEC_ID_HEVC)
        par->codec_tag = MKTAG('h', 'v', 'c', '1');
    m.Stream->time_base = av_inv_q(m.Rate);
    m.Stream->avg_frame_rate = m.Rate;
    m.Stream->r_frame_rate = m.Rate;
    m.Stream->sample_aspect_ratio = {1, 1};
    std::unique_ptr<AVDictionary, TDictDeleter> options(WhileRenderingOptions(container, m.Rate));
    AVDictionary* raw = options.release();
    err = avformat_write_header(m.Out.get(), &raw);
    options.reset(raw);
    if (err < 0) ThrowAvError("Cannot write " + format_.FileName, err);
    m.Packet.reset(av_packet_alloc());
    if (!m.Packet) throw EMorvantaError("Out of memory");
    failed_ = false;
    isOpen_ = true;
}

void TMediaWriter::AddFrame(const TBitmap32& bitmap) {
    Compress([&] { impl_->Encoder->Encode(bitmap, pending_); });
}

std::unique_ptr<TFrameConverter> TMediaWriter::MakeFrameConverter() const {
    if (!isOpen_ || !impl_ || !impl_->Encoder) return nullptr;
    return impl_->Encoder->MakeConverter();
}

void TMediaWriter::AddConvertedFrame(TConvertedFrame& frame) {
    Compress([&] { impl_->Encoder->EncodeConverted(frame, pending_); });
}

void TMediaWriter::Compress(const std::function<void()>& encode) {
    if (!isOpen_) throw EMorvantaError("AddFrame failed: the file is not open");
    try {
        encode();
        ++framesAdded_;
        WritePending();
    } catch (...) {
        failed_ = true;
        throw;
    }
}

void TMediaWriter::WritePending() {
    Impl& m = *impl_;
    for (TEncodedFrame& f : pending_) {
        if (f.Data.empty()) continue; // a frame the encoder dropped: the next one lasts longer
        AVPacket* p = m.Packet.get();
        if (av_new_packet(p, static_cast<int>(f.Data.size())) < 0)
            throw EMorvantaError("Out of memory");
        std::memcpy(p->data, f.Data.data(), f.Data.size());
        p->pts = p->dts = f.Index;
        p->duration = 1;
        if (f.Key) p->flags |= AV_PKT_FLAG_KEY;
        p->stream_index = m.Stream->index;
        av_packet_rescale_ts(p, av_inv_q(m.Rate), m.Stream->time_base);
        const int err = av_write_frame(m.Out.get(), p);
        av_packet_unref(p);
        if (err < 0) {
            lastErrno_ = AVUNERROR(err) > 0 && AVUNERROR(err) < 4096 ? AVUNERROR(err) : 0;
            ThrowAvError("Cannot write " + format_.FileName, err);
        }
    }
    m.Encoder->Recycle(pending_);
}

void TMediaWriter::Close() {
    if (failed_) {
        Abandon();
        return;
    }
    if (isOpen_) {
        try {
            impl_->Encoder->Flush(pending_);
            WritePending();
            if (const int err = av_write_trailer(impl_->Out.get()); err < 0)
                ThrowAvError("Cannot write " + format_.FileName, err);
            if (const int err = avio_closep(&impl_->Out->pb); err < 0) {
                lastErrno_ = AVUNERROR(err);
                ThrowAvError("Cannot write " + format_.FileName, err);
            }
        } catch (...) {
            Abandon();
            throw;
        }
    }
    Release();
    created_ = false; // finished: the file is the render's result now
    isOpen_ = false;
    closed_ = true;
}

void TMediaWriter::Abandon() {
    Release();
    if (created_) {
        std::error_code ec;
        if (!std::filesystem::remove(format_.FileName, ec) && ec) leftover_ = format_.FileName;
        created_ = false;
    }
    failed_ = false;
    isOpen_ = false;
    closed_ = true;
}

void TMediaWriter::Release() {
    if (impl_) {
        impl_->Encoder.reset();
        impl_->Out.reset();
    }
    impl_.reset();
    pending_.clear();
}
