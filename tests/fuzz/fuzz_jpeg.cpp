// JPEG loading as the slideshow does it: the file through TImageFile, then fitted into a small
// frame and coloured. A clean refusal is the expected end of bad input.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "FuzzSupport.h"
#include "video/U_ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzFile file(".jpg");
    const std::string& path = file.Write(data, size);
    try {
        TImageFile picture(path, FuzzMaxPicturePixels);
        const std::uint64_t pixels = static_cast<std::uint64_t>(picture.Bitmap.Width) *
                                     static_cast<std::uint64_t>(picture.Bitmap.Height);
        if (picture.Bitmap.Empty() || pixels > FuzzMaxPicturePixels) __builtin_trap();
        picture.FitTo(64, 48);
        if (picture.Bitmap.Width != 64 || picture.Bitmap.Height != 48) __builtin_trap();
        // Odd: greyscale first and sepia on top, so both see varied and grey pixels.
        if (size % 2) picture.Greyscale();
        picture.Sepia();
        TBitmap32 window;
        picture.CopyRegion(window, 8, 8, 16, 16);
    } catch (const std::exception&) {
    }
    return 0;
}
