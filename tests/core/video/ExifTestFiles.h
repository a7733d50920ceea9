#pragma once
// JPEGs with an EXIF orientation for the orientation and thumbnail tests: a picture whose
// stored top-left corner is red and top-right corner green, and a TIFF block put in front.
#include <cstdint>
#include <vector>

#include "ImageTestFiles.h"

namespace exiftest {

// The stored picture: red square at the top-left, green at the top-right, grey elsewhere.
// Squares of 16 pixels keep JPEG's blocks clean.
inline std::vector<std::uint8_t> MarkedJpeg(int w, int h) {
    std::vector<std::uint8_t> s(static_cast<std::size_t>(w) * h * 3, 128);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            std::uint8_t* red = &s[(static_cast<std::size_t>(y) * w + x) * 3];
            red[0] = 255, red[1] = 0, red[2] = 0;
            std::uint8_t* green = &s[(static_cast<std::size_t>(y) * w + (w - 16 + x)) * 3];
            green[0] = 0, green[1] = 255, green[2] = 0;
        }
    return imgtest::MakeJpeg(s, w, h, imgtest::TJpegOptions{95, false});
}

inline void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int bytes,
                bool bigEndian) {
    for (int i = 0; i < bytes; ++i) {
        const int shift = 8 * (bigEndian ? bytes - 1 - i : i);
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> shift);
    }
}

// A TIFF header and IFD0 with a Make entry, then the orientation (SHORT, count 1).
inline std::vector<std::uint8_t> OrientationTiff(int orientation, bool bigEndian,
                                                 std::uint16_t type = 3) {
    std::vector<std::uint8_t> t(8 + 2 + 2 * 12 + 4, 0);
    t[0] = t[1] = bigEndian ? 'M' : 'I';
    Put(t, 2, 42, 2, bigEndian);
    Put(t, 4, 8, 4, bigEndian);
    Put(t, 8, 2, 2, bigEndian);
    Put(t, 10, 0x010F, 2, bigEndian); // Make, ASCII "ab\0" in place
    Put(t, 12, 2, 2, bigEndian);
    Put(t, 14, 3, 4, bigEndian);
    t[18] = 'a', t[19] = 'b';
    Put(t, 22, 0x0112, 2, bigEndian);
    Put(t, 24, type, 2, bigEndian);
    Put(t, 26, 1, 4, bigEndian);
    Put(t, 30, static_cast<std::uint32_t>(orientation), type == 3 ? 2 : 4, bigEndian);
    return t;
}

// An APP1 segment holding "Exif\0\0" and `tiff`.
inline std::vector<std::uint8_t> ExifSegment(const std::vector<std::uint8_t>& tiff) {
    std::vector<std::uint8_t> seg = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    seg.insert(seg.end(), tiff.begin(), tiff.end());
    Put(seg, 2, static_cast<std::uint32_t>(seg.size() - 2), 2, true);
    return seg;
}

// `jpeg` with `segment` right after its start-of-image marker.
inline std::vector<std::uint8_t> WithSegment(std::vector<std::uint8_t> jpeg,
                                             const std::vector<std::uint8_t>& segment) {
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

inline std::vector<std::uint8_t> WithOrientation(const std::vector<std::uint8_t>& jpeg,
                                                 int orientation, bool bigEndian = false) {
    return WithSegment(jpeg, ExifSegment(OrientationTiff(orientation, bigEndian)));
}

} // namespace exiftest
