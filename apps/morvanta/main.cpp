// morvanta: the desktop program.
#include <cstdio>
#include <cstring>

#include "app/U_Application.h"
#include "app/U_Startup.h"
#include "lang/U_VersionInfo.h"

namespace {

constexpr const char* Help =
    "Usage: morvanta [-co] [QT-OPTION...]\n"
    "Makes a video from an ordered list of photos with captions and an optional MP3\n"
    "soundtrack, in a window: cross-fades, slow pans, captions and colour effects.\n"
    "Its manual opens from the window's Help.\n"
    "\n"
    "Options:\n"
    "  -co                   Writes the English reference language file, which a\n"
    "                        translation starts from, as MRV_ORIGINAL.SPK first.\n"
    "      --version         Prints the program's version and stops.\n"
    "  -h, --help            Prints this help and stops.\n"
    "\n"
    "The window also takes the options of its toolkit, Qt, such as -platform offscreen\n"
    "or -style NAME.\n";

// Answered before the window system is reached, so that they work without a display.
int AnswerAndStop(const char* argument) {
    if (std::strcmp(argument, "--version") == 0) {
        std::printf("morvanta %s\n", GetFileVersionText(RunningExecutablePath()).c_str());
    } else {
        std::fputs(Help, stdout);
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2) {
        for (const char* flag : {"--version", "--help", "-h"})
            if (std::strcmp(argv[1], flag) == 0) return AnswerAndStop(argv[1]);
    }
    TMorvantaApp app(argc, argv);
    return RunMorvanta();
}
