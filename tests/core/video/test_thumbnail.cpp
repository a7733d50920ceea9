#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ExifTestFiles.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "video/U_FrameServer.h"
#include "video/U_ImageFile.h"
#include "video/U_JpegDecoder.h"

using exiftest::WithOrientation;

namespace {

// A smooth picture with a few sharp edges, as photos have.
std::vector<std::uint8_t> PhotoLikeJpeg(int w, int h) {
    std::vector<std::uint8_t> s(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &s[(static_cast<std::size_t>(y) * w + x) * 3];
            const bool stripe = (x / (w / 8)) % 2 == 0 && y > h / 2;
            p[0] = static_cast<std::uint8_t>(255 * x / w);
            p[1] = static_cast<std::uint8_t>(stripe ? 230 : 255 * y / h);
            p[2] = static_cast<std::uint8_t>(stripe ? 20 : 128);
        }
    return imgtest::MakeJpeg(s, w, h, imgtest::TJpegOptions{90, false});
}

} // namespace

TEST(Thumbnail, ReducedScaleIsTheSmallestThatCoversTheFit) {
    struct TCase {
        int W, H, Orientation, FitW, FitH, WantW, WantH;
    };
    const TCase cases[] = {
        {800, 600, 1, 100, 75, 100, 75},   // 1/8 exactly
        {800, 600, 1, 50, 40, 100, 75},    // nothing smaller than 1/8
        {800, 600, 1, 200, 150, 200, 150}, // 2/8
        {800, 600, 1, 210, 150, 200, 150}, // the height limits the fit: 150 rows are enough
        {800, 600, 1, 201, 151, 300, 225}, // 3/8
        {800, 600, 1, 400, 300, 400, 300}, // 4/8
        {800, 600, 1, 640, 480, 700, 525}, // a large preview: 7/8
        {800, 600, 6, 100, 75, 75, 100},   // turned: the upright height limits the fit
        {600, 800, 1, 100, 75, 75, 100},
        {1600, 100, 1, 100, 75, 200, 13}, // a panorama: its width limits the fit
        {120, 90, 1, 100, 75, 105, 79},   // 7/8, sizes rounded up
        {64, 48, 1, 100, 75, 64, 48},     // smaller than the slot: full size
        {800, 600, 1, 0, 0, 800, 600},    // no fit asked: full size
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H) + " o" +
                     std::to_string(c.Orientation) + " into " + std::to_string(c.FitW) + "x" +
                     std::to_string(c.FitH));
        const auto jpeg = WithOrientation(PhotoLikeJpeg(c.W, c.H), c.Orientation);
        TBitmap32 out;
        DecodeJpeg(jpeg, DefaultMaxPicturePixels, out, {.FitWidth = c.FitW, .FitHeight = c.FitH});
        EXPECT_EQ(out.Width, c.WantW);
        EXPECT_EQ(out.Height, c.WantH);
    }
}

TEST(Thumbnail, ReducedDecodeLooksLikeTheFullOne) {
    test::TempDir dir;
    const std::string path = dir.File("photo.jpg");
    test::WriteFile(path, PhotoLikeJpeg(1600, 1200));
    const TBitmap32 fast = MakeThumbnail(path, 100, 75, true);
    const TImageFile full(path, 100, 75);
    ASSERT_EQ(fast.Width, 100);
    ASSERT_EQ(fast.Height, 75);
    long total = 0;
    int worst = 0;
    for (std::size_t i = 0; i < fast.Pixels.size(); ++i)
        for (int shift : {0, 8, 16}) {
            const int a = (fast.Pixels[i] >> shift) & 0xFF;
            const int b = (full.Bitmap.Pixels[i] >> shift) & 0xFF;
            total += std::abs(a - b);
            worst = std::max(worst, std::abs(a - b));
        }
    EXPECT_LT(static_cast<double>(total) / (fast.Pixels.size() * 3), 2.0);
    EXPECT_LT(worst, 48) << "only the stripes' edges may differ noticeably";
}

TEST(Thumbnail, BmpsAndErrorsAreAsForFrames) {
    test::TempDir dir;
    const std::string bmp = dir.File("p.bmp");
    test::WriteBmp24(bmp, test::MakeGradient(300, 200));
    EXPECT_TRUE(test::SameRGB(MakeThumbnail(bmp, 100, 75, true), TImageFile(bmp, 100, 75).Bitmap));

    const std::string broken = dir.File("broken.jpg");
    auto bytes = PhotoLikeJpeg(320, 240);
    bytes.resize(bytes.size() / 2);
    test::WriteFile(broken, bytes);
    try {
        MakeThumbnail(broken, 100, 75, true);
        FAIL() << "a file cut short must not make a thumbnail";
    } catch (const EMorvantaError& e) {
        EXPECT_NE(std::string(e.what()).find(broken), std::string::npos) << e.what();
    }
    const std::string huge = dir.File("huge.jpg");
    test::WriteFile(huge, PhotoLikeJpeg(800, 600));
    EXPECT_THROW(MakeThumbnail(huge, 100, 75, true, 1000), EMorvantaError)
        << "the picture limit holds for thumbnails too";
}

TEST(Thumbnail, RenderFramesKeepTheFullDecode) {
    test::TempDir dir;
    const std::string path = dir.File("photo.jpg");
    test::WriteFile(path, PhotoLikeJpeg(1600, 1200));
    TStringList paths({path});
    TFrameServer render(paths, nullptr, 1, 75, 100);
    TFrameServer thumbs(paths, nullptr, 1, 75, 100, TShowStyle{}, DefaultMaxPicturePixels,
                        {.SmallTarget = true});
    TBitmap32 frame, thumb;
    render.GetFrame(frame, 0);
    thumbs.GetFrame(thumb, 0);
    EXPECT_TRUE(test::SameRGB(frame, TImageFile(path, 100, 75).Bitmap));
    EXPECT_TRUE(test::SameRGB(thumb, MakeThumbnail(path, 100, 75, true)));
    EXPECT_FALSE(test::SameRGB(frame, thumb)) << "the two paths must really differ";
}
