#include "app/U_ErrorAdvice.h"

#include <string_view>

namespace {

struct TAdvice {
    const char* Unit;
    const char* Step; // how the message begins; "" matches any step of the unit
    const char* Text;
};

// First match wins: the steps of each unit, then the unit's catch-all.
constexpr TAdvice Advice[] = {
    {"U_BmpToAvi", "FileOpen failed",
     "The video file could not be created: check that its folder exists and that you may write "
     "there, or choose another output file."},
    {"U_BmpToAvi", "ICOpen failed",
     "The codec could not be started for this size and frame rate: choose another codec, frame "
     "size or frame rate."},
    {"U_BmpToAvi", "ICCompress",
     "The codec could not compress a frame: choose another codec or another frame size."},
    {"U_BmpToAvi", "Rename failed",
     "The finished video could not be given its name: check that you may write to its folder."},
    {"U_BmpToAvi", "",
     "Writing the video file failed: check that the disk has free space and is still there, "
     "then try again."},
    {"U_MuxThd", "No MPEG audio frame found",
     "The soundtrack holds no MPEG audio: choose an MP3 file."},
    {"U_MuxThd", "Read error",
     "The soundtrack could not be read to its end: check the file, or choose another one."},
    {"U_MuxThd", "Output file is one of the input files",
     "Choose an output file other than the soundtrack and the video."},
    {"U_MuxThd", "StreamWrite failed",
     "Writing the video with its soundtrack failed: check that the disk has free space, then try "
     "again."},
    {"U_MuxThd", "FileClose failed",
     "Writing the video with its soundtrack failed: check that the disk has free space, then try "
     "again."},
    {"U_MuxThd", "",
     "The soundtrack could not be added to the video: check that the output folder has free space "
     "and can be written to, then try again."},
};

} // namespace

std::string PlainWordsFor(const std::string& message) {
    const std::string_view text(message);
    for (const TAdvice& advice : Advice) {
        if (text.find(std::string("(") + advice.Unit + ", ligne ") == std::string_view::npos)
            continue;
        if (text.starts_with(advice.Step)) return advice.Text;
    }
    return {};
}
