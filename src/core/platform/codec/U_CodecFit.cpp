// What a codec needs when it refuses a frame size or rate, and a size or rate that works. Found
// by trying the encoder itself at nearby sizes and rates, so the rules are FFmpeg's own and
// cannot drift from the library that is installed.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/codec/U_CodecTrial.h"

namespace {

constexpr int Alignments[] = {1, 2, 4, 8, 16, 32, 64};
// 25 fps: the rate of the list's probe, which every listed codec takes.
constexpr int UsualPeriod = 40;
constexpr int MinSide = 16; // the smallest side a size is suggested with
constexpr int MaxSide = 8192;
constexpr int MaxRate = 60;
// Sizes every listed codec is likely to take, tried when no nearby size works.
constexpr int UsualSizes[][2] = {{720, 576}, {640, 480}, {320, 240}, {160, 120}};

int Floor(int v, int a) {
    return v / a * a;
}
int Ceil(int v, int a) {
    return (v + a - 1) / a * a;
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// The whole rate whose frame period (1000 div rate) is `period`.
int RateOf(int period) {
    return period <= 0 ? MaxRate : std::clamp(1000 / period, 1, MaxRate);
}

// "an even width", "a height that is a multiple of 16".
std::string SideRule(const std::string& side, int a) {
    if (a == 2) return "an even " + side;
    return "a " + side + " that is a multiple of " + std::to_string(a);
}

// What a width alignment and a height alignment ask for; "" when neither asks anything.
std::string SizeRule(int widthAlign, int heightAlign) {
    if (widthAlign == heightAlign && widthAlign > 1)
        return widthAlign == 2
                   ? "an even width and height"
                   : "a width and height that are multiples of " + std::to_string(widthAlign);
    if (widthAlign > 1 && heightAlign > 1)
        return SideRule("width", widthAlign) + " and " + SideRule("height", heightAlign);
    if (widthAlign > 1) return SideRule("width", widthAlign);
    if (heightAlign > 1) return SideRule("height", heightAlign);
    return {};
}

struct TSizeFit {
    int Width = 0;
    int Height = 0;
    std::string Rule; // what the codec needs, "" when no simple rule was found
};

class TFitSearch {
public:
    explicit TFitSearch(const TCodecInfo& codec) : codec_(codec) {}

    bool Works(int width, int height, int period) {
        const auto key = std::make_tuple(width, height, period);
        const auto known = tried_.find(key);
        if (known != tried_.end()) return known->second;
        // One frame shows what a size or rate does; the full trial is for the answer.
        const bool works = TrialRender(codec_, width, height, period, false).empty();
        tried_.emplace(key, works);
        return works;
    }

    // The rate nearest to `rate` at which this size works (lower first on a tie), or 0.
    int NearestRate(int width, int height, int rate) {
        for (int step = 1; step < MaxRate; ++step)
            for (const int r : {rate - step, rate + step})
                if (r >= 1 && r <= MaxRate && Works(width, height, 1000 / r)) return r;
        return 0;
    }

    std::optional<TSizeFit> NearestSize(int width, int height, int period) {
        // Both sides floored to a common multiple: the rounding most codecs ask for.
        for (const int a : Alignments) {
            const int w = Floor(width, a), h = Floor(height, a);
            if (w < MinSide || h < MinSide) break;
            if ((w == width && h == height) || !Works(w, h, period)) continue;
            // Then each side on its own, which names the rule.
            const int wa = SideAlignment(width, h, period, true);
            const int ha = SideAlignment(height, w, period, false);
            if (wa > 0 && ha > 0 && Works(Floor(width, wa), Floor(height, ha), period))
                return TSizeFit{Floor(width, wa), Floor(height, ha), SizeRule(wa, ha)};
            return TSizeFit{w, h, {}};
        }
        // A size too small for the codec.
        for (const int a : Alignments) {
            const int w = std::max(Ceil(width, a), MinSide), h = std::max(Ceil(height, a), MinSide);
            if (w > MaxSide || h > MaxSide) break;
            if ((w != width || h != height) && Works(w, h, period)) return TSizeFit{w, h, {}};
        }
        // Sizes most codecs take, nearest in area first.
        std::vector<std::pair<int, int>> usual;
        for (const auto& size : UsualSizes) usual.emplace_back(size[0], size[1]);
        const auto distance = [&](const std::pair<int, int>& s) {
            return std::abs(static_cast<long long>(s.first) * s.second -
                            static_cast<long long>(width) * height);
        };
        std::sort(usual.begin(), usual.end(),
                  [&](const auto& a, const auto& b) { return distance(a) < distance(b); });
        for (const auto& [w, h] : usual)
            if (Works(w, h, period)) return TSizeFit{w, h, {}};
        return std::nullopt;
    }

private:
    // The smallest alignment of one side (the other side fixed at `other`) at which both the
    // floored side and the next multiple below it work: a rule, not one lucky size. 0: none.
    int SideAlignment(int value, int other, int period, bool isWidth) {
        const auto works = [&](int side) {
            return isWidth ? Works(side, other, period) : Works(other, side, period);
        };
        for (const int a : Alignments) {
            const int side = Floor(value, a);
            if (side < MinSide) break;
            const int next = side - a >= MinSide ? side - a : side + a;
            if (works(side) && works(next)) return a;
        }
        return 0;
    }

    const TCodecInfo& codec_;
    std::map<std::tuple<int, int, int>, bool> tried_;
};

std::string ShortName(const std::string& fourcc) {
    std::string name = fourcc;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

} // namespace

std::string CodecRefusal(const TCodecInfo& codec, int width, int height, int frameDuration) {
    if (TrialPassedBefore(codec, width, height, frameDuration)) return {};
    const std::string problem = CodecTrial(codec, width, height, frameDuration);
    if (problem.empty()) {
        // A device can go away with the libraries unchanged: hardware trials run every time.
        if (!IsHardwareEncoder(codec.Encoder))
            RememberPassedTrial(codec, width, height, frameDuration);
        return {};
    }
    if (width <= 0 || height <= 0 || frameDuration <= 0) return problem;
    TFitSearch search(codec);
    const std::string name = ShortName(codec.FourCC);
    const std::string size = SizeText(width, height);
    const int rate = RateOf(frameDuration);
    const auto suggested = [&](int w, int h, int period) {
        return CodecTrial(codec, w, h, period).empty();
    };

    // The size works at the usual rate: the rate is what the codec refuses.
    if (frameDuration != UsualPeriod && search.Works(width, height, UsualPeriod)) {
        const int better = search.NearestRate(width, height, rate);
        if (better > 0 && suggested(width, height, 1000 / better))
            return name + " does not take a frame period of " + std::to_string(frameDuration) +
                   " ms: " + std::to_string(rate) + " fps \u2192 try " + std::to_string(better) +
                   " fps";
    }
    for (const int period : {frameDuration, UsualPeriod}) {
        const auto fit = search.NearestSize(width, height, period);
        if (!fit || !suggested(fit->Width, fit->Height, period)) continue;
        std::string text =
            name + (fit->Rule.empty() ? " does not take this size" : " needs " + fit->Rule) + ": " +
            size + " \u2192 try " + SizeText(fit->Width, fit->Height);
        if (period != frameDuration) text += " at " + std::to_string(RateOf(period)) + " fps";
        return text;
    }
    return name + " does not take frames of " + size + ": " + problem;
}
