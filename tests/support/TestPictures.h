#pragma once
// Small pictures for tests: made in memory, written as 24-bit BMP files, searched for marks.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/image/U_Bitmap32.h"

namespace test {

// A 24-bit bottom-up BMP (BITMAPINFOHEADER, BI_RGB) of the bitmap; alpha is dropped.
std::vector<std::uint8_t> EncodeBmp24(const TBitmap32& bitmap);
void WriteBmp24(const std::string& path, const TBitmap32& bitmap);

// One colour all over (0xRRGGBB; alpha is set to 255).
TBitmap32 MakeSolid(int width, int height, std::uint32_t rgb);
// Red grows from left to right, green from top to bottom, blue along the diagonal.
TBitmap32 MakeGradient(int width, int height);
// Fills the rectangle, cut to the bitmap.
void FillRect(TBitmap32& bitmap, int left, int top, int width, int height, std::uint32_t rgb);

struct TBox {
    int Left = 0;
    int Top = 0;
    int Right = -1;  // inclusive
    int Bottom = -1; // inclusive
    bool Empty() const { return Right < Left || Bottom < Top; }
    int Width() const { return Right - Left + 1; }
    int Height() const { return Bottom - Top + 1; }
};
// The smallest box holding every pixel for which `match` holds (Empty() when none does).
TBox FindBox(const TBitmap32& bitmap, const std::function<bool(std::uint32_t)>& match);

// True when red, green and blue agree everywhere (alpha is ignored).
bool SameRGB(const TBitmap32& a, const TBitmap32& b);

} // namespace test
