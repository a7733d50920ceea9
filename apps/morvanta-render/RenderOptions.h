#pragma once
// The command line of morvanta-render.
#include <optional>
#include <string>
#include <vector>

#include "app/U_Project.h"
#include "video/U_ShowStyle.h"

struct TRenderOptions {
    std::optional<std::string> Project;
    std::optional<std::string> Output;
    // Entries from -p and positional pictures, in command-line order, after the project's own.
    std::vector<std::string> Pictures;
    // Index-parallel to Pictures: what -p gives after the caption ("path<TAB>caption<TAB>ms",
    // "...<TAB>transition=iris,fill=blur").
    std::vector<TPictureStyle> PictureStyles;
    // The look's options (--transition, --caption-size ...) as project-file values, in order;
    // they override the project's.
    std::vector<std::pair<std::string, std::string>> Style;
    std::optional<std::string> Sound;
    std::vector<std::string> MoreSongs; // -s given again: the songs after the first, in order
    int SongFadeMs = 1000;              // cross-fade between songs, 0 for a cut
    std::string SongFadeNote;           // what became of a --song-fade value that was changed
    bool Beat = false;                  // picture changes moved onto the music's beats
    bool NoSound = false;
    int TimeMs = 3000;
    std::string TimeNote; // what became of a -t value that was clamped or rounded, else ""
    bool MatchAudio = false;
    int Fps = 15;
    std::string FpsNote; // likewise for -r
    int Width = 640;
    int Height = 480;
    std::optional<std::string> Codec;
    bool CrossFade = true;
    bool Captions = true;
    bool Dynamic = false;
    bool SingleFrame = false;
    bool AutoRotate = true; // off: --no-auto-rotate (the setting "AutoRotate" can turn it off too)
    std::optional<TEffect> Effect;
    bool ListCodecs = false;
    std::string Audio = "auto"; // --audio: how the soundtrack goes into MP4, MKV and WebM
    int FadeOutMs = 2000;       // --fade-out
    bool Quiet = false;
    bool Verbose = false;
    bool Version = false;
    bool Help = false;
};

// Thrown for a usage error (exit status 2).
struct TUsageError {
    std::string Message;
};

TRenderOptions ParseRenderOptions(int argc, char** argv);
const char* RenderUsage();
