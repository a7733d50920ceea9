// Files kept from fuzzing (tests/data/fuzz/<harness>/) and the fuzzers' seeds
// (tests/fuzz/corpus/<harness>/), read here through the same entry points as the harnesses, so
// that the ordinary and sanitizer builds replay them too. Files that lie about their sizes get
// their own checks: a clear refusal, or counts bounded by what the file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "app/U_Project.h"
#include "audio/U_MP3FrameExtract.h"
#include "audio/U_MpegAudioFile.h"
#include "platform/avi/U_AviFile.h"
#include "platform/base/U_Errors.h"
#include "platform/image/U_BmpDecoder.h"
#include "platform/os/U_Settings.h"
#include "video/U_ImageFile.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSmallLimit = 4ull * 1000 * 1000;

std::string DataFile(const std::string& harness, const std::string& name) {
    return std::string(MORVANTA_DATA_DIR) + "/fuzz/" + harness + "/" + name;
}

// Every kept file and seed of one harness, sorted.
std::vector<std::string> FilesOf(const std::string& harness) {
    std::vector<std::string> files;
    for (const fs::path& dir :
         {fs::path(MORVANTA_DATA_DIR) / "fuzz" / harness,
          fs::path(MORVANTA_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / harness}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string BmpError(const std::string& path) {
    TBitmap32 picture;
    try {
        DecodeBmp(test::ReadFile(path), kSmallLimit, picture);
    } catch (const EMorvantaError& e) {
        return e.what();
    }
    return "";
}

// The reader as the multiplexer drives it; returns the video samples read.
std::int32_t ReadAllVideo(const std::string& path) {
    TAviReader reader;
    if (reader.Open(path) != AVIERR_OK) return -1;
    int video = -1;
    if (reader.GetStream(streamtypeVIDEO, 0, video) != AVIERR_OK) return -1;
    const std::int32_t length = reader.StreamLength(video);
    std::vector<std::uint8_t> buffer;
    for (std::int32_t i = 0; i < length; ++i) {
        std::uint32_t size = 0;
        EXPECT_EQ(reader.SampleSize(video, i, size), AVIERR_OK) << path << " sample " << i;
        EXPECT_LE(size, fs::file_size(path)) << path << " sample " << i;
        buffer.resize(size);
        std::uint32_t got = 0;
        EXPECT_EQ(reader.Read(video, i, buffer.data(), buffer.size(), got), AVIERR_OK);
        EXPECT_EQ(got, size);
    }
    return length;
}

TEST(FuzzRegressions, EveryKeptFileEndsCleanly) {
    std::size_t files = 0;
    for (const std::string& path : FilesOf("bmp")) {
        ++files;
        BmpError(path);
    }
    // The picture loader goes by the extension, which kept inputs do not have.
    test::TempDir dir;
    const std::string jpeg = dir.File("input.jpg");
    for (const std::string& path : FilesOf("jpeg")) {
        ++files;
        fs::copy_file(path, jpeg, fs::copy_options::overwrite_existing);
        try {
            TImageFile picture(jpeg, kSmallLimit);
            picture.FitTo(64, 48);
            picture.Sepia();
        } catch (const EMorvantaError&) {
        }
    }
    for (const std::string& path : FilesOf("avi")) {
        ++files;
        ReadAllVideo(path);
    }
    for (const std::string& path : FilesOf("mp3")) {
        ++files;
        TMP3FrameExtract extract(path);
        extract.Load();
        for (std::size_t i = 0; i < extract.FramesFound(); ++i)
            EXPECT_LE(extract.FrameStart(i) + extract.FrameLength(i),
                      static_cast<std::int64_t>(fs::file_size(path)))
                << path;
    }
    for (const std::string& path : FilesOf("mpeg_duration")) {
        ++files;
        try {
            TMpegAudioFile audio(path);
            EXPECT_GE(audio.DataSize(), 0) << path;
            EXPECT_LE(audio.FramesCounted(), static_cast<std::int64_t>(fs::file_size(path)));
        } catch (const EMorvantaError&) {
        }
    }
    for (const std::string& path : FilesOf("project")) {
        ++files;
        const std::vector<std::uint8_t> bytes = test::ReadFile(path);
        const TProject project = ParseProject(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        EXPECT_LE(project.Entries.size(), bytes.size()) << path;
    }
    for (const std::string& path : FilesOf("settings")) {
        ++files;
        const std::vector<std::uint8_t> bytes = test::ReadFile(path);
        const TSettingsDocument document = ParseSettings(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        const std::string text = FormatSettings(document);
        EXPECT_EQ(FormatSettings(ParseSettings(text)), text) << path;
    }
    // The seeds are committed with the harnesses: an empty walk means a wrong folder.
    EXPECT_GT(files, 100u);
}

TEST(FuzzRegressions, PicturesAboveTheLimitAreRefusedBeforeDecoding) {
    // 14 GB of pixels announced in 70 bytes: refused from the header alone.
    EXPECT_EQ(BmpError(DataFile("bmp", "limit-60000x60000.bmp")),
              "Picture too large (60000 x 60000 pixels, at most 4000000 allowed)");
    EXPECT_EQ(BmpError(DataFile("bmp", "limit-rle8-40000x40000.bmp")),
              "Picture too large (40000 x 40000 pixels, at most 4000000 allowed)");

    const std::string jpeg = DataFile("jpeg", "limit-65000x65000.jpg");
    try {
        TImageFile picture(jpeg);
        FAIL() << "a 65000 x 65000 JPEG was accepted";
    } catch (const EMorvantaError& e) {
        EXPECT_NE(std::string(e.what()).find("Picture too large (65000 x 65000 pixels"),
                  std::string::npos)
            << e.what();
    }
    // 6 megapixels: too many for a small limit, decoded under the ordinary one.
    const std::string wide = DataFile("jpeg", "limit-progressive-60000x100.jpg");
    EXPECT_THROW(TImageFile(wide, kSmallLimit), EMorvantaError);
    TImageFile picture(wide);
    EXPECT_EQ(picture.Bitmap.Width, 60000);
    EXPECT_EQ(picture.Bitmap.Height, 100);
}

TEST(FuzzRegressions, AviIndexCountsAreBoundedByTheFile) {
    // The super index and the standard index both claim 2^32-1 entries; the file holds two
    // super entries naming one standard index of four entries, all on one 24-byte chunk.
    const std::string path = DataFile("avi", "limit-huge-index-claims.avi");
    EXPECT_EQ(ReadAllVideo(path), 8);
    TAviReader reader;
    ASSERT_EQ(reader.Open(path), AVIERR_OK);
    std::uint32_t size = 0;
    ASSERT_EQ(reader.SampleSize(0, 7, size), AVIERR_OK);
    EXPECT_EQ(size, 24u);
    EXPECT_EQ(reader.SampleSize(0, 8, size), AVIERR_NODATA);
}

TEST(FuzzRegressions, Id3TagLargerThanTheFileHidesNothingBeyondIt) {
    // The tag claims 256 MB: the scanners stop at the file's end instead of reading on.
    const std::string path = DataFile("mp3", "limit-id3-256mb.mp3");
    TMP3FrameExtract extract(path);
    extract.Load();
    EXPECT_EQ(extract.FramesFound(), 0u);
    EXPECT_FALSE(extract.FirstHeader().has_value());
    EXPECT_THROW(TMpegAudioFile{DataFile("mpeg_duration", "limit-id3-256mb.mp3")}, EMorvantaError);
}

} // namespace
