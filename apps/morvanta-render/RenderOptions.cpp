#include "RenderOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

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
};

// A number, rounded to the nearest integer (ties to even) and clamped into lo..hi.
int ClampedNumber(const char* text, int lo, int hi, const char* what) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        throw TUsageError{std::string("Invalid ") + what + ": " + text};
    const double clamped = std::clamp(value, static_cast<double>(lo), static_cast<double>(hi));
    return RoundToInt(clamped);
}

bool ReadDimension(const std::string& text, int& value) {
    if (text.empty() || text.size() > 5) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoi(text);
    return value >= 16 && value <= 8192;
}

void ParseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find('x');
    if (x == std::string::npos || !ReadDimension(text.substr(0, x), width) ||
        !ReadDimension(text.substr(x + 1), height))
        throw TUsageError{"Invalid size: " + text + " (expected WxH, 16..8192 each)"};
}

TEffect ParseEffect(const std::string& text) {
    if (text == "none") return TEffect::None;
    if (text == "greyscale") return TEffect::Greyscale;
    if (text == "sepia") return TEffect::Sepia;
    throw TUsageError{"Invalid effect: " + text + " (none, greyscale or sepia)"};
}

} // namespace

const char* RenderUsage() {
    return "Usage: morvanta-render [options] [PROJECT.mrv]\n"
           "  -o, --output FILE       the AVI to write (default: the project's \";Output=\" line)\n"
           "  -p, --picture ENTRY     add a picture entry (a path, or path TAB caption); "
           "repeatable\n"
           "  -s, --sound FILE        soundtrack (default: the project's \";Sound=\" line)\n"
           "  -t, --time MS           time per picture, clamped into 100..60000 (default 3000)\n"
           "      --match-audio       derive the time per picture from the soundtrack\n"
           "  -r, --fps N             frames per second, clamped into 1..60 (default 15)\n"
           "      --size WxH          frame size in pixels, 16..8192 each (default 640x480)\n"
           "  -c, --codec FCC         FourCC (default: the last codec used, else \"xvid\")\n"
           "      --crossfade | --no-crossfade      (default on)\n"
           "      --captions  | --no-captions       (default on)\n"
           "      --dynamic   | --no-dynamic        (default off)\n"
           "      --single-frame\n"
           "      --effect none|greyscale|sepia     (default: the project's effect)\n"
           "      --no-sound          ignore the project's soundtrack\n"
           "      --no-auto-rotate    keep JPEGs as stored, ignoring their EXIF orientation\n"
           "      --list-codecs       print the codec list, one \"FCC description\" line each\n"
           "  -q, --quiet             no progress bar\n"
           "  -v, --verbose           also print the run's log lines\n"
           "      --version, --help\n";
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
        {"no-auto-rotate", no_argument, nullptr, OptNoAutoRotate},
        {"list-codecs", no_argument, nullptr, OptListCodecs},
        {"quiet", no_argument, nullptr, 'q'},
        {"verbose", no_argument, nullptr, 'v'},
        {"version", no_argument, nullptr, OptVersion},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    TRenderOptions options;
    optind = 1;
    opterr = 0;
    for (;;) {
        const int c = getopt_long(argc, argv, ":o:p:s:t:r:c:qvh", longOptions, nullptr);
        if (c == -1) break;
        switch (c) {
        case 'o':
            options.Output = optarg;
            break;
        case 'p':
            options.Pictures.emplace_back(optarg);
            break;
        case 's':
            options.Sound = optarg;
            break;
        case 't':
            options.TimeMs = ClampedNumber(optarg, 100, 60000, "time");
            break;
        case OptMatchAudio:
            options.MatchAudio = true;
            break;
        case 'r':
            options.Fps = ClampedNumber(optarg, 1, 60, "frame rate");
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
            throw TUsageError{std::string("Unknown option ") + argv[optind - 1]};
        }
    }
    if (optind < argc) options.Project = argv[optind++];
    if (optind < argc) throw TUsageError{std::string("Unexpected argument ") + argv[optind]};
    return options;
}
