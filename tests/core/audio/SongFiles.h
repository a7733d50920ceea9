#pragma once
// Small songs of every kind, made with the ffmpeg program for the tests that read them.
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace songtest {

// Encodes `seconds` of `source` (an lavfi audio source) with the ffmpeg
// output options `codec` into `path`. Throws when ffmpeg fails.
inline void MakeSong(const std::string& path, const std::vector<std::string>& codec,
                     double seconds = 2.0,
                     const std::string& source = "sine=frequency=440:sample_rate=44100") {
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-f",
                                     "lavfi",  "-i", source,  "-t", std::to_string(seconds)};
    argv.insert(argv.end(), codec.begin(), codec.end());
    argv.push_back(path);
    const auto made = test::Run(argv);
    if (made.ExitCode != 0) throw std::runtime_error("ffmpeg: " + made.Err);
}

} // namespace songtest
