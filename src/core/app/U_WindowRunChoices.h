#pragma once
// What the window adds to a run beyond its option boxes: a size typed into the Resolution box,
// which codec lines fit the output's container, and the sound choices of Expert Options, kept
// in the settings store like the window's other options.
#include <optional>
#include <string>

#include "audio/U_MediaFinish.h"
#include "platform/container/U_Container.h"

struct TRenderRequest;

// The range the command line's --size takes, for each side.
inline constexpr int MinTypedSide = 16;
inline constexpr int MaxTypedSide = 8192;

struct TFrameSize {
    int Width = 0;
    int Height = 0;
};

// "WxH" (blanks around the parts allowed, 'x' or 'X'), each side in MinTypedSide..MaxTypedSide;
// none for anything else.
std::optional<TFrameSize> ParseTypedSize(const std::string& text);

// The codec list's line ("FCC description") fits the container: its FourCC's codec, as the
// AVI's tables name it, is one the container holds. "DIB " and unknown FourCCs fit only the AVI.
bool CodecLineFits(TContainer container, const std::string& line);

// Settings names of the Expert Options' sound choices.
inline constexpr const char* SoundModeSettingName = "SoundMode";
inline constexpr const char* FadeOutSettingName = "FadeOutMs";
inline constexpr const char* BeatCutsSettingName = "BeatCuts";
inline constexpr int MaxFadeOutMs = 60000;

struct TSoundChoices {
    TSoundMode Mode = TSoundMode::Auto;
    int FadeOutMs = 2000; // 0: none
    bool BeatCuts = false;
};

// The stored choices; a missing or damaged value gives its default.
TSoundChoices ReadSoundChoices();
// False when the store cannot be written.
bool WriteSoundChoices(const TSoundChoices& choices);

// "Cut on the beat" for a request: the songs' beats move its picture changes (as --beat does).
// Returns the line to tell the user; a song that cannot be decoded leaves the times as they are
// and the line says why.
std::string CutRequestOnTheBeat(TRenderRequest& request);
