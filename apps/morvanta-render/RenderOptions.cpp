#include "RenderOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/U_PictureFields.h"
#include "audio/U_SongList.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"

namespace {

enum LongOnly {
    OptMatchAudio = 256,
    OptSize,
    OptCrossFade,
    OptNoCrossFade,
    OptCaptions,
    OptNoCaptions,
    OptDynamic,
    OptNoDynamic,
    OptSingleFrame,
    OptEffect,
    OptNoSound,
    OptNoAutoRotate,
    OptListCodecs,
    OptVersion,
    OptSongFade,
    OptTransition,
    OptMotion,
    OptEase,
    OptNoEase,
    OptFill,
    OptCaptionFont,
    OptCaptionSize,
    OptCaptionColour,
    OptCaptionBand,
    OptNoCaptionBand,
    OptCaptionPlace,
    OptCaptionEdge,
    OptCounter,
    OptNoCounter,
    OptBeat,
    OptAudio,
    OptFadeOut,
};

// The sizes --size takes by name.
struct TNamedSize {
    const char* Name;
    int Width;
    int Height;
};
constexpr TNamedSize NamedSizes[] = {
    {"720p", 1280, 720}, {"1080p", 1920, 1080},    {"1440p", 2560, 1440},
    {"4k", 3840, 2160},  {"portrait", 1080, 1920}, {"square", 1080, 1080},
};

// A number, rounded to the nearest integer (ties to even) and clamped into lo..hi. `note` says
// what became of a value that was changed, and is cleared for one taken as it was.
int ClampedNumber(const char* text, int lo, int hi, const char* what, const char* unit,
                  std::string& note) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        throw TUsageError{std::string("Invalid ") + what + ": " + text};
    const double clamped = std::clamp(value, static_cast<double>(lo), static_cast<double>(hi));
    const int result = RoundToInt(clamped);
    const std::string taken = std::to_string(result) + unit;
    char name[64];
    std::snprintf(name, sizeof name, "%c%s", std::toupper(static_cast<unsigned char>(what[0])),
                  what + 1);
    note.clear();
    if (clamped != value)
        note = std::string(name) + " " + text + unit + " is outside " + std::to_string(lo) + ".." +
               std::to_string(hi) + unit + ": using " + taken + ".";
    else if (result != value)
        note = std::string(name) + " " + text + unit + " rounded to " + taken + ".";
    return result;
}

// A positional argument: a picture when its extension is one the window accepts, else the
// project (at most one).
void AddPositional(TRenderOptions& options, const char* argument) {
    if (IsSupportedPicture(argument)) {
        options.Pictures.emplace_back(argument);
        options.PictureStyles.emplace_back();
        return;
    }
    if (options.Project)
        throw TUsageError{"Only one project file can be given: " + *options.Project + " and " +
                          argument};
    options.Project = argument;
}

bool ReadDimension(const std::string& text, int& value) {
    if (text.empty() || text.size() > 5) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoi(text);
    return value >= 16 && value <= 8192;
}

void ParseSize(const std::string& text, int& width, int& height) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const TNamedSize& size : NamedSizes)
        if (lower == size.Name) {
            width = size.Width;
            height = size.Height;
            return;
        }
    const auto x = text.find('x');
    if (x == std::string::npos || !ReadDimension(text.substr(0, x), width) ||
        !ReadDimension(text.substr(x + 1), height))
        throw TUsageError{"Invalid size: " + text +
                          " (expected WxH, 16..8192 each, or 720p, 1080p, 1440p, 4k, portrait, "
                          "square)"};
}

TEffect ParseEffect(const std::string& text) {
    if (text == "none") return TEffect::None;
    if (text == "greyscale") return TEffect::Greyscale;
    if (text == "sepia") return TEffect::Sepia;
    throw TUsageError{"Invalid effect: " + text + " (none, greyscale or sepia)"};
}

