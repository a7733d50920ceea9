#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "ExifTestFiles.h"
#include "ImageTestFiles.h"
#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "video/U_ImageFile.h"

using imgtest::BlockSamples;
using imgtest::MakeJpeg;
using imgtest::TJpegOptions;

namespace {

// The error text of loading `path`, or "(no error)".
std::string LoadError(const std::string& path, std::uint64_t maxPixels = DefaultMaxPicturePixels) {
    try {
        TImageFile picture(path, maxPixels);
    } catch (const EMorvantaError& e) {
        return e.what();
    }
    return "(no error)";
}

bool Near(std::uint32_t p, int r, int g, int b, int tolerance) {
    return std::abs(static_cast<int>(RedOf(p)) - r) <= tolerance &&
           std::abs(static_cast<int>(GreenOf(p)) - g) <= tolerance &&
           std::abs(static_cast<int>(BlueOf(p)) - b) <= tolerance;
}

const std::vector<std::vector<int>> RgbColours = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {40, 80, 160}};

std::vector<std::uint8_t> RgbJpeg(bool progressive, int w = 64, int h = 48) {
    return MakeJpeg(BlockSamples(w, h, 3, RgbColours), w, h, TJpegOptions{95, progressive});
}

// Every pixel of the fitted frame: black in the bands, `inside` in the picture area.
void ExpectBands(const TBitmap32& bmp, int top, int side, std::uint32_t inside) {
    for (int y = 0; y < bmp.Height; ++y)
        for (int x = 0; x < bmp.Width; ++x) {
            const bool band = y < top || y >= bmp.Height - top || x < side || x >= bmp.Width - side;
            ASSERT_EQ(bmp.At(x, y) & 0xFFFFFF, band ? 0u : (inside & 0xFFFFFF))
                << "at " << x << "," << y;
        }
}

} // namespace

TEST(FitBands, ExamplesAndCentring) {
    const TFitBands landscape = ComputeFitBands(1600, 1200, 720, 576);
    EXPECT_EQ(landscape.Top, 18);
    EXPECT_EQ(landscape.Side, 0);
    const TFitBands portrait = ComputeFitBands(1200, 1600, 720, 576);
    EXPECT_EQ(portrait.Top, 0);
    EXPECT_EQ(portrait.Side, 144);
    const TFitBands same = ComputeFitBands(400, 300, 100, 75);
    EXPECT_EQ(same.Top, 0);
    EXPECT_EQ(same.Side, 0);
    // A panorama: 720 x (720 / 3.75) = 720 x 192 picture area, 192 rows above and below.
    EXPECT_EQ(ComputeFitBands(3000, 800, 720, 576).Top, 192);
    // 1920 x 1080 into 640 x 480: 640 / 1.7777778 = 360 rows, bands of 60.
    EXPECT_EQ(ComputeFitBands(1920, 1080, 640, 480).Top, 60);
}

TEST(ImageFile, FitToPaintsBandsAndFillsThePictureArea) {
    test::TempDir dir;
    const std::uint32_t colour = PackRGB(200, 150, 100);
    const std::string wide = dir.File("wide.bmp"), tall = dir.File("tall.bmp");
    test::WriteFile(wide, imgtest::MakeBmp24(imgtest::SolidBitmap(400, 300, colour)));
    test::WriteFile(tall, imgtest::MakeBmp24(imgtest::SolidBitmap(300, 400, colour)));

    TImageFile landscape(wide, 720, 576);
    ASSERT_EQ(landscape.Bitmap.Width, 720);
    ASSERT_EQ(landscape.Bitmap.Height, 576);
    ExpectBands(landscape.Bitmap, 18, 0, colour);

    TImageFile portrait(tall, 720, 576);
    ExpectBands(portrait.Bitmap, 0, 144, colour);

    TImageFile exact(wide, 100, 75);
    ExpectBands(exact.Bitmap, 0, 0, colour);
    EXPECT_EQ(exact.Bitmap.At(0, 0) >> 24, 255u);

    TImageFile untouched(wide, 0, 0);
    EXPECT_EQ(untouched.Bitmap.Width, 400);
    EXPECT_EQ(untouched.Bitmap.Height, 300);
    EXPECT_EQ(untouched.Bitmap.At(5, 5), colour);
}

