// The checks before the first frame: the pictures' headers and the soundtrack's first frames,
// read by the render's and the multiplexing's own code.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "TestPictures.h"
#include "TestSupport.h"
#include "app/U_Preflight.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> MakeJpeg(const test::TempDir& dir) {
    const std::string path = dir.File("made.jpg");
    auto made = test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                           "testsrc=size=160x120", "-frames:v", "1", path});
    if (made.ExitCode != 0) throw std::runtime_error(made.Err);
    auto bytes = test::ReadFile(path);
    fs::remove(path);
    return bytes;
}

// A JPEG whose header runs past the first 256 KiB: APP4 segments (ignored by decoders) after SOI.
std::vector<std::uint8_t> WithLongHeader(const std::vector<std::uint8_t>& jpeg) {
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (int i = 0; i < 5; ++i) {
        out.insert(out.end(), {0xFF, 0xE4, 0xFF, 0xFF});
        out.insert(out.end(), 0xFFFF - 2, static_cast<std::uint8_t>('a' + i));
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int b = 0; b < 4; ++b) bytes[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
}

struct PictureCase {
    const char* Name;
    const char* File;
    // Writes the file (none: it does not exist).
    std::function<void(const test::TempDir&, const std::string&)> Make;
    const char* Problem; // part of the problem, "" for a usable picture
};

class PicturePreflight : public ::testing::TestWithParam<PictureCase> {};

std::vector<std::uint8_t> Bmp() {
    return test::EncodeBmp24(test::MakeGradient(40, 30));
}

} // namespace