// The project-file name of each look option, and what its value may be.
struct StyleOption {
    int Id;
    const char* Key;
    const char* Fixed; // the value of an option without one, else null
    const char* Expected;
};
const StyleOption StyleOptions[] = {
    {OptTransition, "Transition", nullptr, "see --help"},
    {OptMotion, "Motion", nullptr, "still, pan, zoom-in, zoom-out, pan-zoom or random"},
    {OptEase, "Ease", "1", ""},
    {OptNoEase, "Ease", "0", ""},
    {OptFill, "Fill", nullptr, "bands, blur or crop"},
    {OptCaptionFont, "CaptionFont", nullptr, "a font family"},
    {OptCaptionSize, "CaptionSize", nullptr, "6 to 72 points"},
    {OptCaptionColour, "CaptionColour", nullptr, "#RRGGBB or a colour's name"},
    {OptCaptionBand, "CaptionBand", "1", ""},
    {OptNoCaptionBand, "CaptionBand", "0", ""},
    {OptCaptionPlace, "CaptionPlace", nullptr, "bottom-left, bottom-centre or top"},
    {OptCaptionEdge, "CaptionEdge", nullptr, "none, outline or shadow"},
    {OptCounter, "Counter", "1", ""},
    {OptNoCounter, "Counter", "0", ""},
};

// A look option: checked now, applied over the project's look later. A transition or a motion
// also switches fades or panning on (or off, for "cut" and "still").
bool TakeStyleOption(TRenderOptions& options, int id, const char* argument) {
    for (const auto& o : StyleOptions) {
        if (o.Id != id) continue;
        const std::string value = o.Fixed ? o.Fixed : argument;
        TShowStyle probe;
        if (!ApplyStyleSetting(probe, o.Key, value))
            throw TUsageError{std::string("Invalid ") + o.Key + ": " + value + " (" + o.Expected +
                              ")"};
        if (id == OptTransition) options.CrossFade = probe.Transition != TTransition::Cut;
        if (id == OptMotion) options.Dynamic = probe.Motion != TMotion::Still;
        options.Style.emplace_back(o.Key, value);
        return true;
    }
    return false;
}

// "path<TAB>caption" and then fields of the picture's own: a whole number (its time in ms) or
// key=value pairs as in the project's picture lines. They come off from the end, the last one
// given winning; the first field that is neither ends them, as part of the caption.
void AddPictureEntry(TRenderOptions& options, std::string entry) {
    TPictureStyle style;
    for (;;) {
        const auto first = entry.find('\t'), last = entry.rfind('\t');
        if (first == std::string::npos || last == first) break;
        const std::string field = entry.substr(last + 1);
        if (!field.empty() && field.size() <= 9 &&
            std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            std::string note;
            const int ms =
                ClampedNumber(field.c_str(), 100, 60000, "time per picture", " ms", note);
            if (!note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
            if (!style.TimeMs) style.TimeMs = ms;
        } else {
            TPictureStyle read;
            try {
                if (!ReadPictureField(field, read)) break;
            } catch (const EMorvantaError& e) {
                throw TUsageError{e.what()};
            }
            if (!style.TimeMs) style.TimeMs = read.TimeMs;
            if (!style.Transition) style.Transition = read.Transition;
            if (!style.Motion) style.Motion = read.Motion;
            if (!style.Fill) style.Fill = read.Fill;
        }
        entry.resize(last);
    }
    options.Pictures.push_back(std::move(entry));
    options.PictureStyles.push_back(style);
}

} // namespace

