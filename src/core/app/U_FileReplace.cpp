#include "app/U_FileReplace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/os/U_FileDescriptor.h"

int ReplaceFileContents(const std::string& fileName, std::string_view bytes) {
    // A name of our own (pid and attempt), so two programs saving at once never share one.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = fileName + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    TFileDescriptor file(fd);
    if (file.Get() < 0) return errno != 0 ? errno : EIO;
    if (!WriteAllBytes(file.Get(), bytes) || !file.Close() ||
        std::rename(temp.c_str(), fileName.c_str()) != 0) {
        const int err = errno != 0 ? errno : EIO;
        ::unlink(temp.c_str());
        return err;
    }
    return 0;
}