TEST(ImageFile, FitKeepsTheLayoutOfThePicture) {
    // Left half red, right half blue: after fitting, the halves stay on their sides.
    TBitmap32 src = imgtest::SolidBitmap(64, 48, PackRGB(255, 0, 0));
    for (int y = 0; y < 48; ++y)
        for (int x = 32; x < 64; ++x) src.At(x, y) = PackRGB(0, 0, 255);
    test::TempDir dir;
    const std::string path = dir.File("halves.bmp");
    test::WriteFile(path, imgtest::MakeBmp24(src));
    TImageFile picture(path, 320, 240);
    EXPECT_EQ(picture.Bitmap.At(10, 120), PackRGB(255, 0, 0));
    EXPECT_EQ(picture.Bitmap.At(310, 120), PackRGB(0, 0, 255));
    // Mirror symmetry of the source survives the resampler.
    for (int x = 0; x < 160; ++x)
        EXPECT_EQ(RedOf(picture.Bitmap.At(x, 100)), BlueOf(picture.Bitmap.At(319 - x, 100)));
}

TEST(ImageFile, GreyscaleAndSepiaPixels) {
    test::TempDir dir;
    TBitmap32 src(5, 1);
    src.Pixels = {PackRGB(255, 255, 255, 7), PackRGB(0, 0, 0, 7), PackRGB(77, 77, 77, 0),
                  PackRGB(255, 0, 0, 0), PackRGB(10, 20, 30, 0)};
    const std::string path = dir.File("fx.bmp");
    test::WriteFile(path, imgtest::MakeBmp24(src));

    TImageFile grey(path);
    grey.Greyscale();
    EXPECT_EQ(grey.Bitmap.At(0, 0), PackRGB(255, 255, 255));
    EXPECT_EQ(grey.Bitmap.At(1, 0), PackRGB(0, 0, 0));
    EXPECT_EQ(grey.Bitmap.At(2, 0), PackRGB(77, 77, 77));
    EXPECT_EQ(grey.Bitmap.At(3, 0), PackRGB(60, 60, 60)); // 61 * 255 >> 8
    EXPECT_EQ(grey.Bitmap.At(4, 0), PackRGB(18, 18, 18)); // (610 + 3480 + 630) >> 8

    TImageFile sepia(path);
    sepia.Sepia();
    EXPECT_EQ(sepia.Bitmap.At(0, 0), PackRGB(255, 255, 239));
    EXPECT_EQ(sepia.Bitmap.At(1, 0), PackRGB(0, 0, 0));
    EXPECT_EQ(sepia.Bitmap.At(3, 0), PackRGB(100, 89, 69)); // 100.215, 88.995, 69.36
    EXPECT_EQ(sepia.Bitmap.At(4, 0), PackRGB(25, 22, 17));  // 24.98, 22.25, 17.33

    // Both effects: sepia works on the greyscale result.
    TImageFile both(path);
    both.Greyscale();
    both.Sepia();
    EXPECT_EQ(both.Bitmap.At(3, 0), PackRGB(81, 72, 56)); // grey 60: 81.06, 72.18, 56.22
}

