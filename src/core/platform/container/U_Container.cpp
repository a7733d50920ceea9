#include "platform/container/U_Container.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/codec/U_CodecProfiles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string ExtensionOf(const std::string& path) {
    return std::filesystem::path(path).extension().string();
}

// The codecs each container holds, by libavcodec's id: what players of that container read.
bool Holds(TContainer container, AVCodecID id) {
    switch (container) {
    case TContainer::Avi:
        return true;
    case TContainer::Mp4:
        return id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_HEVC || id == AV_CODEC_ID_AV1 ||
               id == AV_CODEC_ID_MPEG4;
    case TContainer::Mkv:
        return id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_HEVC || id == AV_CODEC_ID_AV1 ||
               id == AV_CODEC_ID_MPEG4 || id == AV_CODEC_ID_VP9 || id == AV_CODEC_ID_FFV1 ||
               id == AV_CODEC_ID_UTVIDEO || id == AV_CODEC_ID_HUFFYUV || id == AV_CODEC_ID_FFVHUFF;
    case TContainer::WebM:
        return id == AV_CODEC_ID_VP9 || id == AV_CODEC_ID_AV1;
    }
    return false;
}

std::string ShortFourCC(std::string fourcc) {
    while (!fourcc.empty() && fourcc.back() == ' ') fourcc.pop_back();
    return fourcc;
}

} // namespace

TContainer ContainerOf(const std::string& path) {
    const std::string ext = Lower(ExtensionOf(path));
    if (ext == ".mp4" || ext == ".m4v" || ext == ".mov") return TContainer::Mp4;
    if (ext == ".mkv") return TContainer::Mkv;
    if (ext == ".webm") return TContainer::WebM;
    return TContainer::Avi;
}

std::string ContainerName(TContainer container) {
    switch (container) {
    case TContainer::Avi:
        return "AVI";
    case TContainer::Mp4:
        return "MP4";
    case TContainer::Mkv:
        return "MKV";
    case TContainer::WebM:
        return "WebM";
    }
    return "AVI";
}

std::string ContainerFileText(TContainer container) {
    return (container == TContainer::WebM ? "A " : "An ") + ContainerName(container) + " file";
}

std::string WithContainerExtension(const std::string& path) {
    if (ContainerOf(path) != TContainer::Avi) return path;
    // The AVI's extension is compared exactly, as it always was.
    return path.ends_with(".avi") ? path : path + ".avi";
}

const std::vector<TContainer>& AllContainers() {
    static const std::vector<TContainer> all = {TContainer::Avi, TContainer::Mp4, TContainer::Mkv,
                                                TContainer::WebM};
    return all;
}

bool ContainerHolds(TContainer container, const TCodecInfo& codec) {
    if (codec.Encoder.empty()) return container == TContainer::Avi; // the AVI's own rows
    const AVCodec* enc = avcodec_find_encoder_by_name(codec.Encoder.c_str());
    if (!enc) return false;
    // Every listed FourCC went into the AVI before the other containers came; its trial decides.
    // A graphics card's encoder has no FourCC of its own that AVI readers know.
    if (container == TContainer::Avi) return !IsHardwareEncoder(codec.Encoder);
    return Holds(container, enc->id);
}

std::string ContainersText(const TCodecInfo& codec) {
    std::string text;
    for (const TContainer c : AllContainers())
        if (ContainerHolds(c, codec)) text += (text.empty() ? "" : ", ") + ContainerName(c);
    return text;
}

std::string FallbackFourCC(TContainer container) {
    return container == TContainer::WebM ? "VP90" : "H264";
}

std::string ContainerRefusal(TContainer container, const TCodecInfo& codec,
                             const std::vector<TCodecInfo>& listed) {
    if (ContainerHolds(container, codec)) return {};
    std::string fits;
    for (const TCodecInfo& c : listed)
        if (ContainerHolds(container, c))
            fits += (fits.empty() ? "" : ", ") + ShortFourCC(c.FourCC);
    std::string text = ContainerFileText(container) + " cannot hold " + ShortFourCC(codec.FourCC) +
                       " (" + codec.Description + ").";
    text += fits.empty() ? " No listed codec fits it." : " Codecs that fit: " + fits + ".";
    return text;
}

std::string MuxerName(const std::string& path) {
    switch (ContainerOf(path)) {
    case TContainer::Avi:
        return {};
    case TContainer::Mp4:
        return Lower(ExtensionOf(path)) == ".mov" ? "mov" : "mp4";
    case TContainer::Mkv:
        return "matroska";
    case TContainer::WebM:
        return "webm";
    }
    return {};
}

std::string DefaultSoundEncoder(TContainer container) {
    return container == TContainer::WebM ? "libopus" : "aac";
}

bool ContainerHoldsSound(TContainer container, int codecId) {
    const auto id = static_cast<AVCodecID>(codecId);
    const bool mp3 = id == AV_CODEC_ID_MP3;
    const bool xiph = id == AV_CODEC_ID_OPUS || id == AV_CODEC_ID_VORBIS;
    switch (container) {
    case TContainer::Avi:
        return mp3;
    case TContainer::Mp4:
        return mp3 || id == AV_CODEC_ID_AAC;
    case TContainer::Mkv:
        return mp3 || xiph || id == AV_CODEC_ID_AAC || id == AV_CODEC_ID_FLAC;
    case TContainer::WebM:
        return xiph;
    }
    return false;
}

std::string SoundCodecText(int codecId) {
    switch (static_cast<AVCodecID>(codecId)) {
    case AV_CODEC_ID_MP3:
        return "MP3";
    case AV_CODEC_ID_AAC:
        return "AAC";
    case AV_CODEC_ID_VORBIS:
        return "Vorbis";
    case AV_CODEC_ID_OPUS:
        return "Opus";
    case AV_CODEC_ID_FLAC:
        return "FLAC";
    default:
        break;
    }
    const char* name = avcodec_get_name(static_cast<AVCodecID>(codecId));
    return Upper(name ? name : "unknown");
}
