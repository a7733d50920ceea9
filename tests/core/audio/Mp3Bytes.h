#pragma once
// Small MPEG audio byte streams built in memory for the soundtrack tests.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/U_MP3Header.h"

namespace mp3test {

using Bytes = std::vector<std::uint8_t>;

// One whole frame: the header `h` followed by filler bytes that never form a sync pattern.
inline Bytes Frame(std::uint8_t h0, std::uint8_t h1, std::uint8_t h2, std::uint8_t h3) {
    const std::uint8_t head[4] = {h0, h1, h2, h3};
    const auto length = TMP3Header::FromBytes(head).FrameLength();
    Bytes frame(static_cast<std::size_t>(length), 0x11);
    std::memcpy(frame.data(), head, 4);
    return frame;
}

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes, or 418 with padding.
inline Bytes Mp3Frame(bool padded = false) {
    return Frame(0xFF, 0xFB, padded ? 0x92 : 0x90, 0x64);
}

inline void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

inline Bytes Repeat(const Bytes& frame, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) Append(out, frame);
    return out;
}

// An ID3v2.3 tag of `total` bytes (header included) whose body is `body`, padded with zeros.
inline Bytes Id3v2(std::size_t total, const Bytes& body = {}) {
    Bytes tag = {'I', 'D', '3', 3, 0, 0};
    const std::size_t size = total - 10;
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back((size >> shift) & 0x7F);
    Append(tag, body);
    tag.resize(total, 0);
    return tag;
}

inline Bytes Id3v1() {
    Bytes tag(128, ' ');
    std::memcpy(tag.data(), "TAG", 3);
    tag[127] = 0xFF; // genre: none
    return tag;
}

} // namespace mp3test