TEST(ImageFile, CopyRegionIsOneToOneAndChecked) {
    TImageFile picture = [] {
        test::TempDir dir;
        TBitmap32 src(6, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) src.At(x, y) = PackRGB(x * 10, y * 10, 1);
        test::WriteFile(dir.File("r.bmp"), imgtest::MakeBmp24(src));
        return TImageFile(dir.File("r.bmp"));
    }();
    TBitmap32 dest(50, 50);
    picture.CopyRegion(dest, 2, 1, 3, 2);
    ASSERT_EQ(dest.Width, 3);
    ASSERT_EQ(dest.Height, 2);
    EXPECT_EQ(dest.At(0, 0), PackRGB(20, 10, 1));
    EXPECT_EQ(dest.At(2, 1), PackRGB(40, 20, 1));
    picture.CopyRegion(dest, 0, 0, 6, 4);
    EXPECT_EQ(dest.Pixels, picture.Bitmap.Pixels);
    EXPECT_THROW(picture.CopyRegion(dest, 4, 0, 3, 1), EMorvantaError);
    EXPECT_THROW(picture.CopyRegion(dest, 0, 3, 1, 2), EMorvantaError);
    EXPECT_THROW(picture.CopyRegion(dest, -1, 0, 1, 1), EMorvantaError);
    EXPECT_THROW(picture.CopyRegion(dest, 0, 0, -1, 1), EMorvantaError);
}

TEST(ImageFile, JpegColourGreyscaleProgressiveAndCmyk) {
    test::TempDir dir;
    const std::string base = dir.File("base.jpg"), prog = dir.File("prog.jpg");
    test::WriteFile(base, RgbJpeg(false));
    test::WriteFile(prog, RgbJpeg(true));
    TImageFile baseline(base);
    ASSERT_EQ(baseline.Bitmap.Width, 64);
    ASSERT_EQ(baseline.Bitmap.Height, 48);
    EXPECT_TRUE(Near(baseline.Bitmap.At(8, 8), 255, 0, 0, 6));
    EXPECT_TRUE(Near(baseline.Bitmap.At(24, 8), 0, 255, 0, 6));
    EXPECT_TRUE(Near(baseline.Bitmap.At(40, 8), 0, 0, 255, 6));
    EXPECT_TRUE(Near(baseline.Bitmap.At(40, 40), 40, 80, 160, 6));
    EXPECT_EQ(baseline.Bitmap.At(0, 0) >> 24, 255u);
    // Same quantised coefficients, so the complete progressive file decodes identically.
    TImageFile progressive(prog);
    EXPECT_EQ(progressive.Bitmap.Pixels, baseline.Bitmap.Pixels);

    std::vector<std::uint8_t> greySamples(40 * 24);
    for (std::size_t i = 0; i < greySamples.size(); ++i) greySamples[i] = (i % 40) < 16 ? 30 : 220;
    const std::string grey = dir.File("grey.jpeg");
    test::WriteFile(grey, MakeJpeg(greySamples, 40, 24, TJpegOptions{95, false, JCS_GRAYSCALE}));
    TImageFile greyPicture(grey);
    for (std::uint32_t p : greyPicture.Bitmap.Pixels) {
        ASSERT_EQ(RedOf(p), GreenOf(p));
        ASSERT_EQ(GreenOf(p), BlueOf(p));
    }
    EXPECT_TRUE(Near(greyPicture.Bitmap.At(4, 4), 30, 30, 30, 4));
    EXPECT_TRUE(Near(greyPicture.Bitmap.At(30, 4), 220, 220, 220, 4));

    // libjpeg marks CMYK files with the Adobe marker, whose values are inverted (255 = no ink).
    const std::vector<std::vector<int>> inks = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {255, 255, 255, 128}, {255, 255, 0, 255}};
    const std::string cmyk = dir.File("cmyk.jpg");
    test::WriteFile(
        cmyk, MakeJpeg(BlockSamples(64, 16, 4, inks), 64, 16, TJpegOptions{95, false, JCS_CMYK}));
    TImageFile cmykPicture(cmyk);
    EXPECT_TRUE(Near(cmykPicture.Bitmap.At(8, 8), 255, 0, 0, 6));
    EXPECT_TRUE(Near(cmykPicture.Bitmap.At(24, 8), 0, 255, 0, 6));
    EXPECT_TRUE(Near(cmykPicture.Bitmap.At(40, 8), 128, 128, 128, 6));
    EXPECT_TRUE(Near(cmykPicture.Bitmap.At(56, 8), 255, 255, 0, 6));
}

