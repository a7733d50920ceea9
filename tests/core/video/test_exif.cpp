#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ExifTestFiles.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/os/U_Settings.h"
#include "video/U_Exif.h"
#include "video/U_FrameServer.h"
#include "video/U_ImageFile.h"

using exiftest::ExifSegment;
using exiftest::MarkedJpeg;
using exiftest::OrientationTiff;
using exiftest::Put;
using exiftest::WithOrientation;
using exiftest::WithSegment;

namespace {

enum TCorner { TL, TR, BL, BR };

bool IsRed(std::uint32_t p) {
    return RedOf(p) > 200 && GreenOf(p) < 70 && BlueOf(p) < 70;
}
bool IsGreen(std::uint32_t p) {
    return GreenOf(p) > 200 && RedOf(p) < 70 && BlueOf(p) < 70;
}

// The quadrant of the frame in which the matching pixels lie, checking that they are there.
::testing::AssertionResult InCorner(const TBitmap32& bmp, bool (*match)(std::uint32_t),
                                    TCorner corner) {
    const test::TBox box = test::FindBox(bmp, match);
    if (box.Empty()) return ::testing::AssertionFailure() << "mark not found";
    const bool right = box.Left + box.Right > bmp.Width;
    const bool bottom = box.Top + box.Bottom > bmp.Height;
    const TCorner found = bottom ? (right ? BR : BL) : (right ? TR : TL);
    if (found != corner)
        return ::testing::AssertionFailure()
               << "mark in corner " << found << ", box " << box.Left << "," << box.Top << "-"
               << box.Right << "," << box.Bottom << " of " << bmp.Width << "x" << bmp.Height;
    return ::testing::AssertionSuccess();
}

struct TOrientationCase {
    int Orientation;
    bool Swaps;
    TCorner Red;   // where the stored top-left corner lands
    TCorner Green; // where the stored top-right corner lands
};

const TOrientationCase OrientationCases[] = {
    {1, false, TL, TR}, {2, false, TR, TL}, {3, false, BR, BL}, {4, false, BL, BR},
    {5, true, TL, BL},  {6, true, TR, BR},  {7, true, BR, TR},  {8, true, BL, TL},
};

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> b;
    for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

} // namespace

TEST(Exif, EveryOrientationTurnsFramesAndThumbnailsUpright) {
    test::TempDir dir;
    const std::vector<std::uint8_t> stored = MarkedJpeg(64, 48);
    for (const auto& c : OrientationCases) {
        for (bool bigEndian : {false, true}) {
            SCOPED_TRACE("orientation " + std::to_string(c.Orientation) +
                         (bigEndian ? " MM" : " II"));
            const std::string path = dir.File("o" + std::to_string(c.Orientation) + ".jpg");
            test::WriteFile(path, WithOrientation(stored, c.Orientation, bigEndian));
            ASSERT_EQ(JpegOrientation(test::ReadFile(path)), c.Orientation);

            const TImageFile picture(path);
            EXPECT_EQ(picture.Bitmap.Width, c.Swaps ? 48 : 64);
            EXPECT_EQ(picture.Bitmap.Height, c.Swaps ? 64 : 48);
            EXPECT_TRUE(InCorner(picture.Bitmap, IsRed, c.Red));
            EXPECT_TRUE(InCorner(picture.Bitmap, IsGreen, c.Green));

            // The render's frame, and the thumbnail strip's frame server and function.
            TStringList paths({path});
            TFrameServer render(paths, nullptr, 2, 60, 80);
            TFrameServer thumbs(paths, nullptr, 1, 75, 100, TShowStyle{}, DefaultMaxPicturePixels,
                                {.SmallTarget = true});
            TBitmap32 frame, thumb;
            render.GetFrame(frame, 1);
            thumbs.GetFrame(thumb, 0);
            const TBitmap32 direct = MakeThumbnail(path, 100, 75, true);
            for (const TBitmap32* f : {&std::as_const(frame), &std::as_const(thumb), &direct}) {
                EXPECT_TRUE(InCorner(*f, IsRed, c.Red)) << f->Width << "x" << f->Height;
                EXPECT_TRUE(InCorner(*f, IsGreen, c.Green)) << f->Width << "x" << f->Height;
            }
            EXPECT_TRUE(test::SameRGB(thumb, direct));
            // A turned 4:3 picture is a portrait: bands at the sides, none at the top.
            if (c.Swaps)
                EXPECT_EQ(thumb.At(2, 37) & 0xFFFFFF, 0u);
            else
                EXPECT_GT(GreenOf(thumb.At(2, 37)), 100u);
        }
    }
}

