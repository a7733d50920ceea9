// The codec list: which encoders can compress our frames into an AVI, probed once per
// libavcodec version and cached in the settings store.
#include <algorithm>
#include <cstdlib>

#include "platform/base/U_Errors.h"
#include "platform/codec/U_CodecProfiles.h"
#include "platform/os/U_Settings.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

namespace {

constexpr int ProbeWidth = 640;
constexpr int ProbeHeight = 480;
constexpr int ProbePeriod = 40;

// Names of encoders that drive a device: opening them is slow or needs hardware.
constexpr const char* HardwareMarks[] = {"_vaapi", "_nvenc", "_qsv",          "_v4l2m2m", "_omx",
                                         "_amf",   "_mf",    "_videotoolbox", "_vulkan",  "_cuvid",
                                         "_mmal",  "_rkmpp", "_mediacodec"};

// Raised when the probe's rules change, so lists cached by an older program are probed again.
constexpr int ProbeRevision = 5;

std::string TagText(unsigned tag) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((tag >> (8 * i)) & 0xFF);
    return text;
}

bool IsHardware(const AVCodec* enc) {
    return (enc->capabilities & AV_CODEC_CAP_HARDWARE) || IsHardwareEncoder(enc->name);
}

bool SupportsFormat(const AVCodec* enc, AVPixelFormat fmt) {
    if (!enc->pix_fmts) return false;
    for (const AVPixelFormat* p = enc->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == fmt) return true;
    return false;
}

