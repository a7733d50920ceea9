#pragma once
// Small builders shared by the AVI layer's tests: stream headers, formats and raw frames.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/avi/U_AviFile.h"

namespace avitest {

constexpr int kW = 32, kH = 24; // 24-bit rows of 96 bytes: no row padding
constexpr std::size_t kFrameBytes = kW * kH * 3;

inline void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint16_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
inline void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x >> (8 * i));
}
inline std::uint32_t Get32(const std::vector<std::uint8_t>& v, std::size_t at) {
    return static_cast<std::uint32_t>(v[at]) | (static_cast<std::uint32_t>(v[at + 1]) << 8) |
           (static_cast<std::uint32_t>(v[at + 2]) << 16) |
           (static_cast<std::uint32_t>(v[at + 3]) << 24);
}

// The video stream header as the video writer fills it.
inline AVISTREAMINFO VideoInfo(const std::string& handler, std::uint32_t frameMs, int w = kW,
                               int h = kH) {
    AVISTREAMINFO i;
    i.fccType = streamtypeVIDEO;
    i.fccHandler = StringToFourCC(handler);
    i.dwFlags = 12;
    i.dwScale = frameMs;
    i.dwRate = 1000;
    i.dwQuality = 10000;
    i.rcFrame = {0, 0, w, h};
    std::strcpy(i.szName, "Main Video Stream");
    return i;
}

// A BITMAPINFOHEADER followed by `extra` bytes of codec data.
inline std::vector<std::uint8_t> BitmapFormat(const std::string& compression, int bitCount,
                                              const std::vector<std::uint8_t>& extra = {},
                                              int w = kW, int h = kH) {
    std::vector<std::uint8_t> f(40, 0);
    Put32(f, 0, 40 + static_cast<std::uint32_t>(extra.size()));
    Put32(f, 4, static_cast<std::uint32_t>(w));
    Put32(f, 8, static_cast<std::uint32_t>(h));
    Put16(f, 12, 1);
    Put16(f, 14, static_cast<std::uint16_t>(bitCount));
    Put32(f, 16, compression == "DIB " ? 0 : StringToFourCC(compression));
    Put32(f, 20, static_cast<std::uint32_t>(w * h * bitCount / 8));
    f.insert(f.end(), extra.begin(), extra.end());
    return f;
}

// 16-bit PCM WAVEFORMATEX (18 bytes).
inline std::vector<std::uint8_t> PcmFormat(std::uint32_t rate, std::uint16_t channels) {
    std::vector<std::uint8_t> f(18, 0);
    Put16(f, 0, 1);
    Put16(f, 2, channels);
    Put32(f, 4, rate);
    Put32(f, 8, rate * channels * 2);
    Put16(f, 12, static_cast<std::uint16_t>(channels * 2));
    Put16(f, 14, 16);
    return f;
}

inline AVISTREAMINFO PcmInfo(std::uint32_t rate, std::uint16_t channels) {
    AVISTREAMINFO i;
    i.fccType = streamtypeAUDIO;
    i.dwScale = 1;
    i.dwRate = rate;
    i.dwSampleSize = channels * 2u;
    return i;
}

// A bottom-up BGR frame whose bytes depend on `n`, so frames differ.
inline std::vector<std::uint8_t> RawFrame(int n, std::size_t bytes = kFrameBytes) {
    std::vector<std::uint8_t> f(bytes);
    for (std::size_t i = 0; i < bytes; ++i) f[i] = static_cast<std::uint8_t>(i * 7 + n * 31);
    return f;
}

struct Chunk {
    std::string Id;
    std::uint32_t Size = 0;
    std::size_t Pos = 0;  // of the chunk header
    std::string ListType; // for RIFF and LIST
    std::size_t Data() const { return Pos + 8; }
};

inline std::string Id(const std::vector<std::uint8_t>& f, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(f.data() + at), 4);
}

// The chunks directly inside [begin, end), as a plain walker sees them.
inline std::vector<Chunk> Chunks(const std::vector<std::uint8_t>& f, std::size_t begin,
                                 std::size_t end) {
    std::vector<Chunk> out;
    for (std::size_t pos = begin; pos + 8 <= end && pos + 8 <= f.size();) {
        Chunk c{Id(f, pos), Get32(f, pos + 4), pos, {}};
        if (c.Id == "RIFF" || c.Id == "LIST") c.ListType = Id(f, pos + 8);
        out.push_back(c);
        pos += 8 + c.Size + (c.Size & 1);
    }
    return out;
}

// The first chunk with this id (or list type) inside [begin, end).
inline Chunk Find(const std::vector<std::uint8_t>& f, std::size_t begin, std::size_t end,
                  const std::string& id) {
    for (const Chunk& c : Chunks(f, begin, end))
        if (c.Id == id || c.ListType == id) return c;
    return {};
}
inline std::size_t End(const Chunk& c) {
    return c.Data() + c.Size;
}

} // namespace avitest
