#pragma once
// Named locks between programs: a program that is running holds `<runtime dir>/<NAME>.lock`
// with flock(2); others learn that it runs by trying the lock without waiting.
#include <string>
#include <sys/types.h>

struct TLockFolder {
    std::string Path;  // the folder, without a trailing '/'; empty when refused
    std::string Error; // why it was refused; empty when Path is usable
    bool Ok() const { return !Path.empty(); }
};

// $XDG_RUNTIME_DIR when it names an existing folder, else the private per-user folder
// `<tmpRoot>/morvanta-<uid>`, made with mode 0700 when missing. A per-user folder that is a
// symbolic link, not a folder, not owned by `uid` or open to group or others is refused:
// anyone who can write there could fake or hide a running program.
TLockFolder ResolveLockFolder(const std::string& xdgRuntimeDir, const std::string& tmpRoot,
                              uid_t uid);
// The same, from this process's environment, "/tmp" and user.
TLockFolder ResolveLockFolder();

// `<folder>/<name>.lock`.
std::string LockFilePath(const TLockFolder& folder, const std::string& name);

// True when some open file holds the lock on `lockFile`. A missing or unreadable file is
// not held. The probe takes the lock for an instant when it is free, never waits for it.
bool IsLockHeld(const std::string& lockFile);
