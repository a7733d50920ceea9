#pragma once
// One picture of the slideshow as a 32-bit frame: decoded from JPEG or BMP, fitted into a target
// size with black bands, coloured, and copied out window by window.
#include <cstdint>
#include <string>

#include "platform/base/U_Limits.h"
#include "platform/image/U_Bitmap32.h"

// Pictures above this many pixels are refused before their pixels are allocated.
inline constexpr std::uint64_t DefaultMaxPicturePixels = MaxPicturePixels;

// Black bands of a fitted picture: rows at the top and bottom, or columns at each side.
struct TFitBands {
    int Top = 0;
    int Side = 0;
};

// The bands that fit a srcWidth x srcHeight picture into width x height keeping its aspect.
TFitBands ComputeFitBands(int srcWidth, int srcHeight, int width, int height);

class TImageFile {
public:
    // Loads the whole file at its natural size. Throws EMorvantaError naming the file.
    explicit TImageFile(const std::string& fileName,
                        std::uint64_t maxPixels = DefaultMaxPicturePixels);
    // Loads, then FitTo(width, height).
    TImageFile(const std::string& fileName, int width, int height,
               std::uint64_t maxPixels = DefaultMaxPicturePixels);

    // Scales into exactly width x height keeping the aspect; black bands fill the rest.
    // 0 x 0 leaves the picture untouched.
    void FitTo(int width, int height);
    void Greyscale();
    void Sepia();
    // dest becomes width x height with the pixels from (left, top) onward, one to one.
    void CopyRegion(TBitmap32& dest, int left, int top, int width, int height) const;

    TBitmap32 Bitmap;
};
