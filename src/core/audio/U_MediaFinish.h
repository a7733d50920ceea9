#pragma once
// The last step of an MP4, MKV or WebM render: the rendered video's packets and the soundtrack
// interleaved into the final file, an MP4 with its index at the front. Neither the video nor a
// copied song is re-encoded.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/U_Mux.h"
#include "audio/U_SongList.h"
#include "platform/container/U_Container.h"

// How the soundtrack goes into the file.
enum class TSoundMode {
    Auto, // copied when the container holds the song's codec, else the container's own
    Copy,
    Aac,
    Mp3,
    Opus,
};

// "auto", "copy", "aac", "mp3", "opus" (any case); none for anything else.
std::optional<TSoundMode> SoundModeFromText(const std::string& text);
std::string SoundModeText(TSoundMode mode);

// The encoder for `songs` in `container` ("" to copy the one song's packets), or throws
// EMorvantaError with a plain sentence when the mode cannot work there (copying an MP3 into
// WebM). One song whose codec the container holds is copied; several songs are always mixed,
// so encoded. `first` is the first song as a quick probe gave it.
std::string SoundEncoderFor(TContainer container, TSoundMode mode, const TSongInfo& first,
                            std::size_t songs);

struct TMediaFinish {
    std::string VideoFile;          // the rendered video
    std::vector<std::string> Songs; // none for no sound; played one after another
    int SongFadeMs = DefaultSongFadeMs;
    std::string OutputFile; // created or replaced
    std::int32_t Frames = 0;
    int FrameRate = 25;     // exact frames per second of the video
    int FrameDuration = 40; // used when FrameRate is 0
    TSoundMode Sound = TSoundMode::Auto;
    int FadeOutMs = 2000;
};

// The video's length in seconds.
double VideoSeconds(const TMediaFinish& finish);

// Returns true when the file is complete, false when a stop request ended it early (the output
// is then a playable file of what was written). Throws EMorvantaError.
bool FinishMedia(const TMediaFinish& finish, const TMuxEvents& events);