TEST(ImageFile, ExtensionsAreComparedWithoutCase) {
    test::TempDir dir;
    const auto jpeg = RgbJpeg(false);
    const auto bmp = imgtest::MakeBmp24(imgtest::SolidBitmap(3, 2, PackRGB(1, 2, 3)));
    for (const char* name : {"a.JPG", "b.JpEg", "c.jpeg"}) {
        test::WriteFile(dir.File(name), jpeg);
        EXPECT_EQ(TImageFile(dir.File(name)).Bitmap.Width, 64) << name;
    }
    test::WriteFile(dir.File("d.BMP"), bmp);
    EXPECT_EQ(TImageFile(dir.File("d.BMP")).Bitmap.At(2, 1), PackRGB(1, 2, 3));
    // The content does not choose the decoder: a JPEG named .bmp is a bad BMP.
    test::WriteFile(dir.File("e.bmp"), jpeg);
    EXPECT_EQ(LoadError(dir.File("e.bmp")),
              "Cannot load picture " + dir.File("e.bmp") + ": Not a BMP file");
    test::WriteFile(dir.File("f.png"), jpeg);
    EXPECT_EQ(LoadError(dir.File("f.png")),
              "Cannot load picture " + dir.File("f.png") + ": Unsupported picture format");
}

TEST(ImageFile, BadFilesGiveErrorsNamingTheFile) {
    test::TempDir dir;
    auto expectError = [&](const std::string& name, const std::vector<std::uint8_t>& bytes,
                           const std::string& reason) {
        const std::string path = dir.File(name);
        test::WriteFile(path, bytes);
        EXPECT_EQ(LoadError(path), "Cannot load picture " + path + ": " + reason);
    };
    expectError("empty.jpg", {}, "Empty file");
    expectError("empty.bmp", {}, "Empty file");
    const std::string text = "Just some notes, not a picture.";
    expectError("notes.jpg", std::vector<std::uint8_t>(text.begin(), text.end()),
                "Not a JPEG file: starts with 0x4a 0x75");

    const auto jpeg = RgbJpeg(false, 256, 256);
    expectError("cut.jpg", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2),
                "Premature end of JPEG file");
    const auto prog = RgbJpeg(true, 256, 256);
    expectError("cut-progressive.jpg",
                std::vector<std::uint8_t>(prog.begin(), prog.begin() + prog.size() / 2),
                "Premature end of JPEG file");
    expectError("header-only.jpg", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 100),
                "Premature end of JPEG file");

    // The frame header claims 65000 x 65000: refused before libjpeg allocates the image.
    auto huge = jpeg;
    for (std::size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xFD;
            huge[i + 6] = huge[i + 8] = 0xE8;
            break;
        }
    expectError("huge.jpg", huge,
                "Picture too large (65000 x 65000 pixels, at most 256000000 allowed)");

    const std::string small = dir.File("small.jpg");
    test::WriteFile(small, jpeg);
    EXPECT_EQ(LoadError(small, 1000),
              "Cannot load picture " + small +
                  ": Picture too large (256 x 256 pixels, at most 1000 allowed)");

    auto hugeBmp = imgtest::MakeBmp24(imgtest::SolidBitmap(4, 4, 0));
    imgtest::Put32(hugeBmp, 18, 100000);
    imgtest::Put32(hugeBmp, 22, 100000);
    expectError("huge.bmp", hugeBmp,
                "Picture too large (100000 x 100000 pixels, at most 256000000 allowed)");

    const std::string missing = dir.File("missing.jpg");
    EXPECT_EQ(LoadError(missing), "Cannot load picture " + missing + ": No such file or directory");
    std::filesystem::create_directory(dir.File("folder.jpg"));
    EXPECT_EQ(LoadError(dir.File("folder.jpg")),
              "Cannot load picture " + dir.File("folder.jpg") + ": Is a directory");
}

