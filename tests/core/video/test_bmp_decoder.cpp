#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageTestFiles.h"
#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "platform/image/U_BmpDecoder.h"

using imgtest::Put16;
using imgtest::Put32;

namespace {

constexpr std::uint64_t NoLimit = 1ull << 40;

enum class TKind {
    Pal1,
    Pal2,
    Pal4,
    Pal8,
    Rle4,
    Rle8,
    Rgb555,
    Bf565,
    Rgb24,
    Rgb32,
    Bf32,
    V4Bf16,
    V5Bf32
};

struct TVariant {
    TKind Kind;
    bool TopDown = false;
    bool Os2 = false;
    const char* Name = "";
};

int BitsOf(TKind k) {
    switch (k) {
    case TKind::Pal1:
        return 1;
    case TKind::Pal2:
        return 2;
    case TKind::Pal4:
    case TKind::Rle4:
        return 4;
    case TKind::Pal8:
    case TKind::Rle8:
        return 8;
    case TKind::Rgb555:
    case TKind::Bf565:
    case TKind::V4Bf16:
        return 16;
    case TKind::Rgb24:
        return 24;
    default:
        return 32;
    }
}

// Colours exact in every variant: components 0 or 255, plus 16-bit-safe greys for palettes.
const std::vector<std::uint32_t> Palette = {
    PackRGB(0, 0, 0),     PackRGB(255, 255, 255), PackRGB(255, 0, 0),   PackRGB(0, 255, 0),
    PackRGB(0, 0, 255),   PackRGB(255, 255, 0),   PackRGB(0, 255, 255), PackRGB(255, 0, 255),
    PackRGB(12, 34, 56),  PackRGB(200, 100, 50),  PackRGB(1, 2, 3),     PackRGB(99, 98, 97),
    PackRGB(250, 5, 128), PackRGB(7, 77, 177),    PackRGB(60, 60, 60),  PackRGB(140, 141, 142)};

// Runs on the left (for RLE runs), varied pixels on the right (for RLE absolute mode).
std::vector<std::vector<int>> MakeIndices(int w, int h, int colours) {
    std::vector<std::vector<int>> idx(h, std::vector<int>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            idx[y][x] = (x < w / 2 ? (x / 5 + y) : (x * 7 + y * 3)) % colours;
    return idx;
}

std::vector<std::uint8_t> EncodeRle(const std::vector<int>& row, bool four) {
    std::vector<std::uint8_t> out;
    const std::size_t n = row.size();
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 255 && row[i + run] == row[i]) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(static_cast<std::uint8_t>(four ? row[i] * 17 : row[i]));
            i += run;
            continue;
        }
        std::size_t lit = 1; // up to the next pair of equal pixels
        while (i + lit < n && lit < 254 && !(i + lit + 1 < n && row[i + lit] == row[i + lit + 1]))
            ++lit;
        if (lit < 3) {
            for (std::size_t k = 0; k < lit; ++k) {
                out.push_back(1);
                out.push_back(static_cast<std::uint8_t>(four ? row[i + k] * 17 : row[i + k]));
            }
        } else {
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(lit));
            std::vector<std::uint8_t> bytes;
            for (std::size_t k = 0; k < lit; ++k) {
                if (!four)
                    bytes.push_back(static_cast<std::uint8_t>(row[i + k]));
                else if (k % 2 == 0)
                    bytes.push_back(static_cast<std::uint8_t>(row[i + k] << 4));
                else
                    bytes.back() |= static_cast<std::uint8_t>(row[i + k]);
            }
            if (bytes.size() % 2) bytes.push_back(0);
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
        i += lit;
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

struct TMasks {
    std::uint32_t R, G, B;
};

TMasks MasksOf(TKind k) {
    switch (k) {
    case TKind::Rgb555:
        return {0x7C00, 0x03E0, 0x001F};
    case TKind::Bf565:
    case TKind::V4Bf16:
        return {0xF800, 0x07E0, 0x001F};
    case TKind::Bf32:
        return {0x0000FF00, 0x00FF0000, 0xFF000000}; // unusual order on purpose
    case TKind::V5Bf32:
        return {0x3FF00000, 0x000FFC00, 0x000003FF}; // 10 bits a channel
    default:
        return {0x00FF0000, 0x0000FF00, 0x000000FF};
    }
}

std::uint32_t PackMasked(std::uint32_t colour, std::uint32_t mask) {
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const std::uint64_t max = mask >> shift;
    return static_cast<std::uint32_t>((colour * max + 127) / 255) << shift;
}

std::vector<std::uint8_t> EncodeVariant(const TVariant& v, const std::vector<std::vector<int>>& idx,
                                        int colours) {
    const int h = static_cast<int>(idx.size()), w = static_cast<int>(idx[0].size());
    const int bits = BitsOf(v.Kind);
    const bool rle = v.Kind == TKind::Rle4 || v.Kind == TKind::Rle8;
    const bool bitfields = v.Kind == TKind::Bf565 || v.Kind == TKind::Bf32 ||
                           v.Kind == TKind::V4Bf16 || v.Kind == TKind::V5Bf32;
    const std::uint32_t infoSize = v.Os2                     ? 12
                                   : v.Kind == TKind::V4Bf16 ? 108
                                   : v.Kind == TKind::V5Bf32 ? 124
                                                             : 40;
    const std::size_t maskBytes = bitfields && infoSize == 40 ? 12 : 0;
    const std::size_t palBytes =
        bits <= 8 ? static_cast<std::size_t>(colours) * (v.Os2 ? 3 : 4) : 0;
    const std::size_t offset = 14 + infoSize + maskBytes + palBytes;

    std::vector<std::uint8_t> pixels;
    const TMasks m = MasksOf(v.Kind);
    for (int fy = 0; fy < h; ++fy) {
        const std::vector<int>& row = idx[v.TopDown ? fy : h - 1 - fy];
        if (rle) {
            const auto enc = EncodeRle(row, v.Kind == TKind::Rle4);
            pixels.insert(pixels.end(), enc.begin(), enc.end());
            continue;
        }
        std::vector<std::uint8_t> line((static_cast<std::size_t>(w) * bits + 31) / 32 * 4, 0);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = Palette[static_cast<std::size_t>(row[x])];
            if (bits <= 8) {
                const int perByte = 8 / bits;
                line[x / perByte] |=
                    static_cast<std::uint8_t>(row[x] << (8 - bits * (x % perByte + 1)));
            } else if (bits == 24) {
                line[3 * x] = BlueOf(c);
                line[3 * x + 1] = GreenOf(c);
                line[3 * x + 2] = RedOf(c);
            } else {
                const std::uint32_t p = PackMasked(RedOf(c), m.R) | PackMasked(GreenOf(c), m.G) |
                                        PackMasked(BlueOf(c), m.B);
                if (bits == 16)
                    Put16(line, 2 * x, p);
                else
                    Put32(line, 4 * x, p);
            }
        }
        pixels.insert(pixels.end(), line.begin(), line.end());
    }
    if (rle) {
        pixels.push_back(0);
        pixels.push_back(1);
    }

