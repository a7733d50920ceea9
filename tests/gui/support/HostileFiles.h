#pragma once
// The user's files for the GUI's robustness tests: every hostile picture, song and project the
// core's tests refuse, and random bytes under each accepted extension.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace guitest {

using Bytes = std::vector<std::uint8_t>;

// The one song among them that is sound enough to be taken (its last frame is cut short).
inline constexpr const char* SoundSongWithCutEnd = "cut-last-frame.mp3";

Bytes RandomBytes(std::size_t size, std::uint32_t seed);
// Writes them under `folder` (created); returns their paths (folders named like files too).
std::vector<std::string> WriteHostileFiles(const std::string& folder);
// The bytes of every file under `folder`, by path.
std::map<std::string, Bytes> Snapshot(const std::string& folder);

} // namespace guitest
