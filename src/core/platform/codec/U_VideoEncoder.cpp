// Compression of 32-bit frames with one codec: swscale to the encoder's pixel format, then
// libavcodec; "DIB " frames become bottom-up 24-bit rows without an encoder.
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/base/U_Errors.h"
#include "platform/codec/U_CodecProfiles.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
}

namespace {

constexpr std::size_t BitmapHeaderSize = 40;

void PutLE(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// BITMAPINFOHEADER followed by `extra` (padded to an even length, as RIFF wants).
std::vector<std::uint8_t> BitmapFormat(int width, int height, int bitCount, std::uint32_t tag,
                                       std::uint32_t sizeImage, const std::uint8_t* extra,
                                       std::size_t extraSize) {
    std::vector<std::uint8_t> f(BitmapHeaderSize + extraSize + (extraSize & 1), 0);
    PutLE(f, 0, static_cast<std::uint32_t>(BitmapHeaderSize + extraSize), 4); /* biSize */
    PutLE(f, 4, static_cast<std::uint32_t>(width), 4);                        /* biWidth */
    PutLE(f, 8, static_cast<std::uint32_t>(height), 4);    /* biHeight: bottom-up */
    PutLE(f, 12, 1, 2);                                    /* biPlanes */
    PutLE(f, 14, static_cast<std::uint32_t>(bitCount), 2); /* biBitCount */
    PutLE(f, 16, tag, 4);                                  /* biCompression */
    PutLE(f, 20, sizeImage, 4);                            /* biSizeImage */
    // biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant stay 0.
    if (extraSize > 0) std::memcpy(f.data() + BitmapHeaderSize, extra, extraSize);
    return f;
}

// swscale wants the full-range flag instead of the old "J" formats.
AVPixelFormat ScalerFormat(AVPixelFormat fmt, bool& fullRange) {
    fullRange = true;
    switch (fmt) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        fullRange = false;
        return fmt;
    }
}

} // namespace

struct TConvertedFrame::Impl {
    TFramePtr Frame;
};

TConvertedFrame::TConvertedFrame() : impl_(std::make_unique<Impl>()) {}
TConvertedFrame::~TConvertedFrame() = default;

struct TFrameConverter::Impl {
    int Width = 0;
    int Height = 0;
    AVPixelFormat Format = AV_PIX_FMT_NONE;
    TSwsPtr Sws;
};

TFrameConverter::TFrameConverter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TFrameConverter::~TFrameConverter() = default;

namespace {

// Exact RGB for RGB formats: the unscaled converters copy the components. `hd` converts with
// BT.709 instead of swscale's BT.601.
TSwsPtr MakeScaler(int width, int height, AVPixelFormat fmt, const std::string& name, bool hd) {
    bool fullRange = false;
    const AVPixelFormat scalerFormat = ScalerFormat(fmt, fullRange);
    TSwsPtr sws(
        sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, scalerFormat,
                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP | SWS_FULL_CHR_H_INT,
                       nullptr, nullptr, nullptr));
    if (!sws) throw EMorvantaError("No conversion to " + name);
    if (fullRange || hd) {
        int* invTable = nullptr;
        int* table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        sws_getColorspaceDetails(sws.get(), &invTable, &srcRange, &table, &dstRange, &brightness,
                                 &contrast, &saturation);
        if (hd) table = const_cast<int*>(sws_getCoefficients(SWS_CS_ITU709));
        sws_setColorspaceDetails(sws.get(), invTable, srcRange, table, fullRange ? 1 : dstRange,
                                 brightness, contrast, saturation);
    }
    return sws;
}

} // namespace

void TFrameConverter::Allocate(TConvertedFrame& into) const {
    TFramePtr fresh(av_frame_alloc());
    if (!fresh) throw EMorvantaError("Out of memory");
    fresh->format = impl_->Format;
    fresh->width = impl_->Width;
    fresh->height = impl_->Height;
    if (const int err = av_frame_get_buffer(fresh.get(), 0); err < 0)
        ThrowAvError("Cannot allocate a frame", err);
    into.impl_->Frame = std::move(fresh);
}

