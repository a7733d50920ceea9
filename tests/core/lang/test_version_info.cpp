// Version numbers: packing, the version block's encoding, and finding the block in a file
// among copies of its marker that are not blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "lang/U_VersionInfo.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PackVersion, GroupsAreMaskedAndSeparatorsVary) {
    struct TCase {
        const char* Text;
        std::uint32_t Packed;
    };
    const TCase cases[] = {
        {"1.2.3.5", (1u << 24) | (2u << 16) | (3u << 10) | 5u},
        {"2, 0, 1, 44", (2u << 24) | (1u << 10) | 44u},
        {"300.0.0.0", 44u << 24},
        {"1.2.70.2000", (1u << 24) | (2u << 16) | (6u << 10) | 976u},
        {"1..3", (1u << 24) | (3u << 10)},
        {"v1.2 (beta)", (1u << 24) | (2u << 16)},
        {"", 0u},
        {"7", 7u << 24},
        {"1.2.3.4.5.6", (1u << 24) | (2u << 16) | (3u << 10) | 4u},
    };
    for (const TCase& c : cases) EXPECT_EQ(PackVersion(c.Text), c.Packed) << c.Text;
    // 10^20 mod 256 = 0 (2^20 divides it), so the first group packs as 0.
    EXPECT_EQ(PackVersion("100000000000000000000.1"), 1u << 16);
    EXPECT_EQ(PackedVersionText(PackVersion("1.2.3.5")), "1.2.3.5");
    EXPECT_EQ(PackedVersionText(0xFFFFFFFFu), "255.255.63.1023");
}

TVersionBlock SampleBlock() {
    TVersionBlock block;
    block.Fixed.FileVersionMS = (2u << 16) | 1u;
    block.Fixed.FileVersionLS = (0u << 16) | 7u;
    block.Fixed.ProductVersionMS = 3u << 16;
    block.Fixed.FileDateMS = 1;
    block.Fixed.FileDateLS = 2;
    block.Translations = {0x04B00409, 0x04E4040C};
    block.Tables.push_back({"040c04e4", {{"FileVersion", "9.9"}}});
    block.Tables.push_back({"040904b0",
                            {{"FileVersion", "(2.1.0.7)"},
                             {"ProductVersion", "1.5"},
                             {"CompanyName", "Tavrell"},
                             {"LegalTrademarks", "none"}}});
    return block;
}

std::string WriteWithBlock(const test::TempDir& dir, const Bytes& before, const Bytes& block,
                           const Bytes& after) {
    Bytes all = before;
    all.insert(all.end(), block.begin(), block.end());
    all.insert(all.end(), after.begin(), after.end());
    const std::string path = dir.File("program");
    test::WriteFile(path, all);
    return path;
}

TEST(VersionBlock, EncodesAndParsesBack) {
    const Bytes bytes = EncodeVersionBlock(SampleBlock());
    const auto parsed = ParseVersionBlock(bytes);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(EncodeVersionBlock(*parsed), bytes);
    // Any changed byte breaks the length, a field or the CRC.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        Bytes changed = bytes;
        changed[i] ^= 0x40;
        EXPECT_FALSE(ParseVersionBlock(changed)) << "byte " << i;
    }
    EXPECT_FALSE(ParseVersionBlock(std::span(bytes).first(bytes.size() - 1)));
}

