#pragma once
// File operations the render needs beyond std::filesystem: renames that never overwrite.
#include <cstdint>
#include <string>

// Renames `from` to `to` only when `to` does not exist. Returns false with errno set otherwise.
bool RenameNoReplace(const std::string& from, const std::string& to);

// Moves `file` to "temp.avi" in its own folder, or to the first free of "temp-1.avi",
// "temp-2.avi", ... Never overwrites a file. Returns the new path; throws EMorvantaError when
// the rename fails.
std::string MoveToIntermediate(const std::string& file, const std::string& extension = ".avi");

// Size of a file in bytes, 0 when there is no such file.
std::uint64_t GetFileSizeBytes(const std::string& path);

// The folder part of a path, with a trailing '/', or "" when the path has no folder.
std::string FolderOf(const std::string& path);
// The file name part of a path (after the last '/').
std::string FileNameOf(const std::string& path);
