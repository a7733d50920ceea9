#pragma once
// The soundtrack decoded for the sound encoders: a song file through libavformat and
// libavcodec, as interleaved float samples.
#include <memory>
#include <string>

#include "audio/U_PcmSource.h"

// Throws EMorvantaError when the file has no sound that decodes.
std::unique_ptr<TPcmSource> ReadSongPcm(const std::string& path);