// Lossy codecs get the 4:2:0 that players expect; the others the format nearest our RGB.
AVPixelFormat UsualFormat(const AVCodec* enc) {
    const AVCodecDescriptor* desc = avcodec_descriptor_get(enc->id);
    const bool lossless = desc && (desc->props & AV_CODEC_PROP_LOSSLESS);
    if (!lossless && SupportsFormat(enc, AV_PIX_FMT_YUV420P)) return AV_PIX_FMT_YUV420P;
    return avcodec_find_best_pix_fmt_of_list(enc->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

// Opens at the probe size as a render would, and renders a few frames that decode back: at a
// small size first (cheap), at the probe size when the small one is refused.
bool CanOpen(const AVCodec* enc, const TCodecInfo& info) {
    const AVPixelFormat fmt = av_get_pix_fmt(info.PixelFormat.c_str());
    if (fmt == AV_PIX_FMT_NONE || !SupportsFormat(enc, fmt)) return false;
    if (!sws_isSupportedOutput(fmt)) return false;
    try {
        TQuietAvLog quiet;
        TVideoEncoder opened(info, ProbeWidth, ProbeHeight, ProbePeriod);
    } catch (const EMorvantaError&) {
        return false;
    }
    return CodecAccepts(info, ProbeWidth / 4, ProbeHeight / 4, ProbePeriod) ||
           CodecAccepts(info, ProbeWidth, ProbeHeight, ProbePeriod);
}

TCodecInfo Uncompressed() {
    return {"DIB ", "Uncompressed RGB 24-bit", "", "bgr24"};
}

bool Listed(const std::vector<TCodecInfo>& list, const std::string& fourcc) {
    return std::any_of(list.begin(), list.end(),
                       [&](const TCodecInfo& c) { return SameFourCC(c.FourCC, fourcc); });
}

bool IsWellKnownEncoder(const std::string& name) {
    const auto& profiles = WellKnownProfiles();
    return std::any_of(profiles.begin(), profiles.end(),
                       [&](const TCodecProfile& p) { return p.Encoder == name; });
}

std::vector<TCodecInfo> Probe() {
    TQuietAvLog quiet;
    std::vector<TCodecInfo> list;
    for (const TCodecProfile& profile : WellKnownProfiles()) {
        const AVCodec* enc = avcodec_find_encoder_by_name(profile.Encoder.c_str());
        if (!enc) continue;
        // The FourCC must be one the AVI tables know for this codec.
        if (profile.InAviTables && av_codec_get_id(RiffTags(), MakeTag(profile.FourCC)) != enc->id)
            continue;
        TCodecInfo info{profile.FourCC, enc->long_name ? enc->long_name : enc->name,
                        profile.Encoder, av_get_pix_fmt_name(profile.PixelFormat)};
        if (CanOpen(enc, info)) list.push_back(info);
    }
    list.push_back(Uncompressed());

    void* iter = nullptr;
    while (const AVCodec* enc = av_codec_iterate(&iter)) {
        if (!av_codec_is_encoder(enc) || enc->type != AVMEDIA_TYPE_VIDEO) continue;
        if (IsHardware(enc) || (enc->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) continue;
        if (enc->id == AV_CODEC_ID_RAWVIDEO || IsWellKnownEncoder(enc->name)) continue;
        const unsigned tag = av_codec_get_tag(RiffTags(), enc->id);
        if (tag == 0 || !enc->pix_fmts) continue;
        const std::string fourcc = TagText(tag);
        if (Listed(list, fourcc)) continue;
        const AVPixelFormat fmt = UsualFormat(enc);
        if (fmt == AV_PIX_FMT_NONE) continue;
        TCodecInfo info{fourcc, enc->long_name ? enc->long_name : enc->name, enc->name,
                        av_get_pix_fmt_name(fmt)};
        if (CanOpen(enc, info)) list.push_back(info);
    }
    return list;
}

// One cached entry: FourCC|encoder|pixel format|description.
std::string EntryText(const TCodecInfo& c) {
    return c.FourCC + "|" + c.Encoder + "|" + c.PixelFormat + "|" + c.Description;
}

std::optional<TCodecInfo> ParseEntry(const std::string& text) {
    const auto a = text.find('|');
    if (a != 4) return std::nullopt;
    const auto b = text.find('|', a + 1);
    if (b == std::string::npos) return std::nullopt;
    const auto c = text.find('|', b + 1);
    if (c == std::string::npos) return std::nullopt;
    return TCodecInfo{text.substr(0, a), text.substr(c + 1), text.substr(a + 1, b - a - 1),
                      text.substr(b + 1, c - b - 1)};
}

std::optional<std::vector<TCodecInfo>> ReadCache() {
    const auto version = ReadStringValue(TSettingsHive::Machine, CodecsKey, "Version");
    if (!version || *version != CodecLibraryIdent()) return std::nullopt;
    const auto countText = ReadStringValue(TSettingsHive::Machine, CodecsKey, "Count");
    if (!countText) return std::nullopt;
    const long count = std::strtol(countText->c_str(), nullptr, 10);
    if (count <= 0 || count > 1000) return std::nullopt;
    std::vector<TCodecInfo> list;
    for (long i = 0; i < count; ++i) {
        const auto text =
            ReadStringValue(TSettingsHive::Machine, CodecsKey, "Codec" + std::to_string(i));
        if (!text) return std::nullopt;
        auto entry = ParseEntry(*text);
        if (!entry) return std::nullopt;
        list.push_back(std::move(*entry));
    }
    return list;
}

void WriteCache(const std::vector<TCodecInfo>& list) {
    // A store that cannot be written only costs a probe at the next start.
    for (std::size_t i = 0; i < list.size(); ++i)
        WriteStringValue(TSettingsHive::Machine, CodecsKey, "Codec" + std::to_string(i),
                         EntryText(list[i]));
    WriteStringValue(TSettingsHive::Machine, CodecsKey, "Count", std::to_string(list.size()));
    WriteStringValue(TSettingsHive::Machine, CodecsKey, "Version", CodecLibraryIdent());
}

} // namespace

bool IsHardwareEncoder(const std::string& encoder) {
    for (const char* mark : HardwareMarks)
        if (encoder.find(mark) != std::string::npos) return true;
    return false;
}

const AVCodecTag* const* RiffTags() {
    static const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return tables;
}

unsigned MakeTag(const std::string& fourcc) {
    const std::string f = NormaliseFourCC(fourcc);
    unsigned tag = 0;
    for (int i = 0; i < 4; ++i)
        tag |= static_cast<unsigned>(static_cast<unsigned char>(f[i])) << (8 * i);
    return tag;
}

std::vector<TCodecInfo> ProbeCodecInfos() {
    auto list = Probe();
    WriteCache(list);
    return list;
}

std::vector<TCodecInfo> ListCodecInfos() {
    if (auto cached = ReadCache()) return std::move(*cached);
    return ProbeCodecInfos();
}

std::optional<TCodecInfo> FindCodec(const std::string& fourcc) {
    for (TCodecInfo& c : ListCodecInfos())
        if (SameFourCC(c.FourCC, fourcc)) return std::move(c);
    return std::nullopt;
}

std::string CodecLibraryIdent() {
    return std::string(LIBAVCODEC_IDENT) + "/" + std::to_string(avcodec_version()) + "/r" +
           std::to_string(ProbeRevision);
}
