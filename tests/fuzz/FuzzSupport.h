#pragma once
// Shared bits of the harnesses: a scratch file that holds the current input, for readers that
// only take a file name, and the picture limit that keeps every run small.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// Small enough that one input never needs more than a few megabytes of pixels: a hostile
// header claiming a large picture is refused before decoding instead of slowing every run.
inline constexpr std::uint64_t FuzzMaxPicturePixels = 1000ull * 1000;

// A file in /dev/shm (memory, so that millions of runs do not wear a disk) carrying this
// process's id, so parallel fuzzers never share one. Rewritten for every input.
class TFuzzFile {
public:
    explicit TFuzzFile(const std::string& extension)
        : path_("/dev/shm/morvanta-fuzz-" + std::to_string(::getpid()) + extension) {}
    ~TFuzzFile() { ::unlink(path_.c_str()); }
    TFuzzFile(const TFuzzFile&) = delete;
    TFuzzFile& operator=(const TFuzzFile&) = delete;

    // Replaces the file's content; aborts when it cannot, since every later run would lie.
    const std::string& Write(const std::uint8_t* data, std::size_t size) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        return path_;
    }

private:
    std::string path_;
};
