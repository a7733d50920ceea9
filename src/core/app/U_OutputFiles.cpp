#include "app/U_OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/base/U_Errors.h"
#include "platform/container/U_Container.h"
#include "platform/os/U_FileOps.h"

namespace {

// Names tried beside the output before giving up, as for the intermediate file.
constexpr int MaxBesideNames = 10000;

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Creates an empty file under the first free name beside `outputFile`, so that nobody else's
// file can be there when the writer later renames its work over it.
std::string ReserveBeside(const std::string& outputFile, const std::string& tag) {
    for (int n = 0; n < MaxBesideNames; ++n) {
        const std::string name = BesideName(outputFile, tag, n);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return name;
        }
        if (errno != EEXIST)
            throw EMorvantaError("Cannot write " + outputFile + ": " + SystemErrorText(errno) +
                                 " (creating " + name + ").");
    }
    throw EMorvantaError("Cannot write " + outputFile + ": no free name for " +
                         BesideName(outputFile, tag, 0) + ".");
}

// Renames `file` to the first free name beside `outputFile`; "" with errno set on failure.
std::string MoveBeside(const std::string& file, const std::string& outputFile,
                       const std::string& tag) {
    for (int n = 0; n < MaxBesideNames; ++n) {
        const std::string name = BesideName(outputFile, tag, n);
        if (RenameNoReplace(file, name)) return name;
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

// A reserved name that never received anything is ours to remove. Returns what to tell when it
// cannot be removed, else "".
std::string RemoveIfEmptyReservation(const TRunFiles& files, const std::string& path) {
    if (!files.KeepsEarlierFile || path == files.OutputFile || !IsRegularFile(path) ||
        GetFileSizeBytes(path) != 0 || unlink(path.c_str()) == 0)
        return {};
    return " The empty file " + path + " could not be removed (" + SystemErrorText(errno) + ").";
}

std::string Unchanged(const TRunFiles& files) {
    return files.OutputFile + " is unchanged.";
}

// The finished result takes the output path, replacing the earlier file.
TPhaseEnd Commit(const TRunFiles& files, const std::string& finished) {
    if (finished == files.OutputFile ||
        std::rename(finished.c_str(), files.OutputFile.c_str()) == 0)
        return {TRenderStatus::Done, files.OutputFile, {}};
    return {TRenderStatus::Failed, finished,
            "The finished video was kept at " + finished + ": it could not replace " +
                files.OutputFile + " (" + SystemErrorText(errno) + ")."};
}

// The silent video after a multiplexing that did not complete: put back at the output path when
// nothing was there, else beside the earlier file.
std::string KeepSilentVideo(const TRunFiles& files, std::string& reason) {
    // Without an intermediate file the video was never moved aside.
    const std::string& silent =
        files.IntermediateFile.empty() ? files.VideoFile : files.IntermediateFile;
    if (!files.KeepsEarlierFile) {
        if (silent == files.OutputFile || RenameNoReplace(silent, files.OutputFile))
            return files.OutputFile;
    } else {
        std::string name = MoveBeside(silent, files.OutputFile, "silent");
        if (!name.empty()) return name;
    }
    reason = " (" + SystemErrorText(errno) + ")";
    return silent;
}

} // namespace

std::string BesideName(const std::string& outputFile, const std::string& tag, int n) {
    const std::string folder = FolderOf(outputFile);
    const std::filesystem::path name(FileNameOf(outputFile));
    const std::string stem = name.has_extension() ? name.stem().string() : name.string();
    const std::string suffix = n == 0 ? std::string() : "-" + std::to_string(n);
    // The other containers keep their extension as written: show.partial.mp4.
    const std::string extension =
        ContainerOf(outputFile) == TContainer::Avi ? ".avi" : name.extension().string();
    return folder + stem + "." + tag + suffix + extension;
}

TRunFiles BeginRunFiles(const std::string& outputFile) {
    TRunFiles files;
    files.OutputFile = outputFile;
    files.VideoFile = outputFile;
    // A folder or anything else in the way is left for the writer to refuse.
    if (IsRegularFile(outputFile)) {
        files.KeepsEarlierFile = true;
        files.VideoFile = ReserveBeside(outputFile, "partial");
    }
    return files;
}

TPhaseEnd EndVideoPhase(TRunFiles& files, TRenderStatus status, bool soundFollows) {
    if (status == TRenderStatus::Done)
        return soundFollows ? TPhaseEnd{TRenderStatus::Done, files.VideoFile, {}}
                            : Commit(files, files.VideoFile);
    if (GetFileSizeBytes(files.VideoFile) > 0) {
        std::string note = "The unfinished video was kept at " + files.VideoFile;
        note += files.KeepsEarlierFile ? "; " + Unchanged(files) : ".";
        return {status, files.VideoFile, note};
    }
    const std::string leftover = RemoveIfEmptyReservation(files, files.VideoFile);
    return {status, {}, files.KeepsEarlierFile ? Unchanged(files) + leftover : std::string()};
}

std::string BeginAudioPhase(TRunFiles& files) {
    const std::string extension =
        ContainerOf(files.OutputFile) == TContainer::Avi
            ? ".avi"
            : std::filesystem::path(files.OutputFile).extension().string();
    files.IntermediateFile = MoveToIntermediate(files.VideoFile, extension);
    if (!files.KeepsEarlierFile) {
        files.MuxFile = files.OutputFile;
        return files.IntermediateFile;
    }
    try {
        files.MuxFile = ReserveBeside(files.OutputFile, "partial");
    } catch (...) {
        RenameNoReplace(files.IntermediateFile, files.VideoFile);
        files.IntermediateFile.clear();
        throw;
    }
    return files.IntermediateFile;
}

TPhaseEnd EndAudioPhase(TRunFiles& files, TRenderStatus status) {
    if (status == TRenderStatus::Done) {
        unlink(files.IntermediateFile.c_str());
        return Commit(files, files.MuxFile);
    }
    if (status == TRenderStatus::Failed) {
        if (!files.MuxFile.empty()) unlink(files.MuxFile.c_str());
        std::string reason;
        const std::string silent = KeepSilentVideo(files, reason);
        std::string note = "The video without sound was kept at " + silent + reason;
        note += files.KeepsEarlierFile ? "; " + Unchanged(files) : ".";
        return {status, silent, note};
    }
    const std::string leftover = RemoveIfEmptyReservation(files, files.MuxFile);
    std::string silent = files.IntermediateFile;
    std::string reason;
    if (files.KeepsEarlierFile) {
        silent = MoveBeside(files.IntermediateFile, files.OutputFile, "silent");
        if (silent.empty()) {
            reason = " (" + SystemErrorText(errno) + ")";
            silent = files.IntermediateFile;
        }
    }
    std::string note = GetFileSizeBytes(files.MuxFile) > 0
                           ? "The unfinished video with sound was kept at " + files.MuxFile +
                                 " and the video without sound at "
                           : std::string("The video without sound was kept at ");
    note += silent + reason;
    note += files.KeepsEarlierFile ? "; " + Unchanged(files) : ".";
    return {status, silent, note + leftover};
}