    std::vector<std::uint8_t> b(offset, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(offset + pixels.size()));
    Put32(b, 10, static_cast<std::uint32_t>(offset));
    Put32(b, 14, infoSize);
    if (v.Os2) {
        Put16(b, 18, static_cast<std::uint32_t>(w));
        Put16(b, 20, static_cast<std::uint32_t>(h));
        Put16(b, 22, 1);
        Put16(b, 24, static_cast<std::uint32_t>(bits));
    } else {
        Put32(b, 18, static_cast<std::uint32_t>(w));
        Put32(b, 22, static_cast<std::uint32_t>(v.TopDown ? -h : h));
        Put16(b, 26, 1);
        Put16(b, 28, static_cast<std::uint32_t>(bits));
        Put32(b, 30, rle ? (bits == 8 ? 1 : 2) : bitfields ? 3 : 0);
        Put32(b, 34, static_cast<std::uint32_t>(pixels.size()));
        if (bits <= 8) Put32(b, 46, static_cast<std::uint32_t>(colours));
        if (bitfields) {
            const std::size_t at = 54; // inside a V4/V5 header, or right after a 40-byte one
            Put32(b, at, m.R);
            Put32(b, at + 4, m.G);
            Put32(b, at + 8, m.B);
        }
    }
    std::size_t pal = 14 + infoSize + maskBytes;
    for (int i = 0; i < colours && bits <= 8; ++i) {
        const std::uint32_t c = Palette[static_cast<std::size_t>(i)];
        b[pal++] = BlueOf(c);
        b[pal++] = GreenOf(c);
        b[pal++] = RedOf(c);
        if (!v.Os2) ++pal;
    }
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

TBitmap32 Decode(const std::vector<std::uint8_t>& bytes, std::uint64_t maxPixels = NoLimit) {
    TBitmap32 out;
    DecodeBmp(bytes, maxPixels, out);
    return out;
}

std::string DecodeError(const std::vector<std::uint8_t>& bytes, std::uint64_t maxPixels = NoLimit) {
    try {
        Decode(bytes, maxPixels);
    } catch (const EMorvantaError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(BmpDecoder, EveryVariantDecodesLikeThePlain24BitFile) {
    const std::vector<TVariant> variants = {
        {TKind::Pal1, false, false, "1-bit"},
        {TKind::Pal2, false, false, "2-bit"},
        {TKind::Pal4, false, false, "4-bit"},
        {TKind::Pal8, false, false, "8-bit"},
        {TKind::Rle4, false, false, "RLE4"},
        {TKind::Rle8, false, false, "RLE8"},
        {TKind::Rgb555, false, false, "16-bit 555"},
        {TKind::Bf565, false, false, "BITFIELDS 565"},
        {TKind::Rgb32, false, false, "32-bit"},
        {TKind::Bf32, false, false, "BITFIELDS 32"},
        {TKind::V4Bf16, false, false, "V4 565"},
        {TKind::V5Bf32, false, false, "V5 10-bit"},
        {TKind::Rgb24, true, false, "24-bit top-down"},
        {TKind::Pal8, true, false, "8-bit top-down"},
        {TKind::Rgb32, true, false, "32-bit top-down"},
        {TKind::Rgb24, false, true, "OS/2 24-bit"},
        {TKind::Pal8, false, true, "OS/2 8-bit"},
        {TKind::Pal4, false, true, "OS/2 4-bit"},
    };
    // Odd width exercises row padding; width > 2 x 255 / 5 gives RLE runs of several lengths.
    for (const int w : {37, 300}) {
        for (const TVariant& v : variants) {
            const int bits = BitsOf(v.Kind);
            const int colours = bits <= 8 ? std::min(16, 1 << bits) : 16;
            // 16-bit variants hold only the first eight (0 or 255) colours exactly.
            const int used = bits == 16 ? 8 : colours;
            const auto idx = MakeIndices(w, 9, used);
            TBitmap32 expected(w, 9);
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < w; ++x) expected.At(x, y) = Palette[idx[y][x]];
            const TBitmap32 reference = Decode(imgtest::MakeBmp24(expected));
            ASSERT_EQ(reference.Pixels, expected.Pixels);

            const TBitmap32 got = Decode(EncodeVariant(v, idx, colours));
            EXPECT_EQ(got.Width, w) << v.Name;
            EXPECT_EQ(got.Height, 9) << v.Name;
            EXPECT_EQ(got.Pixels, reference.Pixels) << v.Name << " width " << w;
        }
    }
}

TEST(BmpDecoder, FiveBitChannelsScaleToTheFullRange) {
    std::vector<std::vector<int>> idx = {{0}};
    auto bytes = EncodeVariant({TKind::Rgb555, false, false, ""}, idx, 16);
    Put16(bytes, bytes.size() - 4, (16u << 10) | (31u << 5) | 1u); // the single pixel
    const TBitmap32 got = Decode(bytes);
    EXPECT_EQ(got.At(0, 0), PackRGB(132, 255, 8));
}

TEST(BmpDecoder, RleDeltaAndEndOfBitmapLeaveSkippedPixelsBlack) {
    std::vector<std::vector<int>> idx(4, std::vector<int>(6, 2));
    auto bytes = EncodeVariant({TKind::Rle8, false, false, ""}, idx, 16);
    bytes.resize(14 + 40 + 16 * 4); // headers and palette only
    // Bottom row: 2 red pixels, delta (+2, +1), 1 red pixel, then end of bitmap.
    for (int b : {2, 2, 0, 2, 2, 1, 1, 2, 0, 1}) bytes.push_back(static_cast<std::uint8_t>(b));
    const TBitmap32 got = Decode(bytes);
    const std::uint32_t red = PackRGB(255, 0, 0), black = PackRGB(0, 0, 0);
    EXPECT_EQ(got.At(0, 3), red);
    EXPECT_EQ(got.At(1, 3), red);
    EXPECT_EQ(got.At(2, 3), black);
    EXPECT_EQ(got.At(4, 2), red);
    EXPECT_EQ(got.At(3, 2), black);
    EXPECT_EQ(got.At(5, 0), black);
}

TEST(BmpDecoder, BadFilesGiveErrors) {
    const auto idx = MakeIndices(40, 30, 16);
    const auto pal8 = EncodeVariant({TKind::Pal8, false, false, ""}, idx, 16);
    const auto rle8 = EncodeVariant({TKind::Rle8, false, false, ""}, idx, 16);
    const auto rgb24 = EncodeVariant({TKind::Rgb24, false, false, ""}, idx, 16);

    EXPECT_EQ(DecodeError({}), "File too short for a BMP header");
    EXPECT_EQ(DecodeError({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
              "Not a BMP file");
    EXPECT_EQ(DecodeError(std::vector<std::uint8_t>(rgb24.begin(), rgb24.begin() + 30)),
              "BMP header runs past the end of the file");
    EXPECT_EQ(DecodeError(std::vector<std::uint8_t>(rgb24.begin(), rgb24.begin() + 1000)),
              "BMP pixel data runs past the end of the file");

    // A palette of 256 colours announced, 16 present, file ends there.
    auto pal = std::vector<std::uint8_t>(pal8.begin(), pal8.begin() + 54 + 64);
    Put32(pal, 46, 256);
    EXPECT_EQ(DecodeError(pal), "BMP palette runs past the end of the file");
    auto overPal = pal8;
    Put32(overPal, 46, 100000);
    EXPECT_EQ(DecodeError(overPal), "Invalid BMP palette size");

    // RLE stream cut before its end: no end-of-bitmap, rows missing.
    EXPECT_EQ(DecodeError(std::vector<std::uint8_t>(rle8.begin(), rle8.end() - 200)),
              "BMP RLE data runs past the end of the file");
    // An absolute run announcing more bytes than are left.
    auto absRun = std::vector<std::uint8_t>(rle8.begin(), rle8.begin() + 54 + 64);
    for (int b : {0, 200, 1, 2, 3}) absRun.push_back(static_cast<std::uint8_t>(b));
    EXPECT_EQ(DecodeError(absRun), "BMP RLE data runs past the end of the file");

    auto huge = rgb24;
    Put32(huge, 18, 100000);
    Put32(huge, 22, 100000);
    EXPECT_EQ(DecodeError(huge, 256ull * 1000 * 1000),
              "Picture too large (100000 x 100000 pixels, at most 256000000 allowed)");
    // Within the pixel limit, but the file cannot hold the pixels: refused before allocating.
    EXPECT_EQ(DecodeError(huge), "BMP pixel data runs past the end of the file");
    EXPECT_EQ(DecodeError(rgb24, 40 * 30 - 1),
              "Picture too large (40 x 30 pixels, at most 1199 allowed)");

    auto zeroWidth = rgb24;
    Put32(zeroWidth, 18, 0);
    EXPECT_EQ(DecodeError(zeroWidth), "Invalid BMP dimensions");
    auto badOffset = rgb24;
    Put32(badOffset, 10, 0x7FFFFFFF);
    EXPECT_EQ(DecodeError(badOffset), "BMP pixel data offset lies outside the file");
    auto badDepth = rgb24;
    Put16(badDepth, 28, 7);
    EXPECT_EQ(DecodeError(badDepth), "Unsupported BMP bit depth 7");
    auto jpegInside = rgb24;
    Put32(jpegInside, 30, 4);
    EXPECT_EQ(DecodeError(jpegInside), "Unsupported BMP compression 4");
}

TEST(BmpDecoder, EveryTruncationFailsCleanlyOrDecodes) {
    // Under the sanitizers this walks every cut of each layout for out-of-bounds reads.
    const auto idx = MakeIndices(23, 5, 16);
    for (const TVariant& v : {TVariant{TKind::Rle4}, TVariant{TKind::Rle8}, TVariant{TKind::V5Bf32},
                              TVariant{TKind::Pal4, false, true}, TVariant{TKind::Bf565}}) {
        const auto bytes = EncodeVariant(v, idx, 16);
        int failures = 0;
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            try {
                Decode(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cut));
            } catch (const EMorvantaError&) {
                ++failures;
            }
        }
        // Only cuts inside the last row's padding (or after the RLE's last codes) may decode.
        EXPECT_GE(failures, static_cast<int>(bytes.size()) - 2) << static_cast<int>(v.Kind);
    }
}

TEST(BmpDecoder, AgreesWithFfmpegOnItsOwnBmpFiles) {
    // An independent writer and reader: ffmpeg encodes each pixel format, and its decoded
    // RGB must equal ours exactly.
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    test::TempDir dir;
    for (const std::string format : {"bgr24", "bgra", "rgb565le", "rgb555le", "rgb444le", "pal8",
                                     "bgr8", "rgb4_byte", "gray", "monob"}) {
        const std::string bmp = dir.File(format + ".bmp"), raw = dir.File(format + ".rgb");
        const auto made = test::Run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f",
                                     "lavfi", "-i", "testsrc2=s=98x30", "-frames:v", "1",
                                     "-pix_fmt", format, "-c:v", "bmp", bmp});
        ASSERT_EQ(made.ExitCode, 0) << made.Err;
        const auto decoded = test::Run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", bmp,
                                        "-f", "rawvideo", "-pix_fmt", "rgb24", raw});
        ASSERT_EQ(decoded.ExitCode, 0) << decoded.Err;
        const auto rgb = test::ReadFile(raw);
        const TBitmap32 got = Decode(test::ReadFile(bmp));
        ASSERT_EQ(got.Width, 98) << format;
        ASSERT_EQ(got.Height, 30) << format;
        ASSERT_EQ(rgb.size(), 98u * 30 * 3) << format;
        // ffmpeg widens 16-bit channels by shifting alone (31 -> 248); we scale to the full
        // range (31 -> 255), so there only the channel's own bits are compared.
        const std::uint32_t keep = format == "rgb565le"   ? 0xF8FCF8
                                   : format == "rgb555le" ? 0xF8F8F8
                                   : format == "rgb444le" ? 0xF0F0F0
                                                          : 0xFFFFFF;
        int mismatches = 0;
        for (std::size_t i = 0; i < got.Pixels.size(); ++i) {
            const std::uint32_t theirs = PackRGB(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
            if ((theirs & keep) != (got.Pixels[i] & keep)) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0) << format;
    }
}

