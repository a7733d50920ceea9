// Per-codec options kept in the settings store, and the codec's about text.
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/base/U_Errors.h"
#include "platform/codec/U_CodecProfiles.h"
#include "platform/os/U_Settings.h"

namespace {

std::string OptionsKey(const TCodecInfo& codec) {
    std::string fourcc = codec.FourCC;
    while (!fourcc.empty() && fourcc.back() == ' ') fourcc.pop_back();
    return std::string(CodecsKey) + "\\" + fourcc;
}

std::optional<int> ParseInt(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < -1000000 || v > 1000000) return std::nullopt;
    return static_cast<int>(v);
}

// The stored text of an option, turned into its value; nullopt when absent or unusable.
std::optional<int> ParseStored(const TOptionSpec& spec, const std::string& text) {
    if (spec.Kind == TCodecOptionKind::Choice) {
        const auto it = std::find(spec.Choices.begin(), spec.Choices.end(), text);
        if (it == spec.Choices.end()) return std::nullopt;
        return static_cast<int>(it - spec.Choices.begin());
    }
    const auto v = ParseInt(text);
    if (!v || *v < spec.Min || *v > spec.Max) return std::nullopt;
    return v;
}

std::string StoredText(const TOptionSpec& spec, int value) {
    if (spec.Kind == TCodecOptionKind::Choice) return spec.Choices[value];
    return std::to_string(value);
}

TCodecInfo CodecOrThrow(const std::string& fourcc) {
    auto codec = FindCodec(fourcc);
    if (!codec) throw EMorvantaError("No compressor for " + fourcc + " available");
    return *codec;
}

} // namespace

std::vector<TCodecOption> ReadOptionsFor(const TCodecInfo& codec) {
    std::vector<TCodecOption> options;
    const std::string key = OptionsKey(codec);
    for (const TOptionSpec& spec : OptionSpecsFor(codec)) {
        TCodecOption option;
        option.Name = spec.Name;
        option.Kind = spec.Kind;
        option.Min = spec.Min;
        option.Max = spec.Max;
        option.Default = spec.Default;
        option.Choices = spec.Choices;
        option.Hint = spec.Hint;
        option.Value = spec.Default;
        if (const auto stored = ReadStringValue(TSettingsHive::Machine, key, spec.Name))
            if (const auto v = ParseStored(spec, *stored)) option.Value = *v;
        options.push_back(std::move(option));
    }
    return options;
}

std::vector<TCodecOption> ReadCodecOptions(const std::string& fourcc) {
    const auto codec = FindCodec(fourcc);
    if (!codec) return {};
    return ReadOptionsFor(*codec);
}

bool WriteCodecOptions(const std::string& fourcc, const std::vector<TCodecOption>& options) {
    const TCodecInfo codec = CodecOrThrow(fourcc);
    const std::string key = OptionsKey(codec);
    bool ok = true;
    for (const TOptionSpec& spec : OptionSpecsFor(codec)) {
        const auto given = std::find_if(options.begin(), options.end(),
                                        [&](const TCodecOption& o) { return o.Name == spec.Name; });
        if (given == options.end()) continue;
        const int value = std::clamp(given->Value, spec.Min, spec.Max);
        ok =
            WriteStringValue(TSettingsHive::Machine, key, spec.Name, StoredText(spec, value)) && ok;
    }
    return ok;
}

bool ResetCodecOptions(const std::string& fourcc) {
    const TCodecInfo codec = CodecOrThrow(fourcc);
    const std::string key = OptionsKey(codec);
    bool ok = true;
    // An empty value reads back as "not set".
    for (const TOptionSpec& spec : OptionSpecsFor(codec))
        ok = WriteStringValue(TSettingsHive::Machine, key, spec.Name, "") && ok;
    return ok;
}

std::string TCodecAbout::Text() const {
    std::string text = Name + "\n";
    if (!Encoder.empty()) text += "Encoder: " + Encoder + "\n";
    text += Version + "\n" + Licence;
    return text;
}

TCodecAbout CodecAbout(const std::string& fourcc) {
    const TCodecInfo codec = CodecOrThrow(fourcc);
    TCodecAbout about;
    about.Name = codec.Description;
    about.Encoder = codec.Encoder;
    const unsigned v = avcodec_version();
    about.Version = "libavcodec " + std::to_string(AV_VERSION_MAJOR(v)) + "." +
                    std::to_string(AV_VERSION_MINOR(v)) + "." + std::to_string(AV_VERSION_MICRO(v));
    about.Licence = avcodec_license();
    return about;
}
