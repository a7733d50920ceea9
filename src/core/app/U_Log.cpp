#include "app/U_Log.h"

#include <cerrno>

#include "app/U_FileReplace.h"
#include "platform/base/U_Errors.h"

namespace {

[[noreturn]] void RaiseWriteError(const std::string& fileName, int err) {
    throw EMorvantaError("Cannot write the log file " + fileName + ": " +
                         SystemErrorText(err != 0 ? err : EIO));
}

} // namespace

TKLog::TKLog(std::string fileName, int maxLines, bool verboseEnabled)
    : fileName_(std::move(fileName)), maxLines_(maxLines), verboseEnabled_(verboseEnabled) {}

void TKLog::Add(const std::string& message, int level) {
    static constexpr const char* LevelNames[] = {"Verbose", "Info", "Error"};
    // A negative level is taken as the lowest rather than read outside the names.
    if (level < 0) level = 0;
    if (level == 0 && !verboseEnabled_) return;
    if (level > 2) level = 2;
    if (level == 2) ++errorCount_;
    lines_.push_front(std::string(LevelNames[level]) + '\t' + message);
    while (lines_.size() > static_cast<std::size_t>(maxLines_ < 0 ? 0 : maxLines_))
        lines_.pop_back();
    Save();
}

void TKLog::Save() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    // Beside and renamed over: the file is always one whole log, also when the disk fills up.
    if (const int err = ReplaceFileContents(fileName_, text)) RaiseWriteError(fileName_, err);
}