const char* RenderUsage() {
    return "Usage: morvanta-render [options] [PICTURE...] [PROJECT.mrv]\n"
           "Turns pictures (JPEG or BMP) and an optional MP3 soundtrack into a video.\n"
           "An argument ending in .jpg, .jpeg or .bmp (any case) is a picture; another one\n"
           "is a project file, of which there can be one. Its pictures come first.\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE     Writes the video to FILE, in the container that its\n"
           "                        extension names (.mp4, .m4v, .mov, .mkv, .webm, any\n"
           "                        case), else as an AVI, adding \".avi\" when it is\n"
           "                        missing (default: the project's \";Output=\" line).\n"
           "  -p, --picture ENTRY   Adds one picture, given as a path, or as a path, a tab\n"
           "                        and its caption, and maybe tabs and its own settings:\n"
           "                        its time in milliseconds, or key=value pairs (time=MS,\n"
           "                        transition=NAME, motion=NAME, fill=NAME) with the\n"
           "                        names of --transition, --motion and --fill.\n"
           "  -s, --sound FILE      Adds FILE as the soundtrack, an MP3, M4A, AAC, Ogg,\n"
           "                        Opus, FLAC or WAV song (default: the project's songs);\n"
           "                        given more than once, the songs play in that order.\n"
           "      --song-fade MS    Cross-fades each song into the next over MS\n"
           "                        milliseconds, 0 for a cut (default 1000).\n"
           "      --beat            Moves each picture change to the nearest beat of the\n"
           "                        music within a quarter of the picture's time.\n"
           "      --no-sound        Leaves the project's soundtrack out.\n"
           "  -t, --time MS         Shows each picture for MS milliseconds, 100 to 60000\n"
           "                        (default 3000).\n"
           "      --match-audio     Spreads the pictures evenly over the soundtrack\n"
           "                        instead.\n"
           "  -r, --fps N           Makes N frames per second, 1 to 60 (default 15).\n"
           "      --size WxH        Makes frames of W by H pixels, 16 to 8192 each (default\n"
           "                        640x480), or 720p, 1080p, 1440p, 4k, portrait\n"
           "                        (1080x1920) or square (1080x1080).\n"
           "  -c, --codec FCC       Compresses with the codec of FourCC FCC (default: the\n"
           "                        last one used, else XVID); --list-codecs shows them.\n"
           "      --crossfade, --no-crossfade\n"
           "                        Fades each picture into the next, or cuts (default:\n"
           "                        fades).\n"
           "      --captions, --no-captions\n"
           "                        Draws each picture's caption and number, or not\n"
           "                        (default: draws them).\n"
           "      --dynamic, --no-dynamic\n"
           "                        Pans slowly across each picture, or keeps it still\n"
           "                        (default: still).\n"
           "      --single-frame    Gives each picture one frame, without fades, captions\n"
           "                        or panning.\n"
           "      --effect EFFECT   Colours the video: none, greyscale or sepia (default:\n"
           "                        the project's effect).\n"
           "      --no-auto-rotate  Keeps JPEGs as stored, ignoring their EXIF orientation.\n"
           "      --transition NAME Changes pictures by crossfade, cut, fade-black,\n"
           "                        wipe-left, wipe-right, wipe-up, wipe-down, push-left,\n"
           "                        push-right, push-up, push-down, zoom, iris or random\n"
           "                        (default: the project's, else crossfade).\n"
           "      --motion NAME     Moves over each picture: still, pan, zoom-in, zoom-out,\n"
           "                        pan-zoom or random (default: the project's, else pan).\n"
           "      --ease, --no-ease Starts and ends each motion slowly, or not (default:\n"
           "                        not).\n"
           "      --fill NAME       Fills the frame around a picture of another shape with\n"
           "                        bands, blur (a blurred copy) or crop (default: bands).\n"
           "      --caption-font FAMILY, --caption-size POINTS, --caption-colour COLOUR\n"
           "                        Draws captions in that font, size (6 to 72) and colour\n"
           "                        (#RRGGBB or a name), \"%date\" in a caption becoming the\n"
           "                        photo's date.\n"
           "      --caption-band, --no-caption-band\n"
           "                        Darkens the band behind the captions, or not (default:\n"
           "                        darkens it).\n"
           "      --caption-place PLACE\n"
           "                        Puts captions at the bottom-left, bottom-centre or top\n"
           "                        (default: bottom-left).\n"
           "      --caption-edge EDGE\n"
           "                        Sets letters off with none, outline or shadow (default:\n"
           "                        none).\n"
           "      --counter, --no-counter\n"
           "                        Draws \"Picture : n / N\", or not (default: draws it).\n"
           "      --audio MODE      How the soundtrack goes into MP4, MKV and WebM: auto\n"
           "                        (one song copied when the file holds its sound, else\n"
           "                        AAC, or Opus for WebM), copy, aac, mp3 or opus.\n"
           "      --fade-out MS     Fades encoded sound out over the video's last MS\n"
           "                        milliseconds (default 2000, 0 for none).\n"
           "      --list-codecs     Prints the codecs, one \"FCC description\" line each with\n"
           "                        the containers it goes into, and stops.\n"
           "  -q, --quiet           Shows no progress bar.\n"
           "  -v, --verbose         Also prints the run's log lines.\n"
           "      --version         Prints the program's version and stops.\n"
           "  -h, --help            Prints this help and stops.\n"
           "\n"
           "When a picture would last fewer than 30 frames, fades, captions and panning are\n"
           "switched off. Ctrl-C stops the render and keeps what was made; a video already\n"
           "at the output path is replaced only by a complete new one.\n"
           "\n"
           "Examples:\n"
           "  morvanta-render -c MJPG -o holiday.avi *.jpg\n"
           "  morvanta-render -s song.mp3 --match-audio -o show.avi holiday.mrv\n";
}

