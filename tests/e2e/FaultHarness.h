#pragma once
// Fault injection around morvanta-render: a render running in the background, snapshots of a
// folder's files, and the unprivileged user that permission bits apply to.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "RenderHarness.h"

extern char** environ;

namespace e2e {

// Every entry under `dir`, by path relative to it: a regular file's bytes, or a marker for a
// folder. Two equal snapshots mean nothing was added, removed or changed.
using TFolderSnapshot = std::map<std::string, std::vector<std::uint8_t>>;

inline TFolderSnapshot Snapshot(const std::filesystem::path& dir) {
    TFolderSnapshot snapshot;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = std::filesystem::relative(entry.path(), dir).string();
        if (entry.is_directory())
            snapshot[name + "/"] = {};
        else
            snapshot[name] = test::ReadFile(entry.path().string());
    }
    return snapshot;
}

// The names in `after` that `before` does not have.
inline std::vector<std::string> NewNames(const TFolderSnapshot& before,
                                         const TFolderSnapshot& after) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : after)
        if (!before.count(name)) names.push_back(name);
    return names;
}

// The user that .ci/run creates so that permission bits apply to the render.
constexpr const char* TestUserName = "morvanta-test";

struct TTestUser {
    uid_t Uid = 0;
    gid_t Gid = 0;
};

inline std::optional<TTestUser> FindTestUser() {
    const passwd* entry = getpwnam(TestUserName);
    if (!entry) return std::nullopt;
    return TTestUser{entry->pw_uid, entry->pw_gid};
}

// How the permission cases run the program: as root they switch to the test user (root ignores
// permission bits); as anyone else they run it directly, since the bits already apply.
class TUnprivileged {
public:
    // Empty `Why()` when usable. `configDir` must be writable by the user the render runs as.
    TUnprivileged() {
        if (geteuid() != 0) return;
        user_ = FindTestUser();
        if (!user_)
            why_ = std::string("running as root, which ignores permission bits, and the user ") +
                   TestUserName + " (created by .ci/run) does not exist";
    }
    const std::string& Why() const { return why_; }
    bool SwitchesUser() const { return user_.has_value(); }

    // Gives `path` to the user the render runs as (nothing to do without switching).
    void Own(const std::filesystem::path& path) const {
        if (user_ && chown(path.c_str(), user_->Uid, user_->Gid) != 0)
            throw std::runtime_error("cannot chown " + path.string());
    }

    // The command line running morvanta-render with `args` as that user.
    std::vector<std::string> Command(const std::string& configDir,
                                     const std::vector<std::string>& args) const {
        std::vector<std::string> argv;
        if (user_)
            argv = {"setpriv", std::string("--reuid=") + TestUserName,
                    std::string("--regid=") + TestUserName, "--clear-groups"};
        argv.insert(argv.end(), {"env", "MORVANTA_CONFIG_DIR=" + configDir, MORVANTA_RENDER_EXE});
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

private:
    std::optional<TTestUser> user_;
    std::string why_;
};

// A program running in the background, its standard error going to a file.
class TBackground {
public:
    TBackground(const std::vector<std::string>& argv, const std::string& errFile) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    }
    ~TBackground() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    TBackground(const TBackground&) = delete;
    TBackground& operator=(const TBackground&) = delete;

    void Signal(int sig) const { kill(pid_, sig); }

    // The exit code, or 128 + n when signal n ended it.
    int Wait() {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // True until the program ends (it stays waitable: Wait still gives its exit code).
    bool Running() const {
        siginfo_t info{};
        return pid_ > 0 &&
               waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    }

private:
    pid_t pid_ = -1;
};

// Waits (while `render` runs, at most 30 s) until a file ending in `suffix` in `dir` holds at
// least `bytes`; returns its path, or "" when none did.
inline std::string WaitForGrowingFile(const TBackground& render, const std::filesystem::path& dir,
                                      const std::string& suffix, std::uintmax_t bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline && render.Running()) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            const std::string name = entry.path().string();
            if (name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                entry.file_size(ec) >= bytes)
                return name;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
}

} // namespace e2e