TEST(Exif, SwitchedOffThePixelsStayAsStored) {
    test::TempDir dir;
    const std::string path = dir.File("six.jpg");
    test::WriteFile(path, WithOrientation(MarkedJpeg(64, 48), 6));
    const TImageFile asStored(path, DefaultMaxPicturePixels, {.AutoRotate = false});
    EXPECT_EQ(asStored.Bitmap.Width, 64);
    EXPECT_TRUE(InCorner(asStored.Bitmap, IsRed, TL));
    EXPECT_TRUE(InCorner(MakeThumbnail(path, 100, 75, false), IsGreen, TR));

    // The frame server's option reaches pictures it has already cached.
    TStringList paths({path});
    TFrameServer server(paths, nullptr, 1, 75, 100);
    TBitmap32 frame;
    server.GetFrame(frame, 0);
    EXPECT_TRUE(InCorner(frame, IsGreen, BR));
    server.SetPictureOptions({.AutoRotate = false});
    server.GetFrame(frame, 0);
    EXPECT_TRUE(InCorner(frame, IsGreen, TR));
}

TEST(Exif, SettingTurnsItOffOnlyWithZero) {
    EXPECT_TRUE(AutoRotateFromSetting(""));
    EXPECT_TRUE(AutoRotateFromSetting("1"));
    EXPECT_TRUE(AutoRotateFromSetting("yes"));
    EXPECT_FALSE(AutoRotateFromSetting("0"));
    // A store of this test's own, also when it runs outside CTest.
    test::TempDir dir;
    struct TStoreFolder {
        explicit TStoreFolder(const char* folder) {
            if (const char* old = std::getenv("MORVANTA_CONFIG_DIR")) Old = old;
            ::setenv("MORVANTA_CONFIG_DIR", folder, 1);
        }
        ~TStoreFolder() {
            if (Old)
                ::setenv("MORVANTA_CONFIG_DIR", Old->c_str(), 1);
            else
                ::unsetenv("MORVANTA_CONFIG_DIR");
        }
        std::optional<std::string> Old;
    } store(dir.Path().c_str());
    EXPECT_TRUE(ReadAutoRotateSetting()) << "absent means on";
    ASSERT_TRUE(WriteSetting(AutoRotateSettingName, "0"));
    EXPECT_FALSE(ReadAutoRotateSetting());
    ASSERT_TRUE(WriteSetting(AutoRotateSettingName, "1"));
    EXPECT_TRUE(ReadAutoRotateSetting());
}

