#pragma once
// Every resource limit of the program, in one place. Inputs beyond them are refused with a
// clear message before anything of their size is allocated.
#include <cstddef>
#include <cstdint>

// Pictures: more pixels than this are refused before decoding (fuzzers pass a smaller limit).
inline constexpr std::uint64_t MaxPicturePixels = 256ull * 1000 * 1000;
// Picture files larger than this are not read at all.
inline constexpr std::uint64_t MaxPictureFileBytes = 1ull << 30;
// Frames: the largest width or height a frame server renders (a third more for the pan
// canvas must still fit an int).
inline constexpr int MaxFrameSide = 16384;

// Soundtracks are read whole for the frame scan; larger files (some 17 hours at 128 kbit/s)
// are refused rather than loaded.
inline constexpr std::uint64_t MaxSoundFileBytes = 1ull << 30;

// AVI files: the largest stream format block written or read.
inline constexpr std::size_t MaxAviFormatBytes = std::size_t{1} << 20;

// Project files and settings files.
inline constexpr std::size_t MaxProjectFileBytes = std::size_t{64} << 20;
inline constexpr std::size_t MaxSettingsFileBytes = std::size_t{16} << 20;
inline constexpr std::size_t MaxSettingsLineBytes = std::size_t{1} << 20;

// Songs read through the decoders: larger files, odd rates, more channels or longer playing
// times are refused before any of it is decoded or mixed.
inline constexpr std::uint64_t MaxSongFileBytes = 4ull << 30;
inline constexpr int MinSongSampleRate = 4000;
inline constexpr int MaxSongSampleRate = 384000;
inline constexpr int MaxSongChannels = 8;
inline constexpr double MaxSongSeconds = 12.0 * 3600;
// Songs in one soundtrack.
inline constexpr std::size_t MaxSongCount = 1000;
