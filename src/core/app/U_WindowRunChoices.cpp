#include "app/U_WindowRunChoices.h"

#include <cctype>
#include <exception>
#include <vector>

#include "app/U_BeatCuts.h"
#include "app/U_RenderJob.h"
#include "platform/os/U_Settings.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::optional<int> Side(const std::string& part) {
    const std::string digits = Trim(part);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    for (const char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    const int value = std::stoi(digits);
    if (value < MinTypedSide || value > MaxTypedSide) return std::nullopt;
    return value;
}

// A stored whole number, or `fallback` when it is missing or not one in lo..hi.
int StoredNumber(const char* name, int lo, int hi, int fallback) {
    const std::string text = Trim(ReadSetting(name));
    if (text.empty() || text.size() > 9) return fallback;
    for (const char c : text)
        if (c < '0' || c > '9') return fallback;
    const int value = std::stoi(text);
    return value < lo || value > hi ? fallback : value;
}

} // namespace

std::optional<TFrameSize> ParseTypedSize(const std::string& text) {
    const std::string trimmed = Trim(text);
    const auto x = trimmed.find_first_of("xX");
    if (x == std::string::npos) return std::nullopt;
    const auto width = Side(trimmed.substr(0, x));
    const auto height = Side(trimmed.substr(x + 1));
    if (!width || !height) return std::nullopt;
    return TFrameSize{*width, *height};
}

bool CodecLineFits(TContainer container, const std::string& line) {
    if (container == TContainer::Avi) return true;
    if (line.size() < 4) return false;
    const unsigned tag = MKTAG(line[0], line[1], line[2], line[3]);
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    const AVCodecID id = av_codec_get_id(tables, tag);
    if (id == AV_CODEC_ID_NONE || id == AV_CODEC_ID_RAWVIDEO) return false;
    const AVCodec* encoder = avcodec_find_encoder(id);
    if (!encoder) return false;
    TCodecInfo codec;
    codec.FourCC = line.substr(0, 4);
    codec.Encoder = encoder->name;
    return ContainerHolds(container, codec);
}

TSoundChoices ReadSoundChoices() {
    TSoundChoices choices;
    choices.Mode = SoundModeFromText(ReadSetting(SoundModeSettingName)).value_or(TSoundMode::Auto);
    choices.FadeOutMs = StoredNumber(FadeOutSettingName, 0, MaxFadeOutMs, choices.FadeOutMs);
    choices.BeatCuts = ReadSetting(BeatCutsSettingName) == "1";
    return choices;
}

bool WriteSoundChoices(const TSoundChoices& choices) {
    const bool mode = WriteSetting(SoundModeSettingName, SoundModeText(choices.Mode));
    const bool fade = WriteSetting(FadeOutSettingName, std::to_string(choices.FadeOutMs));
    const bool beat = WriteSetting(BeatCutsSettingName, choices.BeatCuts ? "1" : "0");
    return mode && fade && beat;
}

std::string CutRequestOnTheBeat(TRenderRequest& request) {
    std::vector<std::string> songs;
    if (!request.SoundFile.empty()) songs.push_back(request.SoundFile);
    songs.insert(songs.end(), request.MoreSongs.begin(), request.MoreSongs.end());
    try {
        return ApplyCutsOnTheBeat(request.Frames, request.FrameDuration, songs, request.SongFadeMs);
    } catch (const std::exception& e) {
        return std::string("Cut on the beat: ") + e.what() + "; the times are kept.";
    }
}
