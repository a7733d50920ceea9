#pragma once
// The soundtrack of an AVI, whose sound stream holds MPEG audio frames: one MPEG audio song is
// taken as it is; any other song, or several songs, are decoded and encoded with LAME to a
// temporary MP3 beside the output, which the multiplexing then cuts into frames like any MP3.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/U_PcmSource.h"

// The bit rate of the MP3 made for an AVI (at most 160 kbit/s below 32 kHz, where the format
// stops).
inline constexpr int AviSoundBitRate = 192000;

class TAviSoundtrack {
public:
    TAviSoundtrack() = default;
    ~TAviSoundtrack(); // removes the temporary MP3
    TAviSoundtrack(const TAviSoundtrack&) = delete;
    TAviSoundtrack& operator=(const TAviSoundtrack&) = delete;

    // Makes the file the multiplexing takes for `songs` (the first song itself when it is the
    // only one and MPEG audio). Returns false when `stop` ended the encoding. Throws
    // EMorvantaError naming the song or the file.
    bool Prepare(const std::vector<std::string>& songs, int fadeMs, const std::string& outputFile,
                 const std::function<void(std::int32_t done, std::int32_t total)>& progress,
                 const std::function<bool()>& stop);
    const std::string& File() const { return file_; }

private:
    std::string file_;
    std::string temporary_; // ours to remove
};

// The rate LAME encodes a song of `rate` Hz at for the AVI: the song's own when MPEG-1 or
// MPEG-2 audio has it, else the next one up (the AVI's frame reading knows no MPEG-2.5 rates).
int AviSoundRate(int rate);

// Encodes all of `pcm` to the raw MP3 frames at `path` (created). Returns false when `stop`
// ended it. Throws EMorvantaError.
bool EncodeMp3File(TPcmSource& pcm, const std::string& path, int bitRate,
                   const std::function<void(std::int64_t frames)>& progress,
                   const std::function<bool()>& stop);
