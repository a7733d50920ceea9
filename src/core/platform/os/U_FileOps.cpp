#include "platform/os/U_FileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/base/U_Errors.h"

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name, too.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) != 0) {
        const int err = errno;
        unlink(to.c_str());
        errno = err;
        return false;
    }
    return true;
}

std::string MoveToIntermediate(const std::string& file, const std::string& extension) {
    const std::string folder = FolderOf(file);
    for (int n = 0; n < 10000; ++n) {
        const std::string name =
            folder + (n == 0 ? std::string("temp") : "temp-" + std::to_string(n)) + extension;
        if (RenameNoReplace(file, name)) return name;
        if (errno != EEXIST) {
            throw EMorvantaError("Cannot rename " + file + " to " + name + ": " +
                                 SystemErrorText(errno));
        }
    }
    throw EMorvantaError("No free name for the intermediate file in " + folder);
}

std::uint64_t GetFileSizeBytes(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
