#include "app/U_Preflight.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>

#include "app/U_Project.h"
#include "audio/U_SongProbe.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_Limits.h"
#include "platform/image/U_BmpDecoder.h"
#include "platform/os/U_FileDescriptor.h"
#include "video/U_JpegDecoder.h"

namespace {

// A JPEG's header (markers, EXIF, colour profile) lies in its first bytes; the rest is read only
// when the header does not end there.
constexpr std::size_t JpegHeaderBytes = 256 * 1024;

// At most `limit` bytes from the start of the file, as the render reads pictures (same limits).
// Throws EMorvantaError with the reason.
std::vector<std::uint8_t> ReadStart(const std::string& path, std::uint64_t limit,
                                    std::uint64_t& fileSize) {
    TFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) throw EMorvantaError(SystemErrorText(errno));
    struct stat info {};
    if (fstat(file.Get(), &info) != 0) throw EMorvantaError(SystemErrorText(errno));
    if (!S_ISREG(info.st_mode)) throw EMorvantaError("Not a regular file");
    fileSize = static_cast<std::uint64_t>(info.st_size);
    if (fileSize > MaxPictureFileBytes) throw EMorvantaError("File too large");
    if (fileSize == 0) throw EMorvantaError("Empty file");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(limit, fileSize)));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EMorvantaError(SystemErrorText(errno));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// The render's decoder's own header check, within the render's pixel budget. Returns its
// complaint, or "" for a sound header.
std::string HeaderComplaint(const std::vector<std::uint8_t>& bytes, bool jpeg, bool autoRotate) {
    try {
        if (jpeg)
            ReadJpegHeader(bytes, MaxPicturePixels, autoRotate);
        else
            ReadBmpHeader(bytes, MaxPicturePixels);
    } catch (const EMorvantaError& e) {
        return e.what();
    }
    return {};
}

bool IsJpegName(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".jpg" || ext == ".jpeg";
}

} // namespace

std::optional<std::string> PictureProblem(const std::string& path, bool autoRotate) {
    if (auto rejection = PictureRejection(path)) return rejection;
    const bool jpeg = IsJpegName(path);
    std::string complaint;
    try {
        std::uint64_t size = 0;
        // A BMP's header is checked against the whole file (palette, pixel offset).
        std::vector<std::uint8_t> bytes =
            ReadStart(path, jpeg ? JpegHeaderBytes : MaxPictureFileBytes, size);
        complaint = HeaderComplaint(bytes, jpeg, autoRotate);
        if (!complaint.empty() && bytes.size() < size)
            complaint = HeaderComplaint(ReadStart(path, size, size), jpeg, autoRotate);
    } catch (const EMorvantaError& e) {
        complaint = e.what();
    }
    if (complaint.empty()) return std::nullopt;
    return "Cannot load picture " + path + ": " + complaint;
}

TPictureCheck CheckPictures(const std::vector<std::string>& entries, bool autoRotate) {
    TPictureCheck check;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TPictureEntry picture = SplitPictureEntry(entries[i]);
        if (auto problem = PictureProblem(picture.Path, autoRotate)) {
            check.Skipped.push_back(std::move(*problem));
            continue;
        }
        check.Paths.Add(picture.Path);
        check.Captions.Add(picture.Caption);
        check.Used.push_back(i);
    }
    return check;
}

std::optional<std::string> SoundtrackProblem(const std::string& path) {
    return SongProblem(path);
}

std::optional<std::string> SoundtrackProblem(const std::vector<std::string>& songs) {
    if (songs.size() > MaxSongCount)
        return "Too many songs: at most " + std::to_string(MaxSongCount);
    for (const auto& song : songs)
        if (auto problem = SongProblem(song)) return problem;
    return std::nullopt;
}

std::optional<std::string> SoundtrackRefusal(const std::string& path) {
    if (auto problem = SoundtrackProblem(path))
        return "Cannot use the soundtrack " + path + ": " + *problem;
    return std::nullopt;
}
