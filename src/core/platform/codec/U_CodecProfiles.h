#pragma once
// What the codec layer knows about each encoder: FourCC, input pixel format, and the options it
// offers with their defaults. Internal to the codec layer.
#include <string>
#include <vector>

#include "platform/codec/U_Codecs.h"
#include "platform/codec/U_FFmpeg.h"

struct AVCodecTag;

// Where an option's value goes in the encoder's context.
enum class TOptionTarget {
    KeyInterval,      // gop_size (and keyint_min, which some encoders read instead)
    Quantizer,        // constant quantizer: AV_CODEC_FLAG_QSCALE + global_quality
    PrivateInt,       // the encoder's private option `AvName`, as a number
    PrivateText,      // the encoder's private option `AvName`, as the choice's text
    CompressionLevel, // compression_level
};

struct TOptionSpec {
    std::string Name;
    TCodecOptionKind Kind = TCodecOptionKind::Int;
    int Min = 0;
    int Max = 0;
    int Default = 0;
    std::vector<std::string> Choices;
    std::string Hint;
    TOptionTarget Target = TOptionTarget::KeyInterval;
    std::string AvName;
};

struct TCodecProfile {
    std::string FourCC;
    std::string Encoder;
    AVPixelFormat PixelFormat = AV_PIX_FMT_NONE;
    std::vector<TOptionSpec> Options;
    // The FourCC is in the AVI's tables; HEVC's is not, and goes only into MP4 and MKV.
    bool InAviTables = true;
};

// The 32-bit tag of a FourCC (padded), in memory order.
unsigned MakeTag(const std::string& fourcc);
// The AVI FourCC tables, as av_codec_get_id and av_codec_get_tag take them.
const AVCodecTag* const* RiffTags();

// The well-known codecs, in list order.
const std::vector<TCodecProfile>& WellKnownProfiles();
// The option specs of a listed codec (its profile's, or the generic ones for the rest).
std::vector<TOptionSpec> OptionSpecsFor(const TCodecInfo& codec);
// The options of `codec` with their stored values.
std::vector<TCodecOption> ReadOptionsFor(const TCodecInfo& codec);

// The installed libavcodec and the probe's rules: results kept under another one are stale.
std::string CodecLibraryIdent();
// Sets up `ctx` for `codec` before avcodec_open2: defaults, then the stored options.
void ApplyCodecSettings(AVCodecContext* ctx, const TCodecInfo& codec);
// Bits per pixel written in the stream format for an opened encoder.
int FormatBitCount(const AVCodecContext* ctx);
