#pragma once
// How a show looks: the options of the whole show, and what a single picture may change of
// them. Every default is the plain show's frame, pixel for pixel. Each choice has a short name
// (command line, project file, settings) and an English label (the window translates it).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text/U_TextLook.h"

// The change from one picture to the next. CrossFade is the plain show's.
enum class TTransition {
    CrossFade,
    Cut,
    FadeBlack,
    WipeLeft,
    WipeRight,
    WipeUp,
    WipeDown,
    PushLeft,
    PushRight,
    PushUp,
    PushDown,
    ZoomDissolve,
    Iris,
    Random, // one of the others but Cut, chosen per picture from the show's seed
};

// How the view moves over a picture while it is shown. Pan is the plain show's "dynamic
// pictures"; Still is a picture without it.
enum class TMotion { Still, Pan, ZoomIn, ZoomOut, KenBurns, Random };

// What fills the frame around a picture of another shape. Bands is the plain show's.
enum class TFill { Bands, Blur, Crop };

enum class TCaptionPlace { BottomLeft, BottomCentre, Top };

struct TCaptionStyle {
    std::string Family = "MS Sans Serif"; // fontconfig family; missing: DejaVu Sans
    int SizePoints = 12;                  // at 96 dots per inch
    std::uint32_t Colour = 0xFFFFFF;      // 0xRRGGBB
    bool Band = true;                     // the darkened band behind the text
    TCaptionPlace Place = TCaptionPlace::BottomLeft;
    TTextEdge Edge = TTextEdge::None;
    bool Counter = true; // "Picture : n / N"
    // Locale whose date format "%date" in a caption takes; "" for the user's (LC_ALL, LC_TIME,
    // LANG).
    std::string DateLocale{};

    bool operator==(const TCaptionStyle&) const = default;
};

inline constexpr int MinCaptionPoints = 6;
inline constexpr int MaxCaptionPoints = 72;

struct TShowStyle {
    // The plain show's options, in the order its check boxes and menu have them.
    bool DynamicPictures = false;
    bool CrossFade = false;
    bool CaptionText = false;
    bool Greyscale = false;
    bool Sepia = false;
    // Between pictures when CrossFade is on (off: cuts).
    TTransition Transition = TTransition::CrossFade;
    // Over each picture when DynamicPictures is on (off: still).
    TMotion Motion = TMotion::Pan;
    bool Ease = false; // motion starts and ends slowly
    TFill Fill = TFill::Bands;
    TCaptionStyle Caption{};

    bool operator==(const TShowStyle&) const = default;
};

// What one picture changes of the show; each unset value is the show's.
struct TPictureStyle {
    std::optional<int> TimeMs{};
    std::optional<TTransition> Transition{}; // to the next picture
    std::optional<TMotion> Motion{};
    std::optional<TFill> Fill{};

    bool IsPlain() const { return !TimeMs && !Transition && !Motion && !Fill; }
    bool operator==(const TPictureStyle&) const = default;
};

template <typename T> struct TStyleName {
    T Value;
    const char* Name;  // "wipe-left"
    const char* Label; // "Wipe left"
};

const std::vector<TStyleName<TTransition>>& TransitionNames();
const std::vector<TStyleName<TMotion>>& MotionNames();
const std::vector<TStyleName<TFill>>& FillNames();
const std::vector<TStyleName<TCaptionPlace>>& CaptionPlaceNames();
const std::vector<TStyleName<TTextEdge>>& TextEdgeNames();

std::string_view NameOf(TTransition value);
std::string_view NameOf(TMotion value);
std::string_view NameOf(TFill value);
std::string_view NameOf(TCaptionPlace value);
std::string_view NameOf(TTextEdge value);

// Names are compared without regard to case; none for an unknown name.
std::optional<TTransition> TransitionNamed(std::string_view name);
std::optional<TMotion> MotionNamed(std::string_view name);
std::optional<TFill> FillNamed(std::string_view name);
std::optional<TCaptionPlace> CaptionPlaceNamed(std::string_view name);
std::optional<TTextEdge> TextEdgeNamed(std::string_view name);

// "#RRGGBB", "RRGGBB" or one of white, black, yellow, red, green, blue, grey; none otherwise.
std::optional<std::uint32_t> ColourNamed(std::string_view text);
// "#RRGGBB", upper-case digits.
std::string ColourName(std::uint32_t colour);

// The style's values that differ from the plain show's, as name and value pairs ("Transition",
// "wipe-left"). The five plain options are not among them (the window's boxes hold those).
std::vector<std::pair<std::string, std::string>> StyleSettings(const TShowStyle& style);
// The keys StyleSettings uses; ApplyStyleSetting also takes "CaptionColor".
const std::vector<std::string_view>& StyleSettingNames();
// Sets the value `key` names (compared without regard to case). False, and `style` unchanged,
// for an unknown key or a value that key cannot take.
bool ApplyStyleSetting(TShowStyle& style, std::string_view key, std::string_view value);

// A picture's values as "time=4000,transition=iris", "" for a plain picture.
std::string PictureStyleText(const TPictureStyle& style);
// Reads PictureStyleText's form; unknown keys and bad values are left out. Times are clamped
// into the show's 100 .. 60000 ms.
TPictureStyle ParsePictureStyle(std::string_view text);

// The seed of a show's random choices: the same picture list gives the same show.
std::uint64_t ShowSeed(const std::vector<std::string>& paths);
// The kind that Random stands for at picture `index` (other kinds are returned unchanged).
TTransition ResolveTransition(TTransition kind, std::uint64_t seed, int index);
TMotion ResolveMotion(TMotion kind, std::uint64_t seed, int index);