TEST(ImageFile, CorruptJpegBytesNeverCrash) {
    // Flipped bytes all through a small progressive file: each load fails cleanly or decodes.
    const auto prog = RgbJpeg(true, 48, 32);
    test::TempDir dir;
    const std::string path = dir.File("flip.jpg");
    int loaded = 0, failed = 0;
    for (std::size_t i = 2; i < prog.size(); i += 3) {
        auto bytes = prog;
        bytes[i] ^= 0x5A;
        test::WriteFile(path, bytes);
        try {
            TImageFile picture(path, 1 << 20);
            EXPECT_EQ(picture.Bitmap.Pixels.size(),
                      static_cast<std::size_t>(picture.Bitmap.Width) * picture.Bitmap.Height);
            ++loaded;
        } catch (const EMorvantaError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot load picture " + path + ": ", 0), 0u);
            ++failed;
        }
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(loaded, 0);
}

TEST(ImageFile, DemoPicturesLoadLikeFfmpegDecodesThem) {
    // Real files from other encoders: ffmpeg's JPEG writer (4:2:0) and cjpeg's one-component
    // greyscale. Decoders differ in IDCT and chroma upsampling, so only the mean may differ.
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string samples = std::string(MORVANTA_SOURCE_DIR) + "/samples/";
    struct TSample {
        const char* Name;
        int Width, Height, BandTop, BandSide;
    };
    const TSample list[] = {{"01-mandelbrot.jpg", 1600, 1200, 18, 0},
                            {"02-dusk-portrait.jpg", 1200, 1600, 0, 144},
                            {"03-panorama.jpg", 3000, 800, 192, 0},
                            {"04-cellular-grey.jpg", 1024, 768, 18, 0},
                            {"05-triangle.bmp", 480, 360, 18, 0}};
    test::TempDir dir;
    for (const TSample& s : list) {
        const std::string path = samples + s.Name;
        TImageFile picture(path);
        ASSERT_EQ(picture.Bitmap.Width, s.Width) << s.Name;
        ASSERT_EQ(picture.Bitmap.Height, s.Height) << s.Name;
        const std::string raw = dir.File("out.rgb");
        const auto run = test::Run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", path,
                                    "-f", "rawvideo", "-pix_fmt", "rgb24", raw});
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        const auto rgb = test::ReadFile(raw);
        ASSERT_EQ(rgb.size(), picture.Bitmap.Pixels.size() * 3);
        double total = 0;
        for (std::size_t i = 0; i < picture.Bitmap.Pixels.size(); ++i) {
            const std::uint32_t p = picture.Bitmap.Pixels[i];
            total += std::abs(static_cast<int>(RedOf(p)) - rgb[3 * i]) +
                     std::abs(static_cast<int>(GreenOf(p)) - rgb[3 * i + 1]) +
                     std::abs(static_cast<int>(BlueOf(p)) - rgb[3 * i + 2]);
        }
        EXPECT_LT(total / static_cast<double>(rgb.size()), 2.0) << s.Name;

        picture.FitTo(720, 576);
        ASSERT_EQ(picture.Bitmap.Width, 720);
        // The first picture row and column hold picture, the band just before them is black.
        if (s.BandTop > 0) {
            EXPECT_EQ(picture.Bitmap.At(360, s.BandTop - 1) & 0xFFFFFF, 0u) << s.Name;
            EXPECT_EQ(picture.Bitmap.At(360, 576 - s.BandTop) & 0xFFFFFF, 0u) << s.Name;
        }
        if (s.BandSide > 0) {
            EXPECT_EQ(picture.Bitmap.At(s.BandSide - 1, 288) & 0xFFFFFF, 0u) << s.Name;
            EXPECT_EQ(picture.Bitmap.At(720 - s.BandSide, 288) & 0xFFFFFF, 0u) << s.Name;
        }
    }
    TImageFile grey(samples + "04-cellular-grey.jpg");
    for (std::uint32_t p : grey.Bitmap.Pixels) {
        ASSERT_EQ(RedOf(p), GreenOf(p));
        ASSERT_EQ(GreenOf(p), BlueOf(p));
    }
}