void TFrameConverter::Convert(const TBitmap32& frame, TConvertedFrame& into) {
    const Impl& m = *impl_;
    if (frame.Width != m.Width || frame.Height != m.Height ||
        frame.Pixels.size() < static_cast<std::size_t>(m.Width) * m.Height)
        throw EMorvantaError("Frame size " + std::to_string(frame.Width) + "x" +
                             std::to_string(frame.Height) + " differs from the stream's " +
                             std::to_string(m.Width) + "x" + std::to_string(m.Height));
    TFramePtr& f = into.impl_->Frame;
    // A buffer shared with another slot or still held by an encoder is left to them: the frame
    // gets a fresh one, all of which is written below (copying the old pixels would be waste).
    if (!f || !av_frame_is_writable(f.get())) Allocate(into);
    const std::uint8_t* src[4] = {reinterpret_cast<const std::uint8_t*>(frame.Pixels.data()),
                                  nullptr, nullptr, nullptr};
    const int srcStride[4] = {m.Width * 4, 0, 0, 0};
    sws_scale(m.Sws.get(), src, srcStride, 0, m.Height, f->data, f->linesize);
}

void TFrameConverter::CopyConverted(const TConvertedFrame& from, TConvertedFrame& into) {
    const AVFrame* src = from.impl_->Frame.get();
    if (!src) throw EMorvantaError("No converted frame to copy");
    // The pixels are shared, not copied: no one writes into a shared buffer (Convert takes a
    // fresh one). Only the buffers, planes and size are read from `from`: its time and
    // quality may be set meanwhile by the thread compressing it.
    TFramePtr fresh(av_frame_alloc());
    if (!fresh) throw EMorvantaError("Out of memory");
    fresh->format = src->format;
    fresh->width = src->width;
    fresh->height = src->height;
    for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
        fresh->data[i] = src->data[i];
        fresh->linesize[i] = src->linesize[i];
        if (!src->buf[i]) continue;
        fresh->buf[i] = av_buffer_ref(src->buf[i]);
        if (!fresh->buf[i]) throw EMorvantaError("Out of memory");
    }
    if (src->extended_data != src->data) throw EMorvantaError("No converted frame to copy");
    fresh->extended_data = fresh->data;
    into.impl_->Frame = std::move(fresh);
}

struct TVideoEncoder::Impl {
    ~Impl();
    TCodecInfo Codec;
    int Width = 0;
    int Height = 0;
    TCodecContextPtr Ctx;
    TPacketPtr Packet;
    AVPixelFormat PixelFormat = AV_PIX_FMT_NONE;
    std::unique_ptr<TFrameConverter> Converter; // Encode's own, on the caller's thread
    TConvertedFrame Converted;
    std::vector<std::uint8_t> Format;
    std::optional<TEncodedFrame> Held; // the newest compressed frame, until the next arrives
    std::vector<std::vector<std::uint8_t>> Spare; // buffers of written frames
    TEncoderSetup Setup;
    bool Hd = false; // converted with BT.709
    std::int64_t NextPts = 0;
    std::int64_t Received = 0;
    bool Flushed = false;

    void OpenEncoder(int frameDuration);
    void EncodeDib(const TBitmap32& frame, std::vector<TEncodedFrame>& out);
    void Receive(std::vector<TEncodedFrame>& out);
    void Emit(TEncodedFrame frame, std::vector<TEncodedFrame>& out);
    std::vector<std::uint8_t> Buffer();
};

