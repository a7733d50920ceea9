#pragma once
// Prepares the video writer for one render, as "Go !" does before the video thread starts; the
// window and morvanta-render both call it, so the two cannot set a writer up differently.
#include <string>

class TVideoWriter;

struct TWriterSetup {
    int Width = 640;
    int Height = 480;
    int FrameDuration = 66; // milliseconds, 1000 div the frame rate
    std::string FourCC;
    std::string FileName;      // TRunFiles::VideoFile: the output, or the name reserved beside it
    int FrameRate = 0;         // exact frames per second; 0: 1000 / FrameDuration
    bool ReservedFile = false; // FileName is an empty file reserved for this run
};

// Size, frame period and file name; the codec (SetCodec); the FourCC remembered as the setting
// "LastFCC"; Open. Throws the writer's error, leaving nothing open; the setting is written only
// for a codec the writer accepted.
void SetUpWriter(TVideoWriter& writer, const TWriterSetup& setup);
