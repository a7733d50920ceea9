#pragma once
// Windows bitmap decoder: 1/2/4/8-bit palettes, RLE4/RLE8, 16/24/32-bit with or without
// BITFIELDS masks, bottom-up and top-down rows, OS/2 core and BITMAPINFOHEADER..V5 headers.
// Works on bytes in memory so that it can be fed anything; every size in the file is checked
// against the bytes actually present.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/image/U_Bitmap32.h"

// Decodes a whole .bmp file into `out` (0xAARRGGBB, alpha 255, rows from the top).
// Pictures of more than maxPixels pixels are refused before any pixel is allocated.
// Throws EMorvantaError with a short reason (without the file name) on any fault.
void DecodeBmp(std::span<const std::uint8_t> data, std::uint64_t maxPixels, TBitmap32& out);

// The size of a .bmp file's picture, from everything DecodeBmp checks before it reads a pixel:
// the headers, palette and masks, the pixel budget and, for uncompressed rows, that the file
// holds them. `data` is the whole file. Throws the EMorvantaError DecodeBmp would throw for the
// same bytes; an RLE stream is only checked by decoding it.
struct TBmpHeader {
    int Width = 0;
    int Height = 0;
};
TBmpHeader ReadBmpHeader(std::span<const std::uint8_t> data, std::uint64_t maxPixels);