TVideoEncoder::Impl::~Impl() {
    // SVT-AV1 waits forever in its close for an end of stream it was never sent, and in the end
    // of a stream without a frame: give it one of each, and drop what comes out.
    if (!Ctx || Flushed || Codec.Encoder != "libsvtav1" || !Packet) return;
    AVFrame* blank = Converted.impl_->Frame.get();
    if (NextPts == 0 && blank) {
        blank->pts = 0;
        if (avcodec_send_frame(Ctx.get(), blank) < 0) return;
    }
    if (avcodec_send_frame(Ctx.get(), nullptr) < 0) return;
    while (avcodec_receive_packet(Ctx.get(), Packet.get()) >= 0) av_packet_unref(Packet.get());
}

std::vector<std::uint8_t> TVideoEncoder::Impl::Buffer() {
    if (Spare.empty()) return {};
    std::vector<std::uint8_t> b = std::move(Spare.back());
    Spare.pop_back();
    return b;
}

namespace {

// The time bases offered to an encoder for a frame period of `frameDuration` ms, best first:
// the exact one, then whole and listed rates from the nearest up. Some encoders (MPEG-1/2)
// write only a few standard rates; the AVI keeps the exact period either way, and players time
// the frames by the AVI. Never a slower rate than the AVI's: readers that time frames by the
// stream's own rate would then see each frame start before the previous one ends.
std::vector<AVRational> TimeBases(const AVCodec* enc, int frameDuration, int frameRate) {
    const AVRational exact =
        frameRate > 0 ? AVRational{frameRate, 1} : AVRational{1000, frameDuration};
    std::vector<AVRational> faster;
    const auto offer = [&](AVRational r) {
        if (av_cmp_q(r, exact) > 0) faster.push_back(r);
    };
    if (frameRate <= 0) offer({(1000 + frameDuration - 1) / frameDuration, 1});
    if (enc->supported_framerates)
        for (const AVRational* r = enc->supported_framerates; r->num != 0; ++r) offer(*r);
    std::stable_sort(faster.begin(), faster.end(),
                     [](AVRational a, AVRational b) { return av_cmp_q(a, b) < 0; });
    std::vector<AVRational> bases = {av_inv_q(exact)};
    for (const AVRational r : faster)
        if (av_cmp_q(av_inv_q(r), bases.back()) != 0) bases.push_back(av_inv_q(r));
    return bases;
}

} // namespace

void TVideoEncoder::Impl::OpenEncoder(int frameDuration) {
    // Encoders report statistics and notes at info level; a render shows only errors.
    if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
    // SVT-AV1 writes its banner and settings to standard error unless told to keep to errors.
    if (Codec.Encoder == "libsvtav1") setenv("SVT_LOG", "1", 0);
    const AVCodec* enc = avcodec_find_encoder_by_name(Codec.Encoder.c_str());
    if (!enc) throw EMorvantaError("Encoder " + Codec.Encoder + " not found");
    const AVPixelFormat fmt = av_get_pix_fmt(Codec.PixelFormat.c_str());
    if (fmt == AV_PIX_FMT_NONE) throw EMorvantaError("Unknown pixel format " + Codec.PixelFormat);

    Packet.reset(av_packet_alloc());
    if (!Packet) throw EMorvantaError("Out of memory");
    int firstError = 0;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(fmt);
    const bool yuv = desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
    bool fullRange = false;
    ScalerFormat(fmt, fullRange);
    Hd = Setup.StateColours && yuv && !fullRange && IsHdSize(Width, Height);
    for (const AVRational base : TimeBases(enc, frameDuration, Setup.FrameRate)) {
        Ctx.reset(avcodec_alloc_context3(enc));
        if (!Ctx) throw EMorvantaError("Out of memory");
        Ctx->width = Width;
        Ctx->height = Height;
        Ctx->pix_fmt = fmt;
        Ctx->time_base = base;
        Ctx->framerate = av_inv_q(base);
        Ctx->sample_aspect_ratio = {1, 1};
        if (yuv) Ctx->color_range = fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
        if (Setup.StateColours && yuv && !fullRange) {
            Ctx->colorspace = Hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
            Ctx->color_primaries = Hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
            Ctx->color_trc = Hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
        }
        // AVI players expect the headers in band; MP4 and MKV keep them in the stream's header.
        if (Setup.GlobalHeader) Ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ApplyCodecSettings(Ctx.get(), Codec);
        if (Setup.Threads > 0) Ctx->thread_count = Setup.Threads;
        const int err = avcodec_open2(Ctx.get(), enc, nullptr);
        if (err >= 0) {
            firstError = 0;
            break;
        }
        if (firstError == 0) firstError = err;
    }
    if (firstError < 0) {
        Ctx.reset();
        ThrowAvError("Cannot open " + Codec.Encoder, firstError);
    }

    PixelFormat = fmt;
    const int bits = FormatBitCount(Ctx.get());
    const auto sizeImage =
        static_cast<std::uint32_t>((static_cast<std::uint64_t>(Width) * Height * bits + 7) / 8);
    Format = BitmapFormat(Width, Height, bits, MakeTag(Codec.FourCC), sizeImage, Ctx->extradata,
                          Ctx->extradata ? static_cast<std::size_t>(Ctx->extradata_size) : 0);
}

