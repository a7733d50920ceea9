#include "U_LockProbe.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os/U_FileDescriptor.h"

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TLockFolder Refuse(const std::string& folder, const std::string& why) {
    return {{},
            "The lock folder " + folder + " " + why +
                "; remove it or set XDG_RUNTIME_DIR to a private folder."};
}

} // namespace

TLockFolder ResolveLockFolder(const std::string& xdgRuntimeDir, const std::string& tmpRoot,
                              uid_t uid) {
    if (!xdgRuntimeDir.empty() && xdgRuntimeDir.front() == '/' && IsFolder(xdgRuntimeDir)) {
        std::string path = xdgRuntimeDir;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        return {path, {}};
    }
    const std::string folder = tmpRoot + "/morvanta-" + std::to_string(uid);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {{}, "Cannot create the lock folder " + folder + ": " + std::strerror(errno)};
    // Check what is really there now, without following a link planted in its place.
    TFileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.Get() < 0) return Refuse(folder, "is not a folder");
    struct stat info {};
    if (::fstat(dir.Get(), &info) != 0) return Refuse(folder, "cannot be examined");
    if (info.st_uid != uid) return Refuse(folder, "belongs to another user");
    if ((info.st_mode & 077) != 0) return Refuse(folder, "is open to other users");
    return {folder, {}};
}

TLockFolder ResolveLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return ResolveLockFolder(runtime ? runtime : "", "/tmp", ::getuid());
}

std::string LockFilePath(const TLockFolder& folder, const std::string& name) {
    return folder.Path + "/" + name + ".lock";
}

bool IsLockHeld(const std::string& lockFile) {
    // Read-only and never created: probing must leave no trace when nothing runs.
    TFileDescriptor file(::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) return false;
    int result;
    do result = ::flock(file.Get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) return errno == EWOULDBLOCK;
    ::flock(file.Get(), LOCK_UN);
    return false;
}