namespace {

struct HeaderCase {
    const char* Name;
    bool Sound; // the header passes
    std::vector<std::uint8_t> Bytes;
    std::uint64_t MaxPixels;
    // The header passes though the decoding fails: a fault that only reading the pixels finds.
    bool OnlyDecodingFails = false;
};

std::vector<HeaderCase> HeaderCases() {
    const auto idx = MakeIndices(40, 30, 16);
    const auto rgb24 = EncodeVariant({TKind::Rgb24, false, false, ""}, idx, 16);
    const auto rle8 = EncodeVariant({TKind::Rle8, false, false, ""}, idx, 16);
    const auto pal8 = EncodeVariant({TKind::Pal8, false, false, ""}, idx, 16);
    auto resized = [&](std::uint32_t w, std::uint32_t h) {
        auto b = rgb24;
        Put32(b, 18, w);
        Put32(b, 22, h);
        return b;
    };
    auto cut = [](const std::vector<std::uint8_t>& b, std::size_t n) {
        return std::vector<std::uint8_t>(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
    };
    auto palette = cut(pal8, 54 + 64);
    Put32(palette, 46, 256);
    const std::vector<std::uint8_t> jpegStart = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I',
                                                 'F',  0,    1,    1,    0, 0,  1,   0,   1};
    return {
        {"Plain24", true, rgb24, NoLimit},
        {"Palette8", true, pal8, NoLimit},
        {"Rle8", true, rle8, NoLimit},
        {"TopDown32", true, EncodeVariant({TKind::Rgb32, true, false, ""}, idx, 16), NoLimit},
        {"Os2Palette4", true, EncodeVariant({TKind::Pal4, false, true, ""}, idx, 16), NoLimit},
        {"V5Bitfields", true, EncodeVariant({TKind::V5Bf32, false, false, ""}, idx, 16), NoLimit},
        {"Empty", false, {}, NoLimit},
        {"HeaderCut", false, cut(rgb24, 30), NoLimit},
        {"PixelsCut", false, cut(rgb24, 1000), NoLimit},
        {"PaletteCut", false, palette, NoLimit},
        {"RleStreamCut", true, cut(rle8, rle8.size() - 200), NoLimit, true},
        {"ZeroWidth", false, resized(0, 30), NoLimit},
        {"ZeroHeight", false, resized(40, 0), NoLimit},
        {"HugeOverTheBudget", false, resized(100000, 100000), 256ull * 1000 * 1000},
        {"HugeWithinTheBudgetButNotInTheFile", false, resized(100000, 100000), NoLimit},
        {"OnePixelOverTheBudget", false, rgb24, 40 * 30 - 1},
        {"TallestTopDown", false, resized(1, 0x80000000u), NoLimit},
        {"AJpeg", false, jpegStart, NoLimit},
        {"Text", false, std::vector<std::uint8_t>(100, 'x'), NoLimit},
    };
}

class BmpHeader : public ::testing::TestWithParam<HeaderCase> {};

} // namespace