namespace {

// `jpeg` with the size in its frame header (SOF0 or SOF2) replaced.
std::vector<std::uint8_t> WithFrameSize(std::vector<std::uint8_t> jpeg, int w, int h) {
    std::size_t at = 2;
    while (at + 9 < jpeg.size() && jpeg[at] == 0xFF) {
        if (jpeg[at + 1] == 0xC0 || jpeg[at + 1] == 0xC2) {
            jpeg[at + 5] = static_cast<std::uint8_t>(h >> 8);
            jpeg[at + 6] = static_cast<std::uint8_t>(h);
            jpeg[at + 7] = static_cast<std::uint8_t>(w >> 8);
            jpeg[at + 8] = static_cast<std::uint8_t>(w);
            return jpeg;
        }
        at += 2 + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
    }
    throw std::runtime_error("no frame header");
}

std::vector<std::uint8_t> Cut(const std::vector<std::uint8_t>& bytes, std::size_t n) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

struct JpegHeaderCase {
    const char* Name;
    bool Sound; // the header passes
    std::vector<std::uint8_t> Bytes;
    std::uint64_t MaxPixels = DefaultMaxPicturePixels;
    bool AutoRotate = true;
    // The header passes though the decoding fails: a fault that only reading the data finds.
    bool OnlyDecodingFails = false;
};

std::vector<JpegHeaderCase> JpegHeaderCases() {
    const auto baseline = RgbJpeg(false, 320, 240);
    const auto progressive = RgbJpeg(true, 320, 240);
    const auto turned = exiftest::WithOrientation(exiftest::MarkedJpeg(64, 48), 6);
    return {
        {"Baseline", true, baseline},
        {"Progressive", true, progressive},
        {"Grey", true,
         MakeJpeg(BlockSamples(40, 24, 1, {{30}, {200}}), 40, 24, {95, false, JCS_GRAYSCALE})},
        {"Cmyk", true,
         MakeJpeg(BlockSamples(40, 24, 4, {{0, 255, 255, 0}}), 40, 24, {95, false, JCS_CMYK})},
        {"TurnedUpright", true, turned},
        {"TurnedAsStored", true, turned, DefaultMaxPicturePixels, false},
        {"DataCut", true, Cut(baseline, baseline.size() / 2), DefaultMaxPicturePixels, true, true},
        {"ProgressiveDataCut", true, Cut(progressive, progressive.size() / 2),
         DefaultMaxPicturePixels, true, true},
        {"Empty", false, {}},
        {"HeaderCut", false, Cut(baseline, 100)},
        {"ZeroWidth", false, WithFrameSize(baseline, 0, 240)},
        {"ZeroHeight", false, WithFrameSize(baseline, 320, 0)},
        {"HugeOverTheBudget", false, WithFrameSize(baseline, 60000, 60000)},
        {"ProgressiveHugeOverTheBudget", false, WithFrameSize(progressive, 60000, 60000)},
        {"OnePixelOverTheBudget", false, baseline, 320 * 240 - 1},
        {"ABmp", false, imgtest::MakeBmp24(imgtest::SolidBitmap(8, 8, 0xFF102030u))},
        {"Text", false, std::vector<std::uint8_t>(100, 'x')},
    };
}

class JpegHeader : public ::testing::TestWithParam<JpegHeaderCase> {};

} // namespace

