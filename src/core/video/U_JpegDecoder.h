#pragma once
// JPEG decoding through libjpeg(-turbo): accurate integer DCT, fancy upsampling and block
// smoothing, RGB output, turned upright by the file's EXIF orientation. Greyscale files come out
// as grey RGB, CMYK/YCCK files are converted to RGB. Works on bytes in memory so that it can be
// fed anything.
#include <cstdint>
#include <span>

#include "platform/image/U_Bitmap32.h"

struct TJpegDecodeOptions {
    // Turn the picture as its EXIF orientation says; off, the stored pixels come out as stored.
    bool AutoRotate = true;
    // Both above 0: decode at the smallest DCT scale (1/8, 2/8, ... 8/8) whose upright result
    // still covers what fits into FitWidth x FitHeight, for pictures that are only shown small.
    // Otherwise: full size.
    int FitWidth = 0;
    int FitHeight = 0;
};

// Decodes a whole JPEG file into `out` (0xAARRGGBB, alpha 255, rows from the top).
// Pictures of more than maxPixels pixels are refused before libjpeg allocates the image, and
// libjpeg's working memory is bounded by what a picture of that size needs. Throws
// EMorvantaError carrying libjpeg's message (without the file name) on any fault, including
// a file cut short.
void DecodeJpeg(std::span<const std::uint8_t> data, std::uint64_t maxPixels, TBitmap32& out,
                const TJpegDecodeOptions& options = {});

// What DecodeJpeg would deliver for these bytes, from the header alone: the upright size (the
// stored one turned by the EXIF orientation when autoRotate) and that orientation (1 when not
// turned). The header passes the same libjpeg checks and pixel budget as in DecodeJpeg, and for
// a file of one scan also the decoder's set-up; no picture data is read, so a file cut short
// after its header passes here and fails in DecodeJpeg. Throws DecodeJpeg's EMorvantaError.
struct TJpegHeader {
    int Width = 0;
    int Height = 0;
    int Orientation = 1;
};
TJpegHeader ReadJpegHeader(std::span<const std::uint8_t> data, std::uint64_t maxPixels,
                           bool autoRotate = true);
