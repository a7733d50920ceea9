#include "app/U_PictureTimes.h"

#include <algorithm>

#include "app/U_RunSettings.h"
#include "platform/base/U_Rounding.h"

namespace {

int ClampedTime(long double ms, bool& atMinimum) {
    const int t = static_cast<int>(
        std::clamp<long double>(RoundHalfEven(ms), MinPictureDurationMs, MaxPictureDurationMs));
    if (t == MinPictureDurationMs) atMinimum = true;
    return t;
}

} // namespace

std::vector<int> PictureDurationsMs(int showMs, const std::vector<TPictureStyle>& pictures,
                                    std::size_t count) {
    std::vector<int> times(count, showMs);
    for (std::size_t i = 0; i < std::min(count, pictures.size()); ++i)
        if (pictures[i].TimeMs) times[i] = *pictures[i].TimeMs;
    return times;
}

std::optional<TMatchedTimes> MatchAudioTimes(int showMs, const std::vector<TPictureStyle>& pictures,
                                             std::size_t count, int soundDurationSec,
                                             bool crossFade) {
    if (count == 0 || count > static_cast<std::size_t>(INT32_MAX)) return std::nullopt;
    TMatchedTimes matched;
    matched.Pictures = pictures;
    const bool own = std::any_of(
        pictures.begin(), pictures.begin() + static_cast<long>(std::min(count, pictures.size())),
        [](const TPictureStyle& p) { return p.TimeMs.has_value(); });
    if (!own) {
        const auto plain = MatchAudio(static_cast<int>(count), soundDurationSec, crossFade);
        matched.ShowMs = plain->PictureDurationMs;
        matched.AtMinimum = plain->AtMinimum;
        return matched;
    }
    long double total = 0;
    for (const int t : PictureDurationsMs(showMs, pictures, count)) total += t;
    const long double target =
        static_cast<long double>(soundDurationSec) * 1000 / (crossFade ? 1.3L : 1.0L);
    const long double factor = total > 0 ? target / total : 0;
    matched.ShowMs = ClampedTime(showMs * factor, matched.AtMinimum);
    for (std::size_t i = 0; i < std::min(count, matched.Pictures.size()); ++i)
        if (auto& t = matched.Pictures[i].TimeMs) t = ClampedTime(*t * factor, matched.AtMinimum);
    return matched;
}