TEST_P(PicturePreflight, FindsWhatTheRenderWouldRefuse) {
    const PictureCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.File(c.File);
    if (c.Make) c.Make(dir, path);
    const auto problem = PictureProblem(path, true);
    if (std::string(c.Problem).empty()) {
        EXPECT_FALSE(problem.has_value()) << *problem;
    } else {
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(c.Problem), std::string::npos) << *problem;
        EXPECT_NE(problem->find(path), std::string::npos) << "names the file: " << *problem;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PicturePreflight,
    ::testing::Values(
        PictureCase{"Bmp", "a.bmp", [](const auto&, const auto& p) { test::WriteFile(p, Bmp()); },
                    ""},
        PictureCase{"JpegAnyCase", "a.JPG",
                    [](const auto& d, const auto& p) { test::WriteFile(p, MakeJpeg(d)); }, ""},
        // Only the header is read: the data cut short is the render's to find.
        PictureCase{"JpegCutAfterItsHeader", "a.jpeg",
                    [](const auto& d, const auto& p) {
                        auto bytes = MakeJpeg(d);
                        bytes.resize(bytes.size() * 2 / 3);
                        test::WriteFile(p, bytes);
                    },
                    ""},
        PictureCase{
            "JpegHeaderPast256KiB", "long.jpg",
            [](const auto& d, const auto& p) { test::WriteFile(p, WithLongHeader(MakeJpeg(d))); },
            ""},
        PictureCase{"JpegCutInsideItsLongHeader", "cut.jpg",
                    [](const auto& d, const auto& p) {
                        auto bytes = WithLongHeader(MakeJpeg(d));
                        bytes.resize(300 * 1024);
                        test::WriteFile(p, bytes);
                    },
                    "Premature end of JPEG file"},
        PictureCase{"TextNamedJpeg", "letter.jpg",
                    [](const auto&, const auto& p) { test::WriteText(p, "Dear Sir,"); },
                    "Not a JPEG file"},
        PictureCase{"EmptyBmp", "empty.bmp",
                    [](const auto&, const auto& p) { test::WriteText(p, ""); }, "Empty file"},
        PictureCase{"BmpTooLarge", "giant.bmp",
                    [](const auto&, const auto& p) {
                        auto bytes = Bmp();
                        Put32(bytes, 18, 60000);
                        Put32(bytes, 22, 60000);
                        test::WriteFile(p, bytes);
                    },
                    "Picture too large (60000 x 60000 pixels, at most 256000000 allowed)"},
        PictureCase{"BmpPixelsPastTheEnd", "short.bmp",
                    [](const auto&, const auto& p) {
                        auto bytes = Bmp();
                        Put32(bytes, 10, 1 << 20);
                        test::WriteFile(p, bytes);
                    },
                    "Cannot load picture "},
        // Within the pixel budget, but its rows are not in the file: the render would refuse it.
        PictureCase{"BmpRowsMissing", "rows.bmp",
                    [](const auto&, const auto& p) {
                        auto bytes = Bmp();
                        Put32(bytes, 22, 3000);
                        test::WriteFile(p, bytes);
                    },
                    "BMP pixel data runs past the end of the file"},
        PictureCase{"JpegOfZeroWidth", "zero.jpg",
                    [](const auto& d, const auto& p) {
                        auto bytes = MakeJpeg(d);
                        // The frame header's width, after SOI, JFIF and its own marker and length.
                        for (std::size_t at = 2; at + 8 < bytes.size();) {
                            if (bytes[at + 1] == 0xC0) {
                                bytes[at + 7] = bytes[at + 8] = 0;
                                break;
                            }
                            at += 2 + (std::size_t{bytes[at + 2]} << 8 | bytes[at + 3]);
                        }
                        test::WriteFile(p, bytes);
                    },
                    "Empty JPEG image"},
        PictureCase{"Missing", "gone.jpg", nullptr, "File not found : "},
        PictureCase{"FolderNamedLikeAPicture", "folder.jpg",
                    [](const auto&, const auto& p) { fs::create_directory(p); },
                    "File not found : "},
        PictureCase{"OtherExtension", "a.png",
                    [](const auto&, const auto& p) { test::WriteFile(p, Bmp()); },
                    "File not supported : "}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PicturePreflight, KeepsTheUsablePicturesInOrderWithTheirCaptions) {
    test::TempDir dir;
    test::WriteFile(dir.File("a.bmp"), Bmp());
    test::WriteFile(dir.File("b.bmp"), Bmp());
    test::WriteText(dir.File("bad.bmp"), "no picture");
    const TPictureCheck check = CheckPictures({dir.File("a.bmp") + "\tFirst", dir.File("gone.bmp"),
                                               dir.File("bad.bmp") + "\tBad", dir.File("b.bmp")},
                                              true);
    EXPECT_EQ(check.Paths.Items(),
              (std::vector<std::string>{dir.File("a.bmp"), dir.File("b.bmp")}));
    EXPECT_EQ(check.Captions.Items(), (std::vector<std::string>{"First", "b.bmp"}));
    ASSERT_EQ(check.Skipped.size(), 2u);
    EXPECT_EQ(check.Skipped[0], "File not found : " + dir.File("gone.bmp"));
    EXPECT_EQ(check.Skipped[1].rfind("Cannot load picture " + dir.File("bad.bmp") + ": ", 0), 0u)
        << check.Skipped[1];
}

namespace {

struct SoundCase {
    const char* Name;
    std::function<void(const std::string&)> Make; // none: the file does not exist
    const char* Problem;                          // part of the problem, "" for usable
};

class SoundPreflight : public ::testing::TestWithParam<SoundCase> {};

void MakeMp3(const std::string& path) {
    auto made = test::Run({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=1",
                           "-c:a", "libmp3lame", path});
    if (made.ExitCode != 0) throw std::runtime_error(made.Err);
}

} // namespace

TEST_P(SoundPreflight, AppliesTheMultiplexingsRules) {
    const SoundCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.File("song.mp3");
    if (c.Make) c.Make(path);
    const auto problem = SoundtrackProblem(path);
    if (std::string(c.Problem).empty()) {
        EXPECT_FALSE(problem.has_value()) << *problem;
    } else {
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(c.Problem), std::string::npos) << *problem;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Soundtracks, SoundPreflight,
    ::testing::Values(
        SoundCase{"Mp3", MakeMp3, ""},
        SoundCase{"Mp3AfterALargeTag",
                  [](const std::string& p) {
                      MakeMp3(p);
                      auto bytes = test::ReadFile(p);
                      // An ID3v2 tag of 100 000 bytes full of sync-like 0xFF bytes.
                      std::vector<std::uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
                      const std::uint32_t body = 100000;
                      for (int i = 3; i >= 0; --i)
                          tag.push_back(static_cast<std::uint8_t>((body >> (7 * i)) & 0x7F));
                      tag.insert(tag.end(), body, 0xFF);
                      bytes.insert(bytes.begin(), tag.begin(), tag.end());
                      test::WriteFile(p, bytes);
                  },
                  ""},
        SoundCase{"Noise",
                  [](const std::string& p) { test::WriteText(p, std::string(50000, 'x')); },
                  "No MPEG audio frame found in "},
        SoundCase{"LayerOneOnly",
                  [](const std::string& p) {
                      std::vector<std::uint8_t> bytes;
                      for (int i = 0; i < 40; ++i) {
                          std::vector<std::uint8_t> frame(136, 0);
                          frame[0] = 0xFF;
                          frame[1] = 0xFF;
                          frame[2] = 0x90;
                          bytes.insert(bytes.end(), frame.begin(), frame.end());
                      }
                      test::WriteFile(p, bytes);
                  },
                  "No MPEG audio frame found in "},
        SoundCase{"Missing", nullptr, "Cannot open file"}),
    [](const auto& info) { return std::string(info.param.Name); });
