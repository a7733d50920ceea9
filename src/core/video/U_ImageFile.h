#pragma once
// One picture of the slideshow as a 32-bit frame: decoded from JPEG or BMP, fitted into a target
// size with black bands, coloured, and copied out window by window.
#include <cstdint>
#include <string>

#include "platform/base/U_Limits.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_JpegDecoder.h"
#include "video/U_ShowStyle.h"

// Pictures above this many pixels are refused before their pixels are allocated.
inline constexpr std::uint64_t DefaultMaxPicturePixels = MaxPicturePixels;

// How pictures are read. A plain value, passed to every load that needs it.
struct TPictureOptions {
    // JPEGs are turned upright as their EXIF orientation says (the setting "AutoRotate").
    bool AutoRotate = true;
    // Only shown small (thumbnails, previews): a JPEG loaded with a fitting size is decoded at a
    // reduced scale that still covers that size, several times faster for a large photo. BMPs and
    // loads without a fitting size decode in full either way.
    bool SmallTarget = false;
};

// The setting that turns AutoRotate off: "0" does; absent, "1" or anything else leaves it on.
inline constexpr const char* AutoRotateSettingName = "AutoRotate";
bool AutoRotateFromSetting(const std::string& value);
// The setting as the settings store holds it now.
bool ReadAutoRotateSetting();

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
                        std::uint64_t maxPixels = DefaultMaxPicturePixels,
                        const TPictureOptions& options = {});
    // Loads, then FitTo(width, height, fill).
    TImageFile(const std::string& fileName, int width, int height,
               std::uint64_t maxPixels = DefaultMaxPicturePixels,
               const TPictureOptions& options = {}, TFill fill = TFill::Bands);

    // Scales into exactly width x height keeping the aspect; black bands fill the rest.
    // 0 x 0 leaves the picture untouched.
    void FitTo(int width, int height);
    // The same, the rest filled as `fill` says: black bands, a blurred copy, or the picture
    // cropped to fill the frame instead.
    void FitTo(int width, int height, TFill fill);
    void Greyscale();
    void Sepia();
    // dest becomes width x height with the pixels from (left, top) onward, one to one.
    void CopyRegion(TBitmap32& dest, int left, int top, int width, int height) const;

    TBitmap32 Bitmap;

private:
    void Load(const std::string& fileName, std::uint64_t maxPixels,
              const TJpegDecodeOptions& options);
};

// A picture as the thumbnail strip and the previews show it: fitted into width x height with
// black bands, a JPEG decoded at the reduced scale that still covers that size. Throws
// EMorvantaError naming the file.
TBitmap32 MakeThumbnail(const std::string& fileName, int width, int height, bool autoRotate,
                        std::uint64_t maxPixels = DefaultMaxPicturePixels);
