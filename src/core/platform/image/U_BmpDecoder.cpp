#include "platform/image/U_BmpDecoder.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/U_Errors.h"

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;

constexpr std::size_t FileHeaderSize = 14;
constexpr std::uint32_t Black = 0xFF000000u;

[[noreturn]] void Fail(const std::string& reason) {
    throw EMorvantaError(reason);
}

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// One colour channel of a BITFIELDS mask, scaled to 8 bits.
struct TChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint64_t Max = 0;

    explicit TChannel(std::uint32_t mask) : Mask(mask) {
        if (mask == 0) return;
        while (((mask >> Shift) & 1u) == 0) ++Shift;
        Max = mask >> Shift;
    }
    std::uint32_t Get(std::uint32_t pixel) const {
        if (Max == 0) return 0;
        const std::uint64_t v = (pixel & Mask) >> Shift;
        return static_cast<std::uint32_t>((v * 255 + Max / 2) / Max);
    }
};

struct THeader {
    std::int64_t Width = 0;
    std::int64_t Height = 0; // positive; TopDown tells the row order
    bool TopDown = false;
    int BitCount = 0;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t Masks[3] = {0, 0, 0};
    std::vector<std::uint32_t> Palette;
    std::size_t PixelOffset = 0;
};

THeader ReadHeader(std::span<const std::uint8_t> data) {
    if (data.size() < FileHeaderSize + 4) Fail("File too short for a BMP header");
    if (data[0] != 'B' || data[1] != 'M') Fail("Not a BMP file");
    THeader h;
    h.PixelOffset = U32(&data[10]);
    const std::uint32_t infoSize = U32(&data[14]);
    const bool core = infoSize == 12;
    if (!core && infoSize < 40) Fail("Unsupported BMP header size " + std::to_string(infoSize));
    if (infoSize > data.size() - FileHeaderSize) Fail("BMP header runs past the end of the file");
    const std::uint8_t* info = &data[FileHeaderSize];
    std::size_t paletteEntrySize = 4;
    std::uint32_t colorsUsed = 0;
    if (core) {
        h.Width = U16(info + 4);
        h.Height = U16(info + 6);
        h.BitCount = U16(info + 10);
        paletteEntrySize = 3;
    } else {
        h.Width = static_cast<std::int32_t>(U32(info + 4));
        const std::int32_t height = static_cast<std::int32_t>(U32(info + 8));
        h.TopDown = height < 0;
        h.Height = height < 0 ? -static_cast<std::int64_t>(height) : height;
        h.BitCount = U16(info + 14);
        h.Compression = U32(info + 16);
        colorsUsed = U32(info + 32);
    }
    if (h.Width <= 0 || h.Height <= 0) Fail("Invalid BMP dimensions");

    std::size_t next = FileHeaderSize + infoSize;
    if (h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS) {
        if (h.BitCount != 16 && h.BitCount != 32) Fail("BITFIELDS needs 16 or 32 bits per pixel");
        const std::uint8_t* masks = info + 40;
        if (infoSize < 52) {
            // The masks follow a plain BITMAPINFOHEADER.
            const std::size_t maskBytes = h.Compression == BI_ALPHABITFIELDS ? 16 : 12;
            if (maskBytes > data.size() - next) Fail("BMP colour masks run past the end");
            masks = &data[next];
            next += maskBytes;
        }
        for (int i = 0; i < 3; ++i) h.Masks[i] = U32(masks + 4 * i);
    } else if (h.BitCount == 16) {
        h.Masks[0] = 0x7C00;
        h.Masks[1] = 0x03E0;
        h.Masks[2] = 0x001F;
    } else if (h.BitCount == 32) {
        h.Masks[0] = 0x00FF0000;
        h.Masks[1] = 0x0000FF00;
        h.Masks[2] = 0x000000FF;
    }

    switch (h.Compression) {
    case BI_RGB:
        if (h.BitCount != 1 && h.BitCount != 2 && h.BitCount != 4 && h.BitCount != 8 &&
            h.BitCount != 16 && h.BitCount != 24 && h.BitCount != 32)
            Fail("Unsupported BMP bit depth " + std::to_string(h.BitCount));
        break;
    case BI_RLE8:
        if (h.BitCount != 8) Fail("RLE8 needs 8 bits per pixel");
        break;
    case BI_RLE4:
        if (h.BitCount != 4) Fail("RLE4 needs 4 bits per pixel");
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        break;
    default:
        Fail("Unsupported BMP compression " + std::to_string(h.Compression));
    }
    if ((h.Compression == BI_RLE8 || h.Compression == BI_RLE4) && h.TopDown)
        Fail("Compressed BMP cannot be top-down");

    if (h.BitCount <= 8) {
        const std::uint32_t maxColors = 1u << h.BitCount;
        if (colorsUsed > maxColors) Fail("Invalid BMP palette size");
        std::uint32_t count = colorsUsed == 0 ? maxColors : colorsUsed;
        // OS/2 core files have no colour count; their palette fills the gap up to the pixels.
        if (core && h.PixelOffset > next)
            count = static_cast<std::uint32_t>(
                std::min<std::size_t>(maxColors, (h.PixelOffset - next) / paletteEntrySize));
        if (static_cast<std::uint64_t>(count) * paletteEntrySize > data.size() - next)
            Fail("BMP palette runs past the end of the file");
        h.Palette.resize(maxColors, Black); // indices past the palette show black
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* e = &data[next + i * paletteEntrySize];
            h.Palette[i] = PackRGB(e[2], e[1], e[0]);
        }
    }
    if (h.PixelOffset < FileHeaderSize + infoSize || h.PixelOffset >= data.size())
        Fail("BMP pixel data offset lies outside the file");
    return h;
}

