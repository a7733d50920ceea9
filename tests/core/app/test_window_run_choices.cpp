// The window's additions to a run: typed sizes within the command line's range, and which codec
// lines each container takes by their FourCC.
#include <gtest/gtest.h>

#include "app/U_WindowRunChoices.h"

namespace {

TEST(WindowRunChoices, TypedSizesWithinTheRangeAndNothingElse) {
    const struct {
        const char* text;
        int width, height; // 0: refused
    } cases[] = {
        {"1024x600", 1024, 600},
        {"16x16", 16, 16},
        {"8192X8192", 8192, 8192},
        {" 800 x 600 ", 800, 600},
        {"15x16", 0, 0},
        {"16x8193", 0, 0},
        {"0x0", 0, 0},
        {"x480", 0, 0},
        {"640x", 0, 0},
        {"640*480", 0, 0},
        {"-640x480", 0, 0},
        {"640x480x2", 0, 0},
        {"99999999999x480", 0, 0},
        {"6.4e2x480", 0, 0},
        {"", 0, 0},
    };
    for (const auto& c : cases) {
        const auto size = ParseTypedSize(c.text);
        if (c.width == 0) {
            EXPECT_FALSE(size) << c.text;
            continue;
        }
        ASSERT_TRUE(size) << c.text;
        EXPECT_EQ(size->Width, c.width) << c.text;
        EXPECT_EQ(size->Height, c.height) << c.text;
    }
}

TEST(WindowRunChoices, CodecLinesFitTheContainersThatHoldTheirCodec) {
    const struct {
        const char* line;
        bool avi, mp4, mkv, webm;
    } cases[] = {
        {"H264 libx264", true, true, true, false},
        {"XVID libxvidcore", true, true, true, false},
        {"VP90 libvpx-vp9", true, false, true, true},
        {"FFV1 FFmpeg video codec #1", true, false, true, false},
        {"MJPG Motion JPEG", true, false, false, false},
        {"DIB  Uncompressed RGB", true, false, false, false},
        {"ZZZZ Not a codec", true, false, false, false},
        {"H2", true, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodecLineFits(TContainer::Avi, c.line), c.avi) << c.line;
        EXPECT_EQ(CodecLineFits(TContainer::Mp4, c.line), c.mp4) << c.line;
        EXPECT_EQ(CodecLineFits(TContainer::Mkv, c.line), c.mkv) << c.line;
        EXPECT_EQ(CodecLineFits(TContainer::WebM, c.line), c.webm) << c.line;
    }
}

} // namespace
