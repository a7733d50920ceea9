#pragma once
// The one piece of JPEG metadata the pictures use: the EXIF orientation that phone cameras write
// instead of turning the pixels. Read straight from the bytes in memory, every offset and count
// bounded by the bytes present, so a lying block costs neither memory nor time.
#include <cstdint>
#include <span>

// Orientation values 1 .. 8 of tag 0x0112; 1 = stored upright.
inline constexpr int ExifUpright = 1;

// The TIFF structure of the first APP1 "Exif" segment before the picture data, or an empty
// span when the file has none.
std::span<const std::uint8_t> FindExifBlock(std::span<const std::uint8_t> jpeg);

// The orientation in IFD0 of a TIFF structure (either byte order). Anything absent, out of
// range or malformed gives ExifUpright.
int ExifOrientation(std::span<const std::uint8_t> tiff);

// Both of the above: the orientation of a whole JPEG file.
int JpegOrientation(std::span<const std::uint8_t> jpeg);