void TVideoEncoder::Impl::EncodeDib(const TBitmap32& frame, std::vector<TEncodedFrame>& out) {
    const std::size_t stride = (static_cast<std::size_t>(Width) * 3 + 3) / 4 * 4;
    TEncodedFrame f;
    f.Index = NextPts++;
    f.Key = true;
    f.Data = Buffer();
    f.Data.assign(stride * Height, 0);
    for (int y = 0; y < Height; ++y) {
        // Bottom-up rows, each pixel blue, green, red.
        std::uint8_t* dst = f.Data.data() + stride * (Height - 1 - y);
        const std::uint32_t* src = frame.Row(y);
        for (int x = 0; x < Width; ++x) {
            dst[3 * x] = static_cast<std::uint8_t>(BlueOf(src[x]));
            dst[3 * x + 1] = static_cast<std::uint8_t>(GreenOf(src[x]));
            dst[3 * x + 2] = static_cast<std::uint8_t>(RedOf(src[x]));
        }
    }
    out.push_back(std::move(f));
}

void TVideoEncoder::Impl::Emit(TEncodedFrame frame, std::vector<TEncodedFrame>& out) {
    // An encoder that splits one picture into several packets gets them joined in one sample.
    if (Held && frame.Index <= Held->Index) {
        Held->Data.insert(Held->Data.end(), frame.Data.begin(), frame.Data.end());
        Held->Key = Held->Key || frame.Key;
        return;
    }
    if (Held) out.push_back(std::move(*Held));
    Held = std::move(frame);
}

