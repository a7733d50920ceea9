#include "app/U_Project.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>

#include "app/U_FileReplace.h"
#include "app/U_ProjectSongs.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_TextLines.h"
#include "platform/os/U_FileDescriptor.h"
#include "platform/os/U_FileOps.h"

namespace {

constexpr std::string_view EffectPrefix = ";Effect=";
constexpr std::string_view SoundPrefix = ";Sound=";
constexpr std::string_view OutputPrefix = ";Output=";
// Editors on other systems put it in front of UTF-8 text; it is no part of the first line.
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Resolve(const std::string& path, const std::string& folder) {
    if (path.empty() || path.front() == '/') return path;
    return (std::filesystem::path(folder) / path).lexically_normal().string();
}

[[noreturn]] void RaiseFileError(const std::string& what, const std::string& fileName, int err) {
    throw EMorvantaError(what + " " + fileName + ": " + SystemErrorText(err != 0 ? err : EIO));
}

std::string ReadProjectFile(const std::string& fileName) {
    // Non-blocking, so that a FIFO given as a project cannot hang the open.
    TFileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) RaiseFileError("Cannot open the project file", fileName, errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        RaiseFileError("Cannot read the project file", fileName, errno);
    if (S_ISDIR(info.st_mode)) RaiseFileError("Cannot read the project file", fileName, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw EMorvantaError("The project file " + fileName + " is not a regular file");
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) RaiseFileError("Cannot read the project file", fileName, errno);
        if (got == 0) break;
        if (text.size() + static_cast<std::size_t>(got) > ProjectMaxFileBytes)
            throw EMorvantaError("The project file " + fileName + " is too large (more than " +
                                 std::to_string(ProjectMaxFileBytes >> 20) + " MiB)");
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

} // namespace

TPictureEntry SplitPictureEntry(const std::string& entry) {
    const auto tab = entry.find('\t');
    if (tab == std::string::npos) return {entry, FileNameOf(entry)};
    return {entry.substr(0, tab), entry.substr(tab + 1)};
}

bool IsSupportedPicture(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string extension = LowerAscii(name.substr(dot));
    return extension == ".jpg" || extension == ".jpeg" || extension == ".bmp";
}

std::optional<std::string> PictureRejection(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return "File not found : " + path;
    if (!IsSupportedPicture(path)) return "File not supported : " + path;
    return std::nullopt;
}

std::optional<std::string> NotAProjectReason(std::string_view text) {
    // Text never holds a NUL byte; UTF-16 text holds one in nearly every character.
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        return "it is UTF-16 text; save it as UTF-8";
    if (text.find('\0') != std::string_view::npos) return "it holds binary data";
    return std::nullopt;
}

TProject ParseProject(std::string_view text) {
    TProject project;
    if (text.starts_with(Utf8Bom)) text.remove_prefix(Utf8Bom.size());
    std::vector<std::string> lines = SplitLines(text);
    std::size_t first = 0;
    for (; first < lines.size() && lines[first].starts_with(';'); ++first) {
        const std::string_view line = lines[first];
        if (line.starts_with(OutputPrefix)) {
            project.Output = std::string(line.substr(OutputPrefix.size()));
        } else if (line.starts_with(SoundPrefix)) {
            project.Sound = std::string(line.substr(SoundPrefix.size()));
        } else if (ReadSongLine(line, project.MoreSongs)) {
        } else if (line.starts_with(EffectPrefix)) {
            const std::string_view value = line.substr(EffectPrefix.size());
            project.Effect = value == "GreyScale" ? TEffect::Greyscale
                             : value == "Sepia"   ? TEffect::Sepia
                                                  : TEffect::None;
        } else {
            ReadProjectStyleLine(line, project.Style);
        }
    }
    project.Entries.assign(std::make_move_iterator(lines.begin() + static_cast<long>(first)),
                           std::make_move_iterator(lines.end()));
    FinishProjectStyle(project.Style, project.Entries.size());
    return project;
}

void ResolveProjectPaths(TProject& project, const std::string& folder) {
    if (project.Sound) project.Sound = Resolve(*project.Sound, folder);
    if (project.Output) project.Output = Resolve(*project.Output, folder);
    for (auto& song : project.MoreSongs) song = Resolve(song, folder);
    for (auto& entry : project.Entries) {
        const auto tab = entry.find('\t');
        const std::string path = entry.substr(0, tab);
        const std::string resolved = Resolve(path, folder);
        if (resolved != path)
            entry = resolved + (tab == std::string::npos ? "" : entry.substr(tab));
    }
}

TProject LoadProject(const std::string& fileName) {
    const std::string text = ReadProjectFile(fileName);
    // One message rather than a "File not found" line for every run of bytes between breaks.
    if (const auto reason = NotAProjectReason(text))
        throw EMorvantaError("The file " + fileName + " is not a project file: " + *reason);
    TProject project = ParseProject(text);
    std::error_code ec;
    auto absolute = std::filesystem::absolute(fileName, ec);
    if (ec) absolute = fileName;
    ResolveProjectPaths(project, absolute.parent_path().string());
    return project;
}

std::string FormatProject(TEffect effect, const std::string& sound, const std::string& output,
                          const std::vector<std::string>& paths,
                          const std::vector<std::string>& captions,
                          const std::vector<std::string>& moreSongs, const TShowLook& look) {
    std::string text;
    if (effect == TEffect::Sepia) text += ";Effect=Sepia\r\n";
    if (effect == TEffect::Greyscale) text += ";Effect=GreyScale\r\n";
    text += ";Sound=" + sound + "\r\n";
    text += SongLines(moreSongs);
    text += ";Output=" + output + "\r\n";
    text += FormatProjectStyle(look);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        text += paths[i];
        const std::string caption = i < captions.size() ? captions[i] : FileNameOf(paths[i]);
        if (caption != FileNameOf(paths[i])) text += "\t" + caption;
        text += "\r\n";
    }
    return text;
}

std::string WithExactExtension(const std::string& name, const std::string& extension) {
    return name.ends_with(extension) ? name : name + extension;
}

std::string SaveProject(const std::string& chosenName, TEffect effect, const std::string& sound,
                        const std::string& output, const std::vector<std::string>& paths,
                        const std::vector<std::string>& captions,
                        const std::vector<std::string>& moreSongs, const TShowLook& look) {
    const std::string fileName = WithExactExtension(chosenName, ".mrv");
    const std::string text = FormatProject(effect, sound, output, paths, captions, moreSongs, look);
    // A failed save leaves the old file whole.
    if (const int err = ReplaceFileContents(fileName, text))
        RaiseFileError("Cannot write the project file", fileName, err);
    return fileName;
}
