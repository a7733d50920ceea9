#pragma once
// The trial render behind CodecTrial, with a lighter form for searches. Internal to the codec
// layer.
#include <string>

#include "platform/codec/U_Codecs.h"

// Renders and decodes back one frame, or with `stillAndChange` three (a picture, its repeat, a
// changed picture). "" when every frame comes back at width x height; otherwise why not.
std::string TrialRender(const TCodecInfo& codec, int width, int height, int frameDuration,
                        bool stillAndChange);
