// EXIF orientation: the segment walk and the TIFF reader on whatever comes, the input taken
// both as a whole JPEG and as a bare TIFF block; then the orientation found turns a small
// picture. Besides crashes, an orientation outside 1 .. 8 or a turn that loses or repeats a
// pixel is a finding.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "video/U_Exif.h"
#include "video/U_Orientation.h"

namespace {

void CheckTurn(int orientation, int width, int height) {
    std::vector<std::uint32_t> stored(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < stored.size(); ++i) stored[i] = static_cast<std::uint32_t>(i);
    TBitmap32 out;
    TOrientedWriter writer(out, width, height, orientation);
    // In two bands, as the decoder hands them over.
    const int first = height / 2;
    writer.PutRows(0, stored.data(), first);
    writer.PutRows(first, stored.data() + static_cast<std::size_t>(first) * width, height - first);
    const bool swaps = OrientationSwapsSides(orientation);
    if (out.Width != (swaps ? height : width) || out.Height != (swaps ? width : height))
        __builtin_trap();
    std::vector<bool> seen(stored.size(), false);
    for (std::uint32_t p : out.Pixels) {
        if (p >= seen.size() || seen[p]) __builtin_trap();
        seen[p] = true;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::span<const std::uint8_t> block = FindExifBlock(bytes);
    if (!block.empty() && (block.data() < data || block.data() + block.size() > data + size))
        __builtin_trap();
    const int inJpeg = JpegOrientation(bytes);
    const int asTiff = ExifOrientation(bytes);
    for (int orientation : {inJpeg, asTiff})
        if (orientation < 1 || orientation > 8) __builtin_trap();
    CheckTurn(inJpeg, 5, 3);
    CheckTurn(asTiff, 1 + static_cast<int>(size % 7), 1 + static_cast<int>(size % 5));
    return 0;
}
