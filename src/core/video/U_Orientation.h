#pragma once
// Turning a picture upright as its EXIF orientation (1 .. 8) asks, row band by row band while it
// is decoded, so that no second copy of a large picture is ever held.
#include <cstdint>

#include "platform/image/U_Bitmap32.h"

// Orientations 5 .. 8 swap the picture's width and height.
bool OrientationSwapsSides(int orientation);

// Places the stored rows of a storedWidth x storedHeight picture into `out`, which it sizes to
// the upright picture. Orientations outside 1 .. 8 are taken as 1.
class TOrientedWriter {
public:
    TOrientedWriter(TBitmap32& out, int storedWidth, int storedHeight, int orientation);

    // Stored rows firstRow .. firstRow + count - 1, each storedWidth pixels, one after another.
    void PutRows(int firstRow, const std::uint32_t* rows, int count);

private:
    TBitmap32& out_;
    int width_;
    int height_;
    int orientation_;
};