TEST(Exif, LyingTiffBlocksGiveUpright) {
    const auto tiff = [](auto&& change) {
        std::vector<std::uint8_t> t = OrientationTiff(6, false);
        change(t);
        return t;
    };
    struct TCase {
        const char* What;
        std::vector<std::uint8_t> Tiff;
        int Want;
    };
    const TCase cases[] = {
        {"valid, little endian", OrientationTiff(6, false), 6},
        {"valid, big endian", OrientationTiff(8, true), 8},
        {"empty", {}, 1},
        {"header only", Bytes({'I', 'I', 42, 0}), 1},
        {"unknown byte order", tiff([](auto& t) { t[0] = t[1] = 'X'; }), 1},
        {"mixed byte order", tiff([](auto& t) { t[1] = 'M'; }), 1},
        {"not 42", tiff([](auto& t) { t[2] = 43; }), 1},
        {"IFD past the end", tiff([](auto& t) { Put(t, 4, 0xFFFFFFF0u, 4, false); }), 1},
        {"IFD at the last byte", tiff([](auto& t) { Put(t, 4, 37, 4, false); }), 1},
        // The header read as an IFD: 0x4949 entries claimed, none of them the orientation.
        {"IFD on the header", tiff([](auto& t) { Put(t, 4, 0, 4, false); }), 1},
        {"huge count, the tag present", tiff([](auto& t) { Put(t, 8, 0xFFFF, 2, false); }), 6},
        {"count cut by the end", tiff([](auto& t) { t.resize(30); }), 1},
        {"value 0", OrientationTiff(0, false), 1},
        {"value 9", OrientationTiff(9, false), 1},
        {"value 0x106", OrientationTiff(0x106, false), 1},
        {"type LONG", OrientationTiff(6, false, 4), 1},
        {"count 0", tiff([](auto& t) { Put(t, 26, 0, 4, false); }), 1},
        {"count 0 entries", tiff([](auto& t) { Put(t, 8, 0, 2, false); }), 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ExifOrientation(c.Tiff), c.Want) << c.What;
}

TEST(Exif, SegmentWalkFindsTheExifBlockAndStopsAtTheData) {
    const std::vector<std::uint8_t> exif = ExifSegment(OrientationTiff(3, true));
    const std::vector<std::uint8_t> xmp = {0xFF, 0xE1, 0, 8, 'h', 't', 't', 'p', ':', '/'};
    const std::vector<std::uint8_t> app0 = {0xFF, 0xE0, 0, 4, 'J', 'F'};
    const std::vector<std::uint8_t> soi = {0xFF, 0xD8};
    const std::vector<std::uint8_t> sos = {0xFF, 0xDA, 0, 2};
    const auto join = [](std::initializer_list<std::vector<std::uint8_t>> parts) {
        std::vector<std::uint8_t> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    struct TCase {
        const char* What;
        std::vector<std::uint8_t> File;
        int Want;
    };
    const TCase cases[] = {
        {"after APP0 and an XMP APP1", join({soi, app0, xmp, exif, sos}), 3},
        {"fill bytes and a restart marker", join({soi, Bytes({0xFF, 0xFF, 0xFF, 0xD0}), exif}), 3},
        {"after the scan starts", join({soi, sos, exif}), 1},
        {"no start-of-image", join({app0, exif}), 1},
        {"length past the end", join({soi, Bytes({0xFF, 0xE0, 0xFF, 0xFF, 0}), exif}), 1},
        {"length below 2", join({soi, Bytes({0xFF, 0xE0, 0, 1}), exif}), 1},
        {"garbage between segments", join({soi, Bytes({0x12}), exif}), 1},
        {"cut inside the length", Bytes({0xFF, 0xD8, 0xFF, 0xE1, 0}), 1},
        {"identifier only", join({soi, Bytes({0xFF, 0xE1, 0, 7, 'E', 'x', 'i', 'f', 0})}), 1},
    };
    for (const auto& c : cases) EXPECT_EQ(JpegOrientation(c.File), c.Want) << c.What;
}

TEST(Exif, LyingBlocksNeitherStopNorSlowADecode) {
    test::TempDir dir;
    const std::vector<std::uint8_t> stored = MarkedJpeg(64, 48);
    std::vector<std::uint8_t> lying = OrientationTiff(6, false);
    Put(lying, 4, 0xFFFFFFF0u, 4, false);
    // Half a million empty APP1 segments before the real one: a linear walk over 2 MB.
    std::vector<std::uint8_t> many;
    for (int i = 0; i < 500000; ++i) many.insert(many.end(), {0xFF, 0xE1, 0, 2});
    const std::vector<std::uint8_t> exif = ExifSegment(OrientationTiff(6, false));
    many.insert(many.end(), exif.begin(), exif.end());

    const std::string bad = dir.File("bad.jpg"), slow = dir.File("many.jpg");
    test::WriteFile(bad, WithSegment(stored, ExifSegment(lying)));
    test::WriteFile(slow, WithSegment(stored, many));
    const TImageFile badPicture(bad);
    EXPECT_EQ(badPicture.Bitmap.Width, 64);
    EXPECT_TRUE(InCorner(badPicture.Bitmap, IsRed, TL));

    const auto start = std::chrono::steady_clock::now();
    const TImageFile slowPicture(slow);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(slowPicture.Bitmap.Width, 48);
    EXPECT_TRUE(InCorner(slowPicture.Bitmap, IsRed, TR));
    EXPECT_LT(took, std::chrono::seconds(2));
}
