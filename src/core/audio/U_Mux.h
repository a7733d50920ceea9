#pragma once
// Makes the final video file: the video stream of a silent AVI copied sample by sample, and an
// MPEG audio stream holding the soundtrack's frames, one chunk per frame, neither re-encoded.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TMuxEvents {
    // Progress of the current phase; `Text` is the last logged line.
    std::function<void(std::int32_t Position, std::int32_t Max, const std::string& Text)>
        OnProgress;
    std::function<void(const std::string& Text)> OnLog;
    // Polled during the scan, before every video sample and before every audio chunk.
    std::function<bool()> StopRequested;
};

// Returns true when the work ran to its end, false when a stop request ended it early (the
// output is then a complete file holding what was written so far). Errors are raised as
// "%s (U_MuxThd, ligne %d)"; a soundtrack without any frame fails before the output exists.
bool MuxVideoAndSound(const std::string& VideoFile, const std::string& SoundFile,
                      const std::string& OutputFile, const TMuxEvents& events);

class TMP3Header;
// The audio stream's format block for a soundtrack whose first frame is `first`: the MPEG
// Layer 3 format, or the MPEG format naming Layer II for Layer II soundtracks.
std::vector<std::uint8_t> MakeAudioFormat(const TMP3Header& first);