TRenderOptions ParseRenderOptions(int argc, char** argv) {
    static const option longOptions[] = {
        {"output", required_argument, nullptr, 'o'},
        {"picture", required_argument, nullptr, 'p'},
        {"sound", required_argument, nullptr, 's'},
        {"time", required_argument, nullptr, 't'},
        {"match-audio", no_argument, nullptr, OptMatchAudio},
        {"fps", required_argument, nullptr, 'r'},
        {"size", required_argument, nullptr, OptSize},
        {"codec", required_argument, nullptr, 'c'},
        {"crossfade", no_argument, nullptr, OptCrossFade},
        {"no-crossfade", no_argument, nullptr, OptNoCrossFade},
        {"captions", no_argument, nullptr, OptCaptions},
        {"no-captions", no_argument, nullptr, OptNoCaptions},
        {"dynamic", no_argument, nullptr, OptDynamic},
        {"no-dynamic", no_argument, nullptr, OptNoDynamic},
        {"single-frame", no_argument, nullptr, OptSingleFrame},
        {"effect", required_argument, nullptr, OptEffect},
        {"no-sound", no_argument, nullptr, OptNoSound},
        {"song-fade", required_argument, nullptr, OptSongFade},
        {"beat", no_argument, nullptr, OptBeat},
        {"no-auto-rotate", no_argument, nullptr, OptNoAutoRotate},
        {"list-codecs", no_argument, nullptr, OptListCodecs},
        {"audio", required_argument, nullptr, OptAudio},
        {"fade-out", required_argument, nullptr, OptFadeOut},
        {"quiet", no_argument, nullptr, 'q'},
        {"verbose", no_argument, nullptr, 'v'},
        {"version", no_argument, nullptr, OptVersion},
        {"help", no_argument, nullptr, 'h'},
        {"transition", required_argument, nullptr, OptTransition},
        {"motion", required_argument, nullptr, OptMotion},
        {"ease", no_argument, nullptr, OptEase},
        {"no-ease", no_argument, nullptr, OptNoEase},
        {"fill", required_argument, nullptr, OptFill},
        {"caption-font", required_argument, nullptr, OptCaptionFont},
        {"caption-size", required_argument, nullptr, OptCaptionSize},
        {"caption-colour", required_argument, nullptr, OptCaptionColour},
        {"caption-band", no_argument, nullptr, OptCaptionBand},
        {"no-caption-band", no_argument, nullptr, OptNoCaptionBand},
        {"caption-place", required_argument, nullptr, OptCaptionPlace},
        {"caption-edge", required_argument, nullptr, OptCaptionEdge},
        {"counter", no_argument, nullptr, OptCounter},
        {"no-counter", no_argument, nullptr, OptNoCounter},
        {nullptr, 0, nullptr, 0},
    };
    TRenderOptions options;
    optind = 1;
    opterr = 0;
    for (;;) {
        // "-": positional arguments come back in order (as 1), between the options.
        const int c = getopt_long(argc, argv, "-:o:p:s:t:r:c:qvh", longOptions, nullptr);
        if (c == -1) break;
        switch (c) {
        case 1:
            AddPositional(options, optarg);
            break;
        case 'o':
            options.Output = optarg;
            break;
        case 'p':
            AddPictureEntry(options, optarg);
            break;
        case 's':
            if (options.Sound)
                options.MoreSongs.emplace_back(optarg);
            else
                options.Sound = optarg;
            break;
        case OptBeat:
            options.Beat = true;
            break;
        case OptSongFade:
            options.SongFadeMs = ClampedNumber(optarg, 0, MaxSongFadeMs, "song cross-fade", " ms",
                                               options.SongFadeNote);
            break;
        case 't':
            options.TimeMs =
                ClampedNumber(optarg, 100, 60000, "time per picture", " ms", options.TimeNote);
            break;
        case OptMatchAudio:
            options.MatchAudio = true;
            break;
        case 'r':
            options.Fps = ClampedNumber(optarg, 1, 60, "frame rate", " fps", options.FpsNote);
            break;
        case OptSize:
            ParseSize(optarg, options.Width, options.Height);
            break;
        case 'c':
            options.Codec = optarg;
            break;
        case OptCrossFade:
            options.CrossFade = true;
            break;
        case OptNoCrossFade:
            options.CrossFade = false;
            break;
        case OptCaptions:
            options.Captions = true;
            break;
        case OptNoCaptions:
            options.Captions = false;
            break;
        case OptDynamic:
            options.Dynamic = true;
            break;
        case OptNoDynamic:
            options.Dynamic = false;
            break;
        case OptSingleFrame:
            options.SingleFrame = true;
            break;
        case OptEffect:
            options.Effect = ParseEffect(optarg);
            break;
        case OptNoSound:
            options.NoSound = true;
            break;
        case OptNoAutoRotate:
            options.AutoRotate = false;
            break;
        case OptListCodecs:
            options.ListCodecs = true;
            break;
        case OptAudio: {
            std::string mode = optarg;
            for (char& ch : mode)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (mode != "auto" && mode != "copy" && mode != "aac" && mode != "mp3" &&
                mode != "opus")
                throw TUsageError{std::string("Invalid audio: ") + optarg +
                                  " (auto, copy, aac, mp3 or opus)"};
            options.Audio = mode;
            break;
        }
        case OptFadeOut: {
            std::string note;
            options.FadeOutMs = ClampedNumber(optarg, 0, 60000, "fade-out", " ms", note);
            if (!note.empty()) throw TUsageError{note};
            break;
        }
        case 'q':
            options.Quiet = true;
            break;
        case 'v':
            options.Verbose = true;
            break;
        case OptVersion:
            options.Version = true;
            break;
        case 'h':
            options.Help = true;
            break;
        case ':':
            throw TUsageError{std::string("Missing value for ") + argv[optind - 1]};
        default:
            if (TakeStyleOption(options, c, optarg)) break;
            throw TUsageError{std::string("Unknown option ") + argv[optind - 1]};
        }
    }
    // Whatever follows "--".
    for (; optind < argc; ++optind) AddPositional(options, argv[optind]);
    return options;
}