void TVideoEncoder::Impl::Receive(std::vector<TEncodedFrame>& out) {
    for (;;) {
        const int err = avcodec_receive_packet(Ctx.get(), Packet.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
        if (err < 0) ThrowAvError("Compression failed", err);
        TEncodedFrame f;
        f.Index = Packet->pts != AV_NOPTS_VALUE ? Packet->pts : Received;
        f.Key = (Packet->flags & AV_PKT_FLAG_KEY) != 0;
        f.Data = Buffer();
        f.Data.assign(Packet->data, Packet->data + Packet->size);
        ++Received;
        av_packet_unref(Packet.get());
        Emit(std::move(f), out);
    }
}

bool IsHdSize(int width, int height) {
    return width > 720 || height > 576;
}

bool AviStatesColours(const TCodecInfo& codec, int width, int height) {
    return IsHdSize(width, height) && (codec.Encoder == "libx264" || codec.Encoder == "libx265");
}

TVideoEncoder::TVideoEncoder(const TCodecInfo& codec, int width, int height, int frameDuration,
                             const TEncoderSetup& setup)
    : impl_(std::make_unique<Impl>()) {
    if (width <= 0 || height <= 0 || frameDuration <= 0)
        throw EMorvantaError("Invalid frame size or duration");
    impl_->Codec = codec;
    impl_->Setup = setup;
    impl_->Width = width;
    impl_->Height = height;
    if (codec.Encoder.empty()) {
        const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
        impl_->Format = BitmapFormat(width, height, 24, 0,
                                     static_cast<std::uint32_t>(stride * height), nullptr, 0);
        return;
    }
    impl_->OpenEncoder(frameDuration);
    impl_->Converter = MakeConverter();
    // The frame buffer exists from the start: a failure shows when the encoder opens.
    impl_->Converter->Allocate(impl_->Converted);
}

TVideoEncoder::~TVideoEncoder() = default;

const std::vector<std::uint8_t>& TVideoEncoder::Format() const {
    return impl_->Format;
}

void TVideoEncoder::Encode(const TBitmap32& frame, std::vector<TEncodedFrame>& out) {
    Impl& m = *impl_;
    if (frame.Width != m.Width || frame.Height != m.Height ||
        frame.Pixels.size() < static_cast<std::size_t>(m.Width) * m.Height)
        throw EMorvantaError("Frame size " + std::to_string(frame.Width) + "x" +
                             std::to_string(frame.Height) + " differs from the stream's " +
                             std::to_string(m.Width) + "x" + std::to_string(m.Height));
    if (m.Flushed) throw EMorvantaError("The encoder has been drained");
    if (!m.Ctx) return m.EncodeDib(frame, out);
    m.Converter->Convert(frame, m.Converted);
    EncodeConverted(m.Converted, out);
}

std::unique_ptr<TFrameConverter> TVideoEncoder::MakeConverter() const {
    const Impl& m = *impl_;
    if (!m.Ctx) return nullptr;
    auto c = std::make_unique<TFrameConverter::Impl>();
    c->Width = m.Width;
    c->Height = m.Height;
    c->Format = m.PixelFormat;
    c->Sws = MakeScaler(m.Width, m.Height, m.PixelFormat, m.Codec.PixelFormat, m.Hd);
    return std::unique_ptr<TFrameConverter>(new TFrameConverter(std::move(c)));
}

void TVideoEncoder::EncodeConverted(TConvertedFrame& frame, std::vector<TEncodedFrame>& out) {
    Impl& m = *impl_;
    if (m.Flushed) throw EMorvantaError("The encoder has been drained");
    AVFrame* f = frame.impl_->Frame.get();
    if (!m.Ctx || !f) throw EMorvantaError("No converted frame for this encoder");
    f->pts = m.NextPts++;
    // Constant-quantizer encoders read the quantizer from each picture.
    f->quality = m.Ctx->global_quality;
    if (const int err = avcodec_send_frame(m.Ctx.get(), f); err < 0)
        ThrowAvError("Compression failed", err);
    m.Receive(out);
}

void TVideoEncoder::CopyParameters(AVCodecParameters* parameters) const {
    if (!impl_->Ctx) throw EMorvantaError("Uncompressed frames have no encoder");
    if (const int err = avcodec_parameters_from_context(parameters, impl_->Ctx.get()); err < 0)
        ThrowAvError("Cannot describe the video stream", err);
}

void TVideoEncoder::Recycle(std::vector<TEncodedFrame>& written) {
    // A few buffers cover the frames in flight; more would only hold memory.
    constexpr std::size_t MaxSpare = 4;
    for (TEncodedFrame& f : written)
        if (impl_->Spare.size() < MaxSpare && f.Data.capacity() > 0)
            impl_->Spare.push_back(std::move(f.Data));
    written.clear();
}

void TVideoEncoder::Flush(std::vector<TEncodedFrame>& out) {
    Impl& m = *impl_;
    if (m.Flushed) return;
    m.Flushed = true;
    if (!m.Ctx) return;
    if (const int err = avcodec_send_frame(m.Ctx.get(), nullptr); err < 0)
        ThrowAvError("Compression failed", err);
    m.Receive(out);
    if (m.Held) {
        out.push_back(std::move(*m.Held));
        m.Held.reset();
    }
}