// Reading the header alone accepts exactly what decoding accepts, with the size the decoding
// delivers (upright when turned), and refuses with the same words.
TEST_P(JpegHeader, AgreesWithTheFullDecode) {
    const JpegHeaderCase& c = GetParam();
    std::string headerError;
    TJpegHeader header;
    try {
        header = ReadJpegHeader(c.Bytes, c.MaxPixels, c.AutoRotate);
    } catch (const EMorvantaError& e) {
        headerError = e.what();
    }
    EXPECT_EQ(headerError.empty(), c.Sound) << headerError;
    std::string decodeError;
    TBitmap32 decoded;
    try {
        DecodeJpeg(c.Bytes, c.MaxPixels, decoded, {.AutoRotate = c.AutoRotate});
    } catch (const EMorvantaError& e) {
        decodeError = e.what();
    }
    if (c.OnlyDecodingFails) {
        EXPECT_NE(decodeError, "");
    } else if (decodeError.empty()) {
        EXPECT_EQ(header.Width, decoded.Width);
        EXPECT_EQ(header.Height, decoded.Height);
    } else {
        EXPECT_EQ(headerError, decodeError);
    }
    // libjpeg's and our own words for what is wrong.
    static const std::map<std::string, std::string> refusals = {
        {"DataCut", "Premature end of JPEG file"},
        {"Empty", "Empty JPEG file"},
        {"HeaderCut", "Premature end of JPEG file"},
        {"ZeroWidth", "Empty JPEG image"},
        {"ZeroHeight", "Empty JPEG image"},
        {"HugeOverTheBudget", "Picture too large (60000 x 60000 pixels"},
        {"ProgressiveHugeOverTheBudget", "Picture too large (60000 x 60000 pixels"},
        {"OnePixelOverTheBudget", "Picture too large (320 x 240 pixels, at most 76799 allowed)"},
        {"ABmp", "Not a JPEG file"},
        {"Text", "Not a JPEG file"}};
    if (const auto it = refusals.find(c.Name); it != refusals.end()) {
        EXPECT_NE(decodeError.find(it->second), std::string::npos) << decodeError;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, JpegHeader, ::testing::ValuesIn(JpegHeaderCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(JpegHeader, NamesTheOrientationItApplied) {
    const auto stored = exiftest::MarkedJpeg(64, 48);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const auto bytes = exiftest::WithOrientation(stored, orientation);
        const TJpegHeader turned = ReadJpegHeader(bytes, DefaultMaxPicturePixels);
        EXPECT_EQ(turned.Orientation, orientation);
        const bool swaps = orientation >= 5;
        EXPECT_EQ(turned.Width, swaps ? 48 : 64) << orientation;
        EXPECT_EQ(turned.Height, swaps ? 64 : 48) << orientation;
        const TJpegHeader asStored = ReadJpegHeader(bytes, DefaultMaxPicturePixels, false);
        EXPECT_EQ(asStored.Orientation, 1);
        EXPECT_EQ(asStored.Width, 64);
    }
}

// Over cut and damaged files: whatever decodes has a header that reads to the same size, and a
// header refused is a picture refused, in the same words.
TEST(JpegHeader, AgreesWithTheDecodeOnDamagedFiles) {
    std::uint32_t random = 12345;
    for (const bool progressive : {false, true}) {
        const auto good = exiftest::WithOrientation(RgbJpeg(progressive, 48, 32), 6);
        for (int trial = 0; trial < 400; ++trial) {
            auto bytes = good;
            random = random * 1103515245u + 12345u;
            if (trial % 4 == 0) {
                bytes.resize((random >> 8) % bytes.size());
            } else {
                for (int flips = 0; flips < 1 + trial % 3; ++flips) {
                    random = random * 1103515245u + 12345u;
                    bytes[(random >> 8) % bytes.size()] ^= static_cast<std::uint8_t>(random >> 24);
                }
            }
            std::string headerError, decodeError;
            TJpegHeader header;
            TBitmap32 decoded;
            try {
                header = ReadJpegHeader(bytes, 1u << 20);
            } catch (const EMorvantaError& e) {
                headerError = e.what();
            }
            try {
                DecodeJpeg(bytes, 1u << 20, decoded);
            } catch (const EMorvantaError& e) {
                decodeError = e.what();
            }
            if (decodeError.empty()) {
                ASSERT_EQ(headerError, "") << trial;
                ASSERT_EQ(header.Width, decoded.Width) << trial;
                ASSERT_EQ(header.Height, decoded.Height) << trial;
            }
            if (!headerError.empty()) {
                ASSERT_EQ(headerError, decodeError) << trial;
            }
        }
    }
}
