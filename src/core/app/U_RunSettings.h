#pragma once
// The settings of one render, derived from what the main window shows, and the small rules
// around them that the window and morvanta-render share.
#include <optional>
#include <string>
#include <vector>

#include "video/U_VideoMaker.h"

inline constexpr const char* VisualOptionsDisabledText =
    "Visual options disabled due to incompatible temporal settings";
inline constexpr const char* MinimalPictureDurationText =
    "Soundtrack too short or too many picture loaded. Using minimal picture duration.";

inline constexpr int MinPictureDurationMs = 100;
inline constexpr int MaxPictureDurationMs = 60000;
inline constexpr int MinFrameRate = 1;
inline constexpr int MaxFrameRate = 60;

// What the window holds when "Go !" is pressed.
struct TRunInputs {
    double TimePerPicture = 3000;       // time_txt
    double FramesPerSecond = 15;        // FPS_txt
    std::string Resolution = "640x480"; // selected res_cmb entry
    std::string CodecEntry;             // selected codecs_cmb entry, empty when none
    bool DynamicsEnabled = true;        // disabled means single-frame mode
    bool DynamicsChecked = false;
    bool CrossFadeChecked = true;
    bool CaptionTextChecked = true;
    bool Greyscale = false;
    bool Sepia = false;
    TShowStyle Style;                         // beyond the boxes above (Expert Options)
    std::vector<TPictureStyle> PictureStyles; // index-parallel to the picture list
};

struct TRunSettings {
    int PictureDurationMs = 3000;
    int FrameRate = 15;
    int FrameDuration = 66; // milliseconds, 1000 div FrameRate
    int Width = 640;
    int Height = 480;
    std::string FourCC;
    bool SingleFrame = false;
    bool DynamicPictures = false;
    bool CrossFade = false;
    bool CaptionText = false;
    bool Greyscale = false;
    bool Sepia = false;
    TShowStyle Style; // its five plain options are not used: the fields above are
    std::vector<TPictureStyle> PictureStyles;
    // A picture lasts fewer than 30 frames and a visual option was checked: the caller unchecks
    // its three option boxes and shows VisualOptionsDisabledText. The run goes on without them.
    bool VisualOptionsDisabled = false;
};

TRunSettings DeriveRunSettings(const TRunInputs& inputs);

// The log lines of a run, in order, all at level Info.
std::vector<std::string> RunLogLines(const TRunSettings& settings);

// The render's frame inputs for these settings, over borrowed picture lists.
TVideoMakerInputs FrameInputsFor(const TRunSettings& settings, TStringList* paths,
                                 const TStringList* captions, bool autoRotate);

// Whole text as a decimal integer (optional sign), else `fallback`.
int StrToIntDef(const std::string& text, int fallback);

struct TMatchAudioResult {
    int PictureDurationMs = MinPictureDurationMs;
    bool AtMinimum = false; // show MinimalPictureDurationText
};
// The time per picture that spreads the pictures over the soundtrack; none for no pictures.
std::optional<TMatchAudioResult> MatchAudio(int pictureCount, int soundDurationSec, bool crossFade);

// The codec entry to select for the stored last FourCC; -1 for an empty list.
int ChooseCodecIndex(const std::vector<std::string>& entries, const std::string& lastFcc);

// "m:ss", or "h:mm:ss" from one hour on.
std::string FormatDuration(int seconds);

// A duration given as a fraction of a day, in whole seconds (ties to even).
int SoundDurationSec(double days);