bool IsRle(const THeader& h) {
    return h.Compression == BI_RLE8 || h.Compression == BI_RLE4;
}

std::uint64_t StrideOf(const THeader& h) {
    const std::uint64_t rowBits = static_cast<std::uint64_t>(h.Width) * h.BitCount;
    return (rowBits + 31) / 32 * 4;
}

// The header as the decoder accepts it: readable, within the pixel budget, and for uncompressed
// rows with all its rows in the file.
THeader CheckedHeader(std::span<const std::uint8_t> data, std::uint64_t maxPixels) {
    THeader h = ReadHeader(data);
    const std::uint64_t pixels = static_cast<std::uint64_t>(h.Width) * h.Height;
    if (pixels > maxPixels || h.Width > INT32_MAX || h.Height > INT32_MAX)
        Fail("Picture too large (" + std::to_string(h.Width) + " x " + std::to_string(h.Height) +
             " pixels, at most " + std::to_string(maxPixels) + " allowed)");
    if (!IsRle(h)) {
        const std::uint64_t rowBits = static_cast<std::uint64_t>(h.Width) * h.BitCount;
        // The last row's padding is sometimes missing from the file; tolerate that.
        const std::uint64_t needed = StrideOf(h) * (h.Height - 1) + (rowBits + 7) / 8;
        if (needed > data.size() - h.PixelOffset)
            Fail("BMP pixel data runs past the end of the file");
    }
    return h;
}

void DecodeUncompressed(std::span<const std::uint8_t> data, const THeader& h, TBitmap32& out) {
    const std::uint64_t stride = StrideOf(h);
    out.SetSize(static_cast<int>(h.Width), static_cast<int>(h.Height));
    const TChannel red(h.Masks[0]), green(h.Masks[1]), blue(h.Masks[2]);
    const int w = out.Width;
    for (int y = 0; y < out.Height; ++y) {
        const int fileRow = h.TopDown ? y : out.Height - 1 - y;
        const std::uint8_t* src = &data[h.PixelOffset + stride * fileRow];
        std::uint32_t* dst = out.Row(y);
        switch (h.BitCount) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const int bits = h.BitCount;
            const int perByte = 8 / bits;
            const unsigned mask = (1u << bits) - 1;
            for (int x = 0; x < w; ++x) {
                const int shift = 8 - bits * (x % perByte + 1);
                dst[x] = h.Palette[(src[x / perByte] >> shift) & mask];
            }
            break;
        }
        case 16:
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = U16(src + 2 * x);
                dst[x] = PackRGB(red.Get(p), green.Get(p), blue.Get(p));
            }
            break;
        case 24:
            for (int x = 0; x < w; ++x, src += 3) dst[x] = PackRGB(src[2], src[1], src[0]);
            break;
        case 32:
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = U32(src + 4 * x);
                dst[x] = PackRGB(red.Get(p), green.Get(p), blue.Get(p));
            }
            break;
        }
    }
}

// RLE rows are stored from the bottom; pixels the stream skips stay black.
void DecodeRle(std::span<const std::uint8_t> data, const THeader& h, TBitmap32& out) {
    out.SetSize(static_cast<int>(h.Width), static_cast<int>(h.Height));
    std::fill(out.Pixels.begin(), out.Pixels.end(), Black);
    const bool four = h.Compression == BI_RLE4;
    const std::int64_t w = out.Width, height = out.Height;
    std::size_t pos = h.PixelOffset;
    const std::size_t end = data.size();
    std::int64_t x = 0, row = 0; // row counted from the bottom
    auto put = [&](unsigned index) {
        if (x < w && row < height)
            out.At(static_cast<int>(x), static_cast<int>(height - 1 - row)) = h.Palette[index];
        ++x;
    };
    while (row < height) {
        if (end - pos < 2) Fail("BMP RLE data runs past the end of the file");
        const unsigned count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            // A run longer than the row only writes what fits.
            const std::int64_t n = std::min<std::int64_t>(count, std::max<std::int64_t>(w - x, 0));
            for (std::int64_t i = 0; i < n; ++i)
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            x += count - n;
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (end - pos < 2) Fail("BMP RLE data runs past the end of the file");
            x += data[pos];
            row += data[pos + 1];
            pos += 2;
        } else { // absolute run of `value` pixels, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            const std::size_t padded = (bytes + 1) & ~std::size_t{1};
            if (padded > end - pos) Fail("BMP RLE data runs past the end of the file");
            for (unsigned i = 0; i < value && x < w; ++i) {
                const unsigned b = data[pos + (four ? i / 2 : i)];
                put(four ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
            }
            pos += padded;
        }
    }
}

} // namespace

void DecodeBmp(std::span<const std::uint8_t> data, std::uint64_t maxPixels, TBitmap32& out) {
    const THeader h = CheckedHeader(data, maxPixels);
    if (IsRle(h))
        DecodeRle(data, h, out);
    else
        DecodeUncompressed(data, h, out);
}

TBmpHeader ReadBmpHeader(std::span<const std::uint8_t> data, std::uint64_t maxPixels) {
    const THeader h = CheckedHeader(data, maxPixels);
    return {static_cast<int>(h.Width), static_cast<int>(h.Height)};
}
