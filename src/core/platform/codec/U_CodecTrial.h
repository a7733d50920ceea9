#pragma once
// The trial render behind CodecTrial, with a lighter form for searches. Internal to the codec
// layer.
#include <string>

#include "platform/codec/U_Codecs.h"

// Renders and decodes back one frame, or with `stillAndChange` three (a picture, its repeat, a
// changed picture). "" when every frame comes back at width x height; otherwise why not.
std::string TrialRender(const TCodecInfo& codec, int width, int height, int frameDuration,
                        bool stillAndChange);

// Trials that passed, kept in the settings store with the libraries that passed them: a
// render's trial starts the encoder at the video's size, as costly as a second of video.
// Keyed by the codec, its options' values, the size and the frame period.
bool TrialPassedBefore(const TCodecInfo& codec, int width, int height, int frameDuration);
void RememberPassedTrial(const TCodecInfo& codec, int width, int height, int frameDuration);
