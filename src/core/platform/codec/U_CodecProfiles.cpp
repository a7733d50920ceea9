#include "platform/codec/U_CodecProfiles.h"

#include <algorithm>

extern "C" {
#include <libavutil/opt.h>
}

namespace {

using K = TCodecOptionKind;
using T = TOptionTarget;

TOptionSpec KeyInterval(int def) {
    return {"Key-frame interval", K::Int, 1, 1000, def, {}, "Frames between two key frames",
            T::KeyInterval,       ""};
}

// Constant quantizer: 1 is the best quality, 31 the smallest file.
TOptionSpec Quantizer(int def) {
    return {"Quantizer",  K::Int, 1, 31, def, {}, "1 = best quality, 31 = smallest file",
            T::Quantizer, ""};
}

TOptionSpec Choice(const std::string& name, const std::string& avName,
                   std::vector<std::string> choices, int def, const std::string& hint) {
    return {name,  K::Choice,          0,    static_cast<int>(choices.size()) - 1,
            def,   std::move(choices), hint, T::PrivateText,
            avName};
}

// A constant quality: lower is better.
TOptionSpec Crf(int max, int def) {
    return {"Constant rate factor",
            K::Int,
            0,
            max,
            def,
            {},
            "0 = best quality, " + std::to_string(max) + " = smallest file",
            T::PrivateInt,
            "crf"};
}

// The graphics card encoders' constant quality: lower is better.
TOptionSpec Cq(int max, int def) {
    TOptionSpec spec = Crf(max, def);
    spec.Name = "Constant quality";
    spec.AvName = "cq";
    return spec;
}

std::vector<TCodecProfile> MakeProfiles() {
    const std::vector<std::string> x264Presets = {"ultrafast", "superfast", "veryfast",
                                                  "faster",    "fast",      "medium"};
    return {
        {"XVID", "libxvid", AV_PIX_FMT_YUV420P, {Quantizer(3), KeyInterval(250)}},
        {"FMP4", "mpeg4", AV_PIX_FMT_YUV420P, {Quantizer(3), KeyInterval(250)}},
        {"H264",
         "libx264",
         AV_PIX_FMT_YUV420P,
         {{"Constant rate factor",
           K::Int,
           0,
           51,
           20,
           {},
           "0 = lossless, 51 = smallest file",
           T::PrivateInt,
           "crf"},
          Choice("Preset", "preset", x264Presets, 4, "Slower presets give smaller files"),
          KeyInterval(250)}},
        {"HEVC",
         "libx265",
         AV_PIX_FMT_YUV420P,
         {Crf(51, 24),
          Choice("Preset", "preset", x264Presets, 4, "Slower presets give smaller files"),
          KeyInterval(250)},
         false},
        {"AV01",
         "libsvtav1",
         AV_PIX_FMT_YUV420P,
         {Crf(63, 32),
          {"Preset",
           K::Int,
           0,
           12,
           8,
           {},
           "0 = slowest and smallest, 12 = fastest",
           T::PrivateInt,
           "preset"},
          KeyInterval(250)}},
        {"VP90", "libvpx-vp9", AV_PIX_FMT_YUV420P, {Crf(63, 32), KeyInterval(250)}},
        // The graphics card's encoders take frames from memory; listed only where their trial
        // works (a driver and a device), and only for MP4 and MKV: AVI readers know no FourCC
        // for them.
        {"NVH4", "h264_nvenc", AV_PIX_FMT_YUV420P, {Cq(51, 23), KeyInterval(250)}, false},
        {"NVH5", "hevc_nvenc", AV_PIX_FMT_YUV420P, {Cq(51, 27), KeyInterval(250)}, false},
        {"QSH4", "h264_qsv", AV_PIX_FMT_NV12, {KeyInterval(250)}, false},
        {"QSH5", "hevc_qsv", AV_PIX_FMT_NV12, {KeyInterval(250)}, false},
        {"MJPG", "mjpeg", AV_PIX_FMT_YUVJ420P, {Quantizer(3)}},
        {"MP42", "msmpeg4v2", AV_PIX_FMT_YUV420P, {Quantizer(3), KeyInterval(250)}},
        {"MP43", "msmpeg4", AV_PIX_FMT_YUV420P, {Quantizer(3), KeyInterval(250)}},
        {"FFV1",
         "ffv1",
         AV_PIX_FMT_BGR0,
         {Choice("Coder", "coder", {"rice", "range_def"}, 1, "Range coding gives smaller files"),
          {"Large context model",
           K::Bool,
           0,
           1,
           0,
           {},
           "Smaller files, slower",
           T::PrivateInt,
           "context"}}},
        {"HFYU",
         "huffyuv",
         AV_PIX_FMT_RGB24,
         {Choice("Prediction", "pred", {"left", "plane"}, 0, "How pixels are predicted")}},
        {"FFVH",
         "ffvhuff",
         AV_PIX_FMT_RGB24,
         {Choice("Prediction", "pred", {"left", "plane"}, 0, "How pixels are predicted")}},
        {"M8RG",
         "magicyuv",
         AV_PIX_FMT_GBRP,
         {Choice("Prediction", "pred", {"left", "gradient", "median"}, 0,
                 "How pixels are predicted")}},
        {"ULRG",
         "utvideo",
         AV_PIX_FMT_GBRP,
         {Choice("Prediction", "pred", {"none", "left", "gradient", "median"}, 1,
                 "How pixels are predicted")}},
        {"MSVC", "msvideo1", AV_PIX_FMT_RGB555LE, {KeyInterval(30)}},
        {"cvid", "cinepak", AV_PIX_FMT_RGB24, {KeyInterval(30)}},
        {"ZMBV",
         "zmbv",
         AV_PIX_FMT_BGR0,
         {KeyInterval(300),
          {"Compression level",
           K::Int,
           0,
           9,
           6,
           {},
           "zlib level: 9 = smallest file",
           T::CompressionLevel,
           ""}}},
    };
}

// Private settings that keep the slower encoders of the list usable for a render: real-time
// speed levels, and no frames held back for invisible reference frames.
struct TEncoderTuning {
    const char* Encoder;
    const char* Option;
    const char* Value;
};
constexpr TEncoderTuning Tunings[] = {
    {"libaom-av1", "usage", "realtime"},
    {"libaom-av1", "cpu-used", "8"},
    {"libaom-av1", "lag-in-frames", "0"},
    {"libvpx", "deadline", "realtime"},
    {"libvpx", "cpu-used", "8"},
    {"libvpx", "auto-alt-ref", "0"},
    {"libvpx", "lag-in-frames", "0"},
    {"libvpx-vp9", "deadline", "realtime"},
    {"libvpx-vp9", "cpu-used", "8"},
    {"libvpx-vp9", "auto-alt-ref", "0"},
    {"libvpx-vp9", "lag-in-frames", "0"},
    {"cinepak", "max_extra_cb_iterations", "0"},
    {"libx265", "x265-params", "log-level=error"},
};

constexpr std::int64_t MinBitRate = 100000;

const TCodecProfile* ProfileFor(const TCodecInfo& codec) {
    for (const auto& p : WellKnownProfiles())
        if (p.Encoder == codec.Encoder && SameFourCC(p.FourCC, codec.FourCC)) return &p;
    return nullptr;
}

void ApplyOption(AVCodecContext* ctx, const TOptionSpec& spec, int value) {
    switch (spec.Target) {
    case T::KeyInterval:
        ctx->gop_size = value;
        ctx->keyint_min = value;
        break;
    case T::Quantizer:
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = value * FF_QP2LAMBDA;
        break;
    case T::PrivateInt:
        if (ctx->priv_data) av_opt_set_int(ctx->priv_data, spec.AvName.c_str(), value, 0);
        break;
    case T::PrivateText:
        if (ctx->priv_data && value >= 0 && value < static_cast<int>(spec.Choices.size()))
            av_opt_set(ctx->priv_data, spec.AvName.c_str(), spec.Choices[value].c_str(), 0);
        break;
    case T::CompressionLevel:
        ctx->compression_level = value;
        break;
    }
}

} // namespace

