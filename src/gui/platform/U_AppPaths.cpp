#include "U_AppPaths.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/os/U_FileDescriptor.h"

namespace {

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string EnvFolder(const char* name, const char* homeFallback) {
    if (const char* value = std::getenv(name); value && *value == '/') return WithSlash(value);
    if (const char* home = std::getenv("HOME"); home && *home)
        return WithSlash(std::string(home) + homeFallback);
    return {};
}

// Opens (creating, never truncating) the file for writing, as the log will.
bool CanWriteFile(const std::string& path) {
    TFileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    return fd.Get() >= 0;
}

} // namespace

std::string ExecutablePath() {
    return QCoreApplication::applicationFilePath().toStdString();
}

std::string StateFolder() {
    const std::string base = EnvFolder("XDG_STATE_HOME", "/.local/state");
    return base.empty() ? base : base + "Morvanta/";
}

std::vector<std::string> DataFolders(const std::string& executableFolder) {
    std::vector<std::string> folders;
    if (!executableFolder.empty()) {
        folders.push_back(WithSlash(executableFolder));
        folders.push_back(WithSlash(executableFolder) + "../share/morvanta/");
    }
    if (const std::string data = EnvFolder("XDG_DATA_HOME", "/.local/share"); !data.empty())
        folders.push_back(data + "Morvanta/");
    return folders;
}

std::string FindDataFile(const std::string& executableFolder, const std::string& name) {
    for (const std::string& folder : DataFolders(executableFolder)) {
        std::error_code ec;
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        if (std::filesystem::is_regular_file(path, ec)) return path.lexically_normal().string();
    }
    return {};
}

std::string ChooseLogFileName(const std::string& executableFolder, const std::string& stateFolder,
                              const std::string& fileName) {
    const std::string beside = WithSlash(executableFolder) + fileName;
    if (CanWriteFile(beside)) return beside;
    if (!stateFolder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(stateFolder, ec);
        const std::string inState = WithSlash(stateFolder) + fileName;
        if (CanWriteFile(inState)) return inState;
    }
    return beside;
}
