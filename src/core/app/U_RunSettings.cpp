#include "app/U_RunSettings.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "platform/base/U_Rounding.h"

namespace {

// The spin edits clamp whatever they are given before it is rounded.
int ClampRound(double value, int low, int high) {
    if (std::isnan(value)) return low;
    return RoundToInt(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

const char* YesNo(bool value) {
    return value ? "Yes" : "No";
}

} // namespace

int StrToIntDef(const std::string& text, int fallback) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return fallback;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return fallback;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return fallback;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return fallback;
    return static_cast<int>(value);
}

TRunSettings DeriveRunSettings(const TRunInputs& inputs) {
    TRunSettings run;
    run.PictureDurationMs =
        ClampRound(inputs.TimePerPicture, MinPictureDurationMs, MaxPictureDurationMs);
    run.FrameRate = ClampRound(inputs.FramesPerSecond, MinFrameRate, MaxFrameRate);
    run.FrameDuration = 1000 / run.FrameRate;

    const auto x = inputs.Resolution.find('x');
    if (x != std::string::npos) {
        run.Width = StrToIntDef(inputs.Resolution.substr(0, x), 640);
        run.Height = StrToIntDef(inputs.Resolution.substr(x + 1), 480);
    }
    run.FourCC = inputs.CodecEntry.substr(0, 4);

    bool dynamics = inputs.DynamicsChecked;
    bool crossFade = inputs.CrossFadeChecked;
    bool captions = inputs.CaptionTextChecked;
    // time * rate / 1000 < 30, kept in integers so that nothing is truncated.
    const bool tooShort =
        static_cast<long long>(run.PictureDurationMs) * run.FrameRate < 30LL * 1000;
    if (tooShort && (dynamics || crossFade || captions)) {
        dynamics = crossFade = captions = false;
        run.VisualOptionsDisabled = true;
    }

    run.SingleFrame = !inputs.DynamicsEnabled;
    run.DynamicPictures = dynamics && !run.SingleFrame;
    run.CrossFade = crossFade && !run.SingleFrame;
    run.CaptionText = captions && !run.SingleFrame;
    run.Greyscale = inputs.Greyscale;
    run.Sepia = inputs.Sepia;
    run.Style = inputs.Style;
    run.PictureStyles = inputs.PictureStyles;
    return run;
}

std::vector<std::string> RunLogLines(const TRunSettings& run) {
    char resolution[64];
    std::snprintf(resolution, sizeof resolution, "Resolution : %dx%d", run.Width, run.Height);
    std::vector<std::string> lines{
        "Start Encoding",
        resolution,
        "FPS : " + std::to_string(run.FrameRate),
        "Time per Picture : " + std::to_string(run.PictureDurationMs) + " ms",
        "FCC : " + run.FourCC,
        std::string("OSD : ") + YesNo(run.CaptionText),
        std::string("Dynamic Pictures : ") + YesNo(run.DynamicPictures),
        std::string("XFade : ") + YesNo(run.CrossFade),
        std::string("Single Frame mode : ") + YesNo(run.SingleFrame),
    };
    // Only a show that looks other than the plain one says how.
    for (const auto& [name, value] : StyleSettings(run.Style))
        lines.push_back(name + " : " + value);
    return lines;
}

std::optional<TMatchAudioResult> MatchAudio(int pictureCount, int soundDurationSec,
                                            bool crossFade) {
    if (pictureCount <= 0) return std::nullopt;
    const double seconds = soundDurationSec;
    const double t =
        crossFade ? seconds * 1000 / (pictureCount * 1.3) : seconds * 1000 / pictureCount;
    TMatchAudioResult result;
    result.PictureDurationMs = static_cast<int>(
        std::clamp<long double>(RoundHalfEven(t), MinPictureDurationMs, MaxPictureDurationMs));
    result.AtMinimum = result.PictureDurationMs == MinPictureDurationMs;
    return result;
}

int ChooseCodecIndex(const std::vector<std::string>& entries, const std::string& lastFcc) {
    if (entries.empty()) return -1;
    const std::string wanted = lastFcc.empty() ? std::string("xvid") : lastFcc;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& entry = entries[i];
        if (entry.size() < wanted.size()) continue;
        if (std::equal(wanted.begin(), wanted.end(), entry.begin(),
                       [](char a, char b) { return LowerAscii(a) == LowerAscii(b); }))
            return static_cast<int>(i);
    }
    return 0;
}

std::string FormatDuration(int seconds) {
    const int minutes = seconds / 60;
    const int rest = seconds % 60;
    char text[64];
    if (minutes < 60)
        std::snprintf(text, sizeof text, "%d:%.2d", minutes, rest);
    else
        std::snprintf(text, sizeof text, "%d:%.2d:%.2d", minutes / 60, minutes % 60, rest);
    return text;
}

int SoundDurationSec(double days) {
    const long double seconds = static_cast<long double>(days) * 86400;
    if (!(seconds > 0)) return 0; // also NaN
    if (seconds >= INT_MAX) return INT_MAX;
    return RoundToInt(seconds);
}

TVideoMakerInputs FrameInputsFor(const TRunSettings& settings, TStringList* paths,
                                 const TStringList* captions, bool autoRotate) {
    TVideoMakerInputs inputs;
    inputs.PictureDurationMs = settings.PictureDurationMs;
    inputs.PicturePaths = paths;
    inputs.PictureCaptions = captions;
    inputs.DynamicPictures = settings.DynamicPictures;
    inputs.CrossFade = settings.CrossFade;
    inputs.CaptionText = settings.CaptionText;
    inputs.SingleFrame = settings.SingleFrame;
    inputs.Greyscale = settings.Greyscale;
    inputs.Sepia = settings.Sepia;
    inputs.Style = settings.Style;
    inputs.PictureStyles = settings.PictureStyles;
    inputs.AutoRotate = autoRotate;
    return inputs;
}
