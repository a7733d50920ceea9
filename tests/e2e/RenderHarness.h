#pragma once
// Runs the built morvanta-render on pictures made for the test.
#include <sstream>
#include <string>
#include <vector>

#include "TestPictures.h"
#include "TestSupport.h"

namespace e2e {

inline test::CommandResult Render(std::vector<std::string> args) {
    args.insert(args.begin(), MORVANTA_RENDER_EXE);
    return test::Run(args);
}

// `count` distinct pictures of mixed sizes as 24-bit BMP files in `dir`; returns their paths.
inline std::vector<std::string> MakePictures(const test::TempDir& dir, int count) {
    std::vector<std::string> paths;
    const int sizes[][2] = {{400, 300}, {300, 400}, {600, 200}, {320, 240}};
    for (int i = 0; i < count; ++i) {
        TBitmap32 bitmap = test::MakeGradient(sizes[i % 4][0], sizes[i % 4][1]);
        test::FillRect(bitmap, 20 + 30 * i, 20, 40, 40, 0xFFFFFF);
        const std::string path = dir.File("pic" + std::to_string(i) + ".bmp");
        test::WriteBmp24(path, bitmap);
        paths.push_back(path);
    }
    return paths;
}

// "-p PATH" for each picture.
inline std::vector<std::string> PictureArgs(const std::vector<std::string>& paths) {
    std::vector<std::string> args;
    for (const auto& p : paths) {
        args.push_back("-p");
        args.push_back(p);
    }
    return args;
}

inline std::vector<std::string> Concat(std::vector<std::string> a,
                                       const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A sine soundtrack made by ffmpeg's MP3 encoder.
inline void MakeMp3(const std::string& path, double seconds, int rate = 44100, int channels = 2,
                    const std::string& bitrate = "128k") {
    auto result =
        test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                   "sine=frequency=440:sample_rate=" + std::to_string(rate) +
                       ":duration=" + std::to_string(seconds),
                   "-ac", std::to_string(channels), "-c:a", "libmp3lame", "-b:a", bitrate, path});
    if (result.ExitCode != 0) throw std::runtime_error("ffmpeg failed: " + result.Err);
}

// What `ffmpeg -v error -i file -f null -` prints (empty when the file decodes cleanly).
inline std::string DecodeErrors(const std::string& file) {
    auto result = test::Run({"ffmpeg", "-v", "error", "-i", file, "-f", "null", "-"});
    return result.Err +
           (result.ExitCode != 0 ? " (exit " + std::to_string(result.ExitCode) + ")" : "");
}

// ffmpeg's hash of every packet of the file's first audio stream, read as it is stored.
inline std::vector<std::string> AudioPacketHashes(const std::string& file) {
    const auto result = test::Run({"ffmpeg", "-v", "error", "-i", file, "-map", "0:a:0", "-c",
                                   "copy", "-f", "framemd5", "-"});
    std::vector<std::string> hashes;
    std::istringstream in(result.Out);
    // "stream, dts, pts, duration, size, hash[, side data]": the packet's own hash.
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 6 && std::getline(fields, field, ','); ++i) {
        }
        hashes.push_back(field);
    }
    return hashes;
}

// Where the file's first audio stream ends, in seconds: its last packet's start plus its
// duration (Matroska states no stream duration); -1 without packets.
inline double AudioEndSeconds(const std::string& file) {
    const auto result =
        test::Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                   "packet=pts_time,duration_time", "-of", "csv=p=0", file});
    std::istringstream in(result.Out);
    std::string last;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) last = line;
    if (last.empty()) return -1;
    const std::size_t comma = last.find(',');
    return std::stod(last.substr(0, comma)) +
           (comma == std::string::npos ? 0.0 : std::stod(last.substr(comma + 1)));
}

} // namespace e2e