// Reading the header alone accepts exactly what decoding accepts, with the same size, and
// refuses with the same words.
TEST_P(BmpHeader, AgreesWithTheFullDecode) {
    const HeaderCase& c = GetParam();
    std::string headerError;
    TBmpHeader header;
    try {
        header = ReadBmpHeader(c.Bytes, c.MaxPixels);
    } catch (const EMorvantaError& e) {
        headerError = e.what();
    }
    EXPECT_EQ(headerError.empty(), c.Sound) << headerError;
    const std::string decodeError = DecodeError(c.Bytes, c.MaxPixels);
    if (c.OnlyDecodingFails) {
        EXPECT_EQ(headerError, "");
        EXPECT_NE(decodeError, "(no error)");
    } else if (decodeError == "(no error)") {
        EXPECT_EQ(headerError, "");
        const TBitmap32 decoded = Decode(c.Bytes, c.MaxPixels);
        EXPECT_EQ(header.Width, decoded.Width);
        EXPECT_EQ(header.Height, decoded.Height);
    } else {
        EXPECT_EQ(headerError, decodeError);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BmpHeader, ::testing::ValuesIn(HeaderCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

// Every cut of every layout: whatever decodes has a header that reads to the same size, and a
// header refused is a picture refused, in the same words.
TEST(BmpHeader, AgreesWithTheDecodeOnEveryCut) {
    const auto idx = MakeIndices(23, 5, 16);
    for (const TVariant& v : {TVariant{TKind::Rle4}, TVariant{TKind::Rle8}, TVariant{TKind::V5Bf32},
                              TVariant{TKind::Pal4, false, true}, TVariant{TKind::Bf565},
                              TVariant{TKind::Rgb24, true}}) {
        const auto bytes = EncodeVariant(v, idx, 16);
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            const std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + cut);
            std::string headerError;
            TBmpHeader header;
            try {
                header = ReadBmpHeader(part, NoLimit);
            } catch (const EMorvantaError& e) {
                headerError = e.what();
            }
            const std::string decodeError = DecodeError(part);
            if (decodeError == "(no error)") {
                ASSERT_EQ(headerError, "") << cut;
                const TBitmap32 decoded = Decode(part);
                ASSERT_EQ(header.Width, decoded.Width);
                ASSERT_EQ(header.Height, decoded.Height);
            }
            if (!headerError.empty()) {
                ASSERT_EQ(headerError, decodeError) << cut;
            }
        }
    }
}
