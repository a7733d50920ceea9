// BMP decoder on raw bytes. A clean refusal is the expected end of bad input; anything else
// (crash, sanitizer report, leak, runaway memory or time) is a finding.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>

#include "FuzzSupport.h"
#include "platform/image/U_Bitmap32.h"
#include "platform/image/U_BmpDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TBitmap32 picture;
    try {
        DecodeBmp(std::span<const std::uint8_t>(data, size), FuzzMaxPicturePixels, picture);
    } catch (const std::exception&) {
        return 0;
    }
    // A decoded picture must be exactly as large as it says, and within the limit.
    if (picture.Width <= 0 || picture.Height <= 0 ||
        static_cast<std::uint64_t>(picture.Width) * static_cast<std::uint64_t>(picture.Height) >
            FuzzMaxPicturePixels ||
        picture.Pixels.size() <
            static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height))
        __builtin_trap();
    return 0;
}