const std::vector<TCodecProfile>& WellKnownProfiles() {
    static const std::vector<TCodecProfile> profiles = MakeProfiles();
    return profiles;
}

std::vector<TOptionSpec> OptionSpecsFor(const TCodecInfo& codec) {
    if (codec.Encoder.empty()) return {}; // uncompressed
    if (const TCodecProfile* p = ProfileFor(codec)) return p->Options;
    return {KeyInterval(250)};
}

void ApplyCodecSettings(AVCodecContext* ctx, const TCodecInfo& codec) {
    // One compressed frame per picture, in display order.
    ctx->max_b_frames = 0;
    ctx->thread_count = 0;
    if (!ProfileFor(codec)) {
        // Rate-controlled encoders would otherwise fall back to 200 kbit/s.
        const double fps = ctx->time_base.num > 0
                               ? static_cast<double>(ctx->time_base.den) / ctx->time_base.num
                               : 25.0;
        // A floor: tiny frames at a low rate would get a few hundred bits per second, and
        // some encoders then drop every frame.
        ctx->bit_rate = std::max<std::int64_t>(
            MinBitRate, static_cast<std::int64_t>(ctx->width * ctx->height * fps / 4));
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = 3 * FF_QP2LAMBDA;
    }
    // Constant quality, not a bit rate, for the encoders that take a rate factor.
    if (codec.Encoder == "libvpx-vp9" || codec.Encoder == "libsvtav1" || codec.Encoder == "libx265")
        ctx->bit_rate = 0;
    if (ctx->priv_data)
        for (const TEncoderTuning& t : Tunings)
            if (codec.Encoder == t.Encoder) av_opt_set(ctx->priv_data, t.Option, t.Value, 0);
    for (const TCodecOption& option : ReadOptionsFor(codec)) {
        for (const TOptionSpec& spec : OptionSpecsFor(codec))
            if (spec.Name == option.Name) ApplyOption(ctx, spec, option.Value);
    }
}

int FormatBitCount(const AVCodecContext* ctx) {
    return ctx->bits_per_coded_sample > 0 ? ctx->bits_per_coded_sample : 24;
}