TEST(VersionInfo, ReadsPropertiesFromTheFirstTranslation) {
    test::TempDir dir;
    const std::string path =
        WriteWithBlock(dir, Bytes(5000, 0x90), EncodeVersionBlock(SampleBlock()), Bytes(300, 0));
    TVersionInfo info;
    info.SetFileName(path);
    EXPECT_FALSE(info.InfoLoaded());
    EXPECT_EQ(info.FileVersion(), "2.1.0.7");
    EXPECT_TRUE(info.InfoLoaded());
    EXPECT_EQ(info.FileVersionInt(), PackVersion("2.1.0.7"));
    EXPECT_EQ(info.CompanyName(), "Tavrell");
    EXPECT_EQ(info.LegalTrademark(), "none");
    EXPECT_EQ(info.Comments(), "");
    EXPECT_DOUBLE_EQ(info.ProductVersionFloat(), 1.5);
    EXPECT_DOUBLE_EQ(info.FileVersionFloat(), 0.0);
    EXPECT_EQ(info.FileMajorVersion(), (2u << 16) | 1u);
    EXPECT_EQ(info.ProductMajorVersion(), 3u << 16);
    EXPECT_EQ(info.FileDate(), (1ull << 32) | 2u);
    EXPECT_EQ(info.TranslationValue(), 0x04B00409u);
    EXPECT_EQ(info.LanguageCount(), 2u);
    EXPECT_EQ(info.LanguageName(), "English (United States)");
    EXPECT_EQ(GetFileVersionText(path), "2.1.0.7");

    info.SetFileName(dir.File("missing")); // not a file: nothing changes
    EXPECT_EQ(info.FileName(), path);
    EXPECT_TRUE(info.InfoLoaded());
}

TEST(VersionInfo, MarkerCopiesDoNotFoolTheReader) {
    test::TempDir dir;
    const Bytes block = EncodeVersionBlock(SampleBlock());
    const std::string marker(VersionBlockMarker.begin(), VersionBlockMarker.end());
    // Decoys before the block: the marker alone, the marker with a plausible length, and a
    // copy of the real block with one byte changed.
    std::string decoyText = marker + std::string("\x40\0\0\0\x01\0\0\0", 8) + marker;
    std::string broken(block.begin(), block.end());
    broken[40] ^= 1;
    decoyText += broken;
    const Bytes before(decoyText.begin(), decoyText.end());
    const Bytes markerBytes(marker.begin(), marker.end());
    const std::string path = WriteWithBlock(dir, before, block, markerBytes);
    EXPECT_EQ(GetFileVersionText(path), "2.1.0.7");

    // With the decoys alone there is no version.
    const std::string decoys = dir.File("decoys");
    test::WriteFile(decoys, before);
    EXPECT_EQ(GetFileVersionText(decoys), "Unable to retrieve file version info");
    TVersionInfo info;
    info.SetFileName(decoys);
    EXPECT_EQ(info.FileVersion(), "");
    EXPECT_EQ(info.FileVersionInt(), 0u);
    EXPECT_EQ(info.FileMajorVersion(), 0u);
}

TEST(VersionInfo, FindsABlockAcrossReadChunks) {
    test::TempDir dir;
    // The block straddles the reader's 1 MiB chunk boundary.
    const std::string path = WriteWithBlock(dir, Bytes((1u << 20) - 7, 0x11),
                                            EncodeVersionBlock(SampleBlock()), Bytes(10, 0));
    EXPECT_EQ(GetFileVersionText(path), "2.1.0.7");
}

TEST(VersionInfo, MissingFileAndBlockWithoutTranslation) {
    test::TempDir dir;
    EXPECT_EQ(GetFileVersionText(dir.File("nothing")), "File not found");
    TVersionBlock block = SampleBlock();
    block.Translations.clear();
    const std::string path = WriteWithBlock(dir, {}, EncodeVersionBlock(block), {});
    TVersionInfo info;
    info.SetFileName(path);
    EXPECT_EQ(info.CompanyName(), "");
    EXPECT_EQ(info.FileMajorVersion(), 0u); // nothing is loaded without the translation table
    EXPECT_EQ(info.LanguageCount(), 0u);
}

} // namespace

namespace {

// The fuzzer's seeds: a block cut from a built program, and the same behind decoys.
TEST(VersionInfo, SeedBlocksRead) {
    const std::string seeds = std::string(MORVANTA_SOURCE_DIR) + "/tests/fuzz/corpus/versionblock/";
    for (const char* name : {"morvanta-lang-block.bin", "decoys-then-block.bin"}) {
        TVersionInfo info;
        info.SetFileName(seeds + name);
        EXPECT_EQ(info.InternalName(), "morvanta-lang") << name;
        EXPECT_EQ(info.FileVersionInt(), PackVersion(info.FileVersion())) << name;
        EXPECT_NE(GetFileVersionText(seeds + name), "Unable to retrieve file version info") << name;
    }
}

} // namespace
