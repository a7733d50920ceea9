#pragma once
// Helpers shared by the tests: temporary folders, small files, and running real programs.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<std::uint8_t> ReadFile(const std::string& path);

struct CommandResult {
    int ExitCode = -1; // 128 + n when ended by signal n
    std::string Out;
    std::string Err;
};
// Runs a program with arguments (no shell), capturing both outputs. `input` goes to stdin.
CommandResult Run(const std::vector<std::string>& argv, const std::string& input = {});

// True when `program` is on PATH.
bool HaveProgram(const std::string& program);

// ffprobe's value of one entry, e.g. Probe(file, "v:0", "stream=nb_read_frames", true).
std::string Probe(const std::string& file, const std::string& streams, const std::string& entries,
                  bool countFrames = false);

} // namespace test
