// The trial behind every "does this codec work here": a few frames compressed as a render
// would, then decoded as a player reading the AVI would. Opening is not enough: some encoders
// open at sizes whose frames they then refuse, or write frames their decoder rejects.
#include <algorithm>
#include <cstring>

#include "platform/base/U_Errors.h"
#include "platform/codec/U_CodecProfiles.h"
#include "platform/codec/U_CodecTrial.h"
#include "platform/os/U_Settings.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr std::size_t BitmapHeaderSize = 40;

std::uint32_t LE(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// A coarse checkerboard: cheap to compress for every encoder (the trial asks what an encoder
// takes, not how well it compresses). `shift` moves it, so two frames differ.
TBitmap32 TrialPicture(int width, int height, int shift) {
    TBitmap32 bmp(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.At(x, y) =
                ((x + shift) / 16 + y / 16) & 1 ? PackRGB(200, 60, 40) : PackRGB(30, 90, 160);
    return bmp;
}

// Decodes `frames` as a player reading the AVI would: the decoder set up from the stream
// format alone, empty chunks skipped (AVI readers drop them). "" when every frame comes back
// at width x height.
std::string DecodeProblem(const TCodecInfo& codec, const std::vector<std::uint8_t>& format,
                          const std::vector<TEncodedFrame>& frames, int width, int height) {
    const std::uint32_t tag = LE(format, 16, 4);
    // The encoder's own codec: the AVI's tables lack some (HEVC), which other containers hold.
    const AVCodec* enc = avcodec_find_encoder_by_name(codec.Encoder.c_str());
    const AVCodec* dec = avcodec_find_decoder(enc ? enc->id : av_codec_get_id(RiffTags(), tag));
    if (!dec) return "no decoder reads its frames";
    TCodecContextPtr ctx(avcodec_alloc_context3(dec));
    TPacketPtr packet(av_packet_alloc());
    TFramePtr picture(av_frame_alloc());
    if (!ctx || !packet || !picture) throw EMorvantaError("Out of memory");
    ctx->width = width;
    ctx->height = height;
    ctx->codec_tag = tag;
    ctx->bits_per_coded_sample = static_cast<int>(LE(format, 14, 2));
    ctx->thread_count = 1;
    const std::size_t declared = std::min<std::size_t>(LE(format, 0, 4), format.size());
    const std::size_t extraSize = declared > BitmapHeaderSize ? declared - BitmapHeaderSize : 0;
    if (extraSize > 0) {
        ctx->extradata =
            static_cast<std::uint8_t*>(av_mallocz(extraSize + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx->extradata) throw EMorvantaError("Out of memory");
        std::memcpy(ctx->extradata, format.data() + BitmapHeaderSize, extraSize);
        ctx->extradata_size = static_cast<int>(extraSize);
    }
    if (const int err = avcodec_open2(ctx.get(), dec, nullptr); err < 0)
        return "its decoder does not open (" + AvErrorText(err) + ")";

    int decoded = 0;
    std::string wrongSize;
    const auto receive = [&] {
        while (avcodec_receive_frame(ctx.get(), picture.get()) >= 0) {
            ++decoded;
            if (picture->width != width || picture->height != height)
                wrongSize = SizeText(picture->width, picture->height);
            av_frame_unref(picture.get());
        }
    };
    for (const TEncodedFrame& f : frames) {
        if (f.Data.empty()) continue;
        if (av_new_packet(packet.get(), static_cast<int>(f.Data.size())) < 0)
            throw EMorvantaError("Out of memory");
        std::memcpy(packet->data, f.Data.data(), f.Data.size());
        if (f.Key) packet->flags |= AV_PKT_FLAG_KEY;
        const int err = avcodec_send_packet(ctx.get(), packet.get());
        av_packet_unref(packet.get());
        if (err < 0 && err != AVERROR(EAGAIN))
            return "its frames do not decode (" + AvErrorText(err) + ")";
        receive();
    }
    avcodec_send_packet(ctx.get(), nullptr);
    receive();
    if (!wrongSize.empty())
        return "its frames decode at " + wrongSize + " instead of " + SizeText(width, height);
    if (decoded != static_cast<int>(frames.size()))
        return std::to_string(decoded) + " of its " + std::to_string(frames.size()) +
               " frames decode";
    return {};
}

} // namespace

std::string TrialRender(const TCodecInfo& codec, int width, int height, int frameDuration,
                        bool stillAndChange) {
    if (codec.Encoder.empty()) // uncompressed rows: any positive size
        return width > 0 && height > 0 && frameDuration > 0 ? "" : "Invalid frame size";
    TQuietAvLog quiet;
    try {
        TEncoderSetup setup;
        setup.Threads = 1;
        TVideoEncoder encoder(codec, width, height, frameDuration, setup);
        // An encoder or decoder that complains and goes on is no better than one that stops.
        // (Counted from here: the encoder may have refused a time base before taking one.)
        TAvErrorLog errors;
        const TBitmap32 first = TrialPicture(width, height, 0);
        std::vector<TEncodedFrame> out;
        encoder.Encode(first, out);
        if (stillAndChange) {
            // A still picture lasts several frames: the repeat must come back as a frame too.
            encoder.Encode(first, out);
            encoder.Encode(TrialPicture(width, height, 5), out);
        }
        encoder.Flush(out);
        const std::size_t sent = stillAndChange ? 3 : 1;
        if (out.size() != sent)
            return "it gives " + std::to_string(out.size()) + " compressed frames for " +
                   std::to_string(sent);
        std::string problem = DecodeProblem(codec, encoder.Format(), out, width, height);
        if (problem.empty() && errors.Count() > 0) problem = "FFmpeg reports: " + errors.First();
        return problem;
    } catch (const EMorvantaError& e) {
        return e.what();
    }
}

std::string CodecTrial(const TCodecInfo& codec, int width, int height, int frameDuration) {
    return TrialRender(codec, width, height, frameDuration, true);
}

bool CodecAccepts(const TCodecInfo& codec, int width, int height, int frameDuration) {
    return CodecTrial(codec, width, height, frameDuration).empty();
}

namespace {

std::string PassedTrialsKey() {
    return std::string(CodecsKey) + "\\Passed trials";
}

std::string TrialName(const TCodecInfo& codec, int width, int height, int frameDuration) {
    std::string name = codec.FourCC + "|" + codec.Encoder + "|" + codec.PixelFormat + "|" +
                       SizeText(width, height) + "|" + std::to_string(frameDuration) + " ms";
    for (const TCodecOption& option : ReadOptionsFor(codec))
        name += "|" + option.Name + ":" + std::to_string(option.Value);
    return name;
}

} // namespace

bool TrialPassedBefore(const TCodecInfo& codec, int width, int height, int frameDuration) {
    const auto passed = ReadStringValue(TSettingsHive::Machine, PassedTrialsKey(),
                                        TrialName(codec, width, height, frameDuration));
    return passed && *passed == CodecLibraryIdent();
}

void RememberPassedTrial(const TCodecInfo& codec, int width, int height, int frameDuration) {
    // A store that cannot be written only means the trial runs again next time.
    WriteStringValue(TSettingsHive::Machine, PassedTrialsKey(),
                     TrialName(codec, width, height, frameDuration), CodecLibraryIdent());
}
