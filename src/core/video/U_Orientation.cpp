#include "video/U_Orientation.h"

bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

TOrientedWriter::TOrientedWriter(TBitmap32& out, int storedWidth, int storedHeight, int orientation)
    : out_(out), width_(storedWidth), height_(storedHeight),
      orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1) {
    if (OrientationSwapsSides(orientation_))
        out_.SetSize(storedHeight, storedWidth);
    else
        out_.SetSize(storedWidth, storedHeight);
}

// Stored pixel (x, y) of a W x H picture lands at:
//   1 (x, y)          2 (W-1-x, y)        3 (W-1-x, H-1-y)    4 (x, H-1-y)
//   5 (y, x)          6 (H-1-y, x)        7 (H-1-y, W-1-x)    8 (y, W-1-x)
MORVANTA_PIXEL_LOOP void TOrientedWriter::PutRows(int firstRow, const std::uint32_t* rows,
                                                  int count) {
    const int w = width_, h = height_;
    if (!OrientationSwapsSides(orientation_)) {
        const bool mirrorX = orientation_ == 2 || orientation_ == 3;
        const bool mirrorY = orientation_ == 3 || orientation_ == 4;
        for (int r = 0; r < count; ++r) {
            const int y = firstRow + r;
            const std::uint32_t* src = rows + static_cast<std::size_t>(r) * w;
            std::uint32_t* dst = out_.Row(mirrorY ? h - 1 - y : y);
            if (mirrorX)
                for (int x = 0; x < w; ++x) dst[w - 1 - x] = src[x];
            else
                for (int x = 0; x < w; ++x) dst[x] = src[x];
        }
        return;
    }
    // A stored row becomes an output column. Column by column over the whole band, so that each
    // output row receives `count` neighbouring pixels at a time.
    const bool backX = orientation_ == 7 || orientation_ == 8; // output row = W-1-x
    const bool backY = orientation_ == 6 || orientation_ == 7; // output column = H-1-y
    for (int x = 0; x < w; ++x) {
        std::uint32_t* dst = out_.Row(backX ? w - 1 - x : x);
        for (int r = 0; r < count; ++r) {
            const int y = firstRow + r;
            dst[backY ? h - 1 - y : y] = rows[static_cast<std::size_t>(r) * w + x];
        }
    }
}
