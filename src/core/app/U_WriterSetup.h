#pragma once
// Prepares the AVI writer for one render, as "Go !" does before the video thread starts; the
// window and morvanta-render both call it, so the two cannot set a writer up differently.
#include <string>

class TBmpToAvi;

struct TWriterSetup {
    int Width = 640;
    int Height = 480;
    int FrameDuration = 66; // milliseconds, 1000 div the frame rate
    std::string FourCC;
    std::string FileName; // TRunFiles::VideoFile: the output, or the name reserved beside it
};

// Size, frame period and file name; the codec (SetCodec); the FourCC remembered as the setting
// "LastFCC"; Open. Throws the writer's error, leaving nothing open; the setting is written only
// for a codec the writer accepted.
void SetUpWriter(TBmpToAvi& writer, const TWriterSetup& setup);
