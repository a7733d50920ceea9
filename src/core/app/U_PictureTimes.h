#pragma once
// Each picture's time in a show where pictures may have times of their own, and "Match audio"
// for such a show: every picture's time scaled by the one factor that fills the soundtrack.
#include <cstddef>
#include <optional>
#include <vector>

#include "video/U_ShowStyle.h"

// The time of each of `count` pictures: its own, else the show's.
std::vector<int> PictureDurationsMs(int showMs, const std::vector<TPictureStyle>& pictures,
                                    std::size_t count);

struct TMatchedTimes {
    int ShowMs = 0;                      // the show's time per picture
    std::vector<TPictureStyle> Pictures; // the same styles, own times scaled
    bool AtMinimum = false;              // some time was raised to the 100 ms minimum
};

// The times that spread `count` pictures over `soundDurationSec` seconds (30 % more per
// picture with cross-fades, as MatchAudio counts them). Without a picture of its own time the
// show's time is MatchAudio's exactly. None for no pictures.
std::optional<TMatchedTimes> MatchAudioTimes(int showMs, const std::vector<TPictureStyle>& pictures,
                                             std::size_t count, int soundDurationSec,
                                             bool crossFade);
