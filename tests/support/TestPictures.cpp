#include "TestPictures.h"

#include <algorithm>
#include <stdexcept>

#include "TestSupport.h"

namespace test {

namespace {
void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}
} // namespace

std::vector<std::uint8_t> EncodeBmp24(const TBitmap32& bitmap) {
    const std::size_t stride = (static_cast<std::size_t>(bitmap.Width) * 3 + 3) & ~std::size_t{3};
    const std::size_t pixels = stride * static_cast<std::size_t>(bitmap.Height);
    std::vector<std::uint8_t> out(54 + pixels, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<std::uint32_t>(out.size())); // bfSize
    Put32(out, 10, 54);                                    // bfOffBits
    Put32(out, 14, 40);                                    // biSize
    Put32(out, 18, static_cast<std::uint32_t>(bitmap.Width));
    Put32(out, 22, static_cast<std::uint32_t>(bitmap.Height)); // positive: bottom-up
    Put16(out, 26, 1);                                         // biPlanes
    Put16(out, 28, 24);                                        // biBitCount
    Put32(out, 34, static_cast<std::uint32_t>(pixels));        // biSizeImage
    Put32(out, 38, 2835);                                      // 72 dpi
    Put32(out, 42, 2835);
    for (int y = 0; y < bitmap.Height; ++y) {
        std::uint8_t* row =
            out.data() + 54 + stride * static_cast<std::size_t>(bitmap.Height - 1 - y);
        for (int x = 0; x < bitmap.Width; ++x) {
            const std::uint32_t p = bitmap.At(x, y);
            row[3 * x] = static_cast<std::uint8_t>(BlueOf(p));
            row[3 * x + 1] = static_cast<std::uint8_t>(GreenOf(p));
            row[3 * x + 2] = static_cast<std::uint8_t>(RedOf(p));
        }
    }
    return out;
}

void WriteBmp24(const std::string& path, const TBitmap32& bitmap) {
    WriteFile(path, EncodeBmp24(bitmap));
}

TBitmap32 MakeSolid(int width, int height, std::uint32_t rgb) {
    TBitmap32 bitmap(width, height);
    std::fill(bitmap.Pixels.begin(), bitmap.Pixels.end(), rgb | 0xFF000000u);
    return bitmap;
}

TBitmap32 MakeGradient(int width, int height) {
    TBitmap32 bitmap(width, height);
    const int wx = std::max(width - 1, 1);
    const int hy = std::max(height - 1, 1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.At(x, y) = PackRGB(static_cast<std::uint32_t>(x * 255 / wx),
                                      static_cast<std::uint32_t>(y * 255 / hy),
                                      static_cast<std::uint32_t>((x + y) * 255 / (wx + hy)));
    return bitmap;
}

void FillRect(TBitmap32& bitmap, int left, int top, int width, int height, std::uint32_t rgb) {
    const int x0 = std::max(left, 0), x1 = std::min(left + width, bitmap.Width);
    const int y0 = std::max(top, 0), y1 = std::min(top + height, bitmap.Height);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) bitmap.At(x, y) = rgb | 0xFF000000u;
}

TBox FindBox(const TBitmap32& bitmap, const std::function<bool(std::uint32_t)>& match) {
    TBox box{bitmap.Width, bitmap.Height, -1, -1};
    for (int y = 0; y < bitmap.Height; ++y) {
        for (int x = 0; x < bitmap.Width; ++x) {
            if (!match(bitmap.At(x, y))) continue;
            box.Left = std::min(box.Left, x);
            box.Top = std::min(box.Top, y);
            box.Right = std::max(box.Right, x);
            box.Bottom = std::max(box.Bottom, y);
        }
    }
    return box;
}

bool SameRGB(const TBitmap32& a, const TBitmap32& b) {
    if (a.Width != b.Width || a.Height != b.Height) return false;
    for (std::size_t i = 0; i < a.Pixels.size(); ++i)
        if ((a.Pixels[i] & 0xFFFFFFu) != (b.Pixels[i] & 0xFFFFFFu)) return false;
    return true;
}

} // namespace test
